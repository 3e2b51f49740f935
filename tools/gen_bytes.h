#pragma once
// Little-endian byte writer for building packets field by field. at() pads with
// zeros up to a field's offset, so a packet reads like its layout table.
#include <bit>
#include <cassert>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace cdmadiag::gen {

using Bytes = std::vector<std::uint8_t>;

// printf into a string, format-checked. The generator keeps its own so that it
// builds without the decoder library.
[[gnu::format(printf, 1, 2)]] std::string Format(const char* format, ...);

class ByteWriter {
 public:
  ByteWriter& u8(std::uint32_t v) {
    out_.push_back(static_cast<std::uint8_t>(v));
    return *this;
  }
  ByteWriter& u16(std::uint32_t v) { return le(v, 2); }
  ByteWriter& i16(std::int32_t v) { return le(static_cast<std::uint16_t>(v), 2); }
  ByteWriter& u32(std::uint32_t v) { return le(v, 4); }
  ByteWriter& u48(std::uint64_t v) { return le(v, 6); }
  ByteWriter& u64(std::uint64_t v) { return le(v, 8); }
  ByteWriter& f32(float v) { return le(std::bit_cast<std::uint32_t>(v), 4); }
  ByteWriter& f64(double v) { return le(std::bit_cast<std::uint64_t>(v), 8); }

  // Exactly width characters: cut, or padded on the right with pad.
  ByteWriter& text(std::string_view s, std::size_t width, char pad = ' ') {
    for (std::size_t i = 0; i < width; ++i) out_.push_back(static_cast<std::uint8_t>(i < s.size() ? s[i] : pad));
    return *this;
  }
  // The characters and a terminating NUL.
  ByteWriter& cstr(std::string_view s) {
    out_.insert(out_.end(), s.begin(), s.end());
    out_.push_back(0);
    return *this;
  }
  ByteWriter& bytes(std::span<const std::uint8_t> b) {
    out_.insert(out_.end(), b.begin(), b.end());
    return *this;
  }
  ByteWriter& zeros(std::size_t n) {
    out_.insert(out_.end(), n, 0);
    return *this;
  }
  // Moves to a field's offset; going backwards would overwrite a field (a layout bug).
  ByteWriter& at(std::size_t offset) {
    assert(offset >= out_.size());
    out_.resize(offset, 0);
    return *this;
  }

  std::size_t size() const { return out_.size(); }
  const Bytes& view() const { return out_; }
  Bytes take() { return std::move(out_); }

 private:
  ByteWriter& le(std::uint64_t v, int n) {
    for (int i = 0; i < n; ++i) out_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return *this;
  }
  Bytes out_;
};

}  // namespace cdmadiag::gen
