#pragma once
// Multicarrier (Rev B) reports of the sample drive: the per-carrier power report and
// the multicarrier air-link summary of a connection on two carriers.
#include <cstdint>

#include "gen_bytes.h"
#include "gen_packets.h"

namespace cdmadiag::gen {

namespace code {
inline constexpr std::uint16_t kMCAirLinkSummary = 0x1296;
inline constexpr std::uint16_t kMultiCarrierPower = 0x129C;
}  // namespace code

// Both draw on a generator of their own seeded from the moment, so the rest of the
// drive stays as it was without them.
Bytes MultiCarrierPower(const Moment& m, const EvdoLink& link);
Bytes MCAirLinkSummary(const Moment& m, const EvdoLink& link);

}  // namespace cdmadiag::gen
