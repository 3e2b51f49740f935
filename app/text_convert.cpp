#include "text_convert.h"

#include <fmt/compile.h>

#include <array>
#include <charconv>
#include <cmath>

namespace cdmadiag {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// 0x80-0x9F; the rest of the upper half equals Latin-1.
constexpr std::array<char32_t, 32> kCp1252High = {
    0x20AC,       kReplacement, 0x201A, 0x0192, 0x201E, 0x2026,       0x2020, 0x2021,  //
    0x02C6,       0x2030,       0x0160, 0x2039, 0x0152, kReplacement, 0x017D, kReplacement,
    kReplacement, 0x2018,       0x2019, 0x201C, 0x201D, 0x2022,       0x2013, 0x2014,  //
    0x02DC,       0x2122,       0x0161, 0x203A, 0x0153, kReplacement, 0x017E, 0x0178,
};

constexpr char kHex[] = "0123456789abcdef";

// Bytes a JSON string takes as they are: printable ASCII but the quote and the backslash.
constexpr std::array<bool, 256> kJsonPlain = [] {
  std::array<bool, 256> plain{};
  for (int b = 0x20; b < 0x80; ++b) plain[static_cast<std::size_t>(b)] = b != '"' && b != '\\';
  return plain;
}();

}  // namespace

char32_t cp1252_code_point(unsigned char b) {
  if (b >= 0x80 && b < 0xA0) return kCp1252High[b - 0x80];
  return b;
}

void append_utf8(fmt::memory_buffer& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

void append_cp1252_as_utf8(fmt::memory_buffer& out, std::string_view text) {
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      out.push_back(c);
    } else {
      append_utf8(out, cp1252_code_point(b));
    }
  }
}

std::string cp1252_to_utf8(std::string_view text) {
  fmt::memory_buffer out;
  append_cp1252_as_utf8(out, text);
  return fmt::to_string(out);
}

std::size_t utf8_sequence(std::string_view s, std::size_t i) {
  const auto b = static_cast<unsigned char>(s[i]);
  const std::size_t n = b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
  if (n == 0 || s.size() - i < n) return 0;
  const auto b1 = static_cast<unsigned char>(s[i + 1]);
  if ((b == 0xE0 && b1 < 0xA0) || (b == 0xED && b1 > 0x9F) || (b == 0xF0 && b1 < 0x90) || (b == 0xF4 && b1 > 0x8F)) {
    return 0;
  }
  for (std::size_t k = 1; k < n; ++k) {
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
  }
  return n;
}

void append_json_string(fmt::memory_buffer& out, std::string_view text, Encoding enc) {
  out.push_back('"');
  for (std::size_t i = 0; i < text.size(); ++i) {
    // Names and detail lines are plain ASCII for long stretches: each goes in whole,
    // not a byte at a time.
    std::size_t plain = i;
    while (plain < text.size() && kJsonPlain[static_cast<unsigned char>(text[plain])]) ++plain;
    if (plain > i) {
      out.append(text.data() + i, text.data() + plain);
      i = plain;
      if (i == text.size()) break;
    }
    const char c = text[i];
    const auto b = static_cast<unsigned char>(c);
    switch (b) {
      case '"': append(out, "\\\""); break;
      case '\\': append(out, "\\\\"); break;
      case '\b': append(out, "\\b"); break;
      case '\f': append(out, "\\f"); break;
      case '\n': append(out, "\\n"); break;
      case '\r': append(out, "\\r"); break;
      case '\t': append(out, "\\t"); break;
      default:
        if (b < 0x20) {
          const char esc[] = {'\\', 'u', '0', '0', kHex[b >> 4], kHex[b & 0xF]};
          out.append(esc, esc + sizeof esc);
        } else if (b < 0x80) {
          out.push_back(c);
        } else if (enc == Encoding::kCp1252) {
          append_utf8(out, cp1252_code_point(b));
        } else if (const std::size_t n = utf8_sequence(text, i); n > 0) {
          out.append(text.data() + i, text.data() + i + n);
          i += n - 1;
        } else {
          // A byte of a name that is not UTF-8 (a Latin-1 cell list, a file name): JSON
          // must be UTF-8, so it reads as U+FFFD.
          append_utf8(out, 0xFFFD);
        }
        break;
    }
  }
  out.push_back('"');
}

void append_json_number(fmt::memory_buffer& out, double v) {
  if (!std::isfinite(v)) {
    append(out, "null");
    return;
  }
  fmt::format_to(std::back_inserter(out), FMT_COMPILE("{}"), v);
}

void append_xml_text(fmt::memory_buffer& out, std::string_view utf8) {
  for (const char c : utf8) {
    switch (c) {
      case '&': append(out, "&amp;"); break;
      case '<': append(out, "&lt;"); break;
      case '>': append(out, "&gt;"); break;
      case '"': append(out, "&quot;"); break;
      default: out.push_back(c);
    }
  }
}

void append_csv_field(fmt::memory_buffer& out, std::string_view utf8) {
  if (utf8.find_first_of(",\"\r\n") == std::string_view::npos) {
    append(out, utf8);
    return;
  }
  out.push_back('"');
  for (const char c : utf8) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
}

namespace {

bool is_number(std::string_view s) {
  if (s.starts_with('+')) s.remove_prefix(1);
  double v = 0.0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  return !s.empty() && ec == std::errc() && end == s.data() + s.size() && std::isfinite(v);
}

}  // namespace

void append_csv_text(fmt::memory_buffer& out, std::string_view utf8) {
  if (!utf8.empty() && std::string_view("=+-@\t\r").find(utf8.front()) != std::string_view::npos &&
      !is_number(utf8)) {
    std::string quoted = "'";
    quoted.append(utf8);
    append_csv_field(out, quoted);
    return;
  }
  append_csv_field(out, utf8);
}

}  // namespace cdmadiag
