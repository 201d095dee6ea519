#pragma once
// A class factory of the framework: a static object per class, which makes the class's
// objects and writes or removes its registry keys. Its references and locks keep the module.

#include "control/activex/framework/ole_module.h"

namespace activex {

class ClassFactory : public IClassFactory {
 public:
  ClassFactory(const CLSID& clsid, const char* progid);
  virtual ~ClassFactory();
  ClassFactory(const ClassFactory&) = delete;
  ClassFactory& operator=(const ClassFactory&) = delete;

  const CLSID& clsid() const { return clsid_; }
  const char* progid() const { return progid_; }

  HRESULT QueryInterface(REFIID iid, void** out) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
  HRESULT LockServer(BOOL lock) override;

  // A new object with one reference, or null.
  virtual IUnknown* CreateObject() = 0;
  // Writes (true) or removes (false) the class's keys; false when the registry refused.
  virtual bool UpdateRegistry(bool register_it) = 0;

 private:
  const CLSID clsid_;
  const char* const progid_;
};

}  // namespace activex
