#pragma once
// The thin framework for OLE control modules: the module object, class factories that find
// each other, and the standard behaviour of the four Dll* entry points.
//
// A module holds one OleModule (a static object) and one static ClassFactory per class it
// offers; each registers itself when the module is loaded. The module's entry points call
// the OleModule's: GetClassObject, CanUnloadNow (S_OK once no object or factory reference
// and no lock is left), RegisterServer and UnregisterServer (the type library from the
// module's TYPELIB resource, then every factory's registry keys; SELFREG_E_TYPELIB and
// SELFREG_E_CLASS on failure).
//
// Threads: the browser's window thread calls everything.

#include <atomic>
#include <string>
#include <vector>

#include "platform/com/objbase.h"
#include "platform/kernel/win_types.h"

namespace activex {

class ClassFactory;

class OleModule {
 public:
  // `libid` and the version name the module's type library (TYPELIB resource 1).
  OleModule(const GUID& libid, WORD major, WORD minor);
  virtual ~OleModule();
  OleModule(const OleModule&) = delete;
  OleModule& operator=(const OleModule&) = delete;

  // Called once, before the first entry point does its work, and when the module goes.
  virtual BOOL InitInstance() { return TRUE; }
  virtual int ExitInstance() { return 0; }

  static OleModule* Current();

  HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out);
  HRESULT CanUnloadNow();
  HRESULT RegisterServer();
  HRESULT UnregisterServer();

  // The module's handle (its load address) and file.
  HMODULE handle() const;
  std::string FileName() const;

  // Objects and factory references keep the module loaded.
  void Lock() { ++locks_; }
  void Unlock() { --locks_; }
  long locks() const { return locks_; }

 private:
  void EnsureInitialised();

  const GUID libid_;
  const WORD major_;
  const WORD minor_;
  bool initialised_ = false;
  std::atomic<long> locks_{0};
};

// The factories of the module, in the order they were made.
std::vector<ClassFactory*>& Factories();

}  // namespace activex
