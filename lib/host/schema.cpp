#include "host/schema.h"

std::uint32_t Schema::GetAttributeId(const char* name) {
  std::lock_guard lock(mutex_);
  auto [it, inserted] = ids_.try_emplace(name != nullptr ? name : "", 0);
  if (inserted) {
    names_.push_back(&it->first);
    it->second = static_cast<std::uint32_t>(names_.size());
  }
  return it->second;
}

std::string_view Schema::name_of(std::uint32_t id) const {
  std::lock_guard lock(mutex_);
  if (id == 0 || id > names_.size()) return {};
  return *names_[id - 1];
}

std::size_t Schema::size() const {
  std::lock_guard lock(mutex_);
  return names_.size();
}

Schema* GetSchemaDefsDynamic() {
  static Schema schema;
  return &schema;
}
