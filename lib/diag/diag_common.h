#pragma once
// Helpers the DIAG response decoders share: the frame-error bookkeeping that turns
// cumulative frame counters into a rate per response.
#include <cstdint>
#include <optional>

#include "host/data_state.h"

namespace cdmadiag::diag {

// Cumulative frame counters of one response.
struct FrameCounters {
  std::uint32_t bad = 0;
  std::uint32_t total = 0;
};

// Percent of bad frames among the frames counted since the previous response
// (counters read back from bad_id/total_id of an earlier packet, bound = message
// number). Counters that went backwards mean the phone restarted them, so the
// current values are taken whole. Empty when no frame was counted in between or
// the counts contradict each other.
std::optional<double> frame_error_rate_since(IOrbDataState* ds, std::uint32_t bad_id, std::uint32_t total_id,
                                             std::uint32_t bound, const FrameCounters& now);

// Writes the non-Markov frame counters and the frame error rate since the
// previous response that wrote them; nothing when the data state is read-only.
void record_non_markov_frames(IOrbDataState* ds, std::uint32_t bound, const FrameCounters& now);

}  // namespace cdmadiag::diag
