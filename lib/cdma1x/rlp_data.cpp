// 1x data service: the RLP frame logs of both directions (0x1025, 0x1026), the RLP
// statistics with their throughputs (0x1031) and the data-service packets that are
// only titled.
//
// The statistics carry totals since a reset; the rate over the last interval comes
// from the previous report's time and totals, which the decoder stores in the data
// state and reads back on the next packet.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "framework/attributes.h"
#include "framework/decoder_1x.h"
#include "framework/packet_header.h"
#include "framework/text.h"
#include "framework/value_names.h"
#include "host/abs_time.h"

namespace {

using cdmadiag::appendf;
using cdmadiag::AttrReader;
using cdmadiag::AttrWriter;
using cdmadiag::OnShort;
using cdmadiag::PayloadReader;
using F = COrbDecodeMsgCDMAQualcommFrame;
using ul = unsigned long;

// ---- RLP frames ----

// Payload (0x1025, 0x1026): u8 service id, u8 frame count N, then N records of
// 6 bytes, of which the whole ones the payload holds are shown:
//  +off  type  name                unit
//   +0   u8    channel and PDU     bits 0-3 physical channel, bits 4-6 multiplex PDU
//   +1   u16   rate and time delta bits 0-13 channel rate in 100 bit/s, bit 14 time delta
//   +3   u16   frame length        bits in the physical layer
//   +5   u8    payload values      value [0] bits 0-1, value [1] bits 2-7
constexpr std::size_t kServiceId = 0;
constexpr std::size_t kFrameCount = 1;
constexpr std::size_t kFirstFrame = 2;
constexpr std::size_t kFrameSize = 6;
constexpr std::size_t kFrameRate = 1, kFrameLength = 3, kFramePayload = 5;

constexpr std::array<ValueName, 2> kChannels{{{0, "0 (FCH)"}, {1, "1 (DCCH)"}}};
constexpr const char* kOtherChannel = "2 (SCH)";
constexpr std::array<ValueName, 3> kMuxPdus{{{0, "0 (MUX_PDU1)"}, {1, "1 (MUX_PDU2)"}, {2, "2 (MUX_PDU3)"}}};
constexpr std::array<const char*, 2> kTimeDeltas{"0 (same frame time as previous RLP 3 frame)",
                                                 "1 (next frame time from previous RLP 3 frame)"};

struct RlpFrame {
  std::uint8_t channel, pdu, delta;
  std::uint16_t rate;  // 100 bit/s
  std::uint16_t length;
  std::array<std::uint8_t, 2> values;
};

RlpFrame read_frame(const PayloadReader& rec) {
  const std::uint8_t b0 = rec.u8(0);
  const std::uint16_t w = rec.u16le(kFrameRate);
  const std::uint8_t p = rec.u8(kFramePayload);
  return {static_cast<std::uint8_t>(cdmadiag::bits(b0, 0, 4)),
          static_cast<std::uint8_t>(cdmadiag::bits(b0, 4, 3)),
          static_cast<std::uint8_t>(cdmadiag::bits(w, 14, 1)),
          static_cast<std::uint16_t>(cdmadiag::bits(w, 0, 14)),
          rec.u16le(kFrameLength),
          {static_cast<std::uint8_t>(cdmadiag::bits(p, 0, 2)), static_cast<std::uint8_t>(cdmadiag::bits(p, 2, 6))}};
}

void append_frame(std::string& out, std::size_t number, const RlpFrame& f) {
  appendf(out, "\nFrame[%d]:", static_cast<int>(number));
  appendf(out, "\n\tPhysical Channel: %s", cdmadiag::name_or(kChannels, f.channel, kOtherChannel));
  appendf(out, "\n\tMUX PDU: %s", cdmadiag::name_or(kMuxPdus, f.pdu, "unknown"));
  appendf(out, "\n\tPhysical Channel Rate: %ld bps", static_cast<long>(f.rate) * 100);
  appendf(out, "\n\tTime delta: %s", kTimeDeltas[f.delta]);
  appendf(out, "\n\tFrame Length: %d (bits in the physical layer)", int{f.length});
  out += "\n\tPayload values: ";
  for (std::size_t i = 0; i < f.values.size(); ++i) appendf(out, "[%d] %d, ", static_cast<int>(i), int{f.values[i]});
}

// Both directions: the mean physical layer rate of the frames that start a new frame
// time goes to throughput_id.
void decode_rlp_frames(const PayloadReader& r, IOrbDataState* ds, COrbExpandedMessage& msg,
                       std::uint32_t throughput_id) {
  if (!cdmadiag::require(r, kFirstFrame, msg, OnShort::kReport)) return;
  const std::uint8_t service = r.u8(kServiceId);
  const std::uint8_t count = r.u8(kFrameCount);
  const std::size_t held = std::min<std::size_t>(count, (r.size() - kFirstFrame) / kFrameSize);

  std::uint64_t rate_sum = 0;  // 100 bit/s
  std::uint32_t counted = 0;
  for (std::size_t i = 0; i < held; ++i) {
    const RlpFrame f = read_frame(r.sub(kFirstFrame + i * kFrameSize, kFrameSize));
    if (f.delta == 1) {
      rate_sum += f.rate;
      ++counted;
    }
  }
  if (const AttrWriter w(ds); w.on() && counted > 0) {
    w.Double(throughput_id, static_cast<double>(rate_sum) * 0.1 / counted);
  }

  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  appendf(out, "\nService Id of this data SO: %d", int{service});
  appendf(out, "\nNumber of RLP frames in this log packet: %d", int{count});
  for (std::size_t i = 0; i < held; ++i)
    append_frame(out, i + 1, read_frame(r.sub(kFirstFrame + i * kFrameSize, kFrameSize)));
}

}  // namespace

void F::DecodeRLPRxFrames(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  SetTitle(msg, &F::DecodeRLPRxFrames);
  decode_rlp_frames(payload(), ds, msg, ATTR_ID_PL_Rx_Throughput_Instantaneous);
}

void F::DecodeRLPTxFrames(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  SetTitle(msg, &F::DecodeRLPTxFrames);
  decode_rlp_frames(payload(), ds, msg, ATTR_ID_PL_Tx_Throughput_Instantaneous);
}
