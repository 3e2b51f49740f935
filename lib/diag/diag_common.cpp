#include "diag/diag_common.h"

#include "framework/attributes.h"
#include "framework/failure_texts.h"
#include "host/format_groups.h"

namespace cdmadiag::diag {

bool fits(const PayloadReader& r, std::size_t need, COrbExpandedMessage& msg) {
  if (r.size() >= need) return true;
  if (msg.detailsWanted) msg.details += kNotQualcommStandard;
  return false;
}

std::string group_text(const char* group, double value) {
  const COrbFormatGroupManager* groups = GetFormatGroupManager();
  std::string out;
  groups->fgFormatValue(out, groups->fgGetFormatGroupCode(group), value, 0, 0);
  return out;
}

std::optional<std::int64_t> held_integer(const OrbRetVal& v) {
  if (!v.present()) return std::nullopt;
  return static_cast<std::int64_t>(static_cast<double>(v));
}

std::optional<double> frame_error_rate_since(IOrbDataState* ds, std::uint32_t bad_id, std::uint32_t total_id,
                                             std::uint32_t bound, const FrameCounters& now) {
  const auto prev_bad = held_integer(ds->GetValueAt(bad_id, 0, bound));
  const auto prev_total = held_integer(ds->GetValueAt(total_id, 0, bound));
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
  constexpr std::uint32_t kNoBound = IOrbDataState::kNoBound;
  const auto fer = frame_error_rate_since(ds, ATTR_ID_Bad_Frames_For_NonMarkov_FER,
                                          ATTR_ID_Total_Frames_For_Non_Markov_FER, bound, now);
  ds->SetDWord(ATTR_ID_Bad_Frames_For_NonMarkov_FER, now.bad, 0, kNoBound, 0);
  ds->SetDWord(ATTR_ID_Total_Frames_For_Non_Markov_FER, now.total, 0, kNoBound, 0);
  if (fer) {
    ds->SetDouble(ATTR_ID_FER_NON_MARKOV, *fer, 0, kNoBound, 0);
  } else {
    ds->SetNoValue(ATTR_ID_FER_NON_MARKOV, 0, kNoBound, 0);
  }
}

}  // namespace cdmadiag::diag
