// Access probe (0x1013): nine one-byte fields, decoded by the probe's field table.
//  +off  type  name                      unit
//   +0   u8    SEQ_NUM
//   +1   u8    PROBE_NUM
//   +2   u8    RX_AGC
//   +3   u8    TX_ADJ
//   +4   u8    PSIST
//   +5   u8    access channel number
//   +6   u8    PN randomization delay    chips
//   +7   u8    sequence backoff          slots
//   +8   u8    probe backoff             slots
// A short packet unpacks the bytes it has; the text names the first missing field.
#include "framework/decoder_1x.h"
#include "framework/field_tables.h"
#include "framework/frame_segment.h"

namespace {

constexpr int kStartBit = 0;
constexpr int kUnusedFlags = -1;

}  // namespace

void COrbDecodeMsgCDMAQualcommFrame::DecodeAccessProbe(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                       IDekCellRefs_Search*) {
  Begin(msg, &COrbDecodeMsgCDMAQualcommFrame::DecodeAccessProbe);
  const auto r = payload();
  const auto table = cdmadiag::access_probe_fields();
  COrbDecodeMsgCDMAQualcommFrameSegment segment;
  segment.unpack(r.data(0, r.size()), r.size(), table.data(), static_cast<int>(table.size()), kStartBit, ds,
                 kUnusedFlags);
  if (msg.detailsWanted) msg.details += segment.createCString();
}
