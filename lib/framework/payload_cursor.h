#pragma once
// Reads a payload's fields in their order, from a running offset, so that a decoder
// names what it reads instead of where: the layout stays the comment table at the top
// of the decoder, its offsets named constants used only to move (seek) or to check.
//
// A read past the end gives 0 and leaves the cursor short for good; nothing is ever
// read outside the payload. The decoder reads a part of the packet into locals, then
// checks once where its code's policy applies (job.check(c)), before it uses any of
// them. Each read is its own statement: two reads in one call's arguments would be
// made in no fixed order.
//   Cursor c(payload());
//   const std::uint8_t version = c.u8();
//   const std::uint8_t count = c.u8();
//   c.skip(2);                                  // reserved
//   const std::uint32_t sequence = c.u32le();
//   if (!job.check(c)) return;
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "framework/payload_reader.h"

namespace cdmadiag {

class Cursor {
 public:
  explicit Cursor(const PayloadReader& r, std::size_t at = 0) : r_(r), at_(at) {
    if (at > r.size()) fall_short();
  }

  // False once any read, skip, seek or need went past the end.
  bool ok() const { return ok_; }
  std::size_t offset() const { return at_; }
  std::size_t left() const { return r_.size() - at_; }
  // How many records of size bytes follow whole, at most count: a count is trusted only
  // as far as the payload goes.
  std::size_t whole_records(std::size_t size, std::size_t count) const {
    return size == 0 ? count : std::min(count, left() / size);
  }
  // Marks the cursor short unless n more bytes follow; reads nothing.
  bool need(std::size_t n) {
    if (n > left()) fall_short();
    return ok_;
  }

  std::uint8_t u8() { return take(1) ? r_.u8(at_ - 1) : 0; }
  std::int8_t i8() { return static_cast<std::int8_t>(u8()); }
  std::uint16_t u16le() { return take(2) ? r_.u16le(at_ - 2) : 0; }
  std::int16_t i16le() { return static_cast<std::int16_t>(u16le()); }
  std::uint32_t u24le() { return take(3) ? r_.u24le(at_ - 3) : 0; }
  std::uint32_t u32le() { return take(4) ? r_.u32le(at_ - 4) : 0; }
  std::int32_t i32le() { return static_cast<std::int32_t>(u32le()); }
  std::uint64_t u48le() { return take(6) ? r_.u48le(at_ - 6) : 0; }
  std::uint64_t u64le() { return take(8) ? r_.u64le(at_ - 8) : 0; }
  float f32le() { return take(4) ? r_.f32le(at_ - 4) : 0.0f; }
  double f64le() { return take(8) ? r_.f64le(at_ - 8) : 0.0; }
  // N consecutive little-endian u32 (counter blocks).
  template <std::size_t N>
  std::array<std::uint32_t, N> u32les() {
    std::array<std::uint32_t, N> v{};
    for (std::uint32_t& x : v) x = u32le();
    return v;
  }
  // An 8-byte DIAG time stamp as seconds since 1970 (0 when short).
  double diag_time();
  // Exactly n characters, stopping early at a NUL (empty when they are not all there).
  std::string chars(std::size_t n) { return take(n) ? r_.chars(at_ - n, n) : std::string(); }
  // Text up to its NUL, which is passed over, or to the payload end; never short.
  std::string cstring() {
    std::size_t end = at_;
    std::string s = r_.cstring(at_, &end);
    at_ = end;
    return s;
  }

  // The next n bytes as a reader of their own (empty when they are not all there), and
  // a cursor over them for a record read field by field.
  PayloadReader bytes(std::size_t n) { return take(n) ? r_.sub(at_ - n, n) : PayloadReader(); }
  Cursor record(std::size_t n) {
    const bool whole = n <= left();
    Cursor rec(bytes(n));
    if (!whole) rec.fall_short();
    return rec;
  }
  void skip(std::size_t n) { take(n); }
  // Moves to the layout offset off; past the end the cursor falls short.
  void seek(std::size_t off) {
    if (off > r_.size()) {
      fall_short();
    } else {
      at_ = off;
    }
  }

 private:
  bool take(std::size_t n) {
    if (!ok_ || n > left()) {
      fall_short();
      return false;
    }
    at_ += n;
    return true;
  }
  void fall_short() {
    ok_ = false;
    at_ = r_.size();
  }

  PayloadReader r_;
  std::size_t at_;
  bool ok_ = true;
};

}  // namespace cdmadiag
