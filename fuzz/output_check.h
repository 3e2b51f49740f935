#pragma once
// What the output formats promise a reader: each JSON line is one JSON value in valid
// UTF-8 (RFC 8259), and CSV text splits into rows of one field count (RFC 4180).
#include <cstddef>
#include <string_view>

namespace cdmadiag::fuzz {

class JsonCheck {
 public:
  // One value and nothing after it but spaces.
  static bool valid(std::string_view text) {
    JsonCheck c(text);
    return c.value(0) && (c.skip(), c.i_ == text.size());
  }

 private:
  explicit JsonCheck(std::string_view s) : s_(s) {}
  static constexpr int kDepth = 64;

  void skip() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\n' || s_[i_] == '\r')) ++i_;
  }
  bool eat(char c) {
    skip();
    if (i_ < s_.size() && s_[i_] == c) {
      ++i_;
      return true;
    }
    return false;
  }
  bool word(std::string_view w) {
    if (s_.substr(i_, w.size()) != w) return false;
    i_ += w.size();
    return true;
  }
  bool value(int depth) {
    if (depth > kDepth) return false;
    skip();
    if (i_ >= s_.size()) return false;
    switch (s_[i_]) {
      case '{': {
        ++i_;
        if (eat('}')) return true;
        do {
          skip();
          if (!string() || !eat(':') || !value(depth + 1)) return false;
        } while (eat(','));
        return eat('}');
      }
      case '[': {
        ++i_;
        if (eat(']')) return true;
        do {
          if (!value(depth + 1)) return false;
        } while (eat(','));
        return eat(']');
      }
      case '"': return string();
      case 't': return word("true");
      case 'f': return word("false");
      case 'n': return word("null");
      default: return number();
    }
  }
  bool digits() {
    const std::size_t from = i_;
    while (i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '9') ++i_;
    return i_ > from;
  }
  bool number() {
    if (i_ < s_.size() && s_[i_] == '-') ++i_;
    if (i_ < s_.size() && s_[i_] == '0') {
      ++i_;
    } else if (!digits()) {
      return false;
    }
    if (i_ < s_.size() && s_[i_] == '.' && (++i_, !digits())) return false;
    if (i_ < s_.size() && (s_[i_] == 'e' || s_[i_] == 'E')) {
      ++i_;
      if (i_ < s_.size() && (s_[i_] == '+' || s_[i_] == '-')) ++i_;
      if (!digits()) return false;
    }
    return true;
  }
  bool string() {
    if (i_ >= s_.size() || s_[i_] != '"') return false;
    ++i_;
    while (i_ < s_.size()) {
      const auto b = static_cast<unsigned char>(s_[i_]);
      if (b == '"') {
        ++i_;
        return true;
      }
      if (b < 0x20) return false;
      if (b == '\\') {
        if (++i_ >= s_.size()) return false;
        const char e = s_[i_++];
        if (e == 'u') {
          for (int k = 0; k < 4; ++k, ++i_) {
            if (i_ >= s_.size() || std::string_view("0123456789abcdefABCDEF").find(s_[i_]) == std::string_view::npos) {
              return false;
            }
          }
        } else if (std::string_view("\"\\/bfnrt").find(e) == std::string_view::npos) {
          return false;
        }
        continue;
      }
      if (b < 0x80) {
        ++i_;
        continue;
      }
      // A whole UTF-8 sequence, no overlong form, no surrogate, at most U+10FFFF.
      const std::size_t n = b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
      if (n == 0 || i_ + n > s_.size()) return false;
      const auto b1 = static_cast<unsigned char>(s_[i_ + 1]);
      if ((b == 0xE0 && b1 < 0xA0) || (b == 0xED && b1 > 0x9F) || (b == 0xF0 && b1 < 0x90) || (b == 0xF4 && b1 > 0x8F)) {
        return false;
      }
      for (std::size_t k = 1; k < n; ++k) {
        if ((static_cast<unsigned char>(s_[i_ + k]) & 0xC0) != 0x80) return false;
      }
      i_ += n;
    }
    return false;
  }

  std::string_view s_;
  std::size_t i_ = 0;
};

// Splits CSV text into rows; false for a stray quote or an unclosed quoted field, or a
// row whose field count differs from the first's.
inline bool csv_rows_even(std::string_view s, std::size_t& rows) {
  rows = 0;
  std::size_t first = 0;
  std::size_t i = 0;
  while (i < s.size()) {
    std::size_t fields = 1;
    for (;;) {
      if (i < s.size() && s[i] == '"') {
        ++i;
        for (;;) {
          if (i >= s.size()) return false;
          if (s[i] == '"') {
            if (i + 1 < s.size() && s[i + 1] == '"') {
              i += 2;
              continue;
            }
            ++i;
            break;
          }
          ++i;
        }
        if (i < s.size() && s[i] != ',' && s[i] != '\n') return false;
      } else {
        while (i < s.size() && s[i] != ',' && s[i] != '\n') {
          if (s[i] == '"' || s[i] == '\r') return false;
          ++i;
        }
      }
      if (i < s.size() && s[i] == ',') {
        ++i;
        ++fields;
        continue;
      }
      break;
    }
    if (i >= s.size() || s[i] != '\n') return false;  // every row ends its line
    ++i;
    if (rows++ == 0) first = fields;
    if (fields != first) return false;
  }
  return true;
}

}  // namespace cdmadiag::fuzz
