#pragma once
// The control's one property page: dialog resource 178, caption string 177, no field
// exchanged. The page object is created through its factory; the page interfaces a property
// sheet would drive are not offered, as no container here shows property sheets.

#include <atomic>
#include <string>

#include "control/activex/framework/class_factory.h"

namespace locorvix {

class COrviXPropPage : public IUnknown {
 public:
  COrviXPropPage();
  HRESULT QueryInterface(REFIID iid, void** out) override;
  ULONG AddRef() override;
  ULONG Release() override;

  static int DialogId();
  static std::string Caption();

  class COrviXPropPageFactory : public activex::ClassFactory {
   public:
    COrviXPropPageFactory();
    IUnknown* CreateObject() override;
    bool UpdateRegistry(bool register_it) override;
  };

 protected:
  ~COrviXPropPage() override;

 private:
  std::atomic<ULONG> refs_{1};
};

}  // namespace locorvix
