#include "evdo/packet_clock.h"

#include "framework/attributes.h"
#include "framework/decoder_kit.h"
#include "framework/packet_header.h"
#include "framework/payload_reader.h"

namespace cdmadiag::evdo {

PacketClock packet_clock(const COrbDecodeMsgCDMA1xEVDOQualcommFrame& frame, IOrbDataState* ds, std::uint16_t own_code) {
  if (frame.header_present()) return {diag_time_seconds(frame.header_bytes() + kLogHeaderTimeStamp), 0};
  const PayloadReader bytes(frame.GetBuf(), frame.GetLen());
  if (starts_with_log_header(bytes.bytes(), own_code)) {
    return {diag_time_seconds(bytes.data(kLogHeaderTimeStamp, kTimeStampSize)), kLogHeaderSize};
  }
  const double start = held_number(AttrReader(ds).current(ATTR_ID_STREAM_START_ABS_TIME_IN_SECS)).value_or(0.0);
  return {start + frame.GetMsOffset() * 0.001, 0};
}

}  // namespace cdmadiag::evdo
