#pragma once
// Dialable digits of a MIN field group (IS-95 encoding: each digit stored minus one,
// a 0 digit stored as 9, so 10 digits fit in 10 bits).
#include <cstdint>
#include <string>

#include "framework/text.h"

namespace cdmadiag {

// The digits of code, digits 3 ("%03d") or 2 ("%02d"); "???" or "??" when code cannot
// be such a group (any other digit count gives "???").
inline std::string MinDigitsText(std::uint16_t code, int digits) {
  const char* invalid = digits == 2 ? "??" : "???";
  if (digits != 2 && digits != 3) return invalid;
  std::uint16_t value = static_cast<std::uint16_t>(code + (digits == 3 ? 111 : 11));
  unsigned result = 0;
  unsigned place = 1;
  while (value != 0) {
    const unsigned d = value % 10u;
    unsigned q = value / 10u;
    if (d == 0) {
      if (q == 0) return invalid;
      --q;
    }
    result += d * place;
    place *= 10;
    value = static_cast<std::uint16_t>(q);
  }
  return formatf(digits == 3 ? "%03u" : "%02u", result);
}

}  // namespace cdmadiag
