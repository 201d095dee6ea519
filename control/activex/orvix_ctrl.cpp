#include "control/activex/orvix_ctrl.h"

#include <cstdio>
#include <cstdlib>

#include "OrviXResources.h"
#include "control/activex/framework/registration.h"
#include "control/activex/orvix_app.h"
#include "control/activex/orvix_ids.h"
#include "control/live_channel.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/code_page.h"
#include "platform/ui/dialog_resource.h"
#include "platform/ui/ui.h"

namespace locorvix {
namespace {

// The video library side of the controls; it outlives every control of the module.
control::VideoLibrary& Library() {
  static control::VideoLibrary library;
  return library;
}

constexpr DWORD kSafeOptions =
    INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;

std::string Text(int id) {
  char text[256];
  LoadStringA(OrviXResources(), static_cast<UINT>(id), text, sizeof(text));
  return text;
}

// A param of the page as text; a missing one reads as empty.
std::string ReadParam(IPropertyBag* bag, IErrorLog* log, const char* name) {
  std::u16string wide(name, name + std::char_traits<char>::length(name));
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_BSTR;
  if (FAILED(bag->Read(wide.c_str(), &value, log)) || value.vt != VT_BSTR || !value.bstrVal) {
    VariantClear(&value);
    return std::string();
  }
  char text[1024];
  const int n =
      WideCharToMultiByte(CP_UTF8, 0, value.bstrVal, static_cast<int>(SysStringLen(value.bstrVal)),
                          text, sizeof(text) - 1, nullptr, nullptr);
  VariantClear(&value);
  return std::string(text, n > 0 ? static_cast<size_t>(n) : 0);
}

COrviXCtrl::COrviXCtrlFactory g_factory;

}  // namespace

COrviXCtrl::COrviXCtrl()
    : OleControl(kControlClassId, kDispatchId),
      core_(std::make_unique<control::ViewerControl>(Library())) {}

COrviXCtrl::~COrviXCtrl() {
  // The window goes first, so that the core tears down from its own messages.
  InPlaceDeactivate();
  core_.reset();
}

HRESULT COrviXCtrl::XObjSafe::QueryInterface(REFIID iid, void** out) {
  return outer_->ExternalQueryInterface(iid, out);
}
ULONG COrviXCtrl::XObjSafe::AddRef() { return outer_->ExternalAddRef(); }
ULONG COrviXCtrl::XObjSafe::Release() { return outer_->ExternalRelease(); }

HRESULT COrviXCtrl::XObjSafe::GetInterfaceSafetyOptions(REFIID iid, DWORD* supported,
                                                        DWORD* enabled) {
  if (!supported || !enabled) return E_POINTER;
  *supported = kSafeOptions;
  *enabled = kSafeOptions;
  return outer_->Supports(iid) ? S_OK : E_NOINTERFACE;
}

HRESULT COrviXCtrl::XObjSafe::SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD enabled) {
  if (!outer_->Supports(iid)) return E_NOINTERFACE;
  if ((mask & ~kSafeOptions) != 0) return E_FAIL;
  return (mask & enabled & kSafeOptions) == mask ? S_OK : E_FAIL;
}

bool COrviXCtrl::Supports(REFIID iid) {
  IUnknown* unknown = nullptr;
  if (FAILED(QueryInterface(iid, reinterpret_cast<void**>(&unknown)))) return false;
  unknown->Release();
  return true;
}

void* COrviXCtrl::FindInterface(REFIID iid) {
  if (!(iid == IID_IObjectSafety)) return nullptr;
  safety_.AddRef();
  return static_cast<IObjectSafety*>(&safety_);
}

LRESULT COrviXCtrl::WindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      core_->OnCreate(hwnd());
      break;
    case WM_SIZE:
      core_->OnSize();
      break;
    case control::kClickMessage:
      core_->OnShowRequest(wparam, lparam);
      break;
    case control::kSelectMessage:
      core_->OnSelect(wparam, lparam);
      break;
    case WM_TIMER:
      if (wparam != control::kReconnectTimer) break;
      core_->OnTimer(wparam);
      return 0;
    case WM_DESTROY:
      std::printf("COrviXCtrl----------\n");
      std::fflush(stdout);
      core_->OnDestroy();
      break;
    case WM_NCDESTROY:
      core_->OnNcDestroy();
      break;
    default:
      break;
  }
  return DefaultWindowProc(message, wparam, lparam);
}

void COrviXCtrl::OnDraw(HDC dc, const RECT& bounds) {
  FillRect(dc, &bounds, static_cast<HBRUSH>(GetStockObject(DKGRAY_BRUSH)));
}

HRESULT COrviXCtrl::LoadProperties(IPropertyBag* bag, IErrorLog* log) {
  // A host that runs a DVR simulator off the DVR's ports says where; a page never does.
  if (const int port = std::atoi(ReadParam(bag, log, "OrvixRtspPort").c_str()); port > 0) {
    core_->SetRtspPort(port);
  }
  if (const int port = std::atoi(ReadParam(bag, log, "OrvixCommandPort").c_str()); port > 0) {
    core_->SetCommandPort(port);
  }
  core_->LoadSettings([&](const char* name) { return ReadParam(bag, log, name); });
  return S_OK;
}

std::vector<CLSID> COrviXCtrl::PropertyPages() const { return {kPropPageClassId}; }

DWORD COrviXCtrl::MiscStatus() const { return kMiscStatus; }

COrviXCtrl::COrviXCtrlFactory::COrviXCtrlFactory()
    : ClassFactory(kControlClassId, kControlProgId) {}

IUnknown* COrviXCtrl::COrviXCtrlFactory::CreateObject() {
  return static_cast<IDispatch*>(new COrviXCtrl);
}

bool COrviXCtrl::COrviXCtrlFactory::UpdateRegistry(bool register_it) {
  if (!register_it) return activex::UnregisterClassKeys(kControlClassId, kControlProgId);
  activex::ClassKeys keys;
  keys.clsid = kControlClassId;
  keys.progid = kControlProgId;
  keys.type_name = Text(IDS_ORVIX);
  keys.module_file = TheApp().FileName();
  keys.control = true;
  keys.misc_status = kMiscStatus;
  keys.toolbox_bitmap = 1;
  keys.libid = kTypeLibId;
  keys.major = kTypeLibMajor;
  keys.minor = kTypeLibMinor;
  return activex::RegisterClassKeys(keys);
}

}  // namespace locorvix
