#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "platform/npapi/browser.h"

namespace {

// A page object as a script engine would give it: named values, one method "twice".
struct PageObject : NPObject {
  std::map<NPIdentifier, int32_t> values;
  int* freed;
};

int freedObjects = 0;

NPObject* Allocate(NPP, NPClass*) {
  auto* obj = new PageObject;
  obj->freed = &freedObjects;
  return obj;
}
void Deallocate(NPObject* obj) {
  ++*static_cast<PageObject*>(obj)->freed;
  delete static_cast<PageObject*>(obj);
}
bool Invoke(NPObject*, NPIdentifier name, const NPVariant* args, uint32_t count,
            NPVariant* result) {
  if (name != NPN_GetStringIdentifier("twice") || count != 1 || !NPVARIANT_IS_INT32(args[0]))
    return false;
  INT32_TO_NPVARIANT(args[0].value.intValue * 2, *result);
  return true;
}
bool GetProperty(NPObject* obj, NPIdentifier name, NPVariant* result) {
  auto& values = static_cast<PageObject*>(obj)->values;
  auto it = values.find(name);
  if (it == values.end()) return false;
  INT32_TO_NPVARIANT(it->second, *result);
  return true;
}
bool SetProperty(NPObject* obj, NPIdentifier name, const NPVariant* value) {
  if (!NPVARIANT_IS_INT32(*value)) return false;
  static_cast<PageObject*>(obj)->values[name] = value->value.intValue;
  return true;
}

NPClass pageClass = {NP_CLASS_STRUCT_VERSION,
                     Allocate,
                     Deallocate,
                     nullptr,
                     nullptr,
                     Invoke,
                     nullptr,
                     nullptr,
                     GetProperty,
                     SetProperty,
                     nullptr,
                     nullptr,
                     nullptr};

class FakePage : public NpPage {
 public:
  NPObject* window = nullptr;
  std::string evaluated;
  NPObject* WindowObject() override { return NPN_RetainObject(window); }
  NPObject* PluginElement() override { return nullptr; }
  bool Evaluate(NPObject*, const std::string& script, NPVariant* result) override {
    evaluated = script;
    char* text = static_cast<char*>(NPN_MemAlloc(2));
    std::memcpy(text, "ok", 2);
    STRINGN_TO_NPVARIANT(text, 2, *result);
    return true;
  }
};

TEST(NpapiBrowser, IdentifiersAreInternedAndTellTheirKind) {
  NPIdentifier a = NPN_GetStringIdentifier("document");
  EXPECT_EQ(a, NPN_GetStringIdentifier(std::string("docu").append("ment").c_str()));
  EXPECT_NE(a, NPN_GetStringIdentifier("Document"));
  EXPECT_TRUE(NPN_IdentifierIsString(a));
  NPUTF8* name = NPN_UTF8FromIdentifier(a);
  EXPECT_STREQ(name, "document");
  NPN_MemFree(name);
  NPIdentifier seven = NPN_GetIntIdentifier(7);
  EXPECT_EQ(seven, NPN_GetIntIdentifier(7));
  EXPECT_FALSE(NPN_IdentifierIsString(seven));
  EXPECT_EQ(NPN_IntFromIdentifier(seven), 7);
  EXPECT_EQ(NPN_UTF8FromIdentifier(seven), nullptr);
  EXPECT_EQ(NPN_IntFromIdentifier(a), -1);
}

// Through the table, as a plug-in calls: the window object of the page, a property set and
// read back on it, a method, evaluation, and the object freed exactly at its last release,
// also when the last reference is a variant's.
TEST(NpapiBrowser, PluginReachesPageObjectsThroughTheTable) {
  NPNetscapeFuncs* fn = NpBrowserFunctions();
  EXPECT_EQ(fn->version >> 8, 0);
  EXPECT_EQ(fn->version & 0xFF, 27);
  FakePage page;
  NPP_t instance{nullptr, &page};
  freedObjects = 0;
  page.window = fn->createobject(&instance, &pageClass);
  ASSERT_NE(page.window, nullptr);
  EXPECT_EQ(page.window->referenceCount, 1u);

  NPObject* window = nullptr;
  ASSERT_EQ(fn->getvalue(&instance, NPNVWindowNPObject, &window), NPERR_NO_ERROR);
  EXPECT_EQ(window, page.window);
  EXPECT_EQ(window->referenceCount, 2u);
  EXPECT_EQ(fn->getvalue(nullptr, NPNVWindowNPObject, &window), NPERR_INVALID_INSTANCE_ERROR);

  NPIdentifier foof = fn->getstringidentifier("foof");
  NPVariant v;
  INT32_TO_NPVARIANT(46, v);
  EXPECT_TRUE(fn->setproperty(&instance, window, foof, &v));
  NPVariant read;
  VOID_TO_NPVARIANT(read);
  ASSERT_TRUE(fn->getproperty(&instance, window, foof, &read));
  EXPECT_EQ(read.value.intValue, 46);
  EXPECT_FALSE(fn->getproperty(&instance, window, fn->getstringidentifier("none"), &read));
  EXPECT_FALSE(fn->invokeDefault(&instance, window, nullptr, 0, &read));  // class has none
  ASSERT_TRUE(fn->invoke(&instance, window, fn->getstringidentifier("twice"), &v, 1, &read));
  EXPECT_EQ(read.value.intValue, 92);

  NPString script{"1 + 1", 5};
  ASSERT_TRUE(fn->evaluate(&instance, window, &script, &read));
  EXPECT_EQ(page.evaluated, "1 + 1");
  EXPECT_EQ(std::string(read.value.stringValue.UTF8Characters, read.value.stringValue.UTF8Length),
            "ok");
  fn->releasevariantvalue(&read);
  EXPECT_EQ(read.type, NPVariantType_Void);

  fn->releaseobject(window);
  EXPECT_EQ(freedObjects, 0);
  OBJECT_TO_NPVARIANT(page.window, v);
  fn->releasevariantvalue(&v);
  EXPECT_EQ(freedObjects, 1);

  fn->setexception(nullptr, "bad argument");
  std::string message;
  EXPECT_TRUE(NpTakeException(&message));
  EXPECT_EQ(message, "bad argument");
  EXPECT_FALSE(NpTakeException(&message));
}

}  // namespace
