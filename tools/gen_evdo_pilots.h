#pragma once
// EV-DO pilot reports of the sample drive: the pilot sets, the searcher (type 2)
// and the finger (version 2) reports, drawn from the same cells and active set as
// the air-link summary.
#include <cstdint>

#include "gen_bytes.h"
#include "gen_packets.h"

namespace cdmadiag::gen {

namespace code {
inline constexpr std::uint16_t kEvdoFinger2 = 0x108A;
inline constexpr std::uint16_t kEvdoPilotSets2 = 0x108B;
inline constexpr std::uint16_t kEvdoSearcherType2 = 0x127C;
}  // namespace code

// Each reads the link's pilot sets (kept by the air-link summary) and leaves them as they are.
Bytes EvdoPilotSets2(const Moment& m, const EvdoLink& link);
Bytes EvdoSearcherType2(const Moment& m, const EvdoLink& link, Rng& rng);
Bytes EvdoFinger2(const Moment& m, const EvdoLink& link, Rng& rng);

}  // namespace cdmadiag::gen
