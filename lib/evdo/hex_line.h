#pragma once
// The data line of the EV-DO packets that carry raw bytes: "Data: ", each byte as
// two lower-case hex digits and a blank, then "\r\n".
#include <cstdint>
#include <span>
#include <string>

namespace cdmadiag::evdo {

inline void AppendHexLine(std::string& out, std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  out += "Data: ";
  out.reserve(out.size() + 3 * bytes.size() + 2);
  for (const std::uint8_t b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 0x0F];
    out += ' ';
  }
  out += "\r\n";
}

}  // namespace cdmadiag::evdo
