#include "control/activex/framework/ole_module.h"

#include "control/activex/framework/class_factory.h"
#include "platform/com/typelib.h"
#include "platform/kernel/code_page.h"
#include "platform/kernel/module.h"
#include "platform/registry/winreg.h"

namespace activex {
namespace {

OleModule*& TheModule() {
  static OleModule* module = nullptr;
  return module;
}

std::u16string Wide(const std::string& text) {
  std::u16string out(text.size() + 1, u'\0');
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, out.data(), static_cast<int>(out.size()));
  out.resize(n > 0 ? static_cast<size_t>(n - 1) : 0);
  return out;
}

}  // namespace

std::vector<ClassFactory*>& Factories() {
  static std::vector<ClassFactory*> factories;
  return factories;
}

OleModule::OleModule(const GUID& libid, WORD major, WORD minor)
    : libid_(libid), major_(major), minor_(minor) {
  TheModule() = this;
}

OleModule::~OleModule() {
  if (initialised_) ExitInstance();
  TheModule() = nullptr;
}

OleModule* OleModule::Current() { return TheModule(); }

void OleModule::EnsureInitialised() {
  if (initialised_) return;
  initialised_ = true;
  InitInstance();
}

HMODULE OleModule::handle() const {
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(this),
                     &module);
  return module;
}

// The whole path: a folder deeper than MAX_PATH still registers the module's own file.
std::string OleModule::FileName() const { return platform::kernel::ModuleFileName(handle()); }

HRESULT OleModule::GetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  EnsureInitialised();
  for (ClassFactory* factory : Factories()) {
    if (factory->clsid() == clsid) return factory->QueryInterface(iid, out);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT OleModule::CanUnloadNow() { return locks_ == 0 ? S_OK : S_FALSE; }

HRESULT OleModule::RegisterServer() {
  EnsureInitialised();
  const std::u16string file = Wide(FileName());
  ITypeLib* lib = nullptr;
  HRESULT result = LoadTypeLib(file.c_str(), &lib);
  if (SUCCEEDED(result)) {
    result = RegisterTypeLib(lib, file.c_str(), nullptr);
    lib->Release();
  }
  if (FAILED(result)) return SELFREG_E_TYPELIB;
  for (ClassFactory* factory : Factories()) {
    if (!factory->UpdateRegistry(true)) return SELFREG_E_CLASS;
  }
  return S_OK;
}

HRESULT OleModule::UnregisterServer() {
  EnsureInitialised();
  if (FAILED(UnRegisterTypeLib(libid_, major_, minor_, 0, SYS_WIN32))) return SELFREG_E_TYPELIB;
  for (ClassFactory* factory : Factories()) {
    if (!factory->UpdateRegistry(false)) return SELFREG_E_CLASS;
  }
  return S_OK;
}

}  // namespace activex
