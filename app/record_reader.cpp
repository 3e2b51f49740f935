#include "record_reader.h"

#include <fmt/format.h>

#include <algorithm>
#include <bitset>

#include "crc16.h"
#include "framework/dispatch.h"
#include "hdlc_reader.h"
#include "log_reader.h"

namespace cdmadiag {
namespace {

constexpr std::size_t kSniff = std::size_t{64} << 10;
// The longest frame a log record makes: 0x10, one byte, u16 length, the longest record,
// the CRC, every byte escaped, then the flag.
constexpr std::size_t kLongestLogFrame = 2 * (4 + 0xFFFF + 2) + 1;
// An input that has shown no record or good frame in this much is given up on: a gzip
// bomb would otherwise inflate whole before being called no DIAG log.
constexpr std::uint64_t kGiveUpAfter = std::uint64_t{64} << 20;

std::uint16_t u16_at(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

struct Sniffed {
  int good = 0;
  int bad = 0;
  std::size_t open_from = 0;  // where the frame still open at the end began
};

Sniffed sniff_hdlc(std::span<const std::uint8_t> b) {
  Sniffed s;
  std::vector<std::uint8_t> frame;
  bool escape = false;
  for (std::size_t i = 0; i < b.size(); ++i) {
    const std::uint8_t x = b[i];
    if (x == 0x7E) {
      if (frame.size() >= 3) {
        const std::size_t n = frame.size() - 2;
        const bool ok = crc16_diag(std::span<const std::uint8_t>(frame.data(), n)) == u16_at(frame.data() + n);
        ok ? ++s.good : ++s.bad;
      } else if (!frame.empty()) {
        ++s.bad;
      }
      frame.clear();
      escape = false;
      s.open_from = i + 1;
    } else if (escape) {
      frame.push_back(x ^ 0x20);
      escape = false;
    } else if (x == 0x7D) {
      escape = true;
    } else {
      frame.push_back(x);
    }
  }
  return s;
}

// Hands out the records of another reader, and ends an input that has shown none after
// kGiveUpAfter bytes with a framing error (so the run calls it no DIAG log).
class BoundedSearch final : public RecordReader {
 public:
  BoundedSearch(std::unique_ptr<RecordReader> inner, ByteStream& in) : inner_(std::move(inner)), in_(in) {}
  ReadStatus next(Record& record, FramingError& error) override {
    if (gave_up_) return ReadStatus::kEnd;
    const ReadStatus status = inner_->next(record, error);
    if (status == ReadStatus::kRecord && !found_) {
      found_ = true;
      in_.set_limit(std::nullopt);
    } else if (status == ReadStatus::kEnd && !found_ && in_.limited()) {
      gave_up_ = true;
      error.offset = in_.offset();
      error.text = fmt::format("no log record or good frame in the first {} MiB; reading stopped", kGiveUpAfter >> 20);
      return ReadStatus::kError;
    }
    return status;
  }

 private:
  std::unique_ptr<RecordReader> inner_;
  ByteStream& in_;
  bool found_ = false;
  bool gave_up_ = false;
};

}  // namespace

InputFormat detect_format(ByteStream& in) {
  std::size_t n = std::min(in.ensure(kSniff), kSniff);
  // Frames with good CRCs are the stronger evidence: a stream with some garbage ahead of
  // its first frame can chain a few random "log headers", but a random CRC matches once
  // in 65536 tries.
  Sniffed s = sniff_hdlc(std::span<const std::uint8_t>(in.data(), n));
  // No frame closed yet, and one open that began well inside the window: it may be a
  // first frame longer than the window (a maximum-size log record), so read on to where
  // the longest frame would have closed.
  if (s.good == 0 && n == kSniff && n - s.open_from >= kSniff / 2) {
    const std::size_t wider = s.open_from + kLongestLogFrame;
    n = std::min(in.ensure(wider), wider);
    s = sniff_hdlc(std::span<const std::uint8_t>(in.data(), n));
  }
  return s.good > 0 && s.good >= s.bad ? InputFormat::kHdlc : InputFormat::kLog;
}

bool known_log_code(std::uint16_t code) {
  static const std::bitset<0x10000> known = [] {
    std::bitset<0x10000> b;
    for (const CodeInfo& info : known_codes()) {
      if (info.cls != CodeClass::kDiagCommand && info.code <= 0xFFFF) b.set(info.code);
    }
    return b;
  }();
  return known[code];
}

bool known_command(std::uint8_t command) {
  static const std::bitset<0x100> known = [] {
    std::bitset<0x100> b;
    for (const CodeInfo& info : known_codes()) {
      if (info.cls == CodeClass::kDiagCommand && info.code <= 0xFF) b.set(info.code);
    }
    return b;
  }();
  return known[command];
}

std::unique_ptr<RecordReader> make_reader(InputFormat format, ByteStream& in) {
  in.set_limit(in.offset() + kGiveUpAfter);
  if (format == InputFormat::kAuto) format = detect_format(in);
  std::unique_ptr<RecordReader> reader;
  if (format == InputFormat::kHdlc) {
    reader = std::make_unique<HdlcReader>(in);
  } else {
    reader = std::make_unique<LogReader>(in);
  }
  return std::make_unique<BoundedSearch>(std::move(reader), in);
}

}  // namespace cdmadiag
