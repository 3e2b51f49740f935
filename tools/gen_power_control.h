#pragma once
// Emitters of the 1x AGC and reverse power control reports: the handset's receive
// power follows the radio, and the closed loop pushes its transmit power up as the
// receive power falls.
#include <cstdint>

#include "gen_bytes.h"
#include "gen_packets.h"

namespace cdmadiag::gen {

namespace code {
inline constexpr std::uint16_t kSparseAgc = 0x1016;
inline constexpr std::uint16_t kRevPowerControl = 0x102C;
}  // namespace code

// The closed power-control loop, carried from report to report.
struct PowerLoop {
  double gainAdjustDb = 0;
};

// 100 receive AGC, gain adjust and transmit AGC samples over the 20 ms frames just gone.
Bytes SparseAgcReport(const Moment& m, PowerLoop& loop, Rng& rng);
// One record of four FCH frames, with their power control decisions and powers.
Bytes RevPowerControlReport(const Moment& m, PowerLoop& loop, Rng& rng);

}  // namespace cdmadiag::gen
