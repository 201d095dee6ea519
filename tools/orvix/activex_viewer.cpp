#include "tools/orvix/activex_viewer.h"

#include <cctype>
#include <cstdio>

#include "platform/com/ocidl.h"
#include "platform/ui/ui.h"
#include "tools/orvix/page_bag.h"

namespace orvix {
namespace {

// The class of "clsid:XXXXXXXX-...", braces optional.
bool ParseClassId(const std::string& text, CLSID* clsid) {
  if (text.size() < 6) return false;
  for (int i = 0; i < 6; ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != "clsid:"[i]) return false;
  }
  std::string guid = text.substr(6);
  if (!guid.empty() && guid[0] != '{') guid = "{" + guid + "}";
  return CLSIDFromStringA(guid.c_str(), clsid) == S_OK;
}

template <typename T>
void ReleaseAndClear(T** p) {
  if (*p) (*p)->Release();
  *p = nullptr;
}

class ActiveXViewer : public HostedViewer {
 public:
  ~ActiveXViewer() override { Destroy(); }

  bool Create(HWND parent, const PageProperties& page) override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    initialised_ = true;
    CLSID clsid{};
    if (!ParseClassId(page.classId, &clsid)) {
      std::fprintf(stderr, "orvix: the page's classid \"%s\" is not a class identifier\n",
                   page.classId.c_str());
      return false;
    }
    const HRESULT created = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                             reinterpret_cast<void**>(&control_));
    if (created == REGDB_E_CLASSNOTREG) {
      std::fprintf(stderr,
                   "orvix: the page's control %s is not registered; register it with "
                   "\"regsvr32 OrviX.ocx\" (the control module's file)\n",
                   page.classId.c_str());
      return false;
    }
    if (FAILED(created)) {
      std::fprintf(stderr, "orvix: the page's control %s could not be created (0x%08x)\n",
                   page.classId.c_str(), static_cast<unsigned>(created));
      return false;
    }
    return MakeSafe() && LoadParams(page) && Activate(parent);
  }

  HWND window() const override { return window_ && IsWindow(window_) ? window_ : nullptr; }

  void Destroy() override {
    if (place_) place_->InPlaceDeactivate();
    if (object_) {
      object_->Close(OLECLOSE_NOSAVE);
      object_->SetClientSite(nullptr);
    }
    window_ = nullptr;
    ReleaseAndClear(&place_);
    ReleaseAndClear(&object_);
    ReleaseAndClear(&control_);
    if (initialised_) {
      CoFreeUnusedLibraries();
      CoUninitialize();
      initialised_ = false;
    }
  }

 private:
  // As a browser asks before it scripts a control or hands it the page's data.
  bool MakeSafe() {
    IObjectSafety* safety = nullptr;
    bool safe =
        SUCCEEDED(control_->QueryInterface(IID_IObjectSafety, reinterpret_cast<void**>(&safety)));
    safe = safe &&
           SUCCEEDED(safety->SetInterfaceSafetyOptions(IID_IDispatch,
                                                       INTERFACESAFE_FOR_UNTRUSTED_CALLER,
                                                       INTERFACESAFE_FOR_UNTRUSTED_CALLER)) &&
           SUCCEEDED(safety->SetInterfaceSafetyOptions(IID_IPersistPropertyBag,
                                                       INTERFACESAFE_FOR_UNTRUSTED_DATA,
                                                       INTERFACESAFE_FOR_UNTRUSTED_DATA));
    if (safety) safety->Release();
    if (!safe) {
      std::fprintf(stderr,
                   "orvix: the control is not safe for untrusted callers and data; it is not "
                   "loaded\n");
    }
    return safe;
  }

  bool LoadParams(const PageProperties& page) {
    IPersistPropertyBag* persist = nullptr;
    if (FAILED(control_->QueryInterface(IID_IPersistPropertyBag,
                                        reinterpret_cast<void**>(&persist)))) {
      std::fprintf(stderr, "orvix: the control takes no params (no IPersistPropertyBag)\n");
      return false;
    }
    PageBag bag(page);
    const HRESULT loaded = persist->Load(&bag, nullptr);
    persist->Release();
    if (FAILED(loaded)) std::fprintf(stderr, "orvix: the control refused the page's params\n");
    return SUCCEEDED(loaded);
  }

  bool Activate(HWND parent) {
    if (FAILED(control_->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&object_))) ||
        FAILED(
            control_->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&place_)))) {
      std::fprintf(stderr, "orvix: the control cannot be placed in a window\n");
      return false;
    }
    object_->SetClientSite(&site_);
    RECT client;
    GetClientRect(parent, &client);
    if (FAILED(object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site_, 0, parent, &client)) ||
        FAILED(place_->GetWindow(&window_))) {
      std::fprintf(stderr, "orvix: the control could not be activated in its window\n");
      return false;
    }
    return true;
  }

  bool initialised_ = false;
  IUnknown* control_ = nullptr;
  IOleObject* object_ = nullptr;
  IOleInPlaceObject* place_ = nullptr;
  PageSite site_;
  HWND window_ = nullptr;
};

}  // namespace

std::unique_ptr<HostedViewer> CreateActiveXViewer() { return std::make_unique<ActiveXViewer>(); }

}  // namespace orvix
