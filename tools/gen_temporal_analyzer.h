#pragma once
// Emitters of the 1x general temporal analyzer reports: one searched pilot, the four
// rake fingers and the power trailer of the handset at one moment of the drive.
#include <cstdint>

#include "gen_bytes.h"
#include "gen_packets.h"

namespace cdmadiag::gen {

namespace code {
inline constexpr std::uint16_t kGenTa = 0x1019;
inline constexpr std::uint16_t kGenTaSup = 0x101A;
}  // namespace code

// The closed power-control loop, carried from report to report.
struct TaLoop {
  double gainAdjustDb = 0;
};

// searched: the sector whose pilot the searcher reports (one of the sets); setBits
// its pilot set word bits (set_bit::...).
Bytes GenTaReport(const Moment& m, const PilotSets& sets, std::size_t searched, std::uint16_t setBits, TaLoop& loop,
                  Rng& rng);
// The same record followed by the supplemental channel count and eight Walsh codes.
Bytes GenTaSupReport(const Moment& m, const PilotSets& sets, std::size_t searched, std::uint16_t setBits, TaLoop& loop,
                     int supChannels, Rng& rng);

}  // namespace cdmadiag::gen
