#pragma once
// Value-name tables: constexpr arrays of {value, name}, read through name_or; and the
// host's named format groups, read through group_text.
#include <cstdint>
#include <span>
#include <string>

#include "host/format_groups.h"

namespace cdmadiag {

constexpr const char* name_or(std::span<const ValueName> table, std::int64_t value, const char* fallback) {
  for (const ValueName& vn : table) {
    if (vn.value == value) return vn.name;
  }
  return fallback;
}

// Name of value in the host's format group of that name; the number itself when the
// group has no name for it.
std::string group_text(const char* group, double value);

}  // namespace cdmadiag
