#pragma once
// The page's params as the property bag a browser gives an ActiveX control, and the client
// site the control is placed in. Both live as long as the host keeps them; their reference
// counts are kept for the control's sake only.

#include "platform/com/ocidl.h"
#include "tools/orvix/hosted_viewer.h"

namespace orvix {

// Read gives a param as VT_BSTR (or converted to the type the control asks for);
// E_INVALIDARG for a param the page does not have. Besides the page's params it answers
// "OrvixRtspPort" and "OrvixCommandPort" when a simulator moved the DVR's ports.
class PageBag : public IPropertyBag {
 public:
  explicit PageBag(const PageProperties& page) : page_(page) {}
  HRESULT QueryInterface(REFIID iid, void** out) override;
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }
  HRESULT Read(LPCOLESTR name, VARIANT* value, IErrorLog* log) override;
  HRESULT Write(LPCOLESTR, VARIANT*) override { return E_NOTIMPL; }

 private:
  const PageProperties& page_;
};

// A site that asks nothing of the control: the host gives it its window and rectangle
// through DoVerb.
class PageSite : public IOleClientSite {
 public:
  HRESULT QueryInterface(REFIID iid, void** out) override;
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }
  HRESULT SaveObject() override { return E_NOTIMPL; }
  HRESULT GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
  HRESULT GetContainer(IOleContainer**) override { return E_NOINTERFACE; }
  HRESULT ShowObject() override { return S_OK; }
  HRESULT OnShowWindow(BOOL) override { return S_OK; }
  HRESULT RequestNewObjectLayout() override { return E_NOTIMPL; }
};

}  // namespace orvix
