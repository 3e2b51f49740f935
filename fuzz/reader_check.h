#pragma once
// Reads a whole input and checks what every reader promises: records lie inside the
// input, log records are at least a header long and say their own length, and the
// reader ends.
#include <cstdlib>

#include "record_reader.h"

namespace cdmadiag::fuzz {

inline void check_reader(InputFormat format, const std::uint8_t* data, std::size_t size) {
  ByteStream in(std::span<const std::uint8_t>(data, size));
  auto reader = make_reader(format, in);
  Record r;
  FramingError e;
  std::size_t steps = 0;
  for (;;) {
    const ReadStatus s = reader->next(r, e);
    if (s == ReadStatus::kEnd) break;
    // Each step consumes input or hands out a record it found; twice the size bounds both.
    if (++steps > 2 * size + 2) std::abort();
    if (s == ReadStatus::kError) {
      if (e.text.empty() || e.offset > size) std::abort();
      continue;
    }
    if (r.offset > size) std::abort();
    if (r.kind == RecordKind::kLog) {
      if (r.bytes.size() < 12) std::abort();
      if ((r.bytes[0] | (r.bytes[1] << 8)) != static_cast<int>(r.bytes.size())) std::abort();
    }
  }
}

}  // namespace cdmadiag::fuzz
