#pragma once
// Rev A forward link statistics of the sample drive: the single-user, multi-user
// and per-user packet counters, cumulative over the EV-DO legs, one report a second.
#include <array>
#include <cstdint>

#include "gen_bytes.h"
#include "gen_drive.h"
#include "gen_packets.h"

namespace cdmadiag::gen {

namespace code {
inline constexpr std::uint16_t kRevASUFwdStats = 0x1192;
inline constexpr std::uint16_t kRevAMUFwdStats = 0x1193;
inline constexpr std::uint16_t kRevAMUPUserStats = 0x1283;
}  // namespace code

// The counters the access terminal keeps between reports.
struct RevAForwardCounters {
  std::array<std::uint32_t, 322> su{};
  std::array<std::uint32_t, 40> mu{};
  std::uint32_t mupSeq = 0;
  std::array<std::array<std::uint32_t, 9>, 8> mup{};  // per payload size: 8 user slots, bytes
};

// Each advances the counters by one second of traffic at the best active pilot's C/I.
Bytes RevASUFwdStats(const Moment& m, const EvdoLink& link, RevAForwardCounters& c, Rng& rng);
Bytes RevAMUFwdStats(RevAForwardCounters& c, Rng& rng);
Bytes RevAMUPUserStats(RevAForwardCounters& c, Rng& rng);

}  // namespace cdmadiag::gen
