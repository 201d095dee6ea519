#pragma once
// The viewer control as an OLE control: the viewer core (control::ViewerControl) in the
// framework's windowed control, with its safety answers, its factory and its one property
// page.

#include <memory>

#include "control/activex/framework/class_factory.h"
#include "control/activex/framework/ole_control.h"
#include "control/viewer_control.h"

namespace locorvix {

class COrviXCtrl : public activex::OleControl {
 public:
  COrviXCtrl();

  // The control's IObjectSafety, a nested interface whose references are the control's.
  class XObjSafe : public IObjectSafety {
   public:
    explicit XObjSafe(COrviXCtrl* outer) : outer_(outer) {}
    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override;
    ULONG Release() override;
    // Both options for every interface the control has; E_NOINTERFACE for others.
    HRESULT GetInterfaceSafetyOptions(REFIID iid, DWORD* supported, DWORD* enabled) override;
    // E_FAIL for a mask beyond the two options or enabled options that do not cover it.
    HRESULT SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD enabled) override;

   private:
    COrviXCtrl* const outer_;
  };

  class COrviXCtrlFactory : public activex::ClassFactory {
   public:
    COrviXCtrlFactory();
    IUnknown* CreateObject() override;
    bool UpdateRegistry(bool register_it) override;
  };

 protected:
  ~COrviXCtrl() override;
  LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override;
  void OnDraw(HDC dc, const RECT& bounds) override;
  HRESULT LoadProperties(IPropertyBag* bag, IErrorLog* log) override;
  std::vector<CLSID> PropertyPages() const override;
  DWORD MiscStatus() const override;
  void* FindInterface(REFIID iid) override;

 private:
  bool Supports(REFIID iid);

  XObjSafe safety_{this};
  std::unique_ptr<control::ViewerControl> core_;
};

}  // namespace locorvix
