#include "record_reader.h"

#include <bitset>

#include "crc16.h"
#include "framework/dispatch.h"
#include "hdlc_reader.h"
#include "log_reader.h"

namespace cdmadiag {
namespace {

constexpr std::size_t kSniff = std::size_t{64} << 10;

std::uint16_t u16_at(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

bool reads_as_hdlc(std::span<const std::uint8_t> b) {
  int good = 0;
  int bad = 0;
  std::vector<std::uint8_t> frame;
  bool escape = false;
  for (const std::uint8_t x : b) {
    if (x == 0x7E) {
      if (frame.size() >= 3) {
        const std::size_t n = frame.size() - 2;
        const bool ok = crc16_diag(std::span<const std::uint8_t>(frame.data(), n)) == u16_at(frame.data() + n);
        ok ? ++good : ++bad;
      } else if (!frame.empty()) {
        ++bad;
      }
      frame.clear();
      escape = false;
    } else if (escape) {
      frame.push_back(x ^ 0x20);
      escape = false;
    } else if (x == 0x7D) {
      escape = true;
    } else {
      frame.push_back(x);
    }
  }
  return good > 0 && good >= bad;
}

}  // namespace

InputFormat detect_format(ByteStream& in) {
  const std::size_t avail = in.ensure(kSniff);
  const std::size_t n = avail < kSniff ? avail : kSniff;
  // Frames with good CRCs are the stronger evidence: a stream with some garbage ahead of
  // its first frame can chain a few random "log headers", but a random CRC matches once
  // in 65536 tries.
  return reads_as_hdlc(std::span<const std::uint8_t>(in.data(), n)) ? InputFormat::kHdlc : InputFormat::kLog;
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
  if (format == InputFormat::kAuto) format = detect_format(in);
  if (format == InputFormat::kHdlc) return std::make_unique<HdlcReader>(in);
  return std::make_unique<LogReader>(in);
}

}  // namespace cdmadiag
