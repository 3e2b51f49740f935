#pragma once
// Test support: building packets byte by byte, little-endian.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace cdmadiag::test {

class Bytes {
 public:
  Bytes() = default;
  Bytes(std::initializer_list<std::uint8_t> b) : v_(b) {}
  Bytes& u8(std::uint32_t x) {
    v_.push_back(static_cast<std::uint8_t>(x));
    return *this;
  }
  Bytes& u16(std::uint32_t x) { return le(x, 2); }
  Bytes& u24(std::uint32_t x) { return le(x, 3); }
  Bytes& u32(std::uint32_t x) { return le(x, 4); }
  Bytes& u48(std::uint64_t x) { return le(x, 6); }
  Bytes& u64(std::uint64_t x) { return le(x, 8); }
  Bytes& text(const std::string& s, bool nul = true) {
    v_.insert(v_.end(), s.begin(), s.end());
    if (nul) v_.push_back(0);
    return *this;
  }
  Bytes& zeros(std::size_t n) {
    v_.insert(v_.end(), n, 0);
    return *this;
  }
  Bytes& le(std::uint64_t x, int n) {
    for (int i = 0; i < n; ++i) v_.push_back(static_cast<std::uint8_t>(x >> (8 * i)));
    return *this;
  }
  const std::vector<std::uint8_t>& vec() const { return v_; }
  const std::uint8_t* data() const { return v_.data(); }
  std::uint32_t size() const { return static_cast<std::uint32_t>(v_.size()); }

 private:
  std::vector<std::uint8_t> v_;
};

}  // namespace cdmadiag::test
