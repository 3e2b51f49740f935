#include "framework/payload_reader.h"

#include <fmt/format.h>

namespace cdmadiag {

TruncatedPayload::TruncatedPayload(std::size_t offset, std::size_t wanted, std::size_t size)
    : MalformedPacket(fmt::format("read of {} bytes at offset {} past a payload of {} bytes", wanted, offset, size)),
      offset_(offset),
      wanted_(wanted),
      size_(size) {}

std::string PayloadReader::chars(std::size_t off, std::size_t n) const {
  check(off, n);
  std::string s;
  for (std::size_t i = 0; i < n && bytes_[off + i] != 0; ++i) s.push_back(static_cast<char>(bytes_[off + i]));
  return s;
}

std::string PayloadReader::cstring(std::size_t off, std::size_t* end) const {
  std::string s;
  std::size_t i = off;
  for (; i < bytes_.size() && bytes_[i] != 0; ++i) s.push_back(static_cast<char>(bytes_[i]));
  if (end != nullptr) *end = i < bytes_.size() ? i + 1 : bytes_.size();
  return s;
}

}  // namespace cdmadiag
