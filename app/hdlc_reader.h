#pragma once
// Reads a raw diagnostic-port stream: frames ended by 0x7E, 0x7D escaping the next
// byte (xor 0x20), a little-endian CRC-16 closing each unescaped frame. A frame whose
// first byte is 0x10 carries one log record; any other frame is a command response.
//
// A random frame passes the CRC once in 65536: a log frame must also carry two lengths
// that agree with its size, and a command response is taken only near another good
// frame (one of the kGoodFramesNear frames before it, or the next), or first in the
// input. A damaged stretch is one framing error, however many frames it spans.
#include <deque>
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
  struct Frame {
    std::vector<std::uint8_t> bytes;  // unescaped, CRC included
    std::uint64_t offset = 0;
    std::size_t raw_size = 0;  // escaped bytes, flag excluded
    bool closed = false;       // ended by a flag rather than by the input
    bool escape_at_end = false;
    bool overflow = false;
  };
  enum class Verdict : std::uint8_t { kLog, kResponse, kSalvaged, kDamaged };

  // The next non-empty frame, read ahead or from the input; false at the end.
  bool take(Frame& f);
  bool read_frame(Frame& f);
  // The frame i places ahead of the current one, read when needed; null at the end.
  const Frame* peek(std::size_t i);
  // What a frame holds: its record, or its problem (and for kSalvaged a record too).
  Verdict judge(const Frame& f, Record& record, std::string& problem) const;
  bool good_crc_at(std::size_t i);
  // The record of a log frame starting at 'at' in f when its lengths hold.
  static bool log_frame_at(const Frame& f, std::size_t at, std::size_t content_end, Record& record);
  static bool salvage_tail(const Frame& f, Record& record);

  ByteStream& in_;
  Frame current_;  // holds the bytes of the record handed out last
  std::deque<Frame> ahead_;
  static constexpr std::size_t kGoodFramesNear = 8;
  // Frames read since the last good one; the first frame of the input counts as near one.
  std::size_t frames_since_good_ = kGoodFramesNear;
  std::optional<Record> salvaged_;  // a good frame found behind garbage, handed out next
};

}  // namespace cdmadiag
