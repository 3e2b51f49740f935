#include "crc16.h"

#include <array>

namespace cdmadiag {
namespace {

constexpr std::array<std::uint16_t, 256> make_table() {
  std::array<std::uint16_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    std::uint16_t c = static_cast<std::uint16_t>(i);
    for (int bit = 0; bit < 8; ++bit) c = (c & 1) != 0 ? static_cast<std::uint16_t>((c >> 1) ^ 0x8408) : c >> 1;
    table[i] = c;
  }
  return table;
}

constexpr auto kTable = make_table();

}  // namespace

std::uint16_t crc16_diag(std::span<const std::uint8_t> bytes) {
  std::uint16_t crc = 0xFFFF;
  for (const std::uint8_t b : bytes) crc = static_cast<std::uint16_t>((crc >> 8) ^ kTable[(crc ^ b) & 0xFF]);
  return static_cast<std::uint16_t>(~crc);
}

}  // namespace cdmadiag
