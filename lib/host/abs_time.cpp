#include "host/abs_time.h"

#include <fmt/format.h>

namespace {

// Days since 1970-01-01 to civil date (proleptic Gregorian), valid for any int64 day.
void civil_from_days(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = static_cast<std::int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  if (m <= 2) ++y;
}

}  // namespace

void COrbMilliSecAbsTime::GetAbsTimeStr(std::string& out, const char*) const {
  std::int64_t days = ms_ / 86400000;
  std::int64_t rem = ms_ % 86400000;
  if (rem < 0) {
    rem += 86400000;
    --days;
  }
  std::int64_t y = 0;
  unsigned m = 0;
  unsigned d = 0;
  civil_from_days(days, y, m, d);
  const auto secs = rem / 1000;
  out = fmt::format("{:04}-{:02}-{:02} {:02}:{:02}:{:02}.{:03}", y, m, d, secs / 3600, secs / 60 % 60, secs % 60,
                    rem % 1000);
}
