#pragma once
// The one way decoders read packet bytes: bounds-checked, little-endian, assembled
// with shifts so the host's byte order never matters.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <stdexcept>
#include <string>

namespace cdmadiag {

// A packet whose bytes do not fit its layout: an input error, never a bug. The EV-DO
// dispatcher's guards keep its text as the packet's diagnostic; anything else they
// catch is a decoder fault. An invalid argument, as the free EV-DO decoders' callers
// expect, but apart from every other one.
class MalformedPacket : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// A read past the end of the payload. A safety net: decoders with a length rule
// check it up front and produce their own failure text.
class TruncatedPayload : public MalformedPacket {
 public:
  TruncatedPayload(std::size_t offset, std::size_t wanted, std::size_t size);
  std::size_t offset() const { return offset_; }
  std::size_t wanted() const { return wanted_; }
  std::size_t size() const { return size_; }

 private:
  std::size_t offset_, wanted_, size_;
};

class PayloadReader {
 public:
  PayloadReader() = default;
  explicit PayloadReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  PayloadReader(const std::uint8_t* data, std::size_t size) : bytes_(data, data == nullptr ? 0 : size) {}

  std::size_t size() const { return bytes_.size(); }
  std::span<const std::uint8_t> bytes() const { return bytes_; }
  // True when n bytes can be read at off; cannot overflow.
  bool has(std::size_t off, std::size_t n) const { return off <= bytes_.size() && n <= bytes_.size() - off; }
  PayloadReader sub(std::size_t off, std::size_t n) const {
    check(off, n);
    return PayloadReader(bytes_.subspan(off, n));
  }
  // The rest of the payload from off (empty past the end).
  PayloadReader tail(std::size_t off) const {
    return off <= bytes_.size() ? PayloadReader(bytes_.subspan(off)) : PayloadReader();
  }

  std::uint8_t u8(std::size_t off) const {
    check(off, 1);
    return bytes_[off];
  }
  std::int8_t i8(std::size_t off) const { return static_cast<std::int8_t>(u8(off)); }
  std::uint16_t u16le(std::size_t off) const { return static_cast<std::uint16_t>(le(off, 2)); }
  std::int16_t i16le(std::size_t off) const { return static_cast<std::int16_t>(u16le(off)); }
  std::uint32_t u24le(std::size_t off) const { return static_cast<std::uint32_t>(le(off, 3)); }
  std::int32_t i24le(std::size_t off) const {
    const std::uint32_t v = u24le(off);
    return static_cast<std::int32_t>((v ^ 0x800000u) - 0x800000u);
  }
  std::uint32_t u32le(std::size_t off) const { return static_cast<std::uint32_t>(le(off, 4)); }
  std::int32_t i32le(std::size_t off) const { return static_cast<std::int32_t>(u32le(off)); }
  std::uint64_t u48le(std::size_t off) const { return le(off, 6); }
  std::uint64_t u64le(std::size_t off) const { return le(off, 8); }
  std::int64_t i64le(std::size_t off) const { return static_cast<std::int64_t>(u64le(off)); }
  float f32le(std::size_t off) const {
    const std::uint32_t v = u32le(off);
    float f;
    std::memcpy(&f, &v, sizeof f);
    return f;
  }
  double f64le(std::size_t off) const {
    const std::uint64_t v = u64le(off);
    double d;
    std::memcpy(&d, &v, sizeof d);
    return d;
  }
  // The n bytes at off, checked like a read, for a host routine that takes a pointer.
  const std::uint8_t* data(std::size_t off, std::size_t n) const {
    check(off, n);
    return bytes_.data() + off;
  }
  // Exactly n characters at off, stopping early at a NUL.
  std::string chars(std::size_t off, std::size_t n) const;
  // NUL-terminated text at off; stops at the payload end when no NUL follows.
  // end (optional) receives the offset after the terminator (or the payload end).
  std::string cstring(std::size_t off, std::size_t* end = nullptr) const;

 private:
  void check(std::size_t off, std::size_t n) const {
    if (!has(off, n)) throw TruncatedPayload(off, n, bytes_.size());
  }
  std::uint64_t le(std::size_t off, std::size_t n) const {
    check(off, n);
    std::uint64_t v = 0;
    for (std::size_t i = n; i-- > 0;) v = (v << 8) | bytes_[off + i];
    return v;
  }

  std::span<const std::uint8_t> bytes_;
};

// width bits of value starting at bit lsb; 0 for width 0, the whole value for 64.
constexpr std::uint64_t bits(std::uint64_t value, unsigned lsb, unsigned width) {
  if (width == 0 || lsb >= 64) return 0;
  value >>= lsb;
  return width >= 64 ? value : value & ((std::uint64_t{1} << width) - 1);
}

}  // namespace cdmadiag
