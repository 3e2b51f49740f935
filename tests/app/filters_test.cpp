// Filters by code, time and attribute name: their boundaries, and that what they cut
// still feeds the packets they keep.
#include "filters.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <tuple>

#include "app_test_util.h"
#include "session.h"
#include "host/schema.h"

namespace cdmadiag::test {
namespace {

TEST(FilterTime, ReadsIso8601AndSecondsToTheMillisecond) {
  const std::pair<const char*, std::int64_t> good[] = {
      {"2026-12-06T23:40:42.150Z", 1796600442150},
      {"2026-12-06t23:40:42.150000000z", 1796600442150},  // as pandas prints it
      {"2026-12-06 23:40", 1796600400000},
      {"2026-12-06", 1796515200000},
      {"2026-12-06T23:40:42+02:00", 1796593242000},
      {"2024-02-29T12:00:00-0530", 1709227800000},
      {"1980-01-06T00:00:00", 315964800000},  // no zone: UTC
      {" 1796600442.15 ", 1796600442150},
      {"0", 0},
  };
  for (const auto& [text, ms] : good) {
    std::string error;
    EXPECT_EQ(parse_time_ms(text, error), std::optional<std::int64_t>(ms)) << text << ": " << error;
  }
  for (const char* text : {"2026-02-29", "2026-13-01", "2026-12-06T24:00", "2026-12-06T23:59:60", "2026-12-06T23",
                           "2026-12-06T23:40:42.1501Z", "1.2345", "1.", "", "yesterday", "12:00", "2026-12-06Z+1",
                           "-5", "2026-12-06T23:40+2:00"}) {
    std::string error;
    EXPECT_FALSE(parse_time_ms(text, error)) << text;
    EXPECT_FALSE(error.empty()) << text;
  }
  EXPECT_EQ(strip_epsg_prefix("epsg:32616"), "32616");
  EXPECT_EQ(strip_epsg_prefix("32616"), "32616");
}

// Filter options by name: {"codes", "0x1000"}, {"since", ...}.
FilterOptions opts(std::initializer_list<std::pair<std::string_view, std::string>> values) {
  FilterOptions o;
  for (const auto& [name, value] : values) {
    std::string* field = name == "codes"           ? &o.codes
                         : name == "exclude_codes" ? &o.exclude_codes
                         : name == "since"         ? &o.since
                         : name == "until"         ? &o.until
                                                   : &o.attrs;
    *field = value;
  }
  return o;
}

// kDriveStart in UTC seconds since 1970, 18 leap seconds behind the GPS stamp.
constexpr std::int64_t kStartUtcSeconds = 1778599182;

struct RunResult {
  Lines lines;
  FilterCounts counts;
};

RunResult run_filtered(const FilterOptions& options, bool with_writes = false) {
  // 1 s, 2 s, a response, 3 s, 4 s (a fix), 4 s
  constexpr std::uint64_t t0 = kDriveStart;
  const ByteVec capture = cat({log_frame(0x0FFF, {}, t0 + 1 * kSecond), log_frame(0x1000, {}, t0 + 2 * kSecond),
                               hdlc_frame({0x7B, 0x01}), log_frame(0x10FF, {}, t0 + 3 * kSecond),
                               log_frame(0x100D, etak(), t0 + 4 * kSecond), log_frame(0x1100, {}, t0 + 4 * kSecond)});
  RunSettings settings;
  settings.filters = options;
  // "seq:code" per packet ("seq:r" for a response), the writes' names when asked.
  LineSink sink([with_writes](const PacketView& p) {
    std::string line = p.response ? fmt::format("{}:r", p.seq) : fmt::format("{}:{:x}", p.seq, p.code);
    for (const WriteRecord& w : with_writes ? p.writes : std::span<const WriteRecord>()) {
      line += " " + std::string(GetSchemaDefsDynamic()->name_of(w.id));
    }
    return line + (p.fix != nullptr ? " fix" : "");
  });
  MemoryInputs memory;
  DecodeSession session(settings);
  session.add_input(memory.add(capture), "drive.hdlc");
  drain(session, sink);
  return {sink.lines, session.filter() != nullptr ? session.filter()->counts() : FilterCounts{}};
}

std::string at(int seconds) { return std::to_string(kStartUtcSeconds + seconds); }

TEST(PacketFilterRun, KeepsCodesAndTimesAtTheirBoundariesAndCountsWhatEachDropped) {
  using Counts = std::tuple<std::uint64_t, std::uint64_t, std::uint64_t, std::uint64_t, std::uint64_t, std::uint64_t>;
  struct Case {
    FilterOptions options;
    Lines kept;
    Counts counts;  // codes, exclude, since, until, attrs, kept
  };
  const Case cases[] = {
      {opts({{"codes", "0x1000-0x10FF"}}), {"2:1000", "4:10ff", "5:100d fix"}, {3, 0, 0, 0, 0, 3}},
      {opts({{"codes", "1100, 0FFF"}}), {"1:fff", "6:1100 fix"}, {4, 0, 0, 0, 0, 2}},
      {opts({{"exclude_codes", "0x1000-0x10FF"}}), {"1:fff", "3:r", "6:1100 fix"}, {0, 3, 0, 0, 0, 3}},
      // The response goes with the packet before it (2 s).
      {opts({{"since", at(2)}}), {"2:1000", "3:r", "4:10ff", "5:100d fix", "6:1100 fix"}, {0, 0, 1, 0, 0, 5}},
      {opts({{"until", at(2)}}), {"1:fff"}, {0, 0, 0, 5, 0, 1}},
      {opts({{"since", "2026-05-12T15:19:44.001Z"}, {"until", "2026-05-12T15:19:46Z"}}), {"4:10ff"}, {0, 0, 3, 2, 0, 1}},
      {opts({{"codes", "0x1000-0x10FF"}, {"since", at(3)}}), {"4:10ff", "5:100d fix"}, {3, 0, 1, 0, 0, 2}},
      {opts({{"attrs", "qualcomm_mdm_msg_type"}}), {"1:fff", "2:1000", "3:r", "4:10ff", "5:100d fix", "6:1100 fix"},
       {0, 0, 0, 0, 0, 6}},
      {opts({{"attrs", "*NO_SUCH*"}}), {}, {0, 0, 0, 0, 6, 0}},
  };
  for (const Case& c : cases) {
    const RunResult r = run_filtered(c.options);
    EXPECT_EQ(r.lines, c.kept) << c.options.codes << c.options.since << c.options.until << c.options.attrs;
    const FilterCounts& n = r.counts;
    EXPECT_EQ(Counts(n.codes, n.exclude_codes, n.since, n.until, n.attrs, n.kept), c.counts) << c.options.codes;
  }
}

TEST(PacketFilterRun, AttrsKeepOnlyMatchingWritesAndCutPacketsStillCarryTheFix) {
  // The fix packet is cut by code, yet the packet after it is placed by its fix.
  EXPECT_EQ(run_filtered(opts({{"codes", "1100"}})).lines, (Lines{"6:1100 fix"}));
  const RunResult r = run_filtered(opts({{"attrs", "ATTR_ID_LOCATION_*,*_X"}}), true);
  EXPECT_EQ(r.lines, (Lines{"5:100d ATTR_ID_LOCATION_SPEED_MPH fix"}));
}

// Packets read back earlier packets' values: a filtered run must decode every packet
// it keeps exactly as the full run does.
TEST(PacketFilterRun, KeptPacketsOfTheSampleDriveDecodeAsInTheFullRun) {
  const TempDir dir;
  ASSERT_EQ(cli({"decode", "-q", "--format", "jsonl", "--cells", kSampleCells, "-o", dir.file("all.jsonl"), kSample}),
            0);
  ASSERT_EQ(cli({"decode", "-q", "--format", "jsonl", "--cells", kSampleCells, "--since", "1778599350",
                 "--exclude-codes", "0x1000-0x10FF", "-o", dir.file("some.jsonl"), kSample}),
            0);
  std::map<std::string, std::string> full;
  const auto seq_of = [](const std::string& line) { return line.substr(0, line.find(',')); };
  std::istringstream all(slurp(dir.file("all.jsonl")));
  for (std::string line; std::getline(all, line);) full[seq_of(line)] = line;
  std::istringstream some(slurp(dir.file("some.jsonl")));
  std::size_t kept = 0;
  for (std::string line; std::getline(some, line); ++kept) {
    EXPECT_EQ(line, full[seq_of(line)]);
    const std::size_t code_at = line.find("\"code\": ");
    ASSERT_NE(code_at, std::string::npos);
    const int code = std::stoi(line.substr(code_at + 8));
    EXPECT_FALSE(code >= 0x1000 && code <= 0x10FF) << line;
  }
  EXPECT_GT(kept, 100u);
  EXPECT_LT(kept, full.size() / 2);
}

}  // namespace
}  // namespace cdmadiag::test
