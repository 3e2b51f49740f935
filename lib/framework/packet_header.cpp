#include "framework/packet_header.h"

#include "framework/payload_reader.h"

namespace cdmadiag {

double diag_time_seconds(const std::uint8_t* stamp) {
  const PayloadReader r(stamp, 8);
  return static_cast<double>(r.u48le(2)) * 0.00125 + kGpsEpochUnixSeconds;
}

bool starts_with_log_header(std::span<const std::uint8_t> bytes, std::uint16_t code) {
  const PayloadReader r(bytes);
  return r.has(0, kLogHeaderSize) && r.u16le(0) == bytes.size() && r.u16le(2) == code;
}

}  // namespace cdmadiag
