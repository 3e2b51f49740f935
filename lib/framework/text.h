#pragma once
// printf-style text for titles and details. The format attribute makes a wrong
// argument a compile error (built with -Werror=format).
#include <charconv>
#include <concepts>
#include <cstdarg>
#include <string>

namespace cdmadiag {

[[gnu::format(printf, 2, 3)]] void appendf(std::string& out, const char* format, ...);
[[gnu::format(printf, 2, 0)]] void vappendf(std::string& out, const char* format, va_list args);
[[gnu::format(printf, 1, 2)]] std::string formatf(const char* format, ...);

// An integer in decimal, as "%d" or "%u" would give it, for the loops that print
// thousands of counters a second: a printf call costs ten times as much.
template <std::integral T>
void append_int(std::string& out, T v) {
  char buf[24];
  const auto end = std::to_chars(buf, buf + sizeof buf, v).ptr;
  out.append(buf, end);
}

// A number as "%.*f" gives it (both round the exact binary value to nearest), without
// printf's cost, for the dB figures written in every row of the busiest tables.
void append_fixed(std::string& out, double v, int precision);
std::string fixed_text(double v, int precision);

}  // namespace cdmadiag
