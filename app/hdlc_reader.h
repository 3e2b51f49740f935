#pragma once
// Reads a raw diagnostic-port stream: frames ended by 0x7E, 0x7D escaping the next
// byte (xor 0x20), a little-endian CRC-16 closing each unescaped frame. A frame whose
// first byte is 0x10 carries one log record; any other frame is a command response.
#include <optional>
#include <vector>

#include "record_reader.h"

namespace cdmadiag {

class HdlcReader final : public RecordReader {
 public:
  // Longer frames cannot hold a log record; their bytes are dropped, not buffered.
  static constexpr std::size_t kMaxFrame = std::size_t{1} << 20;

  explicit HdlcReader(ByteStream& in) : in_(in) {}
  ReadStatus next(Record& record, FramingError& error) override;

 private:
  enum class FrameEnd : std::uint8_t { kFlag, kInputEnd };
  FrameEnd read_frame();
  // The record of a log frame starting at 'at' in frame_ when its lengths and CRC hold.
  bool log_frame_at(std::size_t at, std::size_t content_end, Record& record) const;
  bool salvage_tail(Record& record) const;

  ByteStream& in_;
  std::vector<std::uint8_t> frame_;
  std::uint64_t frame_offset_ = 0;
  std::size_t raw_size_ = 0;  // escaped bytes of the frame, flag excluded
  bool escape_at_end_ = false;
  bool overflow_ = false;
  std::optional<Record> salvaged_;  // a good frame found behind garbage, handed out next
};

}  // namespace cdmadiag
