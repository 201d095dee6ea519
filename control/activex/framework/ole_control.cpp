#include "control/activex/framework/ole_control.h"

#include <cstdio>
#include <map>
#include <string>

#include "control/activex/framework/ole_module.h"
#include "platform/gdi/gdi.h"
#include "platform/ui/ui.h"

namespace activex {
namespace {

int g_controls = 0;  // live controls of the module, on the window thread

// The control of each control window. The window's user data is left to the control itself
// (the viewer core keeps itself there).
std::map<HWND, OleControl*>& Windows() {
  static std::map<HWND, OleControl*> windows;
  return windows;
}

// The window class is the module's: its name carries an address of the module, so that two
// modules built with the framework never share one.
const std::string& ClassName() {
  static const std::string name = [] {
    char text[48];
    std::snprintf(text, sizeof(text), "OleControl%p", static_cast<const void*>(&g_controls));
    return std::string(text);
  }();
  return name;
}

}  // namespace

OleControl::OleControl(const CLSID& clsid, const IID& dispatch_iid)
    : clsid_(clsid), dispatch_iid_(dispatch_iid) {
  OleModule::Current()->Lock();
  ++g_controls;
}

OleControl::~OleControl() {
  if (window_ && IsWindow(window_)) DestroyWindow(window_);
  if (site_) site_->Release();
  if (--g_controls == 0) UnregisterClassA(ClassName().c_str(), nullptr);
  OleModule::Current()->Unlock();
}

HRESULT OleControl::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == dispatch_iid_) {
    *out = static_cast<IDispatch*>(this);
  } else if (iid == IID_IOleObject) {
    *out = static_cast<IOleObject*>(this);
  } else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceObject) {
    *out = static_cast<IOleInPlaceObject*>(this);
  } else if (iid == IID_IOleControl) {
    *out = static_cast<IOleControl*>(this);
  } else if (iid == IID_IPersist || iid == IID_IPersistPropertyBag) {
    *out = static_cast<IPersistPropertyBag*>(this);
  } else if (iid == IID_ISpecifyPropertyPages) {
    *out = static_cast<ISpecifyPropertyPages*>(this);
  } else if (void* extra = FindInterface(iid)) {
    *out = extra;  // FindInterface took its reference
    return S_OK;
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG OleControl::AddRef() { return ++refs_; }

ULONG OleControl::Release() {
  const ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

HRESULT OleControl::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT OleControl::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT OleControl::GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID, DISPID* ids) {
  for (UINT i = 0; ids && i < count; ++i) ids[i] = -1;
  return DISP_E_UNKNOWNNAME;
}

HRESULT OleControl::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
  return DISP_E_MEMBERNOTFOUND;
}

HRESULT OleControl::SetClientSite(IOleClientSite* site) {
  if (site) site->AddRef();
  if (site_) site_->Release();
  site_ = site;
  return S_OK;
}

HRESULT OleControl::GetClientSite(IOleClientSite** site) {
  if (!site) return E_POINTER;
  *site = site_;
  if (site_) site_->AddRef();
  return S_OK;
}

HRESULT OleControl::Close(DWORD) { return InPlaceDeactivate(); }

HRESULT OleControl::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent,
                           LPCRECT position) {
  switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_INPLACEACTIVATE:
    case OLEIVERB_UIACTIVATE:
      break;
    case OLEIVERB_HIDE:
      if (window_) ShowWindow(window_, SW_HIDE);
      return S_OK;
    default:
      return E_NOTIMPL;
  }
  if (site && !site_) SetClientSite(site);
  if (window_) {
    ShowWindow(window_, SW_SHOW);
    return S_OK;
  }
  if (!parent || !position) return E_INVALIDARG;
  return CreateControlWindow(parent, *position) ? S_OK : E_FAIL;
}

HRESULT OleControl::GetUserClassID(CLSID* clsid) { return GetClassID(clsid); }

HRESULT OleControl::SetExtent(DWORD aspect, SIZEL* size) {
  if (aspect != DVASPECT_CONTENT || !size) return E_INVALIDARG;
  extent_ = *size;
  return S_OK;
}

HRESULT OleControl::GetExtent(DWORD aspect, SIZEL* size) {
  if (aspect != DVASPECT_CONTENT || !size) return E_INVALIDARG;
  *size = extent_;
  return S_OK;
}

HRESULT OleControl::GetMiscStatus(DWORD, DWORD* status) {
  if (!status) return E_POINTER;
  *status = MiscStatus();
  return S_OK;
}

HRESULT OleControl::GetWindow(HWND* window) {
  if (!window) return E_POINTER;
  *window = window_;
  return window_ ? S_OK : E_FAIL;
}

HRESULT OleControl::InPlaceDeactivate() {
  if (window_ && IsWindow(window_)) DestroyWindow(window_);
  window_ = nullptr;
  return S_OK;
}

HRESULT OleControl::SetObjectRects(LPCRECT position, LPCRECT) {
  if (!position) return E_INVALIDARG;
  if (!window_) return OLE_E_NOT_INPLACEACTIVE;
  MoveWindow(window_, position->left, position->top, position->right - position->left,
             position->bottom - position->top, TRUE);
  return S_OK;
}

HRESULT OleControl::GetControlInfo(CONTROLINFO* info) {
  if (!info) return E_POINTER;
  info->hAccel = nullptr;
  info->cAccel = 0;
  info->dwFlags = 0;
  return S_OK;
}

HRESULT OleControl::GetClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = clsid_;
  return S_OK;
}

HRESULT OleControl::Load(IPropertyBag* bag, IErrorLog* log) {
  if (!bag) return E_POINTER;
  return LoadProperties(bag, log);
}

HRESULT OleControl::LoadProperties(IPropertyBag*, IErrorLog*) { return S_OK; }

HRESULT OleControl::GetPages(CAUUID* pages) {
  if (!pages) return E_POINTER;
  const std::vector<CLSID> list = PropertyPages();
  pages->cElems = static_cast<ULONG>(list.size());
  pages->pElems =
      static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID) * (list.empty() ? 1 : list.size())));
  if (!pages->pElems) return E_OUTOFMEMORY;
  for (size_t i = 0; i < list.size(); ++i) pages->pElems[i] = list[i];
  return S_OK;
}

LRESULT OleControl::WindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
  return DefaultWindowProc(message, wparam, lparam);
}

LRESULT OleControl::DefaultWindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window_, &ps);
    RECT client;
    GetClientRect(window_, &client);
    OnDraw(dc, client);
    EndPaint(window_, &ps);
    return 0;
  }
  return DefWindowProcA(window_, message, wparam, lparam);
}

void OleControl::OnDraw(HDC, const RECT&) {}

LRESULT OleControl::Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lparam);
    auto* control = static_cast<OleControl*>(create->lpCreateParams);
    control->window_ = window;
    Windows()[window] = control;
  }
  auto it = Windows().find(window);
  if (it == Windows().end()) return DefWindowProcA(window, message, wparam, lparam);
  OleControl* control = it->second;
  const LRESULT result = control->WindowProc(message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    Windows().erase(window);
    control->window_ = nullptr;
  }
  return result;
}

bool OleControl::CreateControlWindow(HWND parent, const RECT& position) {
  WNDCLASSA wc{};
  if (!GetClassInfoA(nullptr, ClassName().c_str(), &wc)) {
    wc.lpfnWndProc = &OleControl::Proc;
    wc.lpszClassName = ClassName().c_str();
    if (RegisterClassA(&wc) == 0) return false;
  }
  return CreateWindowExA(0, ClassName().c_str(), "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
                         position.left, position.top, position.right - position.left,
                         position.bottom - position.top, parent, nullptr, nullptr, this) != nullptr;
}

}  // namespace activex
