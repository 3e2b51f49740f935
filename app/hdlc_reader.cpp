#include "hdlc_reader.h"

#include <cstring>

#include "crc16.h"
#include "framework/packet_header.h"
#include "framework/text.h"

namespace cdmadiag {
namespace {

constexpr std::uint8_t kFlag = 0x7E;
constexpr std::uint8_t kEscape = 0x7D;
constexpr std::uint8_t kLogFrame = 0x10;
constexpr std::size_t kCrcSize = 2;
constexpr std::size_t kLogFramePrefix = 4;  // 0x10, one byte, u16 length

std::uint16_t u16_at(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

}  // namespace

HdlcReader::FrameEnd HdlcReader::read_frame() {
  frame_.clear();
  frame_offset_ = in_.offset();
  raw_size_ = 0;
  escape_at_end_ = false;
  overflow_ = false;
  bool escape = false;
  while (in_.ensure(1) > 0) {
    const std::uint8_t* p = in_.data();
    const std::size_t n = in_.available();
    for (std::size_t i = 0; i < n; ++i) {
      const std::uint8_t b = p[i];
      if (b == kFlag) {
        in_.consume(i + 1);
        escape_at_end_ = escape;
        return FrameEnd::kFlag;
      }
      ++raw_size_;
      if (escape) {
        escape = false;
        if (frame_.size() < kMaxFrame) frame_.push_back(b ^ 0x20);
      } else if (b == kEscape) {
        escape = true;
      } else if (frame_.size() < kMaxFrame) {
        frame_.push_back(b);
      }
      if (frame_.size() >= kMaxFrame) overflow_ = true;
    }
    in_.consume(n);
  }
  escape_at_end_ = escape;
  return FrameEnd::kInputEnd;
}

bool HdlcReader::log_frame_at(std::size_t at, std::size_t content_end, Record& record) const {
  if (content_end - at < kLogFramePrefix + kLogHeaderSize || frame_[at] != kLogFrame) return false;
  const std::uint8_t* p = frame_.data() + at;
  const std::size_t len = u16_at(p + 2);
  if (len < kLogHeaderSize || kLogFramePrefix + len != content_end - at || u16_at(p + kLogFramePrefix) != len) {
    return false;
  }
  record.kind = RecordKind::kLog;
  record.bytes = std::span<const std::uint8_t>(p + kLogFramePrefix, len);
  record.offset = frame_offset_;
  return true;
}

bool HdlcReader::salvage_tail(Record& record) const {
  // Garbage glued in front of a frame: look for a log frame that ends the buffer and
  // carries its own good CRC.
  const std::size_t content_end = frame_.size() - kCrcSize;
  const std::uint16_t want = u16_at(frame_.data() + content_end);
  for (std::size_t at = 1; at + kLogFramePrefix + kLogHeaderSize <= content_end; ++at) {
    if (frame_[at] != kLogFrame || !log_frame_at(at, content_end, record)) continue;
    if (crc16_diag(std::span<const std::uint8_t>(frame_.data() + at, content_end - at)) == want) return true;
  }
  return false;
}

ReadStatus HdlcReader::next(Record& record, FramingError& error) {
  if (salvaged_) {
    record = *salvaged_;
    salvaged_.reset();
    return ReadStatus::kRecord;
  }
  for (;;) {
    const FrameEnd end = read_frame();
    if (end == FrameEnd::kInputEnd && raw_size_ == 0 && !escape_at_end_) return ReadStatus::kEnd;
    if (end == FrameEnd::kFlag && raw_size_ == 0) continue;  // back-to-back flags
    error.offset = frame_offset_;
    const std::size_t raw = raw_size_;
    if (end == FrameEnd::kInputEnd) {
      error.text = formatf("the input ends inside a frame (%zu bytes after the last 0x7E)", raw);
      return ReadStatus::kError;
    }
    if (escape_at_end_) {
      error.text = formatf("frame of %zu bytes ends with a 0x7D escape before its 0x7E; skipped", raw);
      return ReadStatus::kError;
    }
    if (overflow_) {
      error.text = formatf("frame longer than %zu bytes; skipped", kMaxFrame);
      return ReadStatus::kError;
    }
    if (frame_.size() < kCrcSize + 1) {
      error.text = formatf("frame of %zu bytes is too short to hold a CRC; skipped", frame_.size());
      return ReadStatus::kError;
    }
    const std::size_t content_end = frame_.size() - kCrcSize;
    const std::uint16_t want = u16_at(frame_.data() + content_end);
    const std::uint16_t got = crc16_diag(std::span<const std::uint8_t>(frame_.data(), content_end));
    if (got != want) {
      Record tail;
      if (salvage_tail(tail)) {
        const std::size_t garbage = frame_.size() - kLogFramePrefix - tail.bytes.size() - kCrcSize;
        error.text = formatf("%zu bytes of garbage before a frame; skipped", garbage);
        salvaged_ = tail;
        return ReadStatus::kError;
      }
      error.text = formatf("CRC error in a frame of %zu bytes (frame says 0x%04X, computed 0x%04X); skipped",
                           frame_.size(), want, got);
      return ReadStatus::kError;
    }
    if (frame_[0] == kLogFrame) {
      if (log_frame_at(0, content_end, record)) return ReadStatus::kRecord;
      error.text =
          formatf("log frame of %zu bytes whose lengths disagree (frame says %u, record says %u); skipped", content_end,
                  content_end >= 4 ? u16_at(frame_.data() + 2) : 0u, content_end >= 6 ? u16_at(frame_.data() + 4) : 0u);
      return ReadStatus::kError;
    }
    record.kind = RecordKind::kCommandResponse;
    record.bytes = std::span<const std::uint8_t>(frame_.data(), content_end);
    record.offset = frame_offset_;
    return ReadStatus::kRecord;
  }
}

}  // namespace cdmadiag
