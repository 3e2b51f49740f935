#include "host/format_groups.h"

#include <fmt/format.h>

#include <cmath>

int COrbFormatGroupManager::fgGetFormatGroupCode(const char* name) const {
  if (name == nullptr) return kUnknownGroup;
  for (std::size_t i = 0; i < groups_.size(); ++i) {
    if (groups_[i].name == name) return static_cast<int>(i);
  }
  return kUnknownGroup;
}

void COrbFormatGroupManager::fgFormatValue(std::string& out, int code, double value, int, int) const {
  if (code >= 0 && static_cast<std::size_t>(code) < groups_.size() && std::isfinite(value)) {
    const auto v = static_cast<std::int64_t>(value);
    for (const ValueName& vn : groups_[static_cast<std::size_t>(code)].table) {
      if (vn.value == v) {
        out = vn.name;
        return;
      }
    }
  }
  out = fmt::format("{}", value);
}

void COrbFormatGroupManager::add(const char* name, std::span<const ValueName> table) {
  const int existing = fgGetFormatGroupCode(name);
  if (existing != kUnknownGroup) {
    groups_[static_cast<std::size_t>(existing)].table = table;
    return;
  }
  groups_.push_back(Group{name, table});
}

COrbFormatGroupManager* GetFormatGroupManager() {
  static COrbFormatGroupManager manager;
  return &manager;
}
