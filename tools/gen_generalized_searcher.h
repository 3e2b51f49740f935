#pragma once
// Emitters of the Searcher4 - 1X report and the next-generation searcher reports
// (a container of typed subpackets) at one moment of a 1x leg.
#include <cstdint>

#include "gen_bytes.h"
#include "gen_packets.h"

namespace cdmadiag::gen {

namespace code {
inline constexpr std::uint16_t kSearcher4_1X = 0x1174;
inline constexpr std::uint16_t kTngFingerStatus = 0x119A;
inline constexpr std::uint16_t kTng1XSearcher = 0x119B;
}  // namespace code

// One task per active pilot (at most four), the direct path and one echo each.
Bytes Searcher4Report(const Moment& m, const PilotSets& sets, Rng& rng);
// Active Info and Finger Info subpackets: one finger per active pilot (at most six).
Bytes TngFingerStatus(const Moment& m, const PilotSets& sets, Rng& rng);
// Searcher Status, RF and one Searcher1 subpacket for the searched sector (setMask:
// 1 Active, 2 Candidate, 4 Neighbor, 8 Remaining).
Bytes Tng1XSearcher(const Moment& m, std::size_t searched, std::uint8_t setMask, Rng& rng);

}  // namespace cdmadiag::gen
