// Interned identifiers: each name or integer gets one entry that lives as long as the process,
// so its address is the identifier, equal for equal names, valid on every thread.

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/npapi/browser.h"

namespace {

struct Identifier {
  bool isString;
  std::string name;
  int32_t number;
};

struct Table {
  std::mutex lock;
  std::map<std::string, std::unique_ptr<Identifier>> names;  // GUARDED_BY(lock)
  std::map<int32_t, std::unique_ptr<Identifier>> numbers;    // GUARDED_BY(lock)
};

Table& table() {
  static Table* t = new Table;  // never destroyed: identifiers outlive every static user
  return *t;
}

const Identifier* Get(NPIdentifier id) { return static_cast<const Identifier*>(id); }

}  // namespace

NPIdentifier NPN_GetStringIdentifier(const NPUTF8* name) {
  if (name == nullptr) return nullptr;
  Table& t = table();
  std::lock_guard<std::mutex> hold(t.lock);
  auto& slot = t.names[name];
  if (!slot) slot.reset(new Identifier{true, name, -1});
  return slot.get();
}

void NPN_GetStringIdentifiers(const NPUTF8** names, int32_t count, NPIdentifier* ids) {
  for (int32_t i = 0; i < count; ++i) ids[i] = NPN_GetStringIdentifier(names[i]);
}

NPIdentifier NPN_GetIntIdentifier(int32_t intid) {
  Table& t = table();
  std::lock_guard<std::mutex> hold(t.lock);
  auto& slot = t.numbers[intid];
  if (!slot) slot.reset(new Identifier{false, std::string(), intid});
  return slot.get();
}

bool NPN_IdentifierIsString(NPIdentifier identifier) {
  return identifier != nullptr && Get(identifier)->isString;
}

NPUTF8* NPN_UTF8FromIdentifier(NPIdentifier identifier) {
  if (!NPN_IdentifierIsString(identifier)) return nullptr;
  const std::string& name = Get(identifier)->name;
  auto* copy = static_cast<NPUTF8*>(NPN_MemAlloc(static_cast<uint32_t>(name.size() + 1)));
  if (copy != nullptr) std::memcpy(copy, name.c_str(), name.size() + 1);
  return copy;
}

int32_t NPN_IntFromIdentifier(NPIdentifier identifier) {
  if (identifier == nullptr || Get(identifier)->isString) return -1;
  return Get(identifier)->number;
}
