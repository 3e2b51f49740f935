#include "framework/text.h"

#include <charconv>
#include <cstdio>

namespace cdmadiag {

void vappendf(std::string& out, const char* format, va_list args) {
  char small[256];
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(small, sizeof small, format, copy);
  va_end(copy);
  if (n <= 0) return;
  if (static_cast<std::size_t>(n) < sizeof small) {
    out.append(small, static_cast<std::size_t>(n));
    return;
  }
  const std::size_t old = out.size();
  out.resize(old + static_cast<std::size_t>(n) + 1);
  std::vsnprintf(out.data() + old, static_cast<std::size_t>(n) + 1, format, args);
  out.resize(old + static_cast<std::size_t>(n));
}

void appendf(std::string& out, const char* format, ...) {
  va_list args;
  va_start(args, format);
  vappendf(out, format, args);
  va_end(args);
}

void append_fixed(std::string& out, double v, int precision) {
  // Enough for any double in fixed notation at the precisions we print.
  char buf[400];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, precision);
  if (ec != std::errc{}) {
    appendf(out, "%.*f", precision, v);
    return;
  }
  out.append(buf, end);
}

std::string fixed_text(double v, int precision) {
  std::string out;
  append_fixed(out, v, precision);
  return out;
}

std::string formatf(const char* format, ...) {
  std::string out;
  va_list args;
  va_start(args, format);
  vappendf(out, format, args);
  va_end(args);
  return out;
}

}  // namespace cdmadiag
