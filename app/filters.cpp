#include "filters.h"

#include <fmt/format.h>
#include <fnmatch.h>

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <charconv>

#include "sinks.h"

namespace cdmadiag {
namespace {

constexpr std::string_view kAttrPrefix = "ATTR_ID_";

std::string_view trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())) != 0) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())) != 0) s.remove_suffix(1);
  return s;
}

std::vector<std::string_view> split_list(std::string_view list) {
  std::vector<std::string_view> items;
  for (std::size_t start = 0;;) {
    const std::size_t comma = list.find(',', start);
    items.push_back(trim(list.substr(start, comma == std::string_view::npos ? comma : comma - start)));
    if (comma == std::string_view::npos) return items;
    start = comma + 1;
  }
}

bool parse_hex_code(std::string_view s, std::uint32_t& out) {
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s.remove_prefix(2);
  if (s.empty() || s.size() > 4) return false;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out, 16);
  return ec == std::errc() && end == s.data() + s.size();
}

std::string parse_ranges(std::string_view list, std::vector<std::pair<std::uint32_t, std::uint32_t>>& out) {
  std::vector<std::pair<std::uint32_t, std::uint32_t>> ranges;
  for (const std::string_view item : split_list(list)) {
    if (item.empty()) return "an empty item in the list";
    const std::size_t dash = item.find('-');
    const std::string_view first = trim(item.substr(0, dash));
    const std::string_view last = dash == std::string_view::npos ? first : trim(item.substr(dash + 1));
    std::uint32_t lo = 0;
    std::uint32_t hi = 0;
    if (!parse_hex_code(first, lo) || !parse_hex_code(last, hi)) {
      return fmt::format("'{}' is not a hex code from 0 to FFFF, or a range of two", item);
    }
    if (lo > hi) return fmt::format("the range '{}' ends before it starts", item);
    ranges.emplace_back(lo, hi);
  }
  out = std::move(ranges);
  return {};
}

bool in_ranges(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& ranges, std::uint32_t code) {
  return std::ranges::any_of(ranges, [code](const auto& r) { return r.first <= code && code <= r.second; });
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
std::int64_t days_from_civil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2 ? 1 : 0;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

unsigned days_in_month(std::int64_t y, unsigned m) {
  static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return m == 2 && leap ? 29 : kDays[m - 1];
}

class Cursor {
 public:
  explicit Cursor(std::string_view s) : s_(s) {}
  bool done() const { return pos_ == s_.size(); }
  char peek() const { return done() ? '\0' : s_[pos_]; }
  bool take(char c) {
    if (peek() != c) return false;
    ++pos_;
    return true;
  }
  // Exactly n decimal digits.
  bool digits(std::size_t n, unsigned& out) {
    out = 0;
    for (std::size_t i = 0; i < n; ++i) {
      const char c = peek();
      if (c < '0' || c > '9') return false;
      out = out * 10 + static_cast<unsigned>(c - '0');
      ++pos_;
    }
    return true;
  }
  // A fraction of a second after its separator, as milliseconds: digits past the third
  // must be zeros (pandas prints nanoseconds).
  bool millis(unsigned& ms, std::string& error) {
    ms = 0;
    std::size_t n = 0;
    for (char c = peek(); c >= '0' && c <= '9'; c = peek(), ++n) {
      if (n < 3) {
        ms = ms * 10 + static_cast<unsigned>(c - '0');
      } else if (c != '0') {
        error = "more precise than a millisecond";
        return false;
      }
      ++pos_;
    }
    if (n == 0) {
      error = "no digits after the decimal point";
      return false;
    }
    for (; n < 3; ++n) ms *= 10;
    return true;
  }

 private:
  std::string_view s_;
  std::size_t pos_ = 0;
};

std::optional<std::int64_t> parse_seconds(std::string_view text, std::string& error) {
  Cursor c(text);
  std::int64_t seconds = 0;
  std::size_t n = 0;
  for (char ch = c.peek(); ch >= '0' && ch <= '9'; ch = c.peek(), ++n) {
    if (n == 12) {
      error = "too far in the future";
      return std::nullopt;
    }
    seconds = seconds * 10 + (ch - '0');
    c.take(ch);
  }
  unsigned ms = 0;
  if (n == 0 || (c.take('.') && !c.millis(ms, error)) || !c.done()) {
    if (error.empty()) error = "neither ISO 8601 (2026-12-06T23:40:42Z) nor seconds since 1970";
    return std::nullopt;
  }
  return seconds * 1000 + ms;
}

std::optional<std::int64_t> parse_iso(std::string_view text, std::string& error) {
  Cursor c(text);
  unsigned year = 0;
  unsigned month = 0;
  unsigned day = 0;
  unsigned hour = 0;
  unsigned minute = 0;
  unsigned second = 0;
  unsigned ms = 0;
  const auto bad = [&error](const char* why) {
    if (error.empty()) error = why;
    return std::nullopt;
  };
  if (!c.digits(4, year) || !c.take('-') || !c.digits(2, month) || !c.take('-') || !c.digits(2, day)) {
    return bad("expected a date as YYYY-MM-DD");
  }
  if (month < 1 || month > 12 || day < 1 || day > days_in_month(year, month)) return bad("no such date");
  if (c.take('T') || c.take('t') || c.take(' ')) {
    if (!c.digits(2, hour) || !c.take(':') || !c.digits(2, minute)) return bad("expected a time as hh:mm[:ss[.fff]]");
    if (c.take(':')) {
      if (!c.digits(2, second)) return bad("expected seconds as two digits");
      if ((c.take('.') || c.take(',')) && !c.millis(ms, error)) return std::nullopt;
    }
    // The DIAG clock counts no leap seconds, so 60 cannot be meant.
    if (hour > 23 || minute > 59 || second > 59) return bad("no such time of day");
  }
  std::int64_t offset_minutes = 0;
  const bool utc = c.take('Z') || c.take('z');
  if (!utc && (c.peek() == '+' || c.peek() == '-')) {
    const int sign = c.peek() == '-' ? -1 : 1;
    c.take(c.peek());
    unsigned oh = 0;
    unsigned om = 0;
    if (!c.digits(2, oh)) return bad("expected a zone offset as +hh:mm");
    if (!c.done()) {
      c.take(':');
      if (!c.digits(2, om)) return bad("expected a zone offset as +hh:mm");
    }
    if (oh > 23 || om > 59) return bad("no such zone offset");
    offset_minutes = sign * static_cast<std::int64_t>(oh * 60 + om);
  }
  if (!c.done()) return bad("unexpected text after the time");
  const std::int64_t seconds = days_from_civil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second -
                               offset_minutes * 60;
  return seconds * 1000 + ms;
}

}  // namespace

std::optional<std::int64_t> parse_time_ms(std::string_view text, std::string& error) {
  error.clear();
  text = trim(text);
  if (text.find_first_of("-:Tt") != std::string_view::npos) return parse_iso(text, error);
  return parse_seconds(text, error);
}

std::string PacketFilter::set_codes(std::string_view list) { return parse_ranges(list, codes_); }

std::string PacketFilter::set_exclude_codes(std::string_view list) { return parse_ranges(list, exclude_codes_); }

std::string PacketFilter::set_since(std::string_view when) {
  std::string error;
  since_ms_ = parse_time_ms(when, error);
  if (error.empty() && since_ms_ && until_ms_ && *since_ms_ >= *until_ms_) error = "--until must be later than --since";
  return error;
}

std::string PacketFilter::set_until(std::string_view when) {
  std::string error;
  until_ms_ = parse_time_ms(when, error);
  if (error.empty() && since_ms_ && until_ms_ && *since_ms_ >= *until_ms_) error = "--until must be later than --since";
  return error;
}

std::string PacketFilter::set_attrs(std::string_view globs) {
  std::vector<std::string> parsed;
  for (const std::string_view g : split_list(globs)) {
    if (g.empty()) return "an empty item in the list";
    parsed.emplace_back(g);
  }
  globs_ = std::move(parsed);
  attr_cache_.clear();
  return {};
}

bool PacketFilter::admit(const PacketView& view) {
  // A command response has no time stamp, and a stray stamp is not the drive's time:
  // such a packet goes with the packet before it, and one before any time stamp is
  // earlier than every time.
  if (view.time_ms && !view.time_suspect) last_time_ms_ = view.time_ms;
  if (!codes_.empty() && (view.response || !in_ranges(codes_, view.code))) {
    ++counts_.codes;
    return false;
  }
  if (!exclude_codes_.empty() && !view.response && in_ranges(exclude_codes_, view.code)) {
    ++counts_.exclude_codes;
    return false;
  }
  if (since_ms_ && (!last_time_ms_ || *last_time_ms_ < *since_ms_)) {
    ++counts_.since;
    return false;
  }
  if (until_ms_ && last_time_ms_ && *last_time_ms_ >= *until_ms_) {
    ++counts_.until;
    return false;
  }
  return true;
}

bool PacketFilter::attr_wanted(std::uint32_t id) {
  const auto [it, inserted] = attr_cache_.try_emplace(id, false);
  if (!inserted) return it->second;
  std::string name(attribute_name(id, scratch_));
  std::string_view bare(name);
  if (bare.starts_with(kAttrPrefix)) bare.remove_prefix(kAttrPrefix.size());
  const std::string bare_name(bare);
  it->second = std::ranges::any_of(globs_, [&](const std::string& g) {
    return ::fnmatch(g.c_str(), name.c_str(), FNM_CASEFOLD) == 0 ||
           ::fnmatch(g.c_str(), bare_name.c_str(), FNM_CASEFOLD) == 0;
  });
  return it->second;
}

bool PacketFilter::keep_writes(std::vector<WriteRecord>& writes) {
  if (globs_.empty()) return true;
  std::erase_if(writes, [this](const WriteRecord& w) { return !attr_wanted(w.id); });
  if (!writes.empty()) return true;
  ++counts_.attrs;
  return false;
}

void PacketFilter::print_summary(std::FILE* out) const {
  std::string dropped;
  const auto add = [&dropped](bool set, const char* option, std::uint64_t n) {
    if (set) dropped += fmt::format("{}{} {}", dropped.empty() ? "" : ", ", option, n);
  };
  add(!codes_.empty(), "--codes", counts_.codes);
  add(!exclude_codes_.empty(), "--exclude-codes", counts_.exclude_codes);
  add(since_ms_.has_value(), "--since", counts_.since);
  add(until_ms_.has_value(), "--until", counts_.until);
  add(!globs_.empty(), "--attrs", counts_.attrs);
  fmt::print(out, "cdmadiag: filters kept {} packets; dropped by {}\n", counts_.kept, dropped);
}


void add_filter_options(CLI::App& command, FilterOptions& options) {
  command.add_option("--codes", options.codes, "Output only log packets of these hex codes or ranges (0x1000-0x10FF,...)");
  command.add_option("--exclude-codes", options.exclude_codes, "Do not output log packets of these codes or ranges");
  command.add_option("--since", options.since, "Output only packets at or after this time (ISO 8601 or seconds)");
  command.add_option("--until", options.until, "Output only packets before this time (ISO 8601 or seconds)");
  command.add_option("--attrs", options.attrs, "Output only attribute writes matching these globs; drop packets left with none");
}

std::string setup_filter(PacketFilter& filter, const FilterOptions& options) {
  std::string error;
  const auto set = [&](const char* option, const std::string& value, auto&& setter) {
    if (!error.empty() || value.empty()) return;
    const std::string why = setter(value);
    if (!why.empty()) error = fmt::format("{} {}: {}", option, value, why);
  };
  set("codes", options.codes, [&](std::string_view v) { return filter.set_codes(v); });
  set("exclude-codes", options.exclude_codes, [&](std::string_view v) { return filter.set_exclude_codes(v); });
  set("since", options.since, [&](std::string_view v) { return filter.set_since(v); });
  set("until", options.until, [&](std::string_view v) { return filter.set_until(v); });
  set("attrs", options.attrs, [&](std::string_view v) { return filter.set_attrs(v); });
  return error;
}

std::string strip_epsg_prefix(std::string text) {
  constexpr std::string_view kPrefix = "epsg:";
  if (text.size() > kPrefix.size() && std::equal(kPrefix.begin(), kPrefix.end(), text.begin(), [](char a, char b) {
        return a == std::tolower(static_cast<unsigned char>(b));
      })) {
    text.erase(0, kPrefix.size());
  }
  return text;
}

}  // namespace cdmadiag
