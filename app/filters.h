#pragma once
// What the user asked to see: packets cut at the source by code, time and attribute name.
//
// A packet cut by code or time is still decoded, without title, details or cell names,
// because later packets read back what it left in the data state; it is only not
// output. The attribute filter keeps the matching writes of a packet and drops a packet
// left with none.
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "output_sink.h"

namespace cdmadiag {

// Packets each filter dropped; a packet is counted against the first filter that drops
// it, in the order of the members.
struct FilterCounts {
  std::uint64_t codes = 0;
  std::uint64_t exclude_codes = 0;
  std::uint64_t since = 0;
  std::uint64_t until = 0;
  std::uint64_t attrs = 0;
  std::uint64_t kept = 0;
};

// "2026-12-06T23:40:42.150Z", "2026-12-06 23:40", "2026-12-06", "...+02:00" (no zone: UTC)
// or seconds since 1970 ("1700000000.25"), at most millisecond precision. Milliseconds
// since 1970, or nothing and the reason.
std::optional<std::int64_t> parse_time_ms(std::string_view text, std::string& error);

class PacketFilter {
 public:
  // Each returns an empty string, or what is wrong with the text.
  // Hexadecimal log codes (0x optional) and inclusive ranges: "0x1007,0x1000-0x10FF".
  std::string set_codes(std::string_view list);
  std::string set_exclude_codes(std::string_view list);
  std::string set_since(std::string_view when);
  std::string set_until(std::string_view when);
  // Globs over attribute names (* ? [...]), matched ignoring case, with or without the
  // ATTR_ID_ prefix: "*ECIO*,QUALCOMM_MDM_MSG_TYPE".
  std::string set_attrs(std::string_view globs);

  bool active() const { return cuts_before_decoding() || !globs_.empty(); }

  // Before decoding: false when the packet's code or time is not wanted (then counted).
  bool admit(const PacketView& view);
  // After decoding: removes the writes not wanted; false (counted) when none are left.
  bool keep_writes(std::vector<WriteRecord>& writes);
  // A packet that passed both.
  void kept() { ++counts_.kept; }

  const FilterCounts& counts() const { return counts_; }
  // One line for the run's summary: what was kept and what each filter dropped.
  void print_summary(std::FILE* out) const;

 private:
  using Ranges = std::vector<std::pair<std::uint32_t, std::uint32_t>>;
  bool cuts_before_decoding() const {
    return !codes_.empty() || !exclude_codes_.empty() || since_ms_ || until_ms_;
  }
  bool attr_wanted(std::uint32_t id);

  Ranges codes_;
  Ranges exclude_codes_;
  std::optional<std::int64_t> since_ms_;
  std::optional<std::int64_t> until_ms_;
  std::optional<std::int64_t> last_time_ms_;  // of the last packet with a time stamp
  std::vector<std::string> globs_;
  std::unordered_map<std::uint32_t, bool> attr_cache_;
  std::string scratch_;
  FilterCounts counts_;
};

}  // namespace cdmadiag

namespace CLI {
class App;
}

namespace cdmadiag {

// The filter options as given on the command line.
struct FilterOptions {
  std::string codes;
  std::string exclude_codes;
  std::string since;
  std::string until;
  std::string attrs;
};

void add_filter_options(CLI::App& command, FilterOptions& options);
// Empty, or what is wrong with the first bad option ("--codes 0xZZ: ...").
std::string setup_filter(PacketFilter& filter, const FilterOptions& options);
// "EPSG:32616" (any case) as "32616"; anything else as it was.
std::string strip_epsg_prefix(std::string text);

}  // namespace cdmadiag
