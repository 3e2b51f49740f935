#pragma once
// Labels of the Rev A reverse link shared by the reverse-link MAC and the
// multicarrier decoders: the transmission mode and the packet-size index.
#include <array>
#include <cstdint>

#include "framework/value_names.h"

namespace cdmadiag::reva {

inline constexpr std::array<ValueName, 2> kTxModeNames{{{0, "HiCap"}, {1, "LoLat"}}};

// Index 0 is the empty packet; 1..12 the Rev A payload sizes.
inline constexpr std::array<ValueName, 13> kPacketSizeNames{{
    {0, "0 bits"},
    {1, "128 bits"},
    {2, "256 bits"},
    {3, "512 bits"},
    {4, "768 bits"},
    {5, "1024 bits"},
    {6, "1536 bits"},
    {7, "2048 bits"},
    {8, "3072 bits"},
    {9, "4096 bits"},
    {10, "6144 bits"},
    {11, "8192 bits"},
    {12, "12288 bits"},
}};

// Payload bits of the packet-size list, entry 0 (128 bits) to 11 (12288 bits).
inline constexpr std::array<std::uint32_t, 12> kPayloadBits{128,  256,  512,  768,  1024, 1536,
                                                            2048, 3072, 4096, 6144, 8192, 12288};

constexpr const char* tx_mode_name(std::uint32_t mode) { return name_or(kTxModeNames, mode, "n/a"); }
constexpr const char* packet_size_name(std::uint32_t index) { return name_or(kPacketSizeNames, index, "n/a"); }

// Payload bits of a packet-size index 1..12; 0 outside.
constexpr std::uint32_t payload_bits(std::uint32_t index) {
  return index >= 1 && index <= kPayloadBits.size() ? kPayloadBits[index - 1] : 0;
}

}  // namespace cdmadiag::reva
