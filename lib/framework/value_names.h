#pragma once
// Value-name tables: constexpr arrays of {value, name}, read through name_or.
#include <cstdint>
#include <span>

#include "host/format_groups.h"

namespace cdmadiag {

constexpr const char* name_or(std::span<const ValueName> table, std::int64_t value, const char* fallback) {
  for (const ValueName& vn : table) {
    if (vn.value == value) return vn.name;
  }
  return fallback;
}

}  // namespace cdmadiag
