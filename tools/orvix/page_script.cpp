#include "tools/orvix/page_script.h"

#include <mujs.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <regex>

#include "platform/prompt/prompt.h"

namespace orvix {

// A page object handed to the plug-in: a reference into the engine's registry.
struct JsObject : NPObject {
  PageScript* page = nullptr;
  std::string ref;
};

namespace {

constexpr char kNpTag[] = "npobject";

constexpr char kPrelude[] = R"(
var window = this;
function __orvixText(n) {
  if (n.childNodes && n.childNodes.length) return n.childNodes.map(__orvixText).join('');
  return n.textContent === undefined ? '' : String(n.textContent);
}
function Element(tag, id) {
  this.tagName = String(tag).toUpperCase(); this.id = id; this.childNodes = [];
  this.textContent = '';
}
Element.prototype.appendChild = function (child) {
  this.childNodes.push(child);
  if (this.id) __orvixAppended(this.id, String(child.tagName || '').toLowerCase(), __orvixText(child));
  return child;
};
var document = {
  __byId: {},
  getElementById: function (id) { var e = this.__byId[id]; return e === undefined ? null : e; },
  createElement: function (tag) { return new Element(tag, ''); },
  createTextNode: function (text) { return { textContent: String(text) }; }
};
function __orvixDeclare(tag, id) { document.__byId[id] = new Element(tag, id); }
function alert(text) { __orvixAlert(String(text)); }
)";

PageScript* PageOf(js_State* J) { return static_cast<PageScript*>(js_getcontext(J)); }

NPClass* JsObjectClass();
void PushVariant(js_State* J, const NPVariant& v);

// A copy of the value at `idx` as a variant the receiver owns.
NPVariant ToVariant(js_State* J, int idx) {
  NPVariant v;
  VOID_TO_NPVARIANT(v);
  if (js_isundefined(J, idx)) return v;
  if (js_isnull(J, idx)) {
    NULL_TO_NPVARIANT(v);
  } else if (js_isboolean(J, idx)) {
    BOOLEAN_TO_NPVARIANT(js_toboolean(J, idx) != 0, v);
  } else if (js_isnumber(J, idx)) {
    const double d = js_tonumber(J, idx);
    if (std::floor(d) == d && std::fabs(d) <= 2147483647.0) {
      INT32_TO_NPVARIANT(static_cast<int32_t>(d), v);
    } else {
      DOUBLE_TO_NPVARIANT(d, v);
    }
  } else if (js_isstring(J, idx)) {
    const char* s = js_tostring(J, idx);
    const auto n = static_cast<uint32_t>(std::strlen(s));
    auto* copy = static_cast<char*>(NPN_MemAlloc(n + 1));
    std::memcpy(copy, s, n + 1);
    STRINGN_TO_NPVARIANT(copy, n, v);
  } else if (js_isuserdata(J, idx, kNpTag)) {
    OBJECT_TO_NPVARIANT(NPN_RetainObject(static_cast<NPObject*>(js_touserdata(J, idx, kNpTag))), v);
  } else if (js_isobject(J, idx)) {
    auto* obj = static_cast<JsObject*>(NPN_CreateObject(nullptr, JsObjectClass()));
    obj->page = PageOf(J);
    js_copy(J, idx);
    obj->ref = js_ref(J);
    obj->page->Keep(obj);
    OBJECT_TO_NPVARIANT(obj, v);
  }
  return v;
}

// What a failed plug-in call says: the plug-in's exception, or which method failed. Kept out
// of CallMethod, whose js_error leaves its frame without running destructors.
void FailureText(NPIdentifier id, char* message, size_t size) {
  std::string thrown;
  if (NpTakeException(&thrown)) {
    std::snprintf(message, size, "%s", thrown.c_str());
    return;
  }
  NPUTF8* name = NPN_UTF8FromIdentifier(id);
  std::snprintf(message, size, "the plug-in's %s() failed", name != nullptr ? name : "?");
  NPN_MemFree(name);
}

// The plug-in object's methods and properties, looked up by name as the script asks.
void CallMethod(js_State* J) {
  auto id = static_cast<NPIdentifier>(js_currentfunctiondata(J));
  if (!js_isuserdata(J, 0, kNpTag)) js_typeerror(J, "not a plug-in object");
  auto* obj = static_cast<NPObject*>(js_touserdata(J, 0, kNpTag));
  const int n = js_gettop(J) - 1;
  NPVariant args[16];
  const int count = n < 16 ? n : 16;
  for (int i = 0; i < count; ++i) args[i] = ToVariant(J, i + 1);
  NPVariant result;
  VOID_TO_NPVARIANT(result);
  const bool ok = NPN_Invoke(nullptr, obj, id, args, static_cast<uint32_t>(count), &result);
  for (int i = 0; i < count; ++i) NPN_ReleaseVariantValue(&args[i]);
  if (!ok) {
    char message[300];
    FailureText(id, message, sizeof(message));
    js_error(J, "%s", message);
  }
  PushVariant(J, result);
  NPN_ReleaseVariantValue(&result);
}

int HasNp(js_State* J, void* p, const char* name) {
  auto* obj = static_cast<NPObject*>(p);
  NPIdentifier id = NPN_GetStringIdentifier(name);
  if (NPN_HasMethod(nullptr, obj, id)) {
    js_newcfunctionx(J, CallMethod, name, 0, id, nullptr);
    return 1;
  }
  NPVariant v;
  VOID_TO_NPVARIANT(v);
  if (!NPN_GetProperty(nullptr, obj, id, &v)) return 0;
  PushVariant(J, v);
  NPN_ReleaseVariantValue(&v);
  return 1;
}

int PutNp(js_State* J, void* p, const char* name) {
  auto* obj = static_cast<NPObject*>(p);
  NPVariant v = ToVariant(J, -1);
  const bool ok = NPN_SetProperty(nullptr, obj, NPN_GetStringIdentifier(name), &v);
  NPN_ReleaseVariantValue(&v);
  if (!ok) js_typeerror(J, "the plug-in refuses the property %s", name);
  return 1;
}

void FinalizeNp(js_State*, void* p) { NPN_ReleaseObject(static_cast<NPObject*>(p)); }

void PushNpObject(js_State* J, NPObject* obj) {
  if (obj->_class == JsObjectClass()) {
    js_getregistry(J, static_cast<JsObject*>(obj)->ref.c_str());
    return;
  }
  NPN_RetainObject(obj);
  js_getglobal(J, "Object");
  js_getproperty(J, -1, "prototype");
  js_rot2(J);
  js_pop(J, 1);
  js_newuserdatax(J, kNpTag, obj, HasNp, PutNp, nullptr, FinalizeNp);
}

void PushVariant(js_State* J, const NPVariant& v) {
  switch (v.type) {
    case NPVariantType_Null:
      js_pushnull(J);
      break;
    case NPVariantType_Bool:
      js_pushboolean(J, v.value.boolValue);
      break;
    case NPVariantType_Int32:
      js_pushnumber(J, v.value.intValue);
      break;
    case NPVariantType_Double:
      js_pushnumber(J, v.value.doubleValue);
      break;
    case NPVariantType_String:
      js_pushlstring(J, v.value.stringValue.UTF8Characters,
                     static_cast<int>(v.value.stringValue.UTF8Length));
      break;
    case NPVariantType_Object:
      PushNpObject(J, v.value.objectValue);
      break;
    default:
      js_pushundefined(J);
      break;
  }
}

// Page objects as the plug-in sees them.
js_State* Live(NPObject* obj) {
  auto* o = static_cast<JsObject*>(obj);
  return o->page != nullptr ? o->page->state() : nullptr;
}

bool JsGet(NPObject* obj, NPIdentifier name, NPVariant* result) {
  js_State* J = Live(obj);
  if (J == nullptr || !NPN_IdentifierIsString(name)) return false;
  NPUTF8* key = NPN_UTF8FromIdentifier(name);
  js_getregistry(J, static_cast<JsObject*>(obj)->ref.c_str());
  const bool found = js_hasproperty(J, -1, key) != 0;
  if (found) {
    *result = ToVariant(J, -1);
    js_pop(J, 1);
  }
  js_pop(J, 1);
  NPN_MemFree(key);
  return found;
}

bool JsSet(NPObject* obj, NPIdentifier name, const NPVariant* value) {
  js_State* J = Live(obj);
  if (J == nullptr || !NPN_IdentifierIsString(name)) return false;
  NPUTF8* key = NPN_UTF8FromIdentifier(name);
  js_getregistry(J, static_cast<JsObject*>(obj)->ref.c_str());
  PushVariant(J, *value);
  js_setproperty(J, -2, key);
  js_pop(J, 1);
  NPN_MemFree(key);
  return true;
}

bool JsHasProperty(NPObject* obj, NPIdentifier name) {
  NPVariant v;
  VOID_TO_NPVARIANT(v);
  if (!JsGet(obj, name, &v)) return false;
  NPN_ReleaseVariantValue(&v);
  return true;
}

bool JsInvoke(NPObject* obj, NPIdentifier name, const NPVariant* args, uint32_t count,
              NPVariant* result) {
  js_State* J = Live(obj);
  if (J == nullptr || !NPN_IdentifierIsString(name)) return false;
  NPUTF8* key = NPN_UTF8FromIdentifier(name);
  const char* ref = static_cast<JsObject*>(obj)->ref.c_str();
  js_getregistry(J, ref);
  js_getproperty(J, -1, key);
  NPN_MemFree(key);
  js_getregistry(J, ref);
  for (uint32_t i = 0; i < count; ++i) PushVariant(J, args[i]);
  if (js_pcall(J, static_cast<int>(count)) != 0) {
    static_cast<JsObject*>(obj)->page->ReportTop(0);
    js_pop(J, 2);
    return false;
  }
  *result = ToVariant(J, -1);
  js_pop(J, 2);
  return true;
}

bool JsHasMethod(NPObject* obj, NPIdentifier name) {
  js_State* J = Live(obj);
  if (J == nullptr || !NPN_IdentifierIsString(name)) return false;
  NPUTF8* key = NPN_UTF8FromIdentifier(name);
  js_getregistry(J, static_cast<JsObject*>(obj)->ref.c_str());
  js_getproperty(J, -1, key);
  const bool callable = js_iscallable(J, -1) != 0;
  js_pop(J, 2);
  NPN_MemFree(key);
  return callable;
}

void JsDeallocate(NPObject* obj) {
  auto* o = static_cast<JsObject*>(obj);
  if (o->page != nullptr) {
    js_unref(o->page->state(), o->ref.c_str());
    o->page->Forget(o);
  }
  delete o;
}

NPObject* JsAllocate(NPP, NPClass*) { return new JsObject; }

NPClass jsObjectClass = {
    NP_CLASS_STRUCT_VERSION, JsAllocate, JsDeallocate, nullptr, JsHasMethod, JsInvoke, nullptr,
    JsHasProperty,           JsGet,      JsSet,        nullptr, nullptr,     nullptr};
NPClass* JsObjectClass() { return &jsObjectClass; }

void Appended(js_State* J) {
  std::printf("orvix: #%s gets <%s> %s\n", js_tostring(J, 1), js_tostring(J, 2), js_tostring(J, 3));
  std::fflush(stdout);
  js_pushundefined(J);
}

void Alert(js_State* J) {
  MessageBoxA(PageOf(J)->owner(), js_tostring(J, 1), "alert", MB_OK);
  js_pushundefined(J);
}

void Define(js_State* J, const char* name, js_CFunction f, int length) {
  js_newcfunction(J, f, name, length);
  js_setglobal(J, name);
}

}  // namespace

PageScript::PageScript(std::string pageName, HWND owner)
    : pageName_(std::move(pageName)), owner_(owner), J_(js_newstate(nullptr, this, 0)) {
  js_setcontext(J_, this);
  Define(J_, "__orvixAppended", Appended, 3);
  Define(J_, "__orvixAlert", Alert, 1);
  if (js_ploadstring(J_, "[prelude]", kPrelude) == 0) {
    js_pushundefined(J_);
    if (js_pcall(J_, 0) != 0) ReportTop(0);
  } else {
    ReportTop(0);
  }
  js_pop(J_, 1);
}

PageScript::~PageScript() {
  for (JsObject* o : objects_) o->page = nullptr;
  js_freestate(J_);
}

void PageScript::DeclareElements(const std::vector<PageElement>& elements) {
  for (const PageElement& e : elements) {
    js_getglobal(J_, "__orvixDeclare");
    js_pushundefined(J_);
    js_pushstring(J_, e.tag.c_str());
    js_pushstring(J_, e.id.c_str());
    if (js_pcall(J_, 2) != 0) ReportTop(0);
    js_pop(J_, 1);
  }
}

void PageScript::SetPluginObject(const std::string& id, NPObject* object) {
  js_getglobal(J_, "document");
  js_getproperty(J_, -1, "__byId");
  PushNpObject(J_, object);
  js_setproperty(J_, -2, id.c_str());
  js_pop(J_, 2);
}

void PageScript::ReportTop(int fallbackLine) {
  ++errors_;
  std::string text = js_trystring(J_, -1, "error");
  int line = fallbackLine;
  std::string stack;
  if (js_isobject(J_, -1)) {
    js_getproperty(J_, -1, "stack");
    if (js_isstring(J_, -1)) stack = js_tostring(J_, -1);
    js_pop(J_, 1);
  }
  // The engine names the place as "FILE:LINE" in syntax errors' texts and in stack traces.
  std::smatch m;
  const std::regex place(
      std::regex_replace(pageName_, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)") + ":([0-9]+)");
  if (std::regex_search(stack, m, place) || std::regex_search(text, m, place)) {
    line = std::stoi(m[1].str());
    const std::string prefix = m[0].str() + ": ";
    if (const size_t at = text.find(prefix); at != std::string::npos) text.erase(at, prefix.size());
  }
  std::fprintf(stderr, "orvix: %s:%d: %s\n", pageName_.c_str(), line, text.c_str());
  std::fflush(stderr);
}

bool PageScript::Run(const PageScriptBlock& block) {
  // Leading line ends make the engine's line numbers the page's.
  const std::string source = std::string(static_cast<size_t>(block.line - 1), '\n') + block.text;
  if (js_ploadstring(J_, pageName_.c_str(), source.c_str()) != 0) {
    ReportTop(block.line);
    js_pop(J_, 1);
    return false;
  }
  js_pushundefined(J_);
  const bool ok = js_pcall(J_, 0) == 0;
  if (!ok) ReportTop(block.line);
  js_pop(J_, 1);
  return ok;
}

NPObject* PageScript::WindowObject() {
  js_pushglobal(J_);
  NPVariant v = ToVariant(J_, -1);
  js_pop(J_, 1);
  return v.value.objectValue;  // the caller's reference
}

bool PageScript::Evaluate(NPObject*, const std::string& script, NPVariant* result) {
  if (js_ploadstring(J_, "[plug-in]", script.c_str()) != 0) {
    ReportTop(0);
    js_pop(J_, 1);
    return false;
  }
  js_pushglobal(J_);
  if (js_pcall(J_, 0) != 0) {
    ReportTop(0);
    js_pop(J_, 1);
    return false;
  }
  *result = ToVariant(J_, -1);
  js_pop(J_, 1);
  return true;
}

}  // namespace orvix
