#pragma once
// Emitters of the 1x searcher-and-finger information reports, in both layouts: one
// searched pilot with its window profile, the rake fingers and the power trailer of the
// handset at one moment of the drive.
#include <cstdint>

#include "gen_bytes.h"
#include "gen_packets.h"

namespace cdmadiag::gen {

namespace code {
inline constexpr std::uint16_t kSearcherFingerInfo = 0x102D;
inline constexpr std::uint16_t kSearcherFingerInfoVer2 = 0x10C4;
}  // namespace code

// The closed power-control loop, carried from report to report.
struct SearcherInfoLoop {
  double gainAdjustDb = 0;
};

// searched: the sector whose pilot the searcher reports (one of the sets); setBits its
// pilot set word bits (set_bit::...).
Bytes GenSearcherFingerInfo(const Moment& m, const PilotSets& sets, std::size_t searched, std::uint16_t setBits,
                            SearcherInfoLoop& loop, Rng& rng);
// The second layout; with transmit diversity the two diversity bytes (OTD at -3 dB).
Bytes GenSearcherFingerInfoVer2(const Moment& m, const PilotSets& sets, std::size_t searched, std::uint16_t setBits,
                                bool diversity, SearcherInfoLoop& loop, Rng& rng);

}  // namespace cdmadiag::gen
