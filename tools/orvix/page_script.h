#pragma once
// The page's script engine (MuJS) as the browser side of the plug-in interface sees it: the
// page's window (the engine's global object) and document, and the embed element's scriptable
// object. Script values cross to the plug-in as NPVariants: numbers that are whole and fit
// become integers, texts are copied, plug-in objects go back as themselves and page objects
// are wrapped (an NPObject that holds a reference to the script object).
//
// The document is a small one: getElementById finds the page's elements with an id and the
// embed element; createElement, createTextNode and appendChild build paragraphs, and each
// node appended to a page element is printed as "orvix: #ID gets <TAG> TEXT". alert() goes to
// the message box handler with the caption "alert".
//
// Errors in a block are reported on standard error as "orvix: PAGE:LINE: MESSAGE" and end that
// block only, as in a browser. LINE is the page line of a syntax error; for an error while the
// block runs it is the block's first line, as the engine keeps no line for those.
//
// Threads: the window thread only. Objects the plug-in still holds when the page goes stay
// valid and answer nothing.

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/npapi/browser.h"
#include "platform/ui/ui_types.h"
#include "tools/orvix/embed_page.h"

struct js_State;

namespace orvix {

struct JsObject;

class PageScript : public NpPage {
 public:
  // `pageName` names the page in error reports; `owner` owns the alert boxes.
  PageScript(std::string pageName, HWND owner);
  ~PageScript() override;
  PageScript(const PageScript&) = delete;
  PageScript& operator=(const PageScript&) = delete;

  void DeclareElements(const std::vector<PageElement>& elements);
  // The embed element's object, found by `id`; the page keeps a reference.
  void SetPluginObject(const std::string& id, NPObject* object);
  // Runs a block; false when it ended with an error (reported).
  bool Run(const PageScriptBlock& block);
  int errorCount() const { return errors_; }

  NPObject* WindowObject() override;
  NPObject* PluginElement() override { return nullptr; }
  bool Evaluate(NPObject* scope, const std::string& script, NPVariant* result) override;

  // The engine's side, for the object bridge (page_script.cpp).
  js_State* state() const { return J_; }
  HWND owner() const { return owner_; }
  void Forget(JsObject* object) { objects_.erase(object); }
  void Keep(JsObject* object) { objects_.insert(object); }
  void ReportTop(int fallbackLine);

 private:
  std::string pageName_;
  HWND owner_;
  js_State* J_;
  std::set<JsObject*> objects_;
  int errors_ = 0;
};

}  // namespace orvix
