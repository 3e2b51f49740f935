#pragma once
// Rev A reverse link MAC reports of the sample drive: the per-subframe channel
// gains and transmit powers, and the RMAC subtype 3 packet information.
#include <cstdint>

#include "gen_bytes.h"
#include "gen_packets.h"

namespace cdmadiag::gen {

namespace code {
inline constexpr std::uint16_t kRevARLGains = 0x127D;
inline constexpr std::uint16_t kRevARMAC3PacketInfo = 0x1280;
}  // namespace code

// Both draw on a generator of their own seeded from the moment, so the rest of the
// drive stays as it was without them.
Bytes RevARLGains(const Moment& m, const EvdoLink& link);
Bytes RevARMAC3PacketInfo(const Moment& m);

}  // namespace cdmadiag::gen
