#include "time_base.h"

#include <array>

namespace cdmadiag {
namespace {

// The UTC days (days since 1970) at whose start each leap second had been inserted,
// in order: GPS - UTC is the number of these at or before an instant.
constexpr std::array<std::int64_t, 18> kLeapDays = {
    4199,   // 1981-07-01
    4564,   // 1982-07-01
    4929,   // 1983-07-01
    5660,   // 1985-07-01
    6574,   // 1988-01-01
    7305,   // 1990-01-01
    7670,   // 1991-01-01
    8217,   // 1992-07-01
    8582,   // 1993-07-01
    8947,   // 1994-07-01
    9496,   // 1996-01-01
    10043,  // 1997-07-01
    10592,  // 1999-01-01
    13149,  // 2006-01-01
    14245,  // 2009-01-01
    15522,  // 2012-07-01
    16617,  // 2015-07-01
    17167,  // 2017-01-01
};
constexpr std::int64_t kMsPerDay = 86400000;

}  // namespace

int leap_seconds_at_gps(std::int64_t gps_ms) {
  // The n-th second took effect at that day's UTC midnight, which GPS time reads n
  // seconds later.
  // From the latest: nearly every stamp of a drive is past the last step.
  for (std::size_t n = kLeapDays.size(); n > 0; --n) {
    if (gps_ms >= kLeapDays[n - 1] * kMsPerDay + static_cast<std::int64_t>(n) * 1000) return static_cast<int>(n);
  }
  return 0;
}

std::int64_t gps_to_utc_ms(std::int64_t gps_ms) { return gps_ms - std::int64_t{1000} * leap_seconds_at_gps(gps_ms); }

}  // namespace cdmadiag
