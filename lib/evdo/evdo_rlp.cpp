// 1xEV RLP: the per-service RLP statistics turned into throughputs (0x1070), the
// partial RLP packet logs (0x1082 received, 0x1083 transmitted), and the enhanced
// multi-flow RLP statistics (0x128C forward, 0x128D reverse) and packet logs
// (0x128E received, 0x128F transmitted).
//
// The counters only grow, so a throughput over the last interval comes from the
// previous report of the same service, whose totals and time the decoder stores in
// the data state and reads back on the next packet.
#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "evdo/packet_clock.h"
#include "evdo/rri_name.h"
#include "framework/attributes.h"
#include "framework/decoder_evdo.h"
#include "framework/text.h"
#include "framework/value_names.h"
#include "host/abs_time.h"

namespace {

using E = COrbDecodeMsgCDMA1xEVDOQualcommFrame;
using cdmadiag::appendf;
using cdmadiag::AttrReader;
using cdmadiag::AttrWriter;
using cdmadiag::Cursor;
using cdmadiag::PayloadReader;

#define CDMADIAG_CORRUPT_MESSAGE "****Corrupt Message****"
constexpr const char* kCorruptMessage = CDMADIAG_CORRUPT_MESSAGE;
constexpr const char* kCorruptMessageLine = "\n" CDMADIAG_CORRUPT_MESSAGE;  // below a record already shown
#undef CDMADIAG_CORRUPT_MESSAGE

std::string abs_time_text(double seconds) {
  // A stream start read back from the data state could be anything; keep the cast defined.
  const double ms = seconds * 1000.0;
  std::string s;
  COrbMilliSecAbsTime(std::isfinite(ms) && std::fabs(ms) < 9.0e18 ? static_cast<std::int64_t>(ms) : 0)
      .GetAbsTimeStr(s, nullptr);
  return s;
}

// kbit/s of bytes over span seconds, held in single precision; none over no time,
// which has no rate.
std::optional<double> kbps(std::uint64_t bytes, double span) {
  if (!(span > 0.0)) return std::nullopt;
  return static_cast<double>(static_cast<float>(static_cast<double>(bytes) * 8.0 / (span * 1000.0)));
}

// ---- RLP statistics ----

// RLP statistics (0x1070), 109 bytes:
//  +off  type  name                          unit
//   +0   u8    service ID
//   +1   u8[8] statistics reset time         DIAG time stamp
//   +9   u32   NAK frames received
//  +13   u32   retransmitted frames not found
//  +17   u64   AN NAK bytes requested        bytes
//  +25   u64   Rx duplicate frames
//  +33   u64   Rx retransmit bytes           bytes
//  +41   u64   Rx new data bytes             bytes
//  +49   u64   Rx total bytes                bytes
//  +57   u32   NAKs sent
//  +61   u32   AT NAK bytes requested        bytes
//  +65   u64   Tx retransmit bytes           bytes
//  +73   u64   Tx new data bytes             bytes
//  +81   u64   Tx total bytes                bytes
//  +89   u32   NAK timeouts or aborts
//  +93   u32   total resets (AN or AT)
//  +97   u32   AT resets requested
// +101   u32   AN acks received
// +105   u32   AN resets requested
constexpr std::uint16_t kRlpStatsCode = 0x1070;
[[maybe_unused]] constexpr std::size_t kRlpStatsSize = 109;

struct RlpStats {
  std::uint8_t service;
  double reset;  // s since 1970
  std::uint32_t naks_rx, rexmits_not_found, naks_sent, at_nak_bytes, nak_timeouts, resets, at_reset_reqs, an_reset_acks,
      an_reset_reqs;
  std::uint64_t an_nak_bytes, rx_dup, rx_rexmit, rx_new, rx_total, tx_rexmit, tx_new, tx_total;
};

// In the table's order.
RlpStats read_rlp_stats(Cursor& c) {
  RlpStats s{};
  s.service = c.u8();
  s.reset = c.diag_time();
  s.naks_rx = c.u32le();
  s.rexmits_not_found = c.u32le();
  s.an_nak_bytes = c.u64le();
  s.rx_dup = c.u64le();
  s.rx_rexmit = c.u64le();
  s.rx_new = c.u64le();
  s.rx_total = c.u64le();
  s.naks_sent = c.u32le();
  s.at_nak_bytes = c.u32le();
  s.tx_rexmit = c.u64le();
  s.tx_new = c.u64le();
  s.tx_total = c.u64le();
  s.nak_timeouts = c.u32le();
  s.resets = c.u32le();
  s.at_reset_reqs = c.u32le();
  s.an_reset_acks = c.u32le();
  s.an_reset_reqs = c.u32le();
  return s;
}

struct Throughput {
  std::optional<double> rx_cum, tx_cum, rx_inst, tx_inst;  // kbit/s; none when there is no span
};

// ---- partial RLP packet logs ----

// Partial RLP packets (0x1082 received, 0x1083 transmitted):
//  +off  type  name
//   +0   u8    bits 0-1 service ID, bits 2-7 header length H (bytes logged per packet)
//   +1   u8    number of packets N
//   +2         N records: u16 bits 0-3 physical channel rate, bit 4 channel, bits 5-15
//              packet length P (bytes); u8 time reference; then the logged bytes,
//              min(H, P) received, H transmitted: 3 bytes most significant first with
//              the stream ID (bits 22-23) and sequence number (bits 0-21), then payload
constexpr std::size_t kSeqBytes = 3;
constexpr std::size_t kRxBytesPerPacket = 6;  // the received log's own check of its length

constexpr std::array<ValueName, 13> kRxRateNames{{
    {0, "Rate not determined"},
    {1, "38.4 kbps"},
    {2, "76.8 kbps"},
    {3, "153.6 kbps"},
    {4, "307.2 short kbps"},
    {5, "307.2 long kbps"},
    {6, "614.4 short kbps"},
    {7, "614.4 long kbps"},
    {8, "921.6 kbps"},
    {9, "1.2288 short Mbps"},
    {10, "1.2288 long Mbps"},
    {11, "1.843 short Mbps"},
    {12, "2.456 Mbps"},
}};

const char* RxRlpRateName(std::uint32_t rate) { return cdmadiag::name_or(kRxRateNames, rate, "Undefined"); }
const char* TxRlpRateName(std::uint32_t rate) {
  return rate == 0 ? "Rate not determined" : cdmadiag::evdo::RriName(rate);
}

struct PartialLog {
  bool received;
  const std::uint32_t *service, *hdr_len, *num_pkts, *rate, *channel, *pkt_len, *time_ref, *stream, *seq;
  const std::uint32_t* payload_bits;  // received only
  const char* channel0;
  const char* channel1;
  const char* (*rate_name)(std::uint32_t);
};

const PartialLog kRxPartial{true,
                            &ATTR_ID_EVDO_RXPARTIALRLP_SERVICEID,
                            &ATTR_ID_EVDO_RXPARTIALRLP_HDRLEN,
                            &ATTR_ID_EVDO_RXPARTIALRLP_NUMPKTS,
                            &ATTR_ID_EVDO_RXPARTIALRLP_PHYCHANRATE,
                            &ATTR_ID_EVDO_RXPARTIALRLP_CHANNEL,
                            &ATTR_ID_EVDO_RXPARTIALRLP_PKTLEN,
                            &ATTR_ID_EVDO_RXPARTIALRLP_TIMEREF,
                            &ATTR_ID_EVDO_RXPARTIALRLP_STREAMID,
                            &ATTR_ID_EVDO_RXPARTIALRLP_RLPSEQNO,
                            &ATTR_ID_EVDO_RXPARTIALRLP_DATAPAYLOAD,
                            "Traffic",
                            "Control",
                            &RxRlpRateName};
const PartialLog kTxPartial{false,
                            &ATTR_ID_EVDO_TXPARTIALRLP_SERVICEID,
                            &ATTR_ID_EVDO_TXPARTIALRLP_HDRLEN,
                            &ATTR_ID_EVDO_TXPARTIALRLP_NUMPKTS,
                            &ATTR_ID_EVDO_TXPARTIALRLP_PHYCHANRATE,
                            &ATTR_ID_EVDO_TXPARTIALRLP_CHANNEL,
                            &ATTR_ID_EVDO_TXPARTIALRLP_PKTLEN,
                            &ATTR_ID_EVDO_TXPARTIALRLP_TIMEREF,
                            &ATTR_ID_EVDO_TXPARTIALRLP_STREAMID,
                            &ATTR_ID_EVDO_TXPARTIALRLP_RLPSEQNO,
                            nullptr,
                            "Control",
                            "Traffic",
                            &TxRlpRateName};

void decode_partial(IOrbDataState* ds, COrbExpandedMessage& msg, const cdmadiag::Decoding& job, const PayloadReader& r,
                    const PartialLog& log) {
  Cursor c(r);
  const std::uint8_t head = c.u8();
  const std::uint8_t count = c.u8();
  if (!job.check(c)) return;
  const auto service = static_cast<std::uint8_t>(cdmadiag::bits(head, 0, 2));
  const auto hdr_len = static_cast<std::uint8_t>(cdmadiag::bits(head, 2, 6));
  const AttrWriter w(ds);
  w.Byte(*log.service, service);
  w.Byte(*log.hdr_len, hdr_len);
  w.Byte(*log.num_pkts, count);
  const bool details = msg.detailsWanted;
  std::string& out = msg.details;
  if (details) {
    appendf(out,
            "\nService Id: %u\nHeader length (length of actual header bytes logged for that sr_id): %u\nNumber of "
            "packets: %u",
            unsigned{service}, unsigned{hdr_len}, unsigned{count});
  }
  if (log.received && !job.require(r, kRxBytesPerPacket * count, kCorruptMessage)) return;

  for (std::uint32_t i = 0; i < count; ++i) {
    // A record is read only while whole: its size comes from its own fields, not
    // from the six bytes per packet that the length check assumes.
    const std::uint16_t word = c.u16le();
    const std::uint8_t time_ref = c.u8();
    if (!c.ok()) return (void)job.fail(kCorruptMessageLine);
    const auto rate = static_cast<std::uint8_t>(cdmadiag::bits(word, 0, 4));
    const auto channel = static_cast<std::uint8_t>(cdmadiag::bits(word, 4, 1));
    const auto length = static_cast<std::uint16_t>(cdmadiag::bits(word, 5, 11));
    const std::size_t logged = log.received ? std::min<std::size_t>(hdr_len, length) : hdr_len;
    Cursor data = c.record(logged);
    if (!data.ok()) return (void)job.fail(kCorruptMessageLine);
    // Fewer than three logged bytes leave the missing low bytes of the sequence word 0.
    std::uint32_t seq_word = 0;
    for (std::size_t k = 0; k < kSeqBytes; ++k) seq_word = seq_word << 8 | (k < logged ? data.u8() : 0u);
    const auto stream = static_cast<std::uint8_t>(cdmadiag::bits(seq_word, 22, 2));
    const auto seq = static_cast<std::uint32_t>(cdmadiag::bits(seq_word, 0, 22));
    const std::size_t payload_bytes = logged > kSeqBytes ? logged - kSeqBytes : 0;

    w.Byte(*log.rate, rate, log.received ? i : 0);
    w.Byte(*log.channel, channel);
    w.UShort(*log.pkt_len, length);
    w.Byte(*log.time_ref, time_ref);
    w.Byte(*log.stream, stream);
    w.ULong(*log.seq, seq);
    if (log.payload_bits != nullptr) w.Long(*log.payload_bits, static_cast<std::int32_t>(8 * payload_bytes), i);

    if (details) {
      appendf(out, "\nInformation for packet #%d", static_cast<int>(i + 1));
      out += "\n------------------------------------------";
      appendf(out, "\n\tPhysical channel rate: %u (%s)\n\tChannel: %u (%s)\n\tPacket length: %u\n\tTimeReference: %u",
              unsigned{rate}, log.rate_name(rate), unsigned{channel}, channel != 0 ? log.channel1 : log.channel0,
              unsigned{length}, unsigned{time_ref});
      if (log.received) {
        appendf(out, "\n\tStream ID: %u\n\tRLP Sequence number: 0x%06x", unsigned{stream}, seq);
      } else {
        appendf(out, "\n\tStream ID: %u\n\tRLP Sequence number: %u", unsigned{stream}, seq);
      }
      out += "\n\tData payload: ";
      for (std::size_t k = kSeqBytes; k < logged; ++k) appendf(out, "%02x ", unsigned{data.u8()});
    }
  }
}

// ---- enhanced multi-flow RLP ----

// Enhanced MRLP forward (0x128C) and reverse (0x128D) statistics, 116 bytes each
// (after a log header of their own when the bytes still carry one):
//  +off  type  name                      forward / reverse
//   +0   u8    version
//   +1   u8    link flow
//   +2   u8    route
//   +3   u8    flow protocol
//   +4   u8    route protocol
//   +5   u8    packet stream
//   +6   u16   segment sequence
//   +8   u8[8] reset time                DIAG time stamp
//  +16   u64 / u32  AT NAK bytes requested / retransmits not found
//  +20   - / u64    AN NAK bytes requested
//  +24   u64 / -    NAK windows the AT sent
//  +28   - / u64    NAK windows the AN sent
//  +32 ... +92      retransmitted, new and total bytes and frames, first and last data
//                   unit flags: u64 each, forward from +32, reverse from +36, 8 apart
//  +96   u32 / -    aborts
// +100   u32   resets
// +104   u32   AT reset requests
// +108   u32   AN reset acks
// +112   u32   AN reset requests
[[maybe_unused]] constexpr std::size_t kMrlpStatsSize = 116;

struct MrlpHead {
  unsigned version, flow, route, flow_protocol, route_protocol, packet_stream, seg_seq;
  double reset;  // s since 1970
};

// The fields up to the reset time, in their order.
MrlpHead read_mrlp_head(Cursor& c) {
  MrlpHead h{};
  h.version = c.u8();
  h.flow = c.u8();
  h.route = c.u8();
  h.flow_protocol = c.u8();
  h.route_protocol = c.u8();
  h.packet_stream = c.u8();
  h.seg_seq = c.u16le();
  h.reset = c.diag_time();
  return h;
}

// The data counters, in packet order.
struct MrlpData {
  std::uint64_t rexmit_bytes, rexmit_frames, new_bytes, new_frames, total_bytes, total_frames, first_du, last_du;
};

MrlpData read_mrlp_data(Cursor& c) {
  MrlpData d{};
  for (std::uint64_t* v : {&d.rexmit_bytes, &d.rexmit_frames, &d.new_bytes, &d.new_frames, &d.total_bytes,
                           &d.total_frames, &d.first_du, &d.last_du}) {
    *v = c.u64le();
  }
  return d;
}

struct MrlpResets {
  std::uint32_t resets, at_reset_reqs, an_reset_acks, an_reset_reqs;
};

MrlpResets read_mrlp_resets(Cursor& c) {
  MrlpResets z{};
  z.resets = c.u32le();
  z.at_reset_reqs = c.u32le();
  z.an_reset_acks = c.u32le();
  z.an_reset_reqs = c.u32le();
  return z;
}

// The reverse report shows its route as a character. A route given as an index
// (0 or 1) is shown as its letter, as the packet logs show it; any other byte that
// is not printable as '?', so that no control character (a NUL above all, which
// would end the text for a C reader) reaches the details.
char route_letter(unsigned route) {
  if (route <= 1) return static_cast<char>('A' + route);
  return route >= 0x20 && route < 0x7F ? static_cast<char>(route) : '?';
}

void append_data_lines(std::string& out, const char* dir, const MrlpData& d) {
  appendf(out,
          "\n%s total data: %llu bytes, %llu frames\n%s new data: %llu bytes, %llu frames\n%s retransmitted data: %llu "
          "bytes, %llu frames",
          dir, static_cast<unsigned long long>(d.total_bytes), static_cast<unsigned long long>(d.total_frames), dir,
          static_cast<unsigned long long>(d.new_bytes), static_cast<unsigned long long>(d.new_frames), dir,
          static_cast<unsigned long long>(d.rexmit_bytes), static_cast<unsigned long long>(d.rexmit_frames));
  appendf(out, "\nNumber of first Data Unit flag on: %llu\nNumber of last Data Unit flag on: %llu",
          static_cast<unsigned long long>(d.first_du), static_cast<unsigned long long>(d.last_du));
}

// kbit/s of bytes over a span of seconds that is known to be positive.
double mrlp_kbps(std::uint64_t bytes, double span) { return static_cast<double>(bytes) / span * 0.008; }

void write_mrlp_common(const AttrWriter& w, const MrlpHead& h, double reset, double now) {
  w.Byte(ATTR_ID_MRLP_RLPFlow, static_cast<std::uint8_t>(h.flow));
  w.Byte(ATTR_ID_MRLP_RLPRoute, static_cast<std::uint8_t>(h.route));
  w.Double(ATTR_ID_MRLP_ResetTime, reset);
  w.Double(ATTR_ID_MRLP_CurrentTime, now);
}

// Enhanced MRLP packet logs (0x128E received, 0x128F transmitted):
//  +off  type  name
//   +0   u16   bits 0-4 link flow; bits 11-12 sequence length code c (6 + 8c bits);
//              bit 13 route (0 A, 1 B); bit 14 stream (1 packet, 0 octet);
//              bit 15 sequencing (1 segment, 0 octet)
//   +2   u8    partial frame length
//   +3   u8    number of logged frames N
//   +4         N records: u16 length L, u8 time, L content bytes

}  // namespace

void E::DecodeRLPStatistics(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &E::DecodeRLPStatistics);
  const cdmadiag::evdo::PacketClock clock = cdmadiag::evdo::packet_clock(*this, ds, kRlpStatsCode);
  if (clock.payload_offset != 0) set_header_present();
  Cursor c(payload(), clock.payload_offset);
  [[maybe_unused]] const std::size_t start = c.offset();
  const RlpStats s = read_rlp_stats(c);
  if (!job.check(c)) return;
  assert(c.offset() == start + kRlpStatsSize);
  const double now = clock.seconds;
  const double reset = s.reset;

  if (const AttrWriter w(ds); w.on()) {
    w.UShort(ATTR_ID_EVDO_RLPSTATS_SERVICE_ID, s.service);
    w.Double(ATTR_ID_EVDO_RLPSTATS_RESET_TIME, reset);
    w.ULong(ATTR_ID_EVDO_RLPSTATS_NAKS_RX, s.naks_rx);
    w.ULong(ATTR_ID_EVDO_RLPSTATS_REXMITS_NOTFOUND, s.rexmits_not_found);
    w.Int64(ATTR_ID_EVDO_RLPSTATS_AN_NAKBYTES_REQ, static_cast<std::int64_t>(s.an_nak_bytes));
    w.Int64(ATTR_ID_EVDO_RLPSTATS_RX_DUP_BYTES, static_cast<std::int64_t>(s.rx_dup));
    w.Int64(ATTR_ID_EVDO_RLPSTATS_RX_REXMIT_BYTES, static_cast<std::int64_t>(s.rx_rexmit));
    w.Int64(ATTR_ID_EVDO_RLPSTATS_RX_NEWDATA_BYTES, static_cast<std::int64_t>(s.rx_new));
    w.Int64(ATTR_ID_EVDO_RLPSTATS_RX_TOTAL_BYTES, static_cast<std::int64_t>(s.rx_total));
    w.ULong(ATTR_ID_EVDO_RLPSTATS_NAKS_SENT, s.naks_sent);
    w.ULong(ATTR_ID_EVDO_RLPSTATS_AT_NAKBYTES_REQ, s.at_nak_bytes);
    w.Int64(ATTR_ID_EVDO_RLPSTATS_TX_REXMIT_BYTES, static_cast<std::int64_t>(s.tx_rexmit));
    w.Int64(ATTR_ID_EVDO_RLPSTATS_TX_NEWDATA_BYTES, static_cast<std::int64_t>(s.tx_new));
    w.Int64(ATTR_ID_EVDO_RLPSTATS_TX_TOTAL_BYTES, static_cast<std::int64_t>(s.tx_total));
    w.ULong(ATTR_ID_EVDO_RLPSTATS_NAK_TIMEOUTS, s.nak_timeouts);
    w.ULong(ATTR_ID_EVDO_RLPSTATS_RESET_COUNT, s.resets);
    w.ULong(ATTR_ID_EVDO_RLPSTATS_AT_RESETREQ_COUNT, s.at_reset_reqs);
    w.ULong(ATTR_ID_EVDO_RLPSTATS_AN_RESETACK_COUNT, s.an_reset_acks);
    w.ULong(ATTR_ID_EVDO_RLPSTATS_AN_RESETREQ_COUNT, s.an_reset_reqs);

    // The previous report of this service is read from the packets before this one:
    // this packet's own values would make every interval rate the cumulative one.
    const AttrReader rd(ds);
    const std::uint32_t bound = GetMessageNumber();
    const auto last_time =
        cdmadiag::held_number(rd.before(ATTR_ID_EVDO_RLP_LAST_MSG_TIME_FOR_SERVICEID, bound, s.service));
    const auto last_rx =
        cdmadiag::held_integer(rd.before(ATTR_ID_EVDO_RLP_LAST_RX_TOTAL_BYTES_FOR_SERVICEID, bound, s.service));
    const auto last_tx =
        cdmadiag::held_integer(rd.before(ATTR_ID_EVDO_RLP_LAST_TX_TOTAL_BYTES_FOR_SERVICEID, bound, s.service));
    const auto rx_total = static_cast<std::int64_t>(s.rx_total);
    const auto tx_total = static_cast<std::int64_t>(s.tx_total);

    // A report stamped at its own reset time spans no time: no rate rather than a
    // division by zero.
    Throughput tp{kbps(s.rx_total, std::fabs(now - reset)), kbps(s.tx_total, std::fabs(now - reset)), {}, {}};
    if (last_time && last_rx && last_tx && rx_total >= *last_rx && tx_total >= *last_tx && *last_time < now) {
      tp.rx_inst = kbps(static_cast<std::uint64_t>(rx_total - *last_rx), now - *last_time);
      tp.tx_inst = kbps(static_cast<std::uint64_t>(tx_total - *last_tx), now - *last_time);
    } else {
      tp.rx_inst = tp.rx_cum;
      tp.tx_inst = tp.tx_cum;
    }
    if (tp.rx_cum) w.Double(ATTR_ID_EVDO_RLP_Rx_Throughput_Cumulative, *tp.rx_cum);
    if (tp.tx_cum) w.Double(ATTR_ID_EVDO_RLP_Tx_Throughput_Cumulative, *tp.tx_cum);
    if (tp.rx_inst) w.Double(ATTR_ID_EVDO_RLP_Rx_Throughput_Instantaneous, *tp.rx_inst);
    if (tp.tx_inst) w.Double(ATTR_ID_EVDO_RLP_Tx_Throughput_Instantaneous, *tp.tx_inst);

    w.Double(ATTR_ID_EVDO_RLP_LAST_MSG_TIME_FOR_SERVICEID, now, s.service);
    w.Int64(ATTR_ID_EVDO_RLP_LAST_RX_TOTAL_BYTES_FOR_SERVICEID, rx_total, s.service);
    w.Int64(ATTR_ID_EVDO_RLP_LAST_TX_TOTAL_BYTES_FOR_SERVICEID, tx_total, s.service);
  }

  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  using ull = unsigned long long;
  appendf(out, "\nStatistics reset time: %s", abs_time_text(reset).c_str());
  appendf(out, "\nService ID: %u\nNegative Acknowledgement Frames Received: %u\nRetransmitted frames not found: %u",
          unsigned{s.service}, s.naks_rx, s.rexmits_not_found);
  appendf(out,
          "\nAN Nak Bytes Requested: %llu\nRx Duplicate Frames: %llu\nRx Retransmit Bytes: %llu\nRx New Data Bytes: "
          "%llu\nRx TOTAL BYTES: %llu",
          ull{s.an_nak_bytes}, ull{s.rx_dup}, ull{s.rx_rexmit}, ull{s.rx_new}, ull{s.rx_total});
  appendf(out,
          "\nNaks Sent: %u\nAT Nak Bytes Requested: %u\nTx Retransmit Bytes: %llu\nTx New Data Bytes: %llu\nTx TOTAL "
          "BYTES: %llu",
          s.naks_sent, s.at_nak_bytes, ull{s.tx_rexmit}, ull{s.tx_new}, ull{s.tx_total});
  appendf(out,
          "\nNak Timeouts or aborts: %u\nTotal resets(AN or AT): %u\nAT resets requested: %u\nAN Acks Received: "
          "%u\nAN resets requested: %u",
          s.nak_timeouts, s.resets, s.at_reset_reqs, s.an_reset_acks, s.an_reset_reqs);
}

void E::DecodeRxPartialRLP(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &E::DecodeRxPartialRLP);
  decode_partial(ds, msg, job, payload(), kRxPartial);
}

void E::DecodeTxPartialRLP(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &E::DecodeTxPartialRLP);
  decode_partial(ds, msg, job, payload(), kTxPartial);
}

void E::DecodeEnhMRLPFwdStats(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &E::DecodeEnhMRLPFwdStats);
  int offset = 0;
  const double now = CalculateCurTime(offset);
  Cursor c(payload(), static_cast<std::size_t>(offset));
  [[maybe_unused]] const std::size_t start = c.offset();
  const MrlpHead h = read_mrlp_head(c);
  const std::uint64_t at_nak_bytes = c.u64le();
  const std::uint64_t nak_windows = c.u64le();
  const MrlpData d = read_mrlp_data(c);
  const std::uint32_t aborts = c.u32le();
  const MrlpResets z = read_mrlp_resets(c);
  if (!job.check(c)) return;
  assert(c.offset() == start + kMrlpStatsSize);
  const double reset = h.reset;

  if (const AttrWriter w(ds); w.on()) {
    write_mrlp_common(w, h, reset, now);
    w.ULong(ATTR_ID_MRLP_ResetCount, z.resets);
    w.ULong(ATTR_ID_MRLP_ATResetRequestCount, z.at_reset_reqs);
    w.ULong(ATTR_ID_MRLP_ANResetAckCount, z.an_reset_acks);
    w.ULong(ATTR_ID_MRLP_ANResetRequestCount, z.an_reset_reqs);
    w.Int64(ATTR_ID_MRLP_ATNakBytesRequested, static_cast<std::int64_t>(at_nak_bytes));
    w.Int64(ATTR_ID_MRLP_RxReXmitBytes, static_cast<std::int64_t>(d.rexmit_bytes));
    w.Int64(ATTR_ID_MRLP_RxNewDataBytes, static_cast<std::int64_t>(d.new_bytes));
    w.Int64(ATTR_ID_MRLP_RxTotalBytes, static_cast<std::int64_t>(d.total_bytes));
    // The same figures under the Release 0 names, for charts that follow either.
    // The AT NAK byte count is left out there: its Release 0 attribute holds 32 bits.
    w.Double(ATTR_ID_EVDO_RLPSTATS_RESET_TIME, reset);
    w.ULong(ATTR_ID_EVDO_RLPSTATS_RESET_COUNT, z.resets);
    w.ULong(ATTR_ID_EVDO_RLPSTATS_AT_RESETREQ_COUNT, z.at_reset_reqs);
    w.ULong(ATTR_ID_EVDO_RLPSTATS_AN_RESETACK_COUNT, z.an_reset_acks);
    w.ULong(ATTR_ID_EVDO_RLPSTATS_AN_RESETREQ_COUNT, z.an_reset_reqs);
    w.Int64(ATTR_ID_EVDO_RLPSTATS_RX_REXMIT_BYTES, static_cast<std::int64_t>(d.rexmit_bytes));
    w.Int64(ATTR_ID_EVDO_RLPSTATS_RX_NEWDATA_BYTES, static_cast<std::int64_t>(d.new_bytes));
    w.Int64(ATTR_ID_EVDO_RLPSTATS_RX_TOTAL_BYTES, static_cast<std::int64_t>(d.total_bytes));
    if (now > reset) w.Double(ATTR_ID_EVDO_RLP_Rx_Throughput_Cumulative, mrlp_kbps(d.total_bytes, now - reset));
  }

  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  appendf(out,
          "Version: %u\nLink flow: %u, Route: %u, Flow protocol: %u, Route protocol: %u, Packet stream: %u, Seg. seq.: "
          "%u\nReset Time = %s",
          h.version, h.flow, h.route, h.flow_protocol, h.route_protocol, h.packet_stream, h.seg_seq,
          abs_time_text(reset).c_str());
  appendf(out, "\nNumber of bytes request by the AT NAKs: %llu\nNumber of NAK windows the AT sent out: %llu",
          static_cast<unsigned long long>(at_nak_bytes), static_cast<unsigned long long>(nak_windows));
  append_data_lines(out, "Rx", d);
  appendf(out,
          "\nAborts = %u\nResets = %u\nAT Reset Request Count = %u\nAN Reset Ack Count = %u\nAN Reset Request Count = "
          "%u",
          aborts, z.resets, z.at_reset_reqs, z.an_reset_acks, z.an_reset_reqs);
}

void E::DecodeEnhMRLPRevStats(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &E::DecodeEnhMRLPRevStats);
  int offset = 0;
  const double now = CalculateCurTime(offset);
  Cursor c(payload(), static_cast<std::size_t>(offset));
  [[maybe_unused]] const std::size_t start = c.offset();
  const MrlpHead h = read_mrlp_head(c);
  const std::uint32_t not_found = c.u32le();
  const std::uint64_t an_nak_bytes = c.u64le();
  const std::uint64_t nak_windows = c.u64le();
  const MrlpData d = read_mrlp_data(c);
  const MrlpResets z = read_mrlp_resets(c);
  if (!job.check(c)) return;
  assert(c.offset() == start + kMrlpStatsSize);
  const double reset = h.reset;

  if (const AttrWriter w(ds); w.on()) {
    write_mrlp_common(w, h, reset, now);
    w.ULong(ATTR_ID_MRLP_ATResetRequestCount, z.at_reset_reqs);
    w.ULong(ATTR_ID_MRLP_ANResetAckCount, z.an_reset_acks);
    w.ULong(ATTR_ID_MRLP_ANResetRequestCount, z.an_reset_reqs);
    w.Int64(ATTR_ID_MRLP_ANNakBytesRequested, static_cast<std::int64_t>(an_nak_bytes));
    w.Int64(ATTR_ID_MRLP_ReXmitsNotFound, not_found);
    w.Int64(ATTR_ID_MRLP_TxReXmitBytes, static_cast<std::int64_t>(d.rexmit_bytes));
    w.Int64(ATTR_ID_MRLP_TxNewDataBytes, static_cast<std::int64_t>(d.new_bytes));
    w.Int64(ATTR_ID_MRLP_TxTotalBytes, static_cast<std::int64_t>(d.total_bytes));
    w.Double(ATTR_ID_EVDO_RLPSTATS_RESET_TIME, reset);
    w.ULong(ATTR_ID_EVDO_RLPSTATS_AT_RESETREQ_COUNT, z.at_reset_reqs);
    w.ULong(ATTR_ID_EVDO_RLPSTATS_AN_RESETACK_COUNT, z.an_reset_acks);
    w.ULong(ATTR_ID_EVDO_RLPSTATS_AN_RESETREQ_COUNT, z.an_reset_reqs);
    w.Int64(ATTR_ID_EVDO_RLPSTATS_AN_NAKBYTES_REQ, static_cast<std::int64_t>(an_nak_bytes));
    w.ULong(ATTR_ID_EVDO_RLPSTATS_REXMITS_NOTFOUND, not_found);
    w.Int64(ATTR_ID_EVDO_RLPSTATS_TX_REXMIT_BYTES, static_cast<std::int64_t>(d.rexmit_bytes));
    w.Int64(ATTR_ID_EVDO_RLPSTATS_TX_NEWDATA_BYTES, static_cast<std::int64_t>(d.new_bytes));
    w.Int64(ATTR_ID_EVDO_RLPSTATS_TX_TOTAL_BYTES, static_cast<std::int64_t>(d.total_bytes));
    if (now > reset) w.Double(ATTR_ID_EVDO_RLP_Tx_Throughput_Cumulative, mrlp_kbps(d.total_bytes, now - reset));
  }

  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  appendf(out,
          "Version: %u\nLink flow: %u, Route: %c, Flow protocol: %u, Route protocol: %u, Packet stream: %u, Seg. seq.: "
          "%u\nReset Time = %s",
          h.version, h.flow, route_letter(h.route), h.flow_protocol, h.route_protocol, h.packet_stream, h.seg_seq,
          abs_time_text(reset).c_str());
  appendf(out,
          "\nNumber of retransmits not found: %u, Number of bytes request by the AN NAKs: %llu\nNumber of NAK windows "
          "the AN sent out: %llu",
          not_found, static_cast<unsigned long long>(an_nak_bytes), static_cast<unsigned long long>(nak_windows));
  append_data_lines(out, "Tx", d);
  appendf(out, "\nResets = %u\nAT Reset Request Count = %u\nAN Reset Ack Count = %u\nAN Reset Request Count = %u",
          z.resets, z.at_reset_reqs, z.an_reset_acks, z.an_reset_reqs);
}

void E::DecodeEnhMRLPRxTxPkts(IOrbDataState*, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &E::DecodeEnhMRLPRxTxPkts);
  Cursor c(payload());
  const std::uint16_t flags = c.u16le();
  const std::uint8_t partial_len = c.u8();
  const std::uint8_t count = c.u8();
  if (!job.check(c)) return;
  if (!msg.detailsWanted) return;

  const auto flow = static_cast<unsigned>(cdmadiag::bits(flags, 0, 5));
  const auto seq_len = static_cast<unsigned>(6 + 8 * cdmadiag::bits(flags, 11, 2));
  const char route = cdmadiag::bits(flags, 13, 1) != 0 ? 'B' : 'A';
  const char* stream = cdmadiag::bits(flags, 14, 1) != 0 ? "packet" : "octet";
  const char* sequencing = cdmadiag::bits(flags, 15, 1) != 0 ? "segment" : "octet";

  std::string& out = msg.details;
  appendf(out,
          "\nLink flow: %u, Route: %c, Seq. len.: %u, Stream: %s-based, Sequencing: %s-based, Partial frame len.: %u ",
          flow, route, seq_len, stream, sequencing, unsigned{partial_len});
  out += "\nLen\tTime\tContent";
  for (std::uint32_t i = 0; i < count; ++i) {
    // A frame is shown only whole; the guard keeps the failure of a cut one.
    const std::uint16_t len = c.u16le();
    const std::uint8_t time = c.u8();
    Cursor content = c.record(len);
    if (!job.check(c)) return;
    appendf(out, "\n%u\t%u\t", unsigned{len}, unsigned{time});
    for (std::size_t k = 0; k < len; ++k) appendf(out, "\n%02X ", unsigned{content.u8()});
  }
}
