// What a new instance does on its page, through the browser's table: it proves the page's
// window object can be written and read, leaves the page its document and a constructable
// object, and writes a paragraph into the page's "result" element.
#include <cstdio>
#include <cstring>

#include "control/npapi/browser.h"
#include "control/npapi/plugin_instance.h"

namespace control::npapi {
namespace {

constexpr char kResultScript[] =
    "var r = document.getElementById('result');"
    "if (r) { var p = document.createElement('p');"
    " p.textContent = 'The plug-in reached the page.'; r.appendChild(p); }";

bool Evaluate(NPP npp, NPObject* window, const char* script) {
  NPString text{script, static_cast<uint32_t>(std::strlen(script))};
  NPVariant result;
  VOID_TO_NPVARIANT(result);
  if (!Browser().evaluate(npp, window, &text, &result)) return false;
  Browser().releasevariantvalue(&result);
  return true;
}

}  // namespace

void PluginInstance::RunPageActions() {
  NPNetscapeFuncs& b = Browser();
  NPObject* window = nullptr;
  if (b.getvalue(npp_, NPNVWindowNPObject, &window) != NPERR_NO_ERROR || window == nullptr) return;
  NPIdentifier foof = b.getstringidentifier("foof");
  NPVariant v;
  INT32_TO_NPVARIANT(46, v);
  b.setproperty(npp_, window, foof, &v);
  NPVariant rval;
  VOID_TO_NPVARIANT(rval);
  if (b.getproperty(npp_, window, foof, &rval)) {
    if (NPVARIANT_IS_INT32(rval)) std::printf("rval = %d\n", rval.value.intValue);
    if (NPVARIANT_IS_DOUBLE(rval))
      std::printf("rval = %d\n", static_cast<int>(rval.value.doubleValue));
    b.releasevariantvalue(&rval);
  }

  NPIdentifier document = b.getstringidentifier("document");
  if (!b.identifierisstring(document))
    Evaluate(npp_, window, "alert('NPN_IdentifierIsString() test failed!');");
  NPVariant doc;
  VOID_TO_NPVARIANT(doc);
  if (b.getproperty(npp_, window, document, &doc) && NPVARIANT_IS_OBJECT(doc)) {
    b.setproperty(npp_, window, b.getstringidentifier("plugindoc"), &doc);
    Evaluate(npp_, window, kResultScript);
  }
  b.releasevariantvalue(&doc);

  if (NPObject* made = b.createobject(npp_, ConstructableClass())) {
    std::printf("Creating new ConstructablePluginObject!\n");
    OBJECT_TO_NPVARIANT(made, v);
    b.setproperty(npp_, window, b.getstringidentifier("pluginobj"), &v);
    b.releaseobject(made);
  }
  b.releaseobject(window);
}

}  // namespace control::npapi
