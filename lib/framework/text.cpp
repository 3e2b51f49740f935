#include "framework/text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>

namespace cdmadiag {

namespace {

// Collects a text in a block on the stack and hands it to the string in a few large
// appends: a detail line is a dozen short pieces, and each append of its own cost more
// than formatting the piece.
class Buffer {
 public:
  static constexpr std::size_t kSize = 1024;
  // Room for the longest single conversion (width and precision are capped well below).
  static constexpr std::size_t kPiece = 512;

  explicit Buffer(std::string& out) : out_(out) {}
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;
  ~Buffer() { flush(); }

  // At least n (<= kPiece) bytes of room; commit() says how many were used.
  char* room(std::size_t n) {
    if (kSize - used_ < n) flush();
    return data_ + used_;
  }
  void commit(char* end) { used_ = static_cast<std::size_t>(end - data_); }
  void put(char c) {
    *room(1) = c;
    ++used_;
  }
  void put(const char* p, std::size_t n) {
    if (kSize - used_ < n) {
      flush();
      if (n > kSize) {
        out_.append(p, n);
        return;
      }
    }
    std::memcpy(data_ + used_, p, n);
    used_ += n;
  }
  // A piece of a few bytes, copied inline.
  void put_short(const char* p, std::size_t n) {
    if (n > 16 || kSize - used_ < n) {
      put(p, n);
      return;
    }
    char* d = data_ + used_;
    used_ += n;
    for (; n >= 8; n -= 8, d += 8, p += 8) std::memcpy(d, p, 8);
    for (; n > 0; --n) *d++ = *p++;
  }
  void fill(char c, std::size_t n) {
    while (n > 0) {
      const std::size_t k = std::min(n, kPiece);
      char* at = room(k);
      std::memset(at, c, k);
      used_ += k;
      n -= k;
    }
  }
  void flush() {
    out_.append(data_, used_);
    used_ = 0;
  }

 private:
  std::string& out_;
  std::size_t used_ = 0;
  char data_[kSize];
};

// One conversion's flags, width and precision.
struct Conversion {
  bool left = false;
  bool zero = false;
  bool plus = false;
  int width = 0;
  int precision = -1;  // none
};

// Pads body (sign already in it, sign_len bytes) to the conversion's width.
void pad_append(Buffer& out, const Conversion& s, std::string_view body, std::size_t sign_len, bool zero_ok) {
  const std::size_t width = static_cast<std::size_t>(s.width);
  if (body.size() >= width) {
    out.put(body.data(), body.size());
  } else if (s.left) {
    out.put(body.data(), body.size());
    out.fill(' ', width - body.size());
  } else if (s.zero && zero_ok) {
    out.put(body.data(), sign_len);
    out.fill('0', width - body.size());
    out.put(body.data() + sign_len, body.size() - sign_len);
  } else {
    out.fill(' ', width - body.size());
    out.put(body.data(), body.size());
  }
}

template <typename U>
void append_integer(Buffer& out, const Conversion& s, bool negative, U magnitude, int base, bool upper) {
  if (s.width == 0 && s.precision < 0 && !s.plus && base == 10) {
    // Most conversions are a bare "%d" or "%u": no padding to lay out.
    char* p = out.room(24);
    if (negative) *p++ = '-';
    out.commit(std::to_chars(p, p + 23, magnitude).ptr);
    return;
  }
  char digits[72];
  char* end = std::to_chars(digits, digits + sizeof digits, magnitude, base).ptr;
  if (upper) {
    for (char* c = digits; c != end; ++c) {
      if (*c >= 'a') *c = static_cast<char>(*c - 'a' + 'A');
    }
  }
  std::size_t n = static_cast<std::size_t>(end - digits);
  if (s.precision == 0 && magnitude == 0) n = 0;
  char body[160];
  std::size_t len = 0;
  if (negative) {
    body[len++] = '-';
  } else if (s.plus) {
    body[len++] = '+';
  }
  const std::size_t sign_len = len;
  for (std::size_t i = n; static_cast<int>(i) < s.precision; ++i) body[len++] = '0';
  for (std::size_t i = 0; i < n; ++i) body[len++] = digits[i];
  // printf ignores the 0 flag of an integer given a precision.
  pad_append(out, s, std::string_view(body, len), sign_len, s.precision < 0);
}

// |v| * 10^precision rounded to the nearest whole number, where the product in double
// decides it: that product is within half an ulp of the true one, so unless its fraction
// lies within a few ulps of a half, the true value rounds the same way.
std::optional<unsigned long long> scaled_in_double(double v, int precision) {
  static constexpr double kScale[] = {1.0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6};
  const double a = std::fabs(v) * kScale[precision];
  if (!(a < 0x1p52)) return std::nullopt;
  const double whole = std::floor(a);
  const double frac = a - whole;
  if (std::fabs(frac - 0.5) <= a * 0x1p-50) return std::nullopt;
  return static_cast<unsigned long long>(whole) + (frac > 0.5 ? 1u : 0u);
}

// The same in long double, for what double leaves undecided: within 2^-63 relative.
std::optional<unsigned long long> scaled_in_long_double(double v, int precision) {
  static constexpr long double kScale[] = {1.0L, 1e1L, 1e2L, 1e3L, 1e4L, 1e5L, 1e6L};
  const long double a = std::fabs(static_cast<long double>(v)) * kScale[precision];
  const long double whole = std::floor(a);
  const long double frac = a - whole;
  if (std::fabs(frac - 0.5L) <= a * 0x1p-61L) return std::nullopt;
  return static_cast<unsigned long long>(whole) + (frac > 0.5L ? 1u : 0u);
}

// "%.Nf" of a modest value, the dB figures of every table, without the exact decimal
// expansion; a fraction that close to a half (a tie among them) is left to the exact way.
// Null when not done.
char* short_fixed(char* out, double v, int precision) {
  if (precision < 0 || precision > 6 || !(std::fabs(v) < 1e12)) return nullptr;
  std::optional<unsigned long long> scaled = scaled_in_double(v, precision);
  if (!scaled) scaled = scaled_in_long_double(v, precision);
  if (!scaled) return nullptr;
  const unsigned long long n = *scaled;
  if (std::signbit(v)) *out++ = '-';  // as printf: -0.001 shows as -0.00
  char digits[24];
  const char* end = std::to_chars(digits, digits + sizeof digits, n).ptr;
  const auto count = static_cast<int>(end - digits);
  // Zeros in front where the number has no digit before the point.
  const int lead = std::max(0, precision + 1 - count);
  const int before_point = lead + count - precision;
  for (int i = 0; i < lead + count; ++i) {
    if (i == before_point) *out++ = '.';
    *out++ = i < lead ? '0' : digits[i - lead];
  }
  return out;
}

// The conversions the decoders' texts use, formatted as printf would; false for anything
// else (the caller then leaves the whole text to vsnprintf).
bool fast_format(std::string& text, const char* f, va_list args) {
  constexpr int kMaxWidth = 128;
  Buffer out(text);
  for (;;) {
    // Literal runs are short (a tab, a label): scanned and copied in one pass, not
    // through a library call each.
    const char* lit = f;
    while (*f != '%' && *f != '\0') ++f;
    out.put_short(lit, static_cast<std::size_t>(f - lit));
    if (*f == '\0') break;
    ++f;
    if (*f == '%') {
      out.put('%');
      ++f;
      continue;
    }
    Conversion s;
    for (;; ++f) {
      if (*f == '-') {
        s.left = true;
      } else if (*f == '0') {
        s.zero = true;
      } else if (*f == '+') {
        s.plus = true;
      } else {
        break;
      }
    }
    if (*f == '*') {
      s.width = va_arg(args, int);
      if (s.width < 0) {
        s.left = true;
        s.width = -s.width;
      }
      ++f;
    } else {
      while (*f >= '0' && *f <= '9') s.width = s.width * 10 + (*f++ - '0');
    }
    if (*f == '.') {
      ++f;
      if (*f == '*') {
        s.precision = va_arg(args, int);
        if (s.precision < 0) s.precision = -1;
        ++f;
      } else {
        s.precision = 0;
        while (*f >= '0' && *f <= '9') s.precision = s.precision * 10 + (*f++ - '0');
      }
    }
    if (s.width > kMaxWidth || s.precision > kMaxWidth) return false;
    int longs = 0;
    int shorts = 0;
    bool size_t_arg = false;
    for (;; ++f) {
      if (*f == 'l') {
        ++longs;
      } else if (*f == 'h') {
        ++shorts;
      } else if (*f == 'z') {
        size_t_arg = true;
      } else {
        break;
      }
    }
    const char conv = *f++;
    switch (conv) {
      case 'd':
      case 'i': {
        long long v = 0;
        if (size_t_arg) {
          v = va_arg(args, long long);  // ssize_t
        } else if (longs == 0) {
          const int i = va_arg(args, int);
          v = shorts == 1 ? static_cast<short>(i) : shorts >= 2 ? static_cast<signed char>(i) : i;
        } else if (longs == 1) {
          v = va_arg(args, long);
        } else {
          v = va_arg(args, long long);
        }
        const unsigned long long m = v < 0 ? 0ull - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
        append_integer(out, s, v < 0, m, 10, false);
        break;
      }
      case 'u':
      case 'x':
      case 'X':
      case 'o': {
        unsigned long long v = 0;
        if (size_t_arg) {
          v = va_arg(args, std::size_t);
        } else if (longs == 0) {
          const unsigned u = va_arg(args, unsigned);
          v = shorts == 1 ? static_cast<unsigned short>(u) : shorts >= 2 ? static_cast<unsigned char>(u) : u;
        } else if (longs == 1) {
          v = va_arg(args, unsigned long);
        } else {
          v = va_arg(args, unsigned long long);
        }
        s.plus = false;
        append_integer(out, s, false, v, conv == 'u' ? 10 : conv == 'o' ? 8 : 16, conv == 'X');
        break;
      }
      case 'c': {
        if (s.zero) return false;
        const char ch = static_cast<char>(va_arg(args, int));
        pad_append(out, s, std::string_view(&ch, 1), 0, false);
        break;
      }
      case 's': {
        const char* text = va_arg(args, const char*);
        if (text == nullptr || s.zero) return false;
        if (s.width == 0 && s.precision < 0) {
          out.put(text, std::strlen(text));
          break;
        }
        std::string_view v(text);
        if (s.precision >= 0 && v.size() > static_cast<std::size_t>(s.precision)) v = v.substr(0, s.precision);
        pad_append(out, s, v, 0, false);
        break;
      }
      case 'f':
      case 'F': {
        if (longs != 0 || shorts != 0 || size_t_arg) return false;
        const double v = va_arg(args, double);
        if (!std::isfinite(v)) return false;
        const int precision = s.precision < 0 ? 6 : s.precision;
        if (s.width == 0 && !s.plus) {
          // The dB figures of the tables: straight into the block, nothing to pad.
          if (char* end = short_fixed(out.room(32), v, precision)) {
            out.commit(end);
            break;
          }
        }
        char body[kMaxWidth + 340];
        std::size_t len = 0;
        if (s.plus && !std::signbit(v)) body[len++] = '+';
        if (char* end = short_fixed(body + len, v, precision)) {
          len = static_cast<std::size_t>(end - body);
        } else {
          const auto r = std::to_chars(body + len, body + sizeof body, v, std::chars_format::fixed, precision);
          if (r.ec != std::errc{}) return false;
          len = static_cast<std::size_t>(r.ptr - body);
        }
        pad_append(out, s, std::string_view(body, len), body[0] == '-' || body[0] == '+' ? 1 : 0, true);
        break;
      }
      case 'g': {
        if (longs != 0 || shorts != 0 || size_t_arg) return false;
        const double v = va_arg(args, double);
        if (!std::isfinite(v)) return false;
        char body[kMaxWidth + 40];
        std::size_t len = 0;
        if (s.plus && !std::signbit(v)) body[len++] = '+';
        // As "%.*g" gives it: the precision counts significant digits, 0 taken as 1.
        const int precision = s.precision < 0 ? 6 : std::max(s.precision, 1);
        const auto r = std::to_chars(body + len, body + sizeof body, v, std::chars_format::general, precision);
        if (r.ec != std::errc{}) return false;
        len = static_cast<std::size_t>(r.ptr - body);
        pad_append(out, s, std::string_view(body, len), body[0] == '-' || body[0] == '+' ? 1 : 0, true);
        break;
      }
      default: return false;
    }
  }
  return true;
}

}  // namespace

// The decoders' texts are most of the work with details on; vsnprintf's generality costs
// several times what these few conversions need.
void vappendf(std::string& out, const char* format, va_list args) {
  const std::size_t start = out.size();
  va_list fast;
  va_copy(fast, args);
  const bool done = fast_format(out, format, fast);
  va_end(fast);
  if (done) return;
  out.resize(start);
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
  if (const char* end = short_fixed(buf, v, precision)) {
    out.append(buf, static_cast<std::size_t>(end - buf));
    return;
  }
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
