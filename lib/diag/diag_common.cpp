#include "diag/diag_common.h"

#include "framework/attributes.h"
#include "framework/decoder_kit.h"

namespace cdmadiag::diag {

std::optional<double> frame_error_rate_since(IOrbDataState* ds, std::uint32_t bad_id, std::uint32_t total_id,
                                             std::uint32_t bound, const FrameCounters& now) {
  const AttrReader read(ds);
  const auto prev_bad = held_integer(read.before(bad_id, bound));
  const auto prev_total = held_integer(read.before(total_id, bound));
  std::int64_t bad = now.bad;
  std::int64_t total = now.total;
  if (prev_bad && prev_total && *prev_bad <= bad && *prev_total <= total) {
    bad -= *prev_bad;
    total -= *prev_total;
  }
  if (total == 0 || bad > total) return std::nullopt;
  return static_cast<double>(bad) / static_cast<double>(total) * 100.0;
}

void record_non_markov_frames(IOrbDataState* ds, std::uint32_t bound, const FrameCounters& now) {
  const AttrWriter w(ds);
  if (!w.on()) return;
  const auto fer = frame_error_rate_since(ds, ATTR_ID_Bad_Frames_For_NonMarkov_FER,
                                          ATTR_ID_Total_Frames_For_Non_Markov_FER, bound, now);
  w.DWord(ATTR_ID_Bad_Frames_For_NonMarkov_FER, now.bad);
  w.DWord(ATTR_ID_Total_Frames_For_Non_Markov_FER, now.total);
  if (fer) {
    w.Double(ATTR_ID_FER_NON_MARKOV, *fer);
  } else {
    w.NoValue(ATTR_ID_FER_NON_MARKOV);
  }
}

}  // namespace cdmadiag::diag
