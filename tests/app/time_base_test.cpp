// GPS time against UTC at each leap second, and the stray time stamps a session flags.
#include "time_base.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app_test_util.h"
#include "sinks.h"

namespace cdmadiag::test {
namespace {

std::string iso(std::int64_t ms) {
  fmt::memory_buffer b;
  append_iso_time(b, ms);
  return fmt::to_string(b);
}

// Readings of the GPS clock (ms since 1970 as it counts) around leap seconds: the first
// (1981-07-01), the fifteenth (2009-01-01) and the latest (2017-01-01). The inserted
// second, 23:59:60, has no UTC reading of its own: it reads as the midnight after it.
TEST(TimeBase, EachLeapSecondTakesEffectAtItsUtcMidnight) {
  const std::pair<std::int64_t, const char*> cases[] = {
      {315964800000, "1980-01-06T00:00:00.000Z"},  // the GPS epoch: no leap second yet
      {362793599999, "1981-06-30T23:59:59.999Z"},  {362793600999, "1981-07-01T00:00:00.999Z"},
      {362793601000, "1981-07-01T00:00:00.000Z"},  {1230768013999, "2008-12-31T23:59:59.999Z"},
      {1230768015000, "2009-01-01T00:00:00.000Z"}, {1483228816999, "2016-12-31T23:59:59.999Z"},
      {1483228817999, "2017-01-01T00:00:00.999Z"}, {1778599200000, "2026-05-12T15:19:42.000Z"},
  };
  for (const auto& [gps_ms, want] : cases) EXPECT_EQ(iso(gps_to_utc_ms(gps_ms)), want) << gps_ms;
  EXPECT_EQ(leap_seconds_at_gps(1778599200000), 18);
}

std::vector<std::string> stamps(const std::vector<std::uint64_t>& units, bool look_ahead = true) {
  ByteVec capture;
  for (const std::uint64_t u : units) capture = cat({capture, log_record(0x1001, {}, u)});
  // Per packet: seq, UTC time, and "?" for a stamp the session took for a stray.
  LineSink sink([](const PacketView& p) {
    return std::to_string(p.seq) + (p.time_ms ? " " + iso(*p.time_ms) : " -") + (p.time_suspect ? " ?" : "");
  });
  RunSettings settings;
  settings.look_ahead = look_ahead;
  decode_into(sink, {capture}, settings);
  return sink.lines;
}

TEST(StrayStamps, ZeroOrFarFromTheNeighboursIsFlaggedAndKeepsItsTime) {
  const std::uint64_t t = kDriveStart;
  constexpr std::uint64_t kHour = 3600 * kSecond;
  // A zero stamp and one a day ahead in the middle of a drive; a stray as the first packet.
  EXPECT_EQ(stamps({t, t + kSecond, 0, t + 2 * kSecond, t + 24 * kHour, t + 3 * kSecond}),
            (std::vector<std::string>{"1 2026-05-12T15:19:42.000Z", "2 2026-05-12T15:19:43.000Z",
                                      "3 1980-01-06T00:00:00.000Z ?", "4 2026-05-12T15:19:44.000Z",
                                      "5 2026-05-13T15:19:42.000Z ?", "6 2026-05-12T15:19:45.000Z"}));
  EXPECT_EQ(stamps({t - 400 * kHour, t, t + kSecond})[0], "1 2026-04-25T23:19:42.000Z ?");
  // A clock since power-on (1980 plus hours) is no time, even with neighbours like it.
  EXPECT_EQ(stamps({3 * kHour, 3 * kHour + kSecond}),
            (std::vector<std::string>{"1 1980-01-06T03:00:00.000Z ?", "2 1980-01-06T03:00:01.000Z ?"}));
  // A pause of hours inside one log is no stray: each side has its neighbours.
  EXPECT_EQ(stamps({t, t + kSecond, t + 5 * kHour, t + 5 * kHour + kSecond}),
            (std::vector<std::string>{"1 2026-05-12T15:19:42.000Z", "2 2026-05-12T15:19:43.000Z",
                                      "3 2026-05-12T20:19:42.000Z", "4 2026-05-12T20:19:43.000Z"}));
  // Judged by the packets before it alone (live output), the stray after them still shows.
  EXPECT_EQ(stamps({t, t + kSecond, t + 30 * kHour}, false)[2], "3 2026-05-13T21:19:42.000Z ?");
}

}  // namespace
}  // namespace cdmadiag::test
