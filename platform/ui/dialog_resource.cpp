#include "platform/ui/dialog_resource.h"

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/kernel/module.h"

namespace platform::ui {
namespace {

struct Registry {
  std::mutex mutex;
  std::vector<const ResourceModule*> modules;  // guarded by mutex
};

Registry& TheRegistry() {
  static auto* registry = new Registry;
  return *registry;
}

bool IsIntResource(LPCSTR name) { return reinterpret_cast<uintptr_t>(name) <= 0xFFFF; }

HMODULE Owner(const ResourceModule* module) {
  HMODULE owner = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(module),
                     &owner);
  return owner;
}

// The modules to search: the one named by the handle when it is registered, those of the
// loaded module it names, else all.
std::vector<const ResourceModule*> ModulesFor(HINSTANCE instance) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  auto* wanted = reinterpret_cast<const ResourceModule*>(instance);
  if (std::find(r.modules.begin(), r.modules.end(), wanted) != r.modules.end()) return {wanted};
  if (instance) {
    std::vector<const ResourceModule*> owned;
    for (const ResourceModule* m : r.modules) {
      if (Owner(m) == instance) owned.push_back(m);
    }
    if (!owned.empty()) return owned;
  }
  return r.modules;
}

bool Matches(const DialogTemplate& t, LPCSTR name) {
  if (IsIntResource(name))
    return t.name == nullptr && static_cast<uintptr_t>(t.id) == reinterpret_cast<uintptr_t>(name);
  return t.name != nullptr && strcasecmp(t.name, name) == 0;
}

}  // namespace

HINSTANCE RegisterResourceModule(const ResourceModule* module) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  if (std::find(r.modules.begin(), r.modules.end(), module) == r.modules.end()) {
    r.modules.push_back(module);
  }
  return reinterpret_cast<HINSTANCE>(const_cast<ResourceModule*>(module));
}

void UnregisterResourceModule(const ResourceModule* module) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.modules.erase(std::remove(r.modules.begin(), r.modules.end(), module), r.modules.end());
}

const DialogTemplate* FindDialogTemplate(HINSTANCE instance, LPCSTR name) {
  if (name == nullptr) return nullptr;
  for (const ResourceModule* m : ModulesFor(instance)) {
    for (int i = 0; i < m->dialog_count; ++i) {
      if (Matches(m->dialogs[i], name)) return &m->dialogs[i];
    }
  }
  return nullptr;
}

const BitmapResource* FindBitmapResource(HINSTANCE instance, LPCSTR name) {
  if (name == nullptr || !IsIntResource(name)) return nullptr;
  auto id = static_cast<int>(reinterpret_cast<uintptr_t>(name));
  for (const ResourceModule* m : ModulesFor(instance)) {
    for (int i = 0; i < m->bitmap_count; ++i) {
      if (m->bitmaps[i].id == id) return &m->bitmaps[i];
    }
  }
  return nullptr;
}

}  // namespace platform::ui

HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) {
  if (!name || !type || reinterpret_cast<uintptr_t>(name) > 0xFFFF ||
      reinterpret_cast<uintptr_t>(type) <= 0xFFFF) {
    return nullptr;
  }
  const auto id = static_cast<int>(reinterpret_cast<uintptr_t>(name));
  for (const platform::ui::ResourceModule* m : platform::ui::ModulesFor(module)) {
    for (int i = 0; i < m->data_count; ++i) {
      if (m->data[i].id == id && strcasecmp(m->data[i].type, type) == 0) {
        return reinterpret_cast<HRSRC>(const_cast<platform::ui::DataResource*>(&m->data[i]));
      }
    }
  }
  return nullptr;
}

HGLOBAL LoadResource(HMODULE, HRSRC resource) {
  if (!resource) return nullptr;
  return const_cast<unsigned char*>(
      reinterpret_cast<const platform::ui::DataResource*>(resource)->data);
}

LPVOID LockResource(HGLOBAL data) { return data; }

DWORD SizeofResource(HMODULE, HRSRC resource) {
  if (!resource) return 0;
  return static_cast<DWORD>(reinterpret_cast<const platform::ui::DataResource*>(resource)->size);
}

int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int size) {
  if (buffer == nullptr || size < 0) return 0;
  for (const platform::ui::ResourceModule* m : platform::ui::ModulesFor(instance)) {
    for (int i = 0; i < m->string_count; ++i) {
      if (m->strings[i].id != static_cast<int>(id)) continue;
      const char* text = m->strings[i].text;
      int length = static_cast<int>(std::strlen(text));
      if (size == 0) {
        std::memcpy(buffer, &text, sizeof(text));
        return length;
      }
      int n = std::min(length, size - 1);
      std::memcpy(buffer, text, static_cast<size_t>(n));
      buffer[n] = '\0';
      return n;
    }
  }
  if (size > 0) buffer[0] = '\0';
  return 0;
}
