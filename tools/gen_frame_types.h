#pragma once
// Emitters of the 1x traffic frame reports: the forward and reverse frame types of the
// fundamental and first supplemental channels over half a second of a call, with
// forward frames erased more often as the active set weakens, and Markov test blocks.
#include <cstdint>

#include "gen_bytes.h"
#include "gen_drive.h"
#include "gen_packets.h"

namespace cdmadiag::gen {

namespace code {
inline constexpr std::uint16_t kForwardFrameType = 0x1029;
inline constexpr std::uint16_t kReverseFrameType = 0x102A;
inline constexpr std::uint16_t kMarkovStats = 0x100E;
}  // namespace code

// Chance that a forward frame is erased, from the combined Ec/Io of the active set.
double ForwardErasureChance(const Moment& m, const PilotSets& sets);

// One record of 25 frames (20 ms each), FCH and SCH0 in radio configuration 3, service option 33.
Bytes ForwardFrameType(const Moment& m, const PilotSets& sets, Rng& rng);
Bytes ReverseFrameType(Rng& rng);
// A Markov test block of 50 frames: expected and decoded categories and bit errors.
Bytes MarkovStats(const Moment& m, const PilotSets& sets, Rng& rng);

}  // namespace cdmadiag::gen
