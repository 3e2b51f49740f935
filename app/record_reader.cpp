#include "record_reader.h"

#include "crc16.h"
#include "framework/packet_header.h"
#include "hdlc_reader.h"
#include "log_reader.h"

namespace cdmadiag {
namespace {

constexpr std::size_t kSniff = std::size_t{64} << 10;
constexpr int kChainWanted = 3;

std::uint16_t u16_at(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

// The start reads as log records: three chained plausible headers, or fewer that end
// exactly at the end of the input.
bool reads_as_log(std::span<const std::uint8_t> b, bool whole_input) {
  std::size_t pos = 0;
  int chained = 0;
  while (chained < kChainWanted) {
    if (pos == b.size()) return whole_input && chained > 0;
    if (b.size() - pos < kLogHeaderSize) return false;
    const std::size_t len = u16_at(b.data() + pos);
    if (len < kLogHeaderSize || !plausible_log_code(u16_at(b.data() + pos + 2))) return false;
    if (len > b.size() - pos) return !whole_input && chained > 0;
    pos += len;
    ++chained;
  }
  return true;
}

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
  const std::span<const std::uint8_t> head(in.data(), n);
  const bool whole = in.at_end() && n == avail;
  // Frames with good CRCs are the stronger evidence: a stream with some garbage ahead of
  // its first frame can chain a few random "log headers", but a random CRC matches once
  // in 65536 tries.
  if (reads_as_hdlc(head)) return InputFormat::kHdlc;
  if (reads_as_log(head, whole)) return InputFormat::kLog;
  return InputFormat::kLog;
}

std::unique_ptr<RecordReader> make_reader(InputFormat format, ByteStream& in) {
  if (format == InputFormat::kAuto) format = detect_format(in);
  if (format == InputFormat::kHdlc) return std::make_unique<HdlcReader>(in);
  return std::make_unique<LogReader>(in);
}

}  // namespace cdmadiag
