// The module's entry points: the four of every in-process server, with the framework's
// standard behaviour. The voice codec's seven HI_VOICE_* functions are exported by the codec
// itself, linked into the module whole.
#include "control/activex/orvix_app.h"

#define ORVIX_EXPORT extern "C" __attribute__((visibility("default")))

ORVIX_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  return locorvix::TheApp().GetClassObject(clsid, iid, out);
}

ORVIX_EXPORT HRESULT DllCanUnloadNow() { return locorvix::TheApp().CanUnloadNow(); }

ORVIX_EXPORT HRESULT DllRegisterServer() { return locorvix::TheApp().RegisterServer(); }

ORVIX_EXPORT HRESULT DllUnregisterServer() { return locorvix::TheApp().UnregisterServer(); }
