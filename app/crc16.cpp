#include "crc16.h"

#include <array>

namespace cdmadiag {
namespace {

// kTables[k][b]: the CRC of byte b followed by k zero bytes, so eight bytes fold into the
// CRC with eight independent look-ups instead of a chain of eight.
constexpr std::size_t kSlice = 8;

constexpr std::array<std::array<std::uint16_t, 256>, kSlice> make_tables() {
  std::array<std::array<std::uint16_t, 256>, kSlice> t{};
  for (unsigned i = 0; i < 256; ++i) {
    std::uint16_t c = static_cast<std::uint16_t>(i);
    for (int bit = 0; bit < 8; ++bit) c = (c & 1) != 0 ? static_cast<std::uint16_t>((c >> 1) ^ 0x8408) : c >> 1;
    t[0][i] = c;
  }
  for (std::size_t k = 1; k < kSlice; ++k) {
    for (unsigned i = 0; i < 256; ++i) {
      t[k][i] = static_cast<std::uint16_t>((t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF]);
    }
  }
  return t;
}

constexpr auto kTables = make_tables();

}  // namespace

std::uint16_t crc16_diag(std::span<const std::uint8_t> bytes) {
  std::uint16_t crc = 0xFFFF;
  const std::uint8_t* p = bytes.data();
  std::size_t n = bytes.size();
  for (; n >= kSlice; n -= kSlice, p += kSlice) {
    // The CRC so far meets the first two bytes of the block.
    const unsigned b0 = p[0] ^ (crc & 0xFF);
    const unsigned b1 = p[1] ^ (crc >> 8);
    crc = static_cast<std::uint16_t>(kTables[7][b0] ^ kTables[6][b1] ^ kTables[5][p[2]] ^ kTables[4][p[3]] ^
                                     kTables[3][p[4]] ^ kTables[2][p[5]] ^ kTables[1][p[6]] ^ kTables[0][p[7]]);
  }
  for (; n > 0; --n, ++p) crc = static_cast<std::uint16_t>((crc >> 8) ^ kTables[0][(crc ^ *p) & 0xFF]);
  return static_cast<std::uint16_t>(~crc);
}

}  // namespace cdmadiag
