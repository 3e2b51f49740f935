// 1x data service: the RLP frame logs of both directions (0x1025, 0x1026), the RLP
// statistics with their throughputs (0x1031) and the data-service packets that are
// only titled.
//
// The statistics carry totals since a reset; the rate over the last interval comes
// from the previous report's time and totals, which the decoder stores in the data
// state and reads back on the next packet.
#include <algorithm>
#include <array>
#include <cassert>
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
using cdmadiag::bits;
using cdmadiag::Cursor;
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
constexpr std::size_t kFrameSize = 6;

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

RlpFrame read_frame(Cursor& c) {
  const std::uint8_t channel_pdu = c.u8();
  const std::uint16_t rate_delta = c.u16le();
  const std::uint16_t length = c.u16le();
  const std::uint8_t values = c.u8();
  return {static_cast<std::uint8_t>(bits(channel_pdu, 0, 4)),
          static_cast<std::uint8_t>(bits(channel_pdu, 4, 3)),
          static_cast<std::uint8_t>(bits(rate_delta, 14, 1)),
          static_cast<std::uint16_t>(bits(rate_delta, 0, 14)),
          length,
          {static_cast<std::uint8_t>(bits(values, 0, 2)), static_cast<std::uint8_t>(bits(values, 2, 6))}};
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
void decode_rlp_frames(Cursor c, IOrbDataState* ds, COrbExpandedMessage& msg, const cdmadiag::Decoding& job,
                       std::uint32_t throughput_id) {
  const std::uint8_t service = c.u8();
  const std::uint8_t count = c.u8();
  if (!job.check(c)) return;
  // The frames the payload holds whole, up to the count.
  const std::size_t held = std::min<std::size_t>(count, c.left() / kFrameSize);
  const Cursor first_frame = c;  // the text reads them again
  std::uint64_t rate_sum = 0;    // 100 bit/s
  std::uint32_t counted = 0;
  for (std::size_t i = 0; i < held; ++i) {
    const RlpFrame f = read_frame(c);
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
  c = first_frame;
  for (std::size_t i = 0; i < held; ++i) append_frame(out, i + 1, read_frame(c));
}

// ---- RLP statistics ----

// Record (0x1031), behind the packet's own log header when the bytes still carry it;
// 87 fixed bytes, then the transmitted NAK entries (u32 each), as many of the count
// as the record holds whole:
//  +off  type   name
//   +0   u8     service id
//   +1   u8[8]  statistics reset time, log time stamp (bytes 2-7: 1.25 ms units since 1980-01-06)
//   +9   u32    NAKs received            +42  u32  null frames received
//  +13   u32    rexmits not found        +46  u32  new data frames received
//  +17   u16    largest erasure block    +50  u32  fundamental frames received
//  +19   u8     resets                   +54  u32  total bytes received
//  +20   u8     NAK aborts               +58  u32  RLP erasures received
//  +21   u32    last round trip time     +62  u32  multiplexer erasures received
//  +25   u8     block of bytes used      +66  u32  retransmitted frames transmitted
//  +26   u32    rexmitted frames rx      +70  u32  idle frames transmitted
//  +30   u32    idle frames received     +74  u32  new data frames transmitted
//  +34   u32    fill frames received     +78  u32  fundamental frames transmitted
//  +38   u32    blank frames received    +82  u32  total bytes transmitted
//                                        +86  u8   NAK entry count
constexpr std::uint16_t kRlpStatsCode = 0x1031;
[[maybe_unused]] constexpr std::size_t kStatsSize = 87;
constexpr std::size_t kNakSize = 4;

constexpr std::array<ValueName, 4> kBlobUsed{
    {{0, "Not received)"}, {1, "Specified NAK scheme)"}, {2, "Specified RTT)"}, {3, "Specified RTT and NAK scheme)"}}};

struct RlpStats {
  std::uint8_t service_id;
  double reset;  // s since 1970
  std::uint32_t naks_rx, not_found;
  std::uint16_t largest_erasure;
  std::uint8_t resets, nak_aborts;
  std::uint32_t last_rtt;
  std::uint8_t blob_used;
  std::uint32_t rexmit_rx, idle_rx, fill_rx, blank_rx, null_rx, new_rx, fundamental_rx, bytes_rx;
  std::uint32_t rlp_erasures_rx, mux_erasures_rx;
  std::uint32_t rexmit_tx, idle_tx, new_tx, fundamental_tx, bytes_tx;
  std::uint8_t nak_count;
};

// The fixed part, in the table's order.
RlpStats read_stats(Cursor& c) {
  [[maybe_unused]] const std::size_t start = c.offset();
  RlpStats s{};
  s.service_id = c.u8();
  s.reset = c.diag_time();
  s.naks_rx = c.u32le();
  s.not_found = c.u32le();
  s.largest_erasure = c.u16le();
  s.resets = c.u8();
  s.nak_aborts = c.u8();
  s.last_rtt = c.u32le();
  s.blob_used = c.u8();
  s.rexmit_rx = c.u32le();
  s.idle_rx = c.u32le();
  s.fill_rx = c.u32le();
  s.blank_rx = c.u32le();
  s.null_rx = c.u32le();
  s.new_rx = c.u32le();
  s.fundamental_rx = c.u32le();
  s.bytes_rx = c.u32le();
  s.rlp_erasures_rx = c.u32le();
  s.mux_erasures_rx = c.u32le();
  s.rexmit_tx = c.u32le();
  s.idle_tx = c.u32le();
  s.new_tx = c.u32le();
  s.fundamental_tx = c.u32le();
  s.bytes_tx = c.u32le();
  s.nak_count = c.u8();
  assert(!c.ok() || c.offset() == start + kStatsSize);
  return s;
}

// kbit/s of bytes over span seconds, held in single precision as these rates always were.
// Bytes times 8 are taken in 64 bits: in 32 they wrap at 256 MiB, a few hours of an
// ordinary data session. A span that is not positive (a packet at its reset time or
// at the previous packet's time) has no rate: empty rather than a division by zero.
std::optional<double> kbps(std::int64_t bytes, double span) {
  if (!(span > 0.0)) return std::nullopt;
  return static_cast<float>(static_cast<double>(bytes * 8) / (span * 1000.0));
}

struct Throughput {
  std::optional<double> rx_cum, tx_cum, rx_inst, tx_inst;
};

// prev_time 0 (no previous packet) is always before the reset, so a first packet's
// instantaneous rates are its cumulative ones.
Throughput throughput(const RlpStats& s, double now, double prev_time, std::int64_t prev_rx, std::int64_t prev_tx) {
  const std::int64_t rx = s.bytes_rx, tx = s.bytes_tx;
  Throughput t{kbps(rx, now - s.reset), kbps(tx, now - s.reset), {}, {}};
  if (s.reset > prev_time || (prev_rx > rx && prev_tx > tx)) {
    t.rx_inst = t.rx_cum;
    t.tx_inst = t.tx_cum;
  } else {
    t.rx_inst = kbps(rx - prev_rx, now - prev_time);
    t.tx_inst = kbps(tx - prev_tx, now - prev_time);
  }
  return t;
}

void write_if(const AttrWriter& w, std::uint32_t id, const std::optional<double>& v) {
  if (v) w.Double(id, *v);
}

std::string abs_time_text(double seconds) {
  std::string s;
  COrbMilliSecAbsTime(static_cast<std::int64_t>(seconds * 1000.0)).GetAbsTimeStr(s, nullptr);
  return s;
}

}  // namespace

void F::DecodeRLPRxFrames(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeRLPRxFrames);
  decode_rlp_frames(Cursor(payload()), ds, msg, job, ATTR_ID_PL_Rx_Throughput_Instantaneous);
}

void F::DecodeRLPTxFrames(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeRLPTxFrames);
  decode_rlp_frames(Cursor(payload()), ds, msg, job, ATTR_ID_PL_Tx_Throughput_Instantaneous);
}

void F::DecodeRlpStats(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeRlpStats);
  const PayloadReader bytes = payload();
  double now = 0.0;
  std::size_t start = 0;
  if (header_present()) {
    now = cdmadiag::diag_time_seconds(header_bytes() + cdmadiag::kLogHeaderTimeStamp);
  } else if (cdmadiag::starts_with_log_header(bytes.bytes(), kRlpStatsCode)) {
    // The bytes still carry their log header: it is this packet's header from now on.
    SetMDMHeaderBytes(bytes.data(0, cdmadiag::kLogHeaderSize));
    now = cdmadiag::diag_time_seconds(header_bytes() + cdmadiag::kLogHeaderTimeStamp);
    start = cdmadiag::kLogHeaderSize;
  } else {
    const auto stream_start = cdmadiag::held_number(AttrReader(ds).current(ATTR_ID_STREAM_START_ABS_TIME_IN_SECS));
    now = stream_start.value_or(0.0) + GetMsOffset() * 0.001;
  }
  Cursor c(bytes, start);
  const RlpStats s = read_stats(c);
  if (!job.check(c)) return;
  // The entries the record holds whole, up to its count.
  const std::size_t held = std::min<std::size_t>(s.nak_count, c.left() / kNakSize);
  const Cursor first_nak = c;  // the text reads them again
  std::uint64_t nak_sum = 0;
  for (std::size_t i = 0; i < held; ++i) nak_sum += c.u32le();

  if (const AttrWriter w(ds); w.on()) {
    w.ULong(ATTR_ID_Naks_Rx, s.naks_rx);
    w.ULong(ATTR_ID_ReXmits_Not_Found, s.not_found);
    w.UShort(ATTR_ID_Largest_Contig_Erasure, s.largest_erasure);
    w.UShort(ATTR_ID_Resets, s.resets);
    w.UShort(ATTR_ID_Nak_Aborts, s.nak_aborts);
    w.ULong(ATTR_ID_Last_RTT, s.last_rtt);
    w.UShort(ATTR_ID_Rlp_Blob_Used, s.blob_used);
    w.ULong(ATTR_ID_Retransmitted_Frames_Rx, s.rexmit_rx);
    w.ULong(ATTR_ID_Idle_Frames_Rx, s.idle_rx);
    w.ULong(ATTR_ID_Blank_Frames_Rx, s.blank_rx);
    w.ULong(ATTR_ID_Null_Frames_Rx, s.null_rx);
    w.ULong(ATTR_ID_New_Data_Frames_Rx, s.new_rx);
    w.ULong(ATTR_ID_Fundamental_Frames_Rx, s.fundamental_rx);
    w.ULong(ATTR_ID_RLP_Erasures_Rx, s.rlp_erasures_rx);
    w.ULong(ATTR_ID_Multiplex_Erasures_Rx, s.mux_erasures_rx);
    w.ULong(ATTR_ID_Retransmitted_Frames_Tx, s.rexmit_tx);
    w.ULong(ATTR_ID_Idle_Frames_Tx, s.idle_tx);
    w.ULong(ATTR_ID_New_Data_Frames_Tx, s.new_tx);
    w.ULong(ATTR_ID_Fundamental_Frames_Tx, s.fundamental_tx);
    // Up to 255 entries of 32 bits: the sum is kept in 64 and held at the largest count.
    w.ULong(ATTR_ID_Naks_Tx, static_cast<std::uint32_t>(std::min<std::uint64_t>(nak_sum, UINT32_MAX)));
    w.DWord(ATTR_ID_Total_Received_Bytes, s.bytes_rx);
    w.DWord(ATTR_ID_Total_Transmitted_Bytes, s.bytes_tx);

    const AttrReader rd(ds);
    const std::uint32_t bound = GetMessageNumber();
    const double prev_time = cdmadiag::held_number(rd.before(ATTR_ID_Last_RLP_Msg_Time, bound)).value_or(0.0);
    const std::int64_t prev_rx = cdmadiag::held_integer(rd.before(ATTR_ID_RLP_Last_Rx_Total_Bytes, bound)).value_or(0);
    const std::int64_t prev_tx = cdmadiag::held_integer(rd.before(ATTR_ID_RLP_Last_Tx_Total_Bytes, bound)).value_or(0);
    const Throughput t = throughput(s, now, prev_time, prev_rx, prev_tx);
    write_if(w, ATTR_ID_RLP_Rx_Throughput_Cumulative, t.rx_cum);
    write_if(w, ATTR_ID_RLP_Tx_Throughput_Cumulative, t.tx_cum);
    write_if(w, ATTR_ID_RLP_Rx_Throughput_Instantaneous, t.rx_inst);
    write_if(w, ATTR_ID_RLP_Tx_Throughput_Instantaneous, t.tx_inst);
    w.Double(ATTR_ID_Last_RLP_Msg_Time, now);
    w.DWord(ATTR_ID_RLP_Last_Rx_Total_Bytes, s.bytes_rx);
    w.DWord(ATTR_ID_RLP_Last_Tx_Total_Bytes, s.bytes_tx);
  }

  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  // Counters are unsigned 32-bit: shown as such, never negative past 2^31.
  appendf(out, "\nStatistics reset time: %s\n", abs_time_text(s.reset).c_str());
  appendf(out, "\nService ID: %u,\nRetransmitted frames not found: %lu", unsigned{s.service_id}, ul{s.not_found});
  appendf(out,
          "\nLargest block of consecutive erasures: %u, \nResets: %u, \nNAK Aborts: %u, \nLast round trip time "
          "measurement: %lu, \n%s, ",
          unsigned{s.largest_erasure}, unsigned{s.resets}, unsigned{s.nak_aborts}, ul{s.last_rtt},
          cdmadiag::formatf("Block of Bytes Used: %u (%s", unsigned{s.blob_used},
                            cdmadiag::name_or(kBlobUsed, s.blob_used, ""))
              .c_str());
  out += "\n\t";
  appendf(out,
          "\nRX Data: \nNAKs Received: %lu, \nRetransmitted frames received: %lu, \nIdle frames received : %lu, \nFill "
          "frames received : %lu, \nBlank frames received: %lu",
          ul{s.naks_rx}, ul{s.rexmit_rx}, ul{s.idle_rx}, ul{s.fill_rx}, ul{s.blank_rx});
  appendf(out, "\nNull frames Received: %lu, \nNew data frames received: %lu, \nFundamental data frames received: %lu",
          ul{s.null_rx}, ul{s.new_rx}, ul{s.fundamental_rx});
  appendf(out, "\nRLP erasures received: %lu, \nMultiplexer erasures received: %lu,\nTOTAL BYTES RECEIVED: %lu,\n",
          ul{s.rlp_erasures_rx}, ul{s.mux_erasures_rx}, ul{s.bytes_rx});
  out += "\n\t";
  appendf(out,
          "\nTX Data: \nRetransmitted frames transmitted: %lu, \nIdle frames transmitted: %lu, \nNew data frames "
          "transmitted: %lu, \nFundamental data frames Transmitted: %lu,\nNumber of NAKs Transmitted entries: %u, ",
          ul{s.rexmit_tx}, ul{s.idle_tx}, ul{s.new_tx}, ul{s.fundamental_tx}, unsigned{s.nak_count});
  if (held > 0 && held < s.nak_count) appendf(out, " (actual %d entries)", static_cast<int>(held));
  c = first_nak;
  for (std::size_t i = 0; i < held; ++i) appendf(out, "\n\tTX_NAKS[%d]: %lu, ", static_cast<int>(i + 1), ul{c.u32le()});
  appendf(out, "\nTOTAL BYTES TRANSMITTED: %lu", ul{s.bytes_tx});
}

void F::DecodeSimpleTDSOCounters(IOrbDataState*, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  Begin(msg, &F::DecodeSimpleTDSOCounters);
}

void F::DecodeForwardLinkMessages(IOrbDataState*, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  Begin(msg, &F::DecodeForwardLinkMessages);
}

void F::DecodeReverseLinkMessages(IOrbDataState*, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  Begin(msg, &F::DecodeReverseLinkMessages);
}

void F::DecodeGPSSearcherPeaks(IOrbDataState*, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  Begin(msg, &F::DecodeGPSSearcherPeaks);
}

void F::DecodeGPSMultipeakInfo(IOrbDataState*, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  Begin(msg, &F::DecodeGPSMultipeakInfo);
}

void F::DecodeSearchGPSPostProcessing(IOrbDataState*, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  Begin(msg, &F::DecodeSearchGPSPostProcessing);
}
