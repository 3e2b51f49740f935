// PPP frame and security library log packets of the 1x class.
#include "diag/diag_common.h"
#include "framework/attributes.h"
#include "framework/decoder_1x.h"
#include "framework/text.h"

using cdmadiag::appendf;
using cdmadiag::PayloadReader;

namespace {

using cdmadiag::kNoBound;

// The frame length the PPP frame packets are charted with; the packets themselves
// carry the frame bytes, not a length field.
constexpr std::uint16_t kPppFrameLength = 186;

// DES encoding statistics:
//   0 sequence number (correlates the operation's packets)  1 8 bytes: key pointer
//   data  9 8 bytes: last CBC block
constexpr std::size_t kSequence = 0;
constexpr std::size_t kKey = 1;
constexpr std::size_t kCbcBlock = 9;
constexpr std::size_t kBlockSize = 8;

// The bytes of one 8-byte field that the payload holds; a field the payload does
// not reach at all is left out.
void block_line(std::string& out, const PayloadReader& r, const char* heading, std::size_t at) {
  if (!r.has(at, 1)) return;
  out += heading;
  for (std::size_t i = at; i < at + kBlockSize && r.has(i, 1); ++i) appendf(out, "%2x", r.u8(i));
  out += "\n";
}

}  // namespace

void COrbDecodeMsgCDMAQualcommFrame::DecodePPPTxFrames(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                       IDekCellRefs_Search*) {
  if (msg.titleWanted) msg.title = "PPP Tx Frames";
  if (!ds->IsReadOnly()) ds->SetUShort(ATTR_ID_CDMA_1X_PPP_TX_FRAME_LENGTH, kPppFrameLength, 0, kNoBound, 0);
}

void COrbDecodeMsgCDMAQualcommFrame::DecodePPPRxFrames(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                       IDekCellRefs_Search*) {
  if (msg.titleWanted) msg.title = "PPP Rx Frames";
  if (!ds->IsReadOnly()) ds->SetUShort(ATTR_ID_CDMA_1X_PPP_RX_FRAME_LENGTH, kPppFrameLength, 0, kNoBound, 0);
}

void COrbDecodeMsgCDMAQualcommFrame::DecodeSecurityEncodeOpDesStat(IOrbDataState*, COrbExpandedMessage& msg,
                                                                   IDekCellRefs_Search*) {
  if (msg.titleWanted) msg.title = "Security Encoding Operation Destination Statistics";
  if (!msg.detailsWanted) return;
  const PayloadReader r = payload();
  if (r.has(kSequence, 1)) appendf(msg.details, "  Sequence Num for correlation: %d\n", r.u8(kSequence));
  block_line(msg.details, r, "Data for ptr to key used:", kKey);
  block_line(msg.details, r, "Data for last CBC block (64 bits):", kCbcBlock);
}

void COrbDecodeMsgCDMAQualcommFrame::DecodeSecurityEncodeOpARC4Stat(IOrbDataState*, COrbExpandedMessage& msg,
                                                                    IDekCellRefs_Search*) {
  if (msg.titleWanted) msg.title = "Security Encoding Operation ARC4 Statistics";
}

void COrbDecodeMsgCDMAQualcommFrame::DecodeSecurityEncodePlaintext(IOrbDataState*, COrbExpandedMessage& msg,
                                                                   IDekCellRefs_Search*) {
  if (msg.titleWanted) msg.title = "Security Encoding Operation Plaintext";
}
