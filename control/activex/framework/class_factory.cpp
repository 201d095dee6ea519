#include "control/activex/framework/class_factory.h"

#include <algorithm>

namespace activex {

ClassFactory::ClassFactory(const CLSID& clsid, const char* progid)
    : clsid_(clsid), progid_(progid) {
  Factories().push_back(this);
}

ClassFactory::~ClassFactory() {
  auto& all = Factories();
  all.erase(std::remove(all.begin(), all.end(), this), all.end());
}

HRESULT ClassFactory::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IClassFactory) {
    *out = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

// The factory is static; a reference to it is a lock on the module.
ULONG ClassFactory::AddRef() {
  OleModule::Current()->Lock();
  return 2;
}

ULONG ClassFactory::Release() {
  OleModule::Current()->Unlock();
  return 1;
}

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  IUnknown* object = CreateObject();
  if (!object) return E_OUTOFMEMORY;
  const HRESULT got = object->QueryInterface(iid, out);
  object->Release();
  return got;
}

HRESULT ClassFactory::LockServer(BOOL lock) {
  lock ? OleModule::Current()->Lock() : OleModule::Current()->Unlock();
  return S_OK;
}

}  // namespace activex
