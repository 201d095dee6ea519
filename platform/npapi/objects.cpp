// Object calls: counting, and dispatch to the object's class. A call on a null object, or one
// whose class has no entry for it, fails without touching the result.

#include <cstdlib>
#include <mutex>
#include <string>

#include "platform/npapi/browser.h"

namespace {

std::mutex exceptionLock;
std::string pendingException;  // GUARDED_BY(exceptionLock)
bool hasException = false;     // GUARDED_BY(exceptionLock)

}  // namespace

void* NPN_MemAlloc(uint32_t size) { return std::malloc(size == 0 ? 1 : size); }

void NPN_MemFree(void* ptr) { std::free(ptr); }

NPObject* NPN_CreateObject(NPP npp, NPClass* aClass) {
  if (aClass == nullptr) return nullptr;
  NPObject* obj = aClass->allocate != nullptr
                      ? aClass->allocate(npp, aClass)
                      : static_cast<NPObject*>(NPN_MemAlloc(sizeof(NPObject)));
  if (obj == nullptr) return nullptr;
  obj->_class = aClass;
  obj->referenceCount = 1;
  return obj;
}

NPObject* NPN_RetainObject(NPObject* obj) {
  if (obj != nullptr) ++obj->referenceCount;
  return obj;
}

void NPN_ReleaseObject(NPObject* obj) {
  if (obj == nullptr || obj->referenceCount == 0) return;
  if (--obj->referenceCount > 0) return;
  if (obj->_class != nullptr && obj->_class->deallocate != nullptr) {
    obj->_class->deallocate(obj);
  } else {
    NPN_MemFree(obj);
  }
}

bool NPN_Invoke(NPP /*npp*/, NPObject* obj, NPIdentifier method, const NPVariant* args,
                uint32_t argCount, NPVariant* result) {
  if (obj == nullptr || obj->_class->invoke == nullptr) return false;
  return obj->_class->invoke(obj, method, args, argCount, result);
}

bool NPN_InvokeDefault(NPP /*npp*/, NPObject* obj, const NPVariant* args, uint32_t argCount,
                       NPVariant* result) {
  if (obj == nullptr || obj->_class->invokeDefault == nullptr) return false;
  return obj->_class->invokeDefault(obj, args, argCount, result);
}

bool NPN_GetProperty(NPP /*npp*/, NPObject* obj, NPIdentifier name, NPVariant* result) {
  if (obj == nullptr || obj->_class->getProperty == nullptr) return false;
  return obj->_class->getProperty(obj, name, result);
}

bool NPN_SetProperty(NPP /*npp*/, NPObject* obj, NPIdentifier name, const NPVariant* value) {
  if (obj == nullptr || obj->_class->setProperty == nullptr) return false;
  return obj->_class->setProperty(obj, name, value);
}

bool NPN_RemoveProperty(NPP /*npp*/, NPObject* obj, NPIdentifier name) {
  if (obj == nullptr || obj->_class->removeProperty == nullptr) return false;
  return obj->_class->removeProperty(obj, name);
}

bool NPN_HasProperty(NPP /*npp*/, NPObject* obj, NPIdentifier name) {
  if (obj == nullptr || obj->_class->hasProperty == nullptr) return false;
  return obj->_class->hasProperty(obj, name);
}

bool NPN_HasMethod(NPP /*npp*/, NPObject* obj, NPIdentifier name) {
  if (obj == nullptr || obj->_class->hasMethod == nullptr) return false;
  return obj->_class->hasMethod(obj, name);
}

void NPN_ReleaseVariantValue(NPVariant* variant) {
  if (variant == nullptr) return;
  if (variant->type == NPVariantType_String) {
    NPN_MemFree(const_cast<NPUTF8*>(variant->value.stringValue.UTF8Characters));
  } else if (variant->type == NPVariantType_Object) {
    NPN_ReleaseObject(variant->value.objectValue);
  }
  VOID_TO_NPVARIANT(*variant);
}

void NPN_SetException(NPObject* /*obj*/, const NPUTF8* message) {
  std::lock_guard<std::mutex> hold(exceptionLock);
  pendingException = message != nullptr ? message : "";
  hasException = true;
}

bool NpTakeException(std::string* message) {
  std::lock_guard<std::mutex> hold(exceptionLock);
  if (!hasException) return false;
  hasException = false;
  message->swap(pendingException);
  pendingException.clear();
  return true;
}
