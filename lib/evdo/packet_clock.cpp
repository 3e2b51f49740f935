#include "evdo/packet_clock.h"

#include <span>

#include "framework/attributes.h"
#include "framework/decoder_kit.h"
#include "framework/packet_header.h"

namespace cdmadiag::evdo {

PacketClock packet_clock(const COrbDecodeMsgCDMA1xEVDOQualcommFrame& frame, IOrbDataState* ds, std::uint16_t own_code) {
  if (frame.header_present()) return {diag_time_seconds(frame.header_bytes() + 4), 0};
  const std::span<const std::uint8_t> bytes(frame.GetBuf(), frame.GetLen());
  if (starts_with_log_header(bytes, own_code)) return {diag_time_seconds(bytes.data() + 4), kLogHeaderSize};
  const double start = held_number(AttrReader(ds).current(ATTR_ID_STREAM_START_ABS_TIME_IN_SECS)).value_or(0.0);
  return {start + frame.GetMsOffset() * 0.001, 0};
}

}  // namespace cdmadiag::evdo
