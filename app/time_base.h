#pragma once
// DIAG time stamps count GPS time; people and the other tools of a drive read UTC. GPS
// time runs ahead of UTC by the leap seconds inserted since 1980-01-06.
#include <cstdint>

namespace cdmadiag {

// Milliseconds since 1970 of a stamp read as if GPS time were UTC (the log header's
// `time`), to true UTC: less the leap seconds in force at that instant. A stamp inside
// an inserted second (23:59:60 UTC) reads as the second after it.
std::int64_t gps_to_utc_ms(std::int64_t gps_ms);
// GPS time less UTC at that GPS instant, in seconds: 0 before July 1981, 18 since 2017.
int leap_seconds_at_gps(std::int64_t gps_ms);

// Before this no CDMA handset logged: a stamp earlier than it (1980-01-06 plus the
// clock's time since power-on, say) is a clock that was not yet set.
inline constexpr std::int64_t kEarliestPlausibleMs = 788918400000;  // 1995-01-01T00:00:00Z

}  // namespace cdmadiag
