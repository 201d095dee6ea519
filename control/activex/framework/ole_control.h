#pragma once
// The framework's windowed OLE control: one COM object that answers the interfaces a
// container uses (IDispatch, IOleObject, IOleInPlaceObject, IOleControl, IPersistPropertyBag,
// ISpecifyPropertyPages) and owns one window, made when the container activates it in place
// and destroyed when it deactivates it or closes it.
//
// A control derives from it and overrides what it needs: WindowProc (which the window's
// messages reach first; DefaultWindowProc paints with OnDraw), OnDraw, LoadProperties (the
// container's params, from IPersistPropertyBag::Load), PropertyPages, MiscStatus, and
// FindInterface to add interfaces of its own (the interface map).
//
// Lifetime: the container holds references; the last Release deletes the object (its window
// must be gone by then: InPlaceDeactivate or Close). Each object locks the module while it
// lives. The window class is the module's own and is unregistered with its last control, so
// no class of an unloaded module stays behind.
//
// Threads: the container's window thread, for every call.

#include <atomic>
#include <vector>

#include "platform/com/ocidl.h"
#include "platform/ui/ui_types.h"

namespace activex {

class OleControl : public IDispatch,
                   public IOleObject,
                   public IOleInPlaceObject,
                   public IOleControl,
                   public IPersistPropertyBag,
                   public ISpecifyPropertyPages {
 public:
  OleControl(const CLSID& clsid, const IID& dispatch_iid);
  OleControl(const OleControl&) = delete;
  OleControl& operator=(const OleControl&) = delete;

  HWND hwnd() const { return window_; }
  // References for nested interfaces that forward to the object.
  ULONG ExternalAddRef() { return AddRef(); }
  ULONG ExternalRelease() { return Release(); }
  HRESULT ExternalQueryInterface(REFIID iid, void** out) { return QueryInterface(iid, out); }

  // IUnknown
  HRESULT QueryInterface(REFIID iid, void** out) override;
  ULONG AddRef() override;
  ULONG Release() override;

  // IDispatch: a dispatch interface without methods or properties.
  HRESULT GetTypeInfoCount(UINT* count) override;
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID, DISPID* ids) override;
  HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override;

  // IOleObject
  HRESULT SetClientSite(IOleClientSite* site) override;
  HRESULT GetClientSite(IOleClientSite** site) override;
  HRESULT SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
  HRESULT Close(DWORD save_option) override;
  HRESULT SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
  HRESULT GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
  HRESULT InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
  HRESULT GetClipboardData(DWORD, IDataObject**) override { return E_NOTIMPL; }
  HRESULT DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent,
                 LPCRECT position) override;
  HRESULT EnumVerbs(IEnumOLEVERB**) override { return OLEOBJ_E_NOVERBS; }
  HRESULT Update() override { return S_OK; }
  HRESULT IsUpToDate() override { return S_OK; }
  HRESULT GetUserClassID(CLSID* clsid) override;
  HRESULT GetUserType(DWORD, LPOLESTR*) override { return E_NOTIMPL; }
  HRESULT SetExtent(DWORD aspect, SIZEL* size) override;
  HRESULT GetExtent(DWORD aspect, SIZEL* size) override;
  HRESULT Advise(IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
  HRESULT Unadvise(DWORD) override { return E_NOTIMPL; }
  HRESULT EnumAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
  HRESULT GetMiscStatus(DWORD aspect, DWORD* status) override;
  HRESULT SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

  // IOleWindow, IOleInPlaceObject
  HRESULT GetWindow(HWND* window) override;
  HRESULT ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  HRESULT InPlaceDeactivate() override;
  HRESULT UIDeactivate() override { return S_OK; }
  HRESULT SetObjectRects(LPCRECT position, LPCRECT clip) override;
  HRESULT ReactivateAndUndo() override { return E_NOTIMPL; }

  // IOleControl
  HRESULT GetControlInfo(CONTROLINFO* info) override;
  HRESULT OnMnemonic(LPMSG) override { return E_NOTIMPL; }
  HRESULT OnAmbientPropertyChange(DISPID) override { return S_OK; }
  HRESULT FreezeEvents(BOOL) override { return S_OK; }

  // IPersist, IPersistPropertyBag
  HRESULT GetClassID(CLSID* clsid) override;
  HRESULT InitNew() override { return S_OK; }
  HRESULT Load(IPropertyBag* bag, IErrorLog* log) override;
  HRESULT Save(IPropertyBag*, BOOL, BOOL) override { return E_NOTIMPL; }

  // ISpecifyPropertyPages
  HRESULT GetPages(CAUUID* pages) override;

 protected:
  virtual ~OleControl();

  // The control's window procedure; DefaultWindowProc is the framework's own handling.
  virtual LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT DefaultWindowProc(UINT message, WPARAM wparam, LPARAM lparam);
  virtual void OnDraw(HDC dc, const RECT& bounds);
  // Reads the params; a failure fails IPersistPropertyBag::Load.
  virtual HRESULT LoadProperties(IPropertyBag* bag, IErrorLog* log);
  virtual std::vector<CLSID> PropertyPages() const { return {}; }
  virtual DWORD MiscStatus() const { return 0; }
  // An interface the control adds (with a reference taken), or null.
  virtual void* FindInterface(REFIID) { return nullptr; }

 private:
  static LRESULT Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  bool CreateControlWindow(HWND parent, const RECT& position);

  const CLSID clsid_;
  const IID dispatch_iid_;
  std::atomic<ULONG> refs_{1};
  IOleClientSite* site_ = nullptr;
  HWND window_ = nullptr;
  SIZEL extent_{0, 0};
};

}  // namespace activex
