#pragma once
// CRC-16 of the diagnostic port's HDLC frames: polynomial 0x1021 reflected, initial
// value 0xFFFF, final complement (the X.25 checksum).
#include <cstdint>
#include <span>

namespace cdmadiag {

std::uint16_t crc16_diag(std::span<const std::uint8_t> bytes);

}  // namespace cdmadiag
