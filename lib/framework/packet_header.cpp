#include "framework/packet_header.h"

#include "framework/payload_reader.h"

namespace cdmadiag {

double diag_time_seconds(const std::uint8_t* stamp) {
  const PayloadReader r(stamp, kTimeStampSize);
  return static_cast<double>(r.u48le(kTimeStampCount)) * kTimeUnitSeconds + kGpsEpochUnixSeconds;
}

bool starts_with_log_header(std::span<const std::uint8_t> bytes, std::uint16_t code) {
  const PayloadReader r(bytes);
  return r.has(0, kLogHeaderSize) && r.u16le(kLogHeaderLength) == bytes.size() && r.u16le(kLogHeaderCode) == code;
}

}  // namespace cdmadiag
