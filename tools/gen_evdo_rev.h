#pragma once
// EV-DO reverse-link packets of the sample drive: the reverse link packet summary
// and reverse power control, both drawn from the drive's EV-DO link state.
#include <cstdint>

#include "gen_bytes.h"
#include "gen_drive.h"
#include "gen_packets.h"

namespace cdmadiag::gen {

namespace code {
inline constexpr std::uint16_t kEvdoRevLinkPacketSummary = 0x1060;
inline constexpr std::uint16_t kEvdoReversePowerCtrl = 0x1063;
}  // namespace code

Bytes EvdoRevLinkPacketSummary(const Moment& m, const EvdoLink& link, Rng& rng);
Bytes EvdoReversePowerCtrl(const Moment& m, const EvdoLink& link, Rng& rng);

}  // namespace cdmadiag::gen
