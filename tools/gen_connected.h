#pragma once
// EV-DO connected-state packets of the sample drive: the connection termination
// statistics at the end of each EV-DO leg and the equalizer state.
#include <cstdint>

#include "gen_bytes.h"
#include "gen_packets.h"

namespace cdmadiag::gen {

namespace code {
inline constexpr std::uint16_t kEvdoConnectionTermination = 0x1186;
inline constexpr std::uint16_t kEvdoEqualizerData = 0x1279;
}  // namespace code

// Running counts of the terminal's connections over the drive.
struct ConnectionCounts {
  std::uint16_t terminations = 0;
  std::uint32_t connectedMs = 0;
};

// The connection that began at startTicks ends at m; counts takes it in.
Bytes EvdoConnectionTermination(const Moment& m, std::uint64_t startTicks, ConnectionCounts& counts);
Bytes EvdoEqualizerData(const Moment& m, const EvdoLink& link, Rng& rng);

}  // namespace cdmadiag::gen
