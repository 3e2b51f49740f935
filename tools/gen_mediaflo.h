#pragma once
// MediaFLO packets for the end of the drive: the handset's broadcast receiver logs
// its signal strength and, once a superframe (one second), the PLP statistics of
// the OIS and of the two MLCs that carry its bound flows.
#include <array>
#include <cstddef>
#include <cstdint>

#include "gen_bytes.h"
#include "gen_drive.h"
#include "gen_packets.h"

namespace cdmadiag::gen {

namespace code {
inline constexpr std::uint16_t kMfloRssi = 0x11F5;
inline constexpr std::uint16_t kMfloOisPlpStats = 0x1211;
inline constexpr std::uint16_t kMfloMlcPlpStatsPost = 0x1213;
inline constexpr std::uint16_t kMfloBoundStreams = 0x1215;
inline constexpr std::uint16_t kMfloStreamPlpStats = 0x1219;
}  // namespace code

inline constexpr std::size_t kMfloFlows = 2;  // one flow on each of two MLCs

// The broadcast link carried from packet to packet: running PLP totals.
struct MfloLink {
  std::uint32_t superframe = 41000;
  double rssiDbm = -92;  // the latest reading; erasures follow it
  std::uint32_t oisGood = 0, oisErased = 0;
  struct Flow {
    std::uint32_t baseGood = 0, baseErased = 0, enhancedGood = 0, enhancedErased = 0;
  };
  std::array<Flow, kMfloFlows> flows;
};

Bytes MfloBoundStreams();
// The next receive level, wandering about its mean.
Bytes MfloRssi(MfloLink& link, Rng& rng);
// Starts the next superframe and counts its OIS PLPs.
Bytes MfloOisPlpStats(MfloLink& link, Rng& rng);
// Post-RS statistics of the superframe for the MLC of one flow, added to its totals.
Bytes MfloMlcPlpStatsPost(MfloLink& link, std::size_t flow, Rng& rng);
Bytes MfloStreamPlpStats(const MfloLink& link, std::size_t flow);

}  // namespace cdmadiag::gen
