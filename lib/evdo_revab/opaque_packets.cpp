// EV-DO multicast metrics (0x117F-0x1182), multi-flow RLP statistics and partial
// packets (0x1275-0x1278) and QoS logging (0x132B-0x132D). Their layouts are not
// known here, so each shows its title and the payload as one bounded hex line; no
// attribute is written and nothing is ever thrown, so an odd payload cannot lose the
// packet its title.
//
// Details (every packet alike):
//   "Payload: %u bytes\n"
//   "Data (hex): xx xx ...\n"   the first kHexShown bytes, " ..." when there are more
#include <cstddef>
#include <cstdint>
#include <string>

#include "framework/decoder_evdo.h"
#include "framework/text.h"

namespace {

using cdmadiag::appendf;
using cdmadiag::Cursor;
using cdmadiag::PayloadReader;
using Free = void (*)(IOrbDataState*, COrbExpandedMessage&, const std::uint8_t*, std::uint32_t);

// Enough to recognise a packet by eye; a partial-RLP packet can run to kilobytes.
constexpr std::size_t kHexShown = 64;

void show_raw(Free self, COrbExpandedMessage& msg, const std::uint8_t* buf, std::uint32_t len) {
  cdmadiag::begin(msg, self);
  if (!msg.detailsWanted) return;
  Cursor c(PayloadReader(buf, len));
  std::string& out = msg.details;
  appendf(out, "Payload: %zu bytes\n", c.left());
  if (c.left() == 0) return;
  out += "Data (hex):";
  const bool more = c.left() > kHexShown;
  while (c.left() > 0 && c.offset() < kHexShown) appendf(out, " %02x", c.u8());
  if (more) out += " ...";
  out += "\n";
}

}  // namespace

#define CDMADIAG_RAW_DECODER(name)                                                                  \
  void name(IOrbDataState*, COrbExpandedMessage& msg, const std::uint8_t* buf, std::uint32_t len) { \
    show_raw(&name, msg, buf, len);                                                                 \
  }
CDMADIAG_RAW_DECODER(DecodeMulticastPacketRateMetrics)
CDMADIAG_RAW_DECODER(DecodeMulticastPhysicalChannelMetrics)
CDMADIAG_RAW_DECODER(DecodeMulticastECBStatus)
CDMADIAG_RAW_DECODER(DecodeMulticastLogicalChannelMetrics)
CDMADIAG_RAW_DECODER(DecodeMultiRLPRevStatistics)
CDMADIAG_RAW_DECODER(DecodeMultiRLPFwdStatistics)
CDMADIAG_RAW_DECODER(DecodeRxPartialMultiRLPPacket)
CDMADIAG_RAW_DECODER(DecodeTxPartialMultiRLPPacket)
CDMADIAG_RAW_DECODER(DecodeLoggingRequestedQOS)
CDMADIAG_RAW_DECODER(DecodeGrantedQOSLogging)
CDMADIAG_RAW_DECODER(DecodeQOSStateLogging)
#undef CDMADIAG_RAW_DECODER
