#pragma once
// Emitters of the pilot scanner's top-N measurements (both layouts) and of the
// handset's dense-pack searcher path log. The scanner is a receiver of its own in the
// car: it hears every nearby pilot, the handset's sets or not.
#include <cstdint>

#include "gen_bytes.h"
#include "gen_packets.h"

namespace cdmadiag::gen {

namespace code {
inline constexpr std::uint16_t kSearcherPathLog = 0x100C;
inline constexpr std::uint16_t kScannerTopN = 0x20AB;
inline constexpr std::uint16_t kScannerTopNV2 = 0x21AB;
}  // namespace code

// Scan counters of the scanner, carried from scan to scan.
struct ScannerState {
  std::int32_t loop = 0;
  std::int32_t scan = 0;
};

// One scan of the pilots heard at the moment, strongest first. firstLayout selects
// 0x20AB (time slot numbers; delay spreads every other scan) over 0x21AB.
Bytes ScannerTopN(const Moment& m, bool firstLayout, ScannerState& state, Rng& rng);
// Four paths of each pilot of the handset's active, candidate and neighbour sets.
Bytes SearcherPathLog(const Moment& m, const PilotSets& sets, Rng& rng);

}  // namespace cdmadiag::gen
