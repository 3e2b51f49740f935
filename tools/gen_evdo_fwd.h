#pragma once
// EV-DO forward link statistics for the sample capture: the access network serves
// the terminal at the rate its DRC asks for, and the modem's counters follow.
#include <array>
#include <cstdint>

#include "gen_bytes.h"
#include "gen_drive.h"
#include "gen_packets.h"

namespace cdmadiag::gen {

namespace code {
inline constexpr std::uint16_t kEvdoForwardStatsSummary = 0x1084;
}  // namespace code

// The counters of the forward statistics summary since the connection began.
struct ForwardStats {
  // Counter order: control channel 38.4k and 76.8k, then the traffic rates in DRC
  // order (DRC index d is traffic rate d - 1).
  std::array<std::uint32_t, 14> good{}, bad{};
  // Slot histograms: the twelve traffic rates, then the two control channel rates;
  // bucket k counts good packets decoded in k + 1 slots.
  std::array<std::uint32_t, 68> histogram{};
  std::uint32_t sequence = 0;  // reports so far, one a second
};

// One second of forward traffic at the DRC the best active-set pilot supports,
// added to stats, then the summary of the counters.
Bytes EvdoForwardStatsSummary(const Moment& m, const EvdoLink& link, ForwardStats& stats, Rng& rng);

}  // namespace cdmadiag::gen
