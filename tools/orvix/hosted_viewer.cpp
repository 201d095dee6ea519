#include "tools/orvix/hosted_viewer.h"

#include <algorithm>
#include <cctype>
#include <mutex>
#include <utility>

namespace orvix {
namespace {

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

struct Registry {
  std::mutex mutex;
  std::vector<std::pair<std::string, ViewerFactory>> factories;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

}  // namespace

std::string PageProperties::Get(const std::string& name) const {
  for (const auto& [key, value] : params_) {
    if (SameName(key, name)) return value;
  }
  return "";
}

bool PageProperties::Has(const std::string& name) const {
  return std::any_of(params_.begin(), params_.end(),
                     [&](const auto& p) { return SameName(p.first, name); });
}

void PageProperties::Set(const std::string& name, const std::string& value) {
  for (auto& [key, old] : params_) {
    if (SameName(key, name)) {
      old = value;
      return;
    }
  }
  params_.emplace_back(name, value);
}

void RegisterViewerFactory(const std::string& name, ViewerFactory factory) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.factories.emplace_back(name, std::move(factory));
}

std::vector<std::string> ViewerNames() {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  std::vector<std::string> names;
  for (const auto& f : r.factories) names.push_back(f.first);
  return names;
}

std::unique_ptr<HostedViewer> CreateLatestViewer(std::string* name) {
  ViewerFactory factory;
  {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    if (r.factories.empty()) return nullptr;
    *name = r.factories.back().first;
    factory = r.factories.back().second;
  }
  return factory();
}

}  // namespace orvix
