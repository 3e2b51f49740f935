#include "framework/packet_header.h"

#include "framework/payload_reader.h"

namespace cdmadiag {

double diag_time_seconds(const std::uint8_t* stamp) {
  const PayloadReader r(stamp, kTimeStampSize);
  return diag_count_seconds(r.u48le(kTimeStampCount));
}

std::int64_t diag_time_ms(const std::uint8_t* stamp) {
  constexpr std::int64_t kGpsEpochUnixMs = 315964800000;
  const PayloadReader r(stamp, kTimeStampSize);
  // A count is 1.25 ms: times 5, over 4.
  return static_cast<std::int64_t>(r.u48le(kTimeStampCount) * 5 / 4) + kGpsEpochUnixMs;
}

bool starts_with_log_header(std::span<const std::uint8_t> bytes, std::uint16_t code) {
  const PayloadReader r(bytes);
  return r.has(0, kLogHeaderSize) && r.u16le(kLogHeaderLength) == bytes.size() && r.u16le(kLogHeaderCode) == code;
}

}  // namespace cdmadiag
