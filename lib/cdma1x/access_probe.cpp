// Access probe (0x1013): nine bytes, one field each, decoded by its field table.
//   0 SEQ_NUM   1 PROBE_NUM   2 RX_AGC   3 TX_ADJ   4 PSIST   5 access channel number
//   6 PN randomization delay (chips)   7 sequence backoff (slots)   8 probe backoff (slots)
// A short packet unpacks the bytes it has; the text names the first missing field.
#include "framework/decoder_1x.h"
#include "framework/field_tables.h"
#include "framework/frame_segment.h"

namespace {

constexpr const char* kTitle = "Access Probe Info";
constexpr int kStartBit = 0;
constexpr int kUnusedFlags = -1;

}  // namespace

void COrbDecodeMsgCDMAQualcommFrame::DecodeAccessProbe(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                       IDekCellRefs_Search*) {
  if (msg.titleWanted) msg.title = kTitle;
  const auto table = cdmadiag::access_probe_fields();
  COrbDecodeMsgCDMAQualcommFrameSegment segment;
  segment.unpack(GetBuf(), GetLen(), table.data(), static_cast<int>(table.size()), kStartBit, ds, kUnusedFlags);
  if (msg.detailsWanted) msg.details += segment.createCString();
}
