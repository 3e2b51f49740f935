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

bool HdlcReader::read_frame(Frame& f) {
  for (;;) {
    f.bytes.clear();
    f.offset = in_.offset();
    f.raw_size = 0;
    f.closed = false;
    f.escape_at_end = false;
    f.overflow = false;
    std::size_t unescaped = 0;  // counted past kMaxFrame too, where the bytes are dropped
    const auto append = [&](const std::uint8_t* from, std::size_t n) {
      unescaped += n;
      const std::size_t room = kMaxFrame - f.bytes.size();
      f.bytes.insert(f.bytes.end(), from, from + (n < room ? n : room));
    };
    bool escape = false;
    // Whole stretches between the special bytes are found by memchr and copied at once;
    // escapes are rare in log data.
    while (!f.closed && in_.ensure(1) > 0) {
      const std::uint8_t* p = in_.data();
      const std::size_t n = in_.available();
      const auto* flag = static_cast<const std::uint8_t*>(std::memchr(p, kFlag, n));
      const std::size_t end = flag != nullptr ? static_cast<std::size_t>(flag - p) : n;
      std::size_t i = 0;
      if (escape && end > 0) {
        const std::uint8_t b = p[0] ^ 0x20;
        append(&b, 1);
        escape = false;
        i = 1;
      }
      while (i < end) {
        const auto* esc = static_cast<const std::uint8_t*>(std::memchr(p + i, kEscape, end - i));
        const std::size_t stop = esc != nullptr ? static_cast<std::size_t>(esc - p) : end;
        append(p + i, stop - i);
        i = stop;
        if (i == end) break;
        if (i + 1 == end) {  // the escaped byte is past this stretch, or there is none
          escape = true;
          i = end;
          break;
        }
        const std::uint8_t b = p[i + 1] ^ 0x20;
        append(&b, 1);
        i += 2;
      }
      f.raw_size += end;
      f.closed = flag != nullptr;
      in_.consume(f.closed ? end + 1 : end);
    }
    f.escape_at_end = escape;
    f.overflow = unescaped >= kMaxFrame;
    if (f.raw_size > 0 || escape) return true;
    if (!f.closed) return false;  // the end of the input
    // Back-to-back flags: an empty frame, nothing to say.
  }
}

bool HdlcReader::take(Frame& f) {
  if (ahead_.empty()) return read_frame(f);
  std::swap(f, ahead_.front());
  ahead_.pop_front();
  return true;
}

const HdlcReader::Frame* HdlcReader::peek(std::size_t i) {
  while (ahead_.size() <= i) {
    Frame f;
    if (!read_frame(f)) return nullptr;
    ahead_.push_back(std::move(f));
  }
  return &ahead_[i];
}

bool HdlcReader::good_crc_at(std::size_t i) {
  const Frame* f = peek(i);
  if (f == nullptr || !f->closed || f->escape_at_end || f->overflow || f->bytes.size() < kCrcSize + 1) return false;
  const std::size_t content_end = f->bytes.size() - kCrcSize;
  return crc16_diag(std::span<const std::uint8_t>(f->bytes.data(), content_end)) ==
         u16_at(f->bytes.data() + content_end);
}

bool HdlcReader::log_frame_at(const Frame& f, std::size_t at, std::size_t content_end, Record& record) {
  if (content_end - at < kLogFramePrefix + kLogHeaderSize || f.bytes[at] != kLogFrame) return false;
  const std::uint8_t* p = f.bytes.data() + at;
  const std::size_t len = u16_at(p + 2);
  if (len < kLogHeaderSize || kLogFramePrefix + len != content_end - at || u16_at(p + kLogFramePrefix) != len) {
    return false;
  }
  record.kind = RecordKind::kLog;
  record.bytes = std::span<const std::uint8_t>(p + kLogFramePrefix, len);
  record.offset = f.offset;
  return true;
}

bool HdlcReader::salvage_tail(const Frame& f, Record& record) {
  // Garbage glued in front of a frame: look for a log frame that ends the buffer and
  // carries its own good CRC.
  const std::size_t content_end = f.bytes.size() - kCrcSize;
  const std::uint16_t want = u16_at(f.bytes.data() + content_end);
  for (std::size_t at = 1; at + kLogFramePrefix + kLogHeaderSize <= content_end; ++at) {
    if (f.bytes[at] != kLogFrame || !log_frame_at(f, at, content_end, record)) continue;
    if (crc16_diag(std::span<const std::uint8_t>(f.bytes.data() + at, content_end - at)) == want) return true;
  }
  return false;
}

HdlcReader::Verdict HdlcReader::judge(const Frame& f, Record& record, std::string& problem) const {
  if (!f.closed) {
    problem = formatf("the input ends inside a frame (%zu bytes after the last 0x7E)", f.raw_size);
    return Verdict::kDamaged;
  }
  if (f.escape_at_end) {
    problem = formatf("frame of %zu bytes ends with a 0x7D escape before its 0x7E; skipped", f.raw_size);
    return Verdict::kDamaged;
  }
  if (f.overflow) {
    problem = formatf("frame longer than %zu bytes; skipped", kMaxFrame);
    return Verdict::kDamaged;
  }
  if (f.bytes.size() < kCrcSize + 1) {
    problem = formatf("frame of %zu bytes is too short to hold a CRC; skipped", f.bytes.size());
    return Verdict::kDamaged;
  }
  const std::size_t content_end = f.bytes.size() - kCrcSize;
  const std::uint16_t want = u16_at(f.bytes.data() + content_end);
  const std::uint16_t got = crc16_diag(std::span<const std::uint8_t>(f.bytes.data(), content_end));
  if (got != want) {
    if (salvage_tail(f, record)) {
      const std::size_t garbage = f.bytes.size() - kLogFramePrefix - record.bytes.size() - kCrcSize;
      problem = formatf("%zu bytes of garbage before a frame; skipped", garbage);
      return Verdict::kSalvaged;
    }
    problem = formatf("CRC error in a frame of %zu bytes (frame says 0x%04X, computed 0x%04X); skipped",
                      f.bytes.size(), want, got);
    return Verdict::kDamaged;
  }
  if (f.bytes[0] == kLogFrame) {
    if (log_frame_at(f, 0, content_end, record)) return Verdict::kLog;
    const unsigned framed = content_end >= 4 ? u16_at(f.bytes.data() + 2) : 0u;
    const unsigned recorded = content_end >= 6 ? u16_at(f.bytes.data() + 4) : 0u;
    if (content_end < kLogFramePrefix + kLogHeaderSize) {
      problem = formatf("log frame of %zu bytes, too short for a log record; skipped", content_end);
    } else if (framed != recorded) {
      problem = formatf("log frame of %zu bytes whose lengths disagree (frame says %u, record says %u); skipped",
                        content_end, framed, recorded);
    } else if (framed < kLogHeaderSize) {
      problem = formatf("log frame of %zu bytes whose record length %u is shorter than a log header; skipped",
                        content_end, framed);
    } else {
      problem = formatf("log frame of %zu bytes whose record length %u does not fit the %zu bytes it carries; skipped",
                        content_end, framed, content_end - kLogFramePrefix);
    }
    return Verdict::kDamaged;
  }
  record.kind = RecordKind::kCommandResponse;
  record.bytes = std::span<const std::uint8_t>(f.bytes.data(), content_end);
  record.offset = f.offset;
  return Verdict::kResponse;
}

ReadStatus HdlcReader::next(Record& record, FramingError& error) {
  if (salvaged_) {
    record = *salvaged_;
    salvaged_.reset();
    frames_since_good_ = 0;
    return ReadStatus::kRecord;
  }
  if (!take(current_)) return ReadStatus::kEnd;
  std::string problem;
  Verdict v = judge(current_, record, problem);
  // A response with a good CRC counts where good frames are near: among the few just
  // before it, or the next one. A lone one amid damage is more likely noise.
  if (v == Verdict::kLog ||
      (v == Verdict::kResponse && (frames_since_good_ <= kGoodFramesNear || good_crc_at(0)))) {
    frames_since_good_ = 0;
    return ReadStatus::kRecord;
  }
  if (v == Verdict::kResponse) {
    problem = formatf("command response of %zu bytes between damaged frames; skipped", record.bytes.size());
  }
  ++frames_since_good_;
  error.offset = current_.offset;
  error.text = problem;
  if (v == Verdict::kSalvaged) {
    salvaged_ = record;
    return ReadStatus::kError;
  }

  // The rest of the damaged stretch goes into the same error, up to the next good frame.
  std::size_t more = 0;
  for (const Frame* f; (f = peek(0)) != nullptr;) {
    Record r;
    std::string p;
    const Verdict w = judge(*f, r, p);
    if (w == Verdict::kLog ||
        (w == Verdict::kResponse && (frames_since_good_ <= kGoodFramesNear || good_crc_at(1)))) {
      break;
    }
    ++more;
    ++frames_since_good_;
    if (w == Verdict::kSalvaged) {
      // The record points into the frame's bytes, which the swap keeps.
      take(current_);
      salvaged_ = r;
      break;
    }
    ahead_.pop_front();
  }
  if (more > 0) {
    const char* frames = more == 1 ? "frame" : "frames";
    if (salvaged_) {
      error.text += formatf("; %zu more damaged %s skipped up to a frame behind garbage", more, frames);
    } else if (const Frame* f = peek(0)) {
      error.text += formatf("; %zu more damaged %s skipped up to byte %llu", more, frames,
                            static_cast<unsigned long long>(f->offset));
    } else {
      error.text += formatf("; %zu more damaged %s skipped to the end of the input", more, frames);
    }
  }
  return ReadStatus::kError;
}

}  // namespace cdmadiag
