#pragma once
// Test support: building packets byte by byte, little-endian.
#include <cstdint>
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace cdmadiag::test {

// Writes go to the cursor, which follows the last write; at(off) moves it (the packet
// grows with zeros when off lies past its end), so a fixture can set one field of a
// layout by its offset: Bytes{}.zeros(26).at(9).i16(-20 * 256).
class Bytes {
 public:
  Bytes() = default;
  Bytes(std::initializer_list<std::uint8_t> b) : v_(b), pos_(v_.size()) {}
  Bytes& at(std::size_t off) {
    if (off > v_.size()) v_.resize(off, 0);
    pos_ = off;
    return *this;
  }
  Bytes& u8(std::uint32_t x) { return le(x, 1); }
  Bytes& i8(std::int32_t x) { return le(static_cast<std::uint64_t>(x), 1); }
  Bytes& u16(std::uint32_t x) { return le(x, 2); }
  Bytes& i16(std::int32_t x) { return le(static_cast<std::uint64_t>(x), 2); }
  Bytes& i32(std::int32_t x) { return le(static_cast<std::uint64_t>(static_cast<std::int64_t>(x)), 4); }
  Bytes& f32(float x) {
    std::uint32_t v;
    std::memcpy(&v, &x, sizeof v);
    return le(v, 4);
  }
  Bytes& f64(double x) {
    std::uint64_t v;
    std::memcpy(&v, &x, sizeof v);
    return le(v, 8);
  }
  Bytes& u24(std::uint32_t x) { return le(x, 3); }
  Bytes& u32(std::uint32_t x) { return le(x, 4); }
  Bytes& u48(std::uint64_t x) { return le(x, 6); }
  Bytes& u64(std::uint64_t x) { return le(x, 8); }
  Bytes& text(const std::string& s, bool nul = true) {
    for (const char c : s) u8(static_cast<std::uint8_t>(c));
    if (nul) u8(0);
    return *this;
  }
  Bytes& zeros(std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) u8(0);
    return *this;
  }
  Bytes& le(std::uint64_t x, int n) {
    for (int i = 0; i < n; ++i, ++pos_) {
      const auto b = static_cast<std::uint8_t>(x >> (8 * i));
      if (pos_ < v_.size()) {
        v_[pos_] = b;
      } else {
        v_.push_back(b);
      }
    }
    return *this;
  }
  // The first n bytes.
  Bytes prefix(std::size_t n) const {
    Bytes out;
    out.v_.assign(v_.begin(), v_.begin() + static_cast<std::ptrdiff_t>(std::min(n, v_.size())));
    out.pos_ = out.v_.size();
    return out;
  }
  const std::vector<std::uint8_t>& vec() const { return v_; }
  const std::uint8_t* data() const { return v_.data(); }
  std::uint32_t size() const { return static_cast<std::uint32_t>(v_.size()); }

 private:
  std::vector<std::uint8_t> v_;
  std::size_t pos_ = 0;
};

}  // namespace cdmadiag::test
