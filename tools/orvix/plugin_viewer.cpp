#include "tools/orvix/plugin_viewer.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/kernel/kernel.h"
#include "platform/npapi/browser.h"
#include "platform/registry/winreg.h"
#include "platform/ui/ui.h"
#include "tools/orvix/embed_page.h"
#include "tools/orvix/page_script.h"

namespace orvix {
namespace {

constexpr char kPluginWindowClass[] = "OrvixPluginWindow";
constexpr char kPluginsKey[] = "SOFTWARE\\MozillaPlugins";

// The "Path" of plug-in key `name` when its MimeTypes key lists `mimeType`; empty otherwise.
std::string ModuleOfPlugin(HKEY plugins, const std::string& name, const std::string& mimeType) {
  HKEY type = nullptr;
  const std::string sub = name + "\\MimeTypes\\" + mimeType;
  if (RegOpenKeyExA(plugins, sub.c_str(), 0, KEY_READ, &type) != ERROR_SUCCESS) return "";
  RegCloseKey(type);
  HKEY plugin = nullptr;
  if (RegOpenKeyExA(plugins, name.c_str(), 0, KEY_READ, &plugin) != ERROR_SUCCESS) return "";
  char path[1024];
  DWORD size = sizeof(path);
  DWORD kind = 0;
  const LSTATUS read =
      RegQueryValueExA(plugin, "Path", nullptr, &kind, reinterpret_cast<BYTE*>(path), &size);
  RegCloseKey(plugin);
  if (read != ERROR_SUCCESS || kind != REG_SZ || size == 0) return "";
  return std::string(path, strnlen(path, size));
}

LRESULT PluginWindowProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  return DefWindowProcA(w, m, wp, lp);
}

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

class PluginViewer : public HostedViewer {
 public:
  PluginViewer(std::string pageName, EmbedPage page)
      : pageName_(std::move(pageName)), page_(std::move(page)) {}
  ~PluginViewer() override { Destroy(); }

  bool Create(HWND parent, const PageProperties&) override {
    const std::string file = PluginModuleFor(page_.type);
    if (file.empty()) {
      std::fprintf(stderr, "orvix: no plug-in takes %s\n", page_.type.c_str());
      return false;
    }
    module_ = LoadLibraryA(file.c_str());
    if (module_ == nullptr) return false;
    if (!Bind()) return false;
    std::printf("orvix: plug-in %s for %s\n", file.c_str(), page_.type.c_str());
    RECT client{0, 0, 0, 0};
    GetClientRect(parent, &client);
    if (!RegisterWindowClass()) return false;
    window_ = CreateWindowExA(0, kPluginWindowClass, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0,
                              0, client.right, client.bottom, parent, nullptr, nullptr, nullptr);
    if (window_ == nullptr) return false;
    script_ = std::make_unique<PageScript>(pageName_, parent);
    script_->DeclareElements(page_.elements);
    npp_.ndata = script_.get();
    std::string type = page_.type;
    NPError e = funcs_.newp(type.data(), &npp_, NP_EMBED, 0, nullptr, nullptr, nullptr);
    if (e != NPERR_NO_ERROR) {
      std::fprintf(stderr, "orvix: the plug-in refused the instance (%d)\n", e);
      return false;
    }
    live_ = true;
    NPWindow w{window_,
               0,
               0,
               static_cast<uint32_t>(client.right),
               static_cast<uint32_t>(client.bottom),
               NPRect{0, 0, 0, 0},
               NPWindowTypeWindow};
    if ((e = funcs_.setwindow(&npp_, &w)) != NPERR_NO_ERROR) {
      std::fprintf(stderr, "orvix: the plug-in did not take its window (%d)\n", e);
      live_ = npp_.pdata != nullptr;
      return false;
    }
    NPObject* object = nullptr;
    if (funcs_.getvalue(&npp_, NPPVpluginScriptableNPObject, &object) == NPERR_NO_ERROR &&
        object != nullptr) {
      script_->SetPluginObject(page_.embedId, object);
      NPN_ReleaseObject(object);
    }
    for (const PageScriptBlock& block : page_.scripts) script_->Run(block);
    return true;
  }

  HWND window() const override {
    return window_ != nullptr && IsWindow(window_) ? window_ : nullptr;
  }

  void Destroy() override {
    if (live_) funcs_.destroy(&npp_, nullptr);
    live_ = false;
    // The page lets go of the plug-in's objects while their code is still loaded.
    script_.reset();
    if (module_ != nullptr) {
      if (shutdown_ != nullptr) shutdown_();
      FreeLibrary(module_);
      module_ = nullptr;
    }
    if (window_ != nullptr && IsWindow(window_)) DestroyWindow(window_);
    window_ = nullptr;
  }

 private:
  bool Bind() {
    auto entry =
        reinterpret_cast<NP_GetEntryPointsFunc>(GetProcAddress(module_, "NP_GetEntryPoints"));
    auto init = reinterpret_cast<NP_InitializeFunc>(GetProcAddress(module_, "NP_Initialize"));
    shutdown_ = reinterpret_cast<NP_ShutdownFunc>(GetProcAddress(module_, "NP_Shutdown"));
    if (entry == nullptr || init == nullptr) {
      std::fprintf(stderr, "orvix: the module has no plug-in entry points\n");
      return false;
    }
    funcs_ = NPPluginFuncs{};
    funcs_.size = sizeof(funcs_);
    NPError e = init(NpBrowserFunctions());
    if (e == NPERR_NO_ERROR) e = entry(&funcs_);
    if (e != NPERR_NO_ERROR || funcs_.newp == nullptr || funcs_.destroy == nullptr ||
        funcs_.setwindow == nullptr || funcs_.getvalue == nullptr) {
      std::fprintf(stderr, "orvix: the plug-in did not initialise (%d)\n", e);
      return false;
    }
    return true;
  }

  static bool RegisterWindowClass() {
    WNDCLASSA wc{};
    if (GetClassInfoA(nullptr, kPluginWindowClass, &wc)) return true;
    wc.lpfnWndProc = &PluginWindowProc;
    wc.lpszClassName = kPluginWindowClass;
    return RegisterClassA(&wc) != 0;
  }

  std::string pageName_;
  EmbedPage page_;
  HMODULE module_ = nullptr;
  NPPluginFuncs funcs_{};
  NP_ShutdownFunc shutdown_ = nullptr;
  NPP_t npp_{nullptr, nullptr};
  bool live_ = false;
  HWND window_ = nullptr;
  std::unique_ptr<PageScript> script_;
};

}  // namespace

std::string PluginModuleFor(const std::string& mimeType) {
  // As browsers on Windows found plug-ins: each key under MozillaPlugins, the user's before the
  // machine's, that lists the type under MimeTypes names its module file in "Path".
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    HKEY plugins = nullptr;
    if (RegOpenKeyExA(root, kPluginsKey, 0, KEY_READ, &plugins) != ERROR_SUCCESS) continue;
    std::string found;
    char name[256];
    for (DWORD i = 0; found.empty(); ++i) {
      DWORD length = sizeof(name);
      if (RegEnumKeyExA(plugins, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
          ERROR_SUCCESS)
        break;
      found = ModuleOfPlugin(plugins, name, mimeType);
    }
    RegCloseKey(plugins);
    if (!found.empty()) return found;
  }
  return std::string();
}

bool IsPluginPageFile(const std::string& pageFile) { return HasEmbed(ReadWhole(pageFile)); }

std::unique_ptr<HostedViewer> CreatePluginViewer(const std::string& pageFile) {
  try {
    return std::make_unique<PluginViewer>(BaseName(pageFile), ParseEmbedPage(ReadWhole(pageFile)));
  } catch (const std::invalid_argument&) {
    return nullptr;
  }
}

}  // namespace orvix
