// The plug-in module as a browser meets it: loaded from its file, its entry points looked up,
// an instance made on a page, given a window, and driven by script calls through the objects
// it hands out.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "control/npapi/plugin_instance.h"
#include "control/npapi/scriptable_object.h"
#include "platform/display/display.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/kernel.h"
#include "platform/npapi/browser.h"
#include "platform/prompt/prompt.h"
#include "platform/ui/ui.h"

namespace {

using control::npapi::PluginInstance;
using control::npapi::ScriptablePluginObject;

// A page object that keeps whatever is set on it.
struct Bag : NPObject {
  std::map<NPIdentifier, NPVariant> values;
};
NPObject* BagAllocate(NPP, NPClass*) { return new Bag; }
void BagDeallocate(NPObject* obj) {
  auto* bag = static_cast<Bag*>(obj);
  for (auto& [id, v] : bag->values) NPN_ReleaseVariantValue(&v);
  delete bag;
}
bool BagGet(NPObject* obj, NPIdentifier name, NPVariant* result) {
  auto& values = static_cast<Bag*>(obj)->values;
  auto it = values.find(name);
  if (it == values.end()) return false;
  *result = it->second;
  if (NPVARIANT_IS_OBJECT(*result)) NPN_RetainObject(result->value.objectValue);
  return !NPVARIANT_IS_STRING(*result);  // the test page keeps no texts
}
bool BagSet(NPObject* obj, NPIdentifier name, const NPVariant* value) {
  NPVariant& slot = static_cast<Bag*>(obj)->values[name];
  NPN_ReleaseVariantValue(&slot);
  slot = *value;
  if (NPVARIANT_IS_OBJECT(slot)) NPN_RetainObject(slot.value.objectValue);
  return true;
}
NPClass bagClass = {NP_CLASS_STRUCT_VERSION,
                    BagAllocate,
                    BagDeallocate,
                    nullptr,
                    nullptr,
                    nullptr,
                    nullptr,
                    nullptr,
                    BagGet,
                    BagSet,
                    nullptr,
                    nullptr,
                    nullptr};

class TestPage : public NpPage {
 public:
  TestPage() {
    window_ = NPN_CreateObject(nullptr, &bagClass);
    NPObject* document = NPN_CreateObject(nullptr, &bagClass);
    NPVariant v;
    OBJECT_TO_NPVARIANT(document, v);
    NPN_SetProperty(nullptr, window_, NPN_GetStringIdentifier("document"), &v);
    NPN_ReleaseObject(document);
  }
  ~TestPage() override { NPN_ReleaseObject(window_); }
  NPObject* WindowObject() override { return NPN_RetainObject(window_); }
  NPObject* PluginElement() override { return nullptr; }
  bool Evaluate(NPObject*, const std::string& script, NPVariant* result) override {
    scripts.push_back(script);
    VOID_TO_NPVARIANT(*result);
    return true;
  }
  NPVariant Get(const char* name) {
    NPVariant v;
    VOID_TO_NPVARIANT(v);
    NPN_GetProperty(nullptr, window_, NPN_GetStringIdentifier(name), &v);
    return v;
  }
  std::vector<std::string> scripts;

 private:
  NPObject* window_;
};

std::vector<std::string> prompts;
int RecordPrompt(HWND, LPCSTR text, LPCSTR caption, UINT) {
  prompts.push_back(std::string(caption) + "|" + text);
  return IDOK;
}

int ThreadCount() {
  int n = 0;
  for ([[maybe_unused]] const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    ++n;
  }
  return n;
}

void Drain() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

LRESULT PageWindowProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  return DefWindowProcA(w, m, wp, lp);
}

// The channel windows of the grid, in channel order.
std::vector<HWND> ChannelWindows(HWND host) {
  std::map<int, HWND> byId;
  for (HWND w = GetWindow(host, GW_CHILD); w != nullptr; w = GetWindow(w, GW_HWNDNEXT)) {
    char name[32];
    GetClassNameA(w, name, sizeof(name));
    const int id = GetDlgCtrlID(w);
    if (std::string(name) == "STATIC" && id >= 5000 && id < 5016) byId[id] = w;
  }
  std::vector<HWND> out;
  for (auto& [id, w] : byId) out.push_back(w);
  return out;
}

RECT WindowRectOf(HWND w) {
  RECT r{0, 0, 0, 0};
  GetWindowRect(w, &r);
  return r;
}

NPVariant Text(const char* s) {
  NPVariant v;
  STRINGN_TO_NPVARIANT(s, static_cast<uint32_t>(strlen(s)), v);
  return v;
}

class Plugin : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string error;
    display_ = platform::display::Display::CreateHeadless(1000, 700, &error).release();
    platform::gdi::InstallDcProvider();
    setenv("ORVIX_MODULE_PATH", NPORVICAM_DIR, 1);
    module_ = LoadLibraryA("nporvicam.dll");
  }

  void SetUp() override {
    ASSERT_NE(module_, nullptr);
    getEntryPoints_ =
        reinterpret_cast<NP_GetEntryPointsFunc>(GetProcAddress(module_, "NP_GetEntryPoints"));
    initialize_ = reinterpret_cast<NP_InitializeFunc>(GetProcAddress(module_, "NP_Initialize"));
    ASSERT_NE(getEntryPoints_, nullptr);
    ASSERT_NE(initialize_, nullptr);
    ASSERT_EQ(initialize_(NpBrowserFunctions()), NPERR_NO_ERROR);
    funcs_.size = sizeof(funcs_);
    ASSERT_EQ(getEntryPoints_(&funcs_), NPERR_NO_ERROR);
    SetPromptHandler(RecordPrompt);
    prompts.clear();
  }

  void TearDown() override { SetPromptHandler(nullptr); }

  // A new instance on `page`, and its scriptable object.
  NPObject* NewInstance(NPP_t* npp, TestPage* page) {
    npp->ndata = page;
    npp->pdata = nullptr;
    char mime[] = "application/nporvicam";
    EXPECT_EQ(funcs_.newp(mime, npp, NP_EMBED, 0, nullptr, nullptr, nullptr), NPERR_NO_ERROR);
    NPObject* obj = nullptr;
    EXPECT_EQ(funcs_.getvalue(npp, NPPVpluginScriptableNPObject, &obj), NPERR_NO_ERROR);
    return obj;
  }

  bool Call(NPP npp, NPObject* obj, const char* method, std::vector<NPVariant> args,
            NPVariant* result) {
    VOID_TO_NPVARIANT(*result);
    return NPN_Invoke(npp, obj, NPN_GetStringIdentifier(method), args.data(),
                      static_cast<uint32_t>(args.size()), result);
  }

  static platform::display::Display* display_;
  static HMODULE module_;
  NP_GetEntryPointsFunc getEntryPoints_ = nullptr;
  NP_InitializeFunc initialize_ = nullptr;
  NPPluginFuncs funcs_{};
};
platform::display::Display* Plugin::display_ = nullptr;
HMODULE Plugin::module_ = nullptr;

TEST_F(Plugin, EntryPointsAnswerAsTheBrowserExpects) {
  EXPECT_EQ(getEntryPoints_(nullptr), NPERR_INVALID_FUNCTABLE_ERROR);
  EXPECT_EQ(funcs_.version, 27);
  EXPECT_EQ(funcs_.javaClass, nullptr);
  EXPECT_EQ(initialize_(nullptr), NPERR_INVALID_FUNCTABLE_ERROR);
  NPNetscapeFuncs newer = *NpBrowserFunctions();
  newer.version = 0x0100;
  EXPECT_EQ(initialize_(&newer), NPERR_INCOMPATIBLE_VERSION_ERROR);
  auto mime =
      reinterpret_cast<NP_GetMIMEDescriptionFunc>(GetProcAddress(module_, "NP_GetMIMEDescription"));
  ASSERT_NE(mime, nullptr);
  EXPECT_STREQ(mime(), "application/nporvicamplugin");
  auto shutdown = reinterpret_cast<NP_ShutdownFunc>(GetProcAddress(module_, "NP_Shutdown"));
  ASSERT_NE(shutdown, nullptr);
  EXPECT_EQ(shutdown(), NPERR_NO_ERROR);
  EXPECT_NE(GetProcAddress(module_, "HI_VOICE_DecodeFrame"), nullptr);

  EXPECT_EQ(funcs_.newp(nullptr, nullptr, NP_EMBED, 0, nullptr, nullptr, nullptr),
            NPERR_INVALID_INSTANCE_ERROR);
  EXPECT_EQ(funcs_.destroy(nullptr, nullptr), NPERR_INVALID_INSTANCE_ERROR);
  EXPECT_EQ(funcs_.setwindow(nullptr, nullptr), NPERR_INVALID_INSTANCE_ERROR);
  EXPECT_EQ(funcs_.writeready(nullptr, nullptr), NPERR_INVALID_INSTANCE_ERROR);
  NPP_t empty{nullptr, nullptr};
  const char* text = nullptr;
  EXPECT_EQ(funcs_.getvalue(&empty, NPPVpluginNameString, &text), NPERR_GENERIC_ERROR);
  EXPECT_EQ(funcs_.writeready(&empty, nullptr), 0x0FFFFFFF);
  EXPECT_EQ(funcs_.write(&empty, nullptr, 0, 1234, nullptr), 1234);
}

// A page's script settings, read back from the object and the instance, before any window.
TEST_F(Plugin, ScriptCallsFollowTheirRules) {
  TestPage page;
  NPP_t npp;
  NPObject* obj = NewInstance(&npp, &page);
  ASSERT_NE(obj, nullptr);
  auto* self = static_cast<ScriptablePluginObject*>(obj);
  auto* instance = static_cast<PluginInstance*>(npp.pdata);

  // New's page-side actions.
  NPVariant foof = page.Get("foof");
  EXPECT_EQ(foof.type, NPVariantType_Int32);
  EXPECT_EQ(foof.value.intValue, 46);
  NPVariant doc = page.Get("plugindoc");
  NPVariant document = page.Get("document");
  ASSERT_TRUE(NPVARIANT_IS_OBJECT(doc));
  EXPECT_EQ(doc.value.objectValue, document.value.objectValue);
  NPN_ReleaseVariantValue(&doc);
  NPN_ReleaseVariantValue(&document);
  NPVariant pluginobj = page.Get("pluginobj");
  ASSERT_TRUE(NPVARIANT_IS_OBJECT(pluginobj));
  NPVariant made;
  ASSERT_TRUE(pluginobj.value.objectValue->_class->construct(pluginobj.value.objectValue, nullptr,
                                                             0, &made));
  NPN_ReleaseVariantValue(&made);
  NPN_ReleaseVariantValue(&pluginobj);
  ASSERT_EQ(page.scripts.size(), 1u);
  EXPECT_NE(page.scripts[0].find("getElementById('result')"), std::string::npos);

  const char* name = nullptr;
  EXPECT_EQ(funcs_.getvalue(&npp, NPPVpluginNameString, &name), NPERR_NO_ERROR);
  EXPECT_STREQ(name, "NPRuntimeTest");
  EXPECT_EQ(funcs_.getvalue(&npp, NPPVpluginDescriptionString, &name), NPERR_NO_ERROR);
  EXPECT_STREQ(name, "Video scriptability API test plugin");
  EXPECT_EQ(funcs_.getvalue(&npp, NPPVpluginWindowBool, &name), NPERR_GENERIC_ERROR);

  NPVariant r;
  ASSERT_TRUE(Call(&npp, obj, "Add",
                   {[] {
                      NPVariant v;
                      INT32_TO_NPVARIANT(2, v);
                      return v;
                    }(),
                    Text("3")},
                   &r));
  EXPECT_EQ(r.type, NPVariantType_Int32);
  EXPECT_EQ(r.value.intValue, 5);
  EXPECT_STREQ(self->display, "Sum = 5");
  NPVariant d;
  DOUBLE_TO_NPVARIANT(1.5, d);
  EXPECT_FALSE(Call(&npp, obj, "Add", {d}, &r));
  EXPECT_FALSE(Call(&npp, obj, "Add", {Text("x")}, &r));

  ASSERT_TRUE(NPN_GetProperty(&npp, obj, NPN_GetStringIdentifier("Version"), &r));
  EXPECT_EQ(std::string(r.value.stringValue.UTF8Characters, r.value.stringValue.UTF8Length),
            "Version 1.0");
  NPN_ReleaseVariantValue(&r);
  NPVariant abc = Text("abc");
  ASSERT_TRUE(NPN_SetProperty(&npp, obj, NPN_GetStringIdentifier("Name"), &abc));
  EXPECT_STREQ(self->display, "Name set. Value = abc");
  ASSERT_TRUE(NPN_GetProperty(&npp, obj, NPN_GetStringIdentifier("Name"), &r));
  EXPECT_EQ(std::string(r.value.stringValue.UTF8Characters, r.value.stringValue.UTF8Length), "abc");
  NPN_ReleaseVariantValue(&r);
  EXPECT_FALSE(NPN_SetProperty(&npp, obj, NPN_GetStringIdentifier("Version"), &abc));
  // A name longer than the texts hold is cut, never written past them.
  const std::string longName(300, 'n');
  NPVariant tooLong = Text(longName.c_str());
  ASSERT_TRUE(NPN_SetProperty(&npp, obj, NPN_GetStringIdentifier("Name"), &tooLong));
  EXPECT_EQ(std::string(self->name), longName.substr(0, 199));
  EXPECT_EQ(std::string(self->display), "Name set. Value = " + longName.substr(0, 181));

  testing::internal::CaptureStdout();
  ASSERT_TRUE(NPN_InvokeDefault(&npp, obj, nullptr, 0, &r));
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "ScriptablePluginObject default method called!\n");
  EXPECT_EQ(std::string(r.value.stringValue.UTF8Characters, r.value.stringValue.UTF8Length),
            "default method return val");
  NPN_ReleaseVariantValue(&r);

  ASSERT_TRUE(Call(&npp, obj, "HostAddr", {Text("192.168.1.20=")}, &r));
  EXPECT_EQ(instance->dvrAddress(), "192.168.1.20");
  ASSERT_TRUE(Call(&npp, obj, "HostAddr", {Text("=10.0.0.1")}, &r));
  EXPECT_EQ(instance->dvrAddress(), "=10.0.0.1");
  ASSERT_TRUE(Call(&npp, obj, "HostAddr", {Text("a=b=")}, &r));
  EXPECT_EQ(instance->dvrAddress(), "a=b");
  EXPECT_FALSE(Call(&npp, obj, "HostAddr", {d}, &r));
  ASSERT_TRUE(Call(&npp, obj, "Preview", {[] {
    NPVariant v;
    DOUBLE_TO_NPVARIANT(1.0, v);
    return v;
  }()},
                   &r));
  EXPECT_EQ(instance->preview(), 1);
  ASSERT_TRUE(Call(&npp, obj, "Preview", {[] {
    NPVariant v;
    INT32_TO_NPVARIANT(2, v);
    return v;
  }()},
                   &r));
  EXPECT_EQ(instance->preview(), 0);
  ASSERT_TRUE(Call(&npp, obj, "SipName", {Text("dvr1=")}, &r));
  EXPECT_EQ(self->sipName, "dvr1");
  EXPECT_FALSE(Call(&npp, obj, "Nothing", {}, &r));

  // Without a window "Start" says so and fails; so does an argument that is no number.
  EXPECT_FALSE(Call(&npp, obj, "Start", {Text("4")}, &r));
  ASSERT_EQ(prompts.size(), 1u);
  EXPECT_EQ(prompts[0], "start|gm_Wnd==NULL");

  NPN_ReleaseObject(obj);
  EXPECT_EQ(funcs_.destroy(&npp, nullptr), NPERR_NO_ERROR);
  EXPECT_EQ(npp.pdata, nullptr);
}

// "Start" "4" on a window: a 2 by 2 grid whose channels have no title; a second "Start" or a
// larger count only relayouts the same four; destroying the instance gives the window its
// procedure back and leaves no thread.
TEST_F(Plugin, StartBuildsTheGridOnceAndDestroyLeavesNothing) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = PageWindowProc;
  wc.lpszClassName = "TestPluginHost";
  RegisterClassA(&wc);
  HWND host = CreateWindowExA(0, "TestPluginHost", "", WS_VISIBLE, 0, 0, 900, 600, nullptr, nullptr,
                              nullptr, nullptr);
  ASSERT_NE(host, nullptr);
  const int threadsBefore = ThreadCount();
  TestPage page;
  NPP_t npp;
  NPObject* obj = NewInstance(&npp, &page);
  NPWindow window{host, 0, 0, 900, 600, {0, 0, 600, 900}, NPWindowTypeWindow};
  ASSERT_EQ(funcs_.setwindow(&npp, &window), NPERR_NO_ERROR);
  EXPECT_NE(GetWindowLongPtrA(host, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&PageWindowProc));
  auto* instance = static_cast<PluginInstance*>(npp.pdata);

  NPVariant r;
  NPVariant no;
  NULL_TO_NPVARIANT(no);
  EXPECT_FALSE(Call(&npp, obj, "Start", {no}, &r));
  ASSERT_EQ(prompts.size(), 1u);
  EXPECT_EQ(prompts[0], "start|type:1");
  ASSERT_TRUE(Call(&npp, obj, "Start", {Text("4")}, &r));
  EXPECT_FALSE(instance->gridBuilt());  // posted, as the page's call returns first
  Drain();
  ASSERT_TRUE(instance->gridBuilt());
  std::vector<HWND> channels = ChannelWindows(host);
  ASSERT_EQ(channels.size(), 4u);
  const RECT cell0 = WindowRectOf(channels[0]);
  const RECT cell1 = WindowRectOf(channels[1]);
  const RECT cell2 = WindowRectOf(channels[2]);
  EXPECT_EQ(cell1.top, cell0.top);  // two columns, two rows
  EXPECT_GT(cell1.left, cell0.left);
  EXPECT_EQ(cell2.left, cell0.left);
  EXPECT_GT(cell2.top, cell0.top);

  SetWindowPos(host, nullptr, 0, 0, 700, 500, SWP_NOMOVE | SWP_NOZORDER);
  ASSERT_TRUE(Call(&npp, obj, "Start", {Text("4")}, &r));
  Drain();
  EXPECT_EQ(ChannelWindows(host), channels);
  EXPECT_LT(WindowRectOf(channels[1]).left, cell1.left);  // laid out again, smaller
  NPVariant nine;
  INT32_TO_NPVARIANT(9, nine);
  ASSERT_TRUE(Call(&npp, obj, "Start", {nine}, &r));
  PostMessageA(host, control::npapi::kCountMessage, 16, 0);
  Drain();
  EXPECT_EQ(ChannelWindows(host), channels);

  // A snapshot request from a channel window is not handled here.
  EXPECT_EQ(SendMessageA(host, control::kSelectMessage, 1, 2), 1);
  EXPECT_TRUE(prompts.size() == 1u);

  NPN_ReleaseObject(obj);
  EXPECT_EQ(funcs_.destroy(&npp, nullptr), NPERR_NO_ERROR);
  EXPECT_EQ(GetWindowLongPtrA(host, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&PageWindowProc));
  for (HWND w : channels) EXPECT_FALSE(IsWindow(w));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (ThreadCount() > threadsBefore && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_LE(ThreadCount(), threadsBefore);
  DestroyWindow(host);
}

}  // namespace
