#pragma once
// Helpers the DIAG response decoders share: format-group names and the frame-error
// bookkeeping that turns cumulative frame counters into a rate per response.
#include <cstdint>
#include <optional>
#include <string>

#include "framework/payload_reader.h"
#include "host/data_state.h"
#include "host/expanded_message.h"

namespace cdmadiag::diag {

// True when the payload holds need bytes. A decoder reached without the
// dispatcher's length test, on a shorter buffer, shows the failure text instead.
bool fits(const PayloadReader& r, std::size_t need, COrbExpandedMessage& msg);

// Name of value in the named format group; the number itself when the group has none.
std::string group_text(const char* group, double value);

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
// previous response that wrote them.
void record_non_markov_frames(IOrbDataState* ds, std::uint32_t bound, const FrameCounters& now);

// Integer held by a read-back value; nullopt when nothing is held.
std::optional<std::int64_t> held_integer(const OrbRetVal& v);

}  // namespace cdmadiag::diag
