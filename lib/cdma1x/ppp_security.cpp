// PPP frame and security library log packets of the 1x class.
#include <algorithm>

#include "framework/attributes.h"
#include "framework/decoder_1x.h"
#include "framework/payload_cursor.h"
#include "framework/text.h"

using cdmadiag::appendf;
using cdmadiag::Cursor;
using F = COrbDecodeMsgCDMAQualcommFrame;

namespace {

// The frame length the PPP frame packets are charted with; the packets themselves
// carry the frame bytes, not a length field.
constexpr std::uint16_t kPppFrameLength = 186;

// The bytes of one 8-byte field that the payload holds; a field the payload does
// not reach at all is left out.
constexpr std::size_t kBlockSize = 8;
void block_line(std::string& out, Cursor& c, const char* heading) {
  const std::size_t held = std::min(kBlockSize, c.left());
  if (held == 0) return;
  out += heading;
  for (std::size_t i = 0; i < held; ++i) appendf(out, "%2x", unsigned{c.u8()});
  out += "\n";
  c.skip(kBlockSize - held);
}

}  // namespace

// PPP Tx and Rx frames (0x109C, 0x109D): the frame bytes, not read.
void COrbDecodeMsgCDMAQualcommFrame::DecodePPPTxFrames(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                       IDekCellRefs_Search*) {
  Begin(msg, &F::DecodePPPTxFrames);
  cdmadiag::AttrWriter(ds).UShort(ATTR_ID_CDMA_1X_PPP_TX_FRAME_LENGTH, kPppFrameLength);
}

void COrbDecodeMsgCDMAQualcommFrame::DecodePPPRxFrames(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                       IDekCellRefs_Search*) {
  Begin(msg, &F::DecodePPPRxFrames);
  cdmadiag::AttrWriter(ds).UShort(ATTR_ID_CDMA_1X_PPP_RX_FRAME_LENGTH, kPppFrameLength);
}

// DES encoding statistics (0x10A1); every field is shown as far as the payload holds it:
//  +off  type   name                unit
//   +0   u8     sequence number     correlates the operation's packets
//   +1   u8[8]  key pointer data
//   +9   u8[8]  last CBC block
void COrbDecodeMsgCDMAQualcommFrame::DecodeSecurityEncodeOpDesStat(IOrbDataState*, COrbExpandedMessage& msg,
                                                                   IDekCellRefs_Search*) {
  Begin(msg, &F::DecodeSecurityEncodeOpDesStat);
  if (!msg.detailsWanted) return;
  Cursor c(payload());
  const std::uint8_t sequence = c.u8();
  if (c.ok()) appendf(msg.details, "  Sequence Num for correlation: %d\n", int{sequence});
  block_line(msg.details, c, "Data for ptr to key used:");
  block_line(msg.details, c, "Data for last CBC block (64 bits):");
}

// ARC4 statistics (0x10A2) and plaintext (0x10A3): the title only.
void COrbDecodeMsgCDMAQualcommFrame::DecodeSecurityEncodeOpARC4Stat(IOrbDataState*, COrbExpandedMessage& msg,
                                                                    IDekCellRefs_Search*) {
  Begin(msg, &F::DecodeSecurityEncodeOpARC4Stat);
}

void COrbDecodeMsgCDMAQualcommFrame::DecodeSecurityEncodePlaintext(IOrbDataState*, COrbExpandedMessage& msg,
                                                                   IDekCellRefs_Search*) {
  Begin(msg, &F::DecodeSecurityEncodePlaintext);
}
