// Rev A reverse link MAC: channel gains and powers, reverse-link metrics, RMAC
// subtype 3 T2P resource and packet information, RAB updates, the DRC/ARQ/DSC
// buffer, ARQ status, packet status and PCP statistics. Free decoders called inside
// the stage 2 guard: a short packet throws the row's title, " : " and the failure
// text, before the title or anything else is set (the packet status, which has no
// length rule of its own, keeps its title).
#include <array>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "evdo/evdo_common.h"
#include "evdo_revab/reva_labels.h"
#include "framework/attributes.h"
#include "framework/decoder_evdo.h"
#include "framework/failure_texts.h"
#include "framework/text.h"
#include "framework/value_names.h"

namespace {

using cdmadiag::appendf;
using cdmadiag::AttrWriter;
using cdmadiag::bits;
using cdmadiag::Cursor;
using cdmadiag::PayloadReader;
using cdmadiag::reva::packet_size_name;
using cdmadiag::reva::tx_mode_name;

const char* flag(bool b) { return b ? "true" : "false"; }
const char* yes_no(bool b) { return b ? "yes" : "no"; }

// 10 log10 of a linear value in 1/1024 units; 0 dB for a zero value.
double db_from_1024ths(std::uint32_t v) { return v == 0 ? 0.0 : 10.0 * std::log10(v / 1024.0); }

// 20 log10(a) - 20 log10(b) of two amplitudes; empty unless both are positive.
std::optional<double> ratio_db(double a, double b) {
  if (a <= 0.0 || b <= 0.0) return std::nullopt;
  return 20.0 * std::log10(a) - 20.0 * std::log10(b);
}

// Default stream formatting of a double (six significant digits).
void append_g(std::string& out, const char* label, double v) { appendf(out, "%s%g\n", label, v); }

constexpr std::uint8_t u8of(std::uint64_t v) { return static_cast<std::uint8_t>(v); }

// ---- RL gains (0x127d) ----
// Payload: version, n subframes (at most 8), n records of 29 bytes from byte 2.
//  +off  type  name                  unit
//   +0   u8    subframe number
//   +1   u16   flags: 12 throttle, 11 max power, 10 min power, 9-8 RPC, 7 PA enabled,
//              6 transmission mode, 5-4 subpacket, 3-0 packet size index
//   +3   u16   pilot gain HS0        linear
//   +5   u16   ACK gain HS0          linear
//   +7   u16   pilot gain HS1        linear
//   +9   u16   RRI gain HS1          linear
//  +11   u16   DSC gain HS1          linear
//  +13   u16   DRC gain HS1          linear
//  +15   u16   data gain HS1         linear
//  +17   u16   aux pilot gain HS1    linear
//  +19   s16   open-loop power       1/256 dB
//  +21   s16   total power           1/256 dB
//  +23   s16   pilot power           1/256 dB
//  +25   s16   closed-loop adjust    1/256 dB
//  +27   s16   PA headroom           1/4 dB
constexpr std::size_t kGainsMin = 31;
[[maybe_unused]] constexpr std::size_t kGainsRecords = 2;
constexpr std::size_t kGainsRecord = 29;
constexpr std::uint32_t kMaxSubframes = 8;
constexpr const char* kTooManySubframes = "No of subframes should not exceed 8.";
constexpr std::array<ValueName, 3> kRpcNames{{{0, "Hold"}, {1, "Up"}, {2, "Down"}}};

// Data gain as the receiver sees it: larger packets ride on more code channels.
double effective_data_gain(double data_gain, std::uint32_t packet_size) {
  if (packet_size <= 5) return data_gain;
  if (packet_size <= 9) return data_gain * std::sqrt(2.0);
  if (packet_size <= 11) return data_gain * std::sqrt(2.0) * std::sqrt(3.0);
  if (packet_size == 12) return data_gain * std::sqrt(3.0) / std::cos(0.392699075);
  return 0.0;
}

// One subframe's record, in the table's order, powers in dB.
struct GainsRecord {
  std::uint8_t subframe;
  std::uint16_t flags;
  std::uint16_t pilot0, ack0, pilot1, rri1, dsc1, drc1, data1, aux1;
  double open, total, pilot, adjust, headroom;
};

GainsRecord read_gains_record(Cursor& c) {
  GainsRecord g{};
  g.subframe = c.u8();
  g.flags = c.u16le();
  g.pilot0 = c.u16le();
  g.ack0 = c.u16le();
  g.pilot1 = c.u16le();
  g.rri1 = c.u16le();
  g.dsc1 = c.u16le();
  g.drc1 = c.u16le();
  g.data1 = c.u16le();
  g.aux1 = c.u16le();
  g.open = c.i16le() / 256.0;
  g.total = c.i16le() / 256.0;
  g.pilot = c.i16le() / 256.0;
  g.adjust = c.i16le() / 256.0;
  g.headroom = c.i16le() * 0.25;  // signed: a negative headroom is the PA out of room
  return g;
}

}  // namespace

void DecodeRevARLGains(IOrbDataState* ds, COrbExpandedMessage& msg, const std::uint8_t* buf, std::uint32_t len) {
  const auto job = cdmadiag::begin(msg, &DecodeRevARLGains);
  Cursor c(PayloadReader(buf, len));
  if (!job.require(c, kGainsMin)) return;
  const std::uint8_t version = c.u8();
  const std::uint8_t n = c.u8();
  if (n > kMaxSubframes) {
    job.fail(kTooManySubframes);
    return;
  }
  assert(c.offset() == kGainsRecords);
  if (!job.require(c, kGainsRecord * n)) return;

  const AttrWriter w(ds);
  w.Byte(ATTR_ID_RL_Version, version);
  w.Byte(ATTR_ID_RLGains_NumFrames, n);
  std::string* out = msg.detailsWanted ? &msg.details : nullptr;
  if (out) appendf(*out, "Version : %u\nNo of Frames : %u\n", version, n);

  double sum_open = 0, sum_total = 0, sum_pilot = 0, sum_adjust = 0;
  for (std::uint32_t i = 0; i < n; ++i) {
    const auto [subframe, flags, pilot0, ack0, pilot1, rri1, dsc1, drc1, data1, aux1, open, total, pilot, adjust,
                headroom] = read_gains_record(c);
    const bool throttle = bits(flags, 12, 1) != 0, max_power = bits(flags, 11, 1) != 0,
               min_power = bits(flags, 10, 1) != 0, pa = bits(flags, 7, 1) != 0;
    const auto rpc = u8of(bits(flags, 8, 2));
    const auto mode = u8of(bits(flags, 6, 1));
    const auto subpacket = u8of(bits(flags, 4, 2));
    const auto psize = u8of(bits(flags, 0, 4));
    const double data_eff = effective_data_gain(data1, psize);
    const std::array<std::optional<double>, 6> ratios{ratio_db(ack0, pilot0),     ratio_db(drc1, pilot1),
                                                      ratio_db(rri1, pilot1),     ratio_db(dsc1, pilot1),
                                                      ratio_db(data_eff, pilot1), ratio_db(aux1, data_eff)};
    const std::array<const std::uint32_t*, 6> ratio_ids{&ATTR_ID_RLGains_Ack2Pilot,  &ATTR_ID_RLGains_DRC2Pilot,
                                                        &ATTR_ID_RLGains_RRI2Pilot,  &ATTR_ID_RLGains_DSC2Pilot,
                                                        &ATTR_ID_RLGains_Data2Pilot, &ATTR_ID_RLGains_Aux2Data};
    sum_open += open;
    sum_total += total;
    sum_pilot += pilot;
    sum_adjust += adjust;

    w.UShort(ATTR_ID_RLGains_SubframeN, subframe, i);
    w.Byte(ATTR_ID_RLGains_TxThrottle, throttle, i);
    w.Byte(ATTR_ID_RLGains_TxMaxPower, max_power, i);
    w.Byte(ATTR_ID_RLGains_TxMinPower, min_power, i);
    w.Byte(ATTR_ID_RLGains_RPC, rpc, i);
    w.Byte(ATTR_ID_RLGains_PAEnabled, pa, i);
    if (psize != 0) w.Byte(ATTR_ID_RLGains_TransmissionMode, mode, i);
    w.Byte(ATTR_ID_RLGains_SubpacketNumber, subpacket, i);
    w.Byte(ATTR_ID_RLGains_PacketSize, psize, i);
    w.UShort(ATTR_ID_RLGains_PilotGainHalfSlot0, pilot0, i);
    w.UShort(ATTR_ID_RLGains_AckGainHalfSlot0, ack0, i);
    w.UShort(ATTR_ID_RLGains_PilotGainHalfSlot1, pilot1, i);
    w.UShort(ATTR_ID_RLGains_RRIGainHalfSlot1, rri1, i);
    w.UShort(ATTR_ID_RLGains_DSCGainHalfslot1, dsc1, i);
    w.UShort(ATTR_ID_RLGains_DRCGainHalfslot1, drc1, i);
    w.UShort(ATTR_ID_RLGains_DataGainHalfSlot1, data1, i);
    w.UShort(ATTR_ID_RLGains_AuxGainHalfSlot1, aux1, i);
    for (std::size_t k = 0; k < ratios.size(); ++k) {
      if (ratios[k]) w.Double(*ratio_ids[k], *ratios[k], i);
    }
    w.Double(ATTR_ID_RLGains_TxOpenLoop, open, i);
    w.Double(ATTR_ID_RLGains_TxTotal, total, i);
    w.Double(ATTR_ID_RLGains_TxPilot, pilot, i);
    w.Double(ATTR_ID_RLGains_TxAdjust, adjust, i);
    w.Double(ATTR_ID_RLGains_PaHeadroom, headroom, i);

    if (!out) continue;
    appendf(*out, "**Sub frame No** %u\nTxThrottle : %s\nTxMaxPower : %s\tTxMinPower : %s\n", subframe, flag(throttle),
            flag(max_power), flag(min_power));
    appendf(*out, "RPC : %s\tPA Enabled : %s\n", cdmadiag::name_or(kRpcNames, rpc, "n/a"), flag(pa));
    appendf(*out, "Transmission Mode : %s\tPacket Size %s\n", psize == 0 ? "n/a" : tx_mode_name(mode),
            packet_size_name(psize));
    if (psize == 0) {
      *out += "Subpacket Number : n/a\n";
    } else {
      appendf(*out, "Subpacket Number : %u\n", subpacket);
    }
    appendf(*out,
            "Pilot Gain HalfSlot0 : %u\nAck Gain HalfSlot0 : %u\nPilot Gain HalfSlot1 : %u\nRRI Gain HalfSlot1 : "
            "%u\nDSC Gain Halfslot1 : %u\nDRC Gain Halfslot1 : %u\nData Gain HalfSlot1 : %u\nAux Gain HalfSlot1 : "
            "%u\n",
            pilot0, ack0, pilot1, rri1, dsc1, drc1, data1, aux1);
    append_g(*out, "Tx OpenLoop(dB) : ", open);
    append_g(*out, "Tx Total(dB) : ", total);
    append_g(*out, "Tx Pilot(dB) : ", pilot);
    append_g(*out, "Tx Adjust(dB) : ", adjust);
    append_g(*out, "PaHeadroom (dB) : ", headroom);
    *out += "Ack/Pilot DRC/Pilot RRI/Pilot DSC/Pilot Data/Pilot Aux/Data\n";
    for (std::size_t k = 0; k < ratios.size(); ++k) {
      const char end = k + 1 < ratios.size() ? '\t' : '\n';
      if (ratios[k]) {
        appendf(*out, "%.2f%c", *ratios[k], end);
      } else {
        appendf(*out, "n/a%c", end);
      }
    }
  }

  double avg_open = 0, avg_total = 0, avg_pilot = 0, avg_adjust = 0;
  if (n > 0) {
    avg_open = sum_open / n;
    avg_total = sum_total / n;
    avg_pilot = sum_pilot / n;
    avg_adjust = sum_adjust / n;
    w.Double(ATTR_ID_RLGains_TxOpenLoopAvg, avg_open);
    w.Double(ATTR_ID_RLGains_TxTotalAvg, avg_total);
    w.Double(ATTR_ID_RLGains_TxPilotAvg, avg_pilot);
    w.Double(ATTR_ID_RLGains_TxAdjustAvg, avg_adjust);
  }
  if (out) {
    appendf(*out, "Avg Tx OpenLoop(dB) : %.2f\nTx Total(dB)  : %.2f\nTx Pilot(dB)  : %.2f\nTx Adjust(dB) : %.2f\n",
            avg_open, avg_total, avg_pilot, avg_adjust);
  }
}

namespace {

// ---- ARQ status (0x1285) ----
// Payload: version, n frames (at most 8), n records of 5 bytes from byte 2.
//  +off  type  name
//   +0   u8    subframe number
//   +1   u8    packet id
//   +2   u8    7-6 H-ARQ, 5 P-ARQ, 4-0 packet status
//   +3   u16   3-0 packet size index, 5-4 subpacket, 7-6 interlace, 8 transmission mode,
//              9 auxiliary pilot enabled
// H-ARQ: 0 idle (no feedback), 1 ACK, 2 NAK; P-ARQ: 0 ACK, 1 NAK.
constexpr std::size_t kArqMin = 7;
[[maybe_unused]] constexpr std::size_t kArqRecords = 2;
constexpr std::size_t kArqRecord = 5;
constexpr std::array<ValueName, 3> kHarqNames{{{0, "Idle"}, {1, "Ack"}, {2, "Nak"}}};
constexpr std::array<ValueName, 2> kParqNames{{{0, "Ack"}, {1, "Nak"}}};
constexpr std::array<ValueName, 5> kPacketStatusNames{
    {{0, "Idle"}, {1, "Cancel"}, {2, "Accptd"}, {3, "FW err"}, {4, "SW err"}}};

}  // namespace

void DecodeRevARLArqStatus(IOrbDataState* ds, COrbExpandedMessage& msg, const std::uint8_t* buf, std::uint32_t len) {
  const auto job = cdmadiag::begin(msg, &DecodeRevARLArqStatus);
  Cursor c(PayloadReader(buf, len));
  if (!job.require(c, kArqMin)) return;
  const std::uint8_t version = c.u8();
  const std::uint8_t n = c.u8();
  if (n > kMaxSubframes) {
    job.fail();
    return;
  }
  assert(c.offset() == kArqRecords);
  if (!job.require(c, kArqRecord * n)) return;

  const AttrWriter w(ds);
  w.Byte(ATTR_ID_RL_Version, version);
  std::string* out = msg.detailsWanted ? &msg.details : nullptr;
  if (out) {
    *out += "Frm\tPkt\tH-\tP-\tPkt\tAuxPi\tInter-\tSPn\tTx\tPkt\n";
    *out += "No.\tId\tARQ\tARQ\tStatus\tEnbld\tlace\t \tMode\tSize\n";
  }
  for (std::uint32_t i = 0; i < n; ++i) {
    const std::uint8_t subframe = c.u8();
    const std::uint8_t packet_id = c.u8();
    const std::uint8_t status = c.u8();
    const std::uint16_t info = c.u16le();
    const auto harq = u8of(bits(status, 6, 2)), parq = u8of(bits(status, 5, 1)), pstatus = u8of(bits(status, 0, 5));
    const auto psize = u8of(bits(info, 0, 4)), subpacket = u8of(bits(info, 4, 2)), interlace = u8of(bits(info, 6, 2)),
               mode = u8of(bits(info, 8, 1)), aux = u8of(bits(info, 9, 1));
    w.Byte(ATTR_ID_RLGains_SubframeN, subframe, i);
    w.Byte(ATTR_ID_RLT2P_PacketID, packet_id, i);
    w.Byte(ATTR_ID_ArqStatus_HARQ, harq, i);
    w.Byte(ATTR_ID_ArqStatus_PARQ, parq, i);
    w.Byte(ATTR_ID_ArqStatus_PacketStatus, pstatus, i);
    w.Byte(ATTR_ID_ArqStatus_AuxPilotEnabled, aux, i);
    w.Byte(ATTR_ID_ArqStatus_Interlace, interlace, i);
    w.Byte(ATTR_ID_RLGains_PacketSize, psize, i);
    if (psize != 0) w.Byte(ATTR_ID_RLGains_TransmissionMode, mode, i);
    w.Byte(ATTR_ID_RLGains_SubpacketNumber, subpacket, i);
    if (!out) continue;
    const std::string id = std::to_string(packet_id);
    const std::string sp = psize == 0 ? "n/a" : std::to_string(subpacket);
    appendf(*out, "%d\t%s\t%s\t%s\t%s\t%s\t%d\t%s\t%s\t%s\n", subframe, id.c_str(),
            cdmadiag::name_or(kHarqNames, harq, "n/a"), cdmadiag::name_or(kParqNames, parq, "n/a"),
            cdmadiag::name_or(kPacketStatusNames, pstatus, "n/a"), aux != 0 ? "Yes" : "No", interlace, sp.c_str(),
            psize == 0 ? "n/a" : tx_mode_name(mode), packet_size_name(psize));
  }
}

namespace {

// ---- RL packet status (0x1286), text only ----
// Payload: version, N packets, records of 13 bytes from byte 2 (the first 8 shown).
//  +off  type   name
//   +0   u8     packet id
//   +1   u16    data bytes
//   +3   u16    3-0 packet size index, 5-4 subpackets - 1, 7-6 interlace, 8 transmission
//               mode, 9 auxiliary pilot enabled, 10 P-ARQ NAK received
//   +5   4 u8   T2P of subframes 1-4    1/4 dB
//   +9   4 s8   RRI gain of subframes 1-4  1/4 dB
[[maybe_unused]] constexpr std::size_t kPktHeader = 2;
constexpr std::size_t kPktRecord = 13;
constexpr std::uint32_t kPktShown = 8;

// Payload bits shown for a packet-size index: index 0 and 1 both show the smallest
// size; an index past the list (13-15) shows 0 rather than reading beyond it.
std::uint32_t status_payload_bits(std::uint32_t p) { return p == 0 ? 128 : cdmadiag::reva::payload_bits(p); }

}  // namespace

void DecodeRevARLPktStatus(IOrbDataState*, COrbExpandedMessage& msg, const std::uint8_t* buf, std::uint32_t len) {
  const auto job = cdmadiag::begin(msg, &DecodeRevARLPktStatus);
  Cursor c(PayloadReader(buf, len));
  const std::uint8_t version = c.u8();
  const std::uint8_t count = c.u8();
  if (!job.check(c)) return;
  assert(c.offset() == kPktHeader);
  const std::uint32_t shown = std::min<std::uint32_t>(count, kPktShown);
  if (!job.require(c, kPktRecord * shown)) return;
  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  appendf(out, "Version: %d, Number of RL packets: %d\n", version, count);
  if (count == 0) return;
  out += "Pkt\tData\tPkt\tSub\tIntr\tTx\tAuxPi\tPARQ\tT2P\tT2P\tT2P\tT2P\tRRI\tRRI\tRRI\tRRI\n";
  out += "Id.\tBytes\tSize\tPkts\tlace\tMode\tEnbld\tNAK\tSF1\tSF2\tSF3\tSF4\tSF1\tSF2\tSF3\tSF4\n";
  out += "\t\t(bits)\t\t\t\t\tRx\t(dB)\t(dB)\t(dB)\t(dB)\t(dB)\t(dB)\t(dB)\t(dB)\n";
  for (std::uint32_t i = 0; i < shown; ++i) {
    const std::uint8_t id = c.u8();
    const std::uint16_t data_bytes = c.u16le();
    const std::uint16_t f = c.u16le();
    std::array<double, 4> t2p{}, rri{};  // dB
    for (double& v : t2p) v = c.u8() * 0.25;
    for (double& v : rri) v = c.i8() * 0.25;
    appendf(out, "%d\t%d\t%d\t%d\t%d\t%s\t%s\t%s\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f\n", id, data_bytes,
            status_payload_bits(u8of(bits(f, 0, 4))), static_cast<int>(bits(f, 4, 2)) + 1,
            static_cast<int>(bits(f, 6, 2)), tx_mode_name(u8of(bits(f, 8, 1))), flag(bits(f, 9, 1) != 0),
            flag(bits(f, 10, 1) != 0), t2p[0], t2p[1], t2p[2], t2p[3], rri[0], rri[1], rri[2], rri[3]);
  }
}

namespace {

// ---- PCP packet statistics (0x1289) ----
// Header:
//  +off  type  name
//   +0   u8    version
//   +1   u8    log record number
//   +2   u8    previous packet canceled   flag
//   +3   u8    packet overflowed          flag
//   +4   u8    format a packet            flag
//   +5   u16   maximum packet size        bytes
//   +7   u8    number of queues Q
// Queue q at 8 + 67 q: +0 type, +1 MAC flow id, +2 stream id, +3 substream id,
// +4 u16 pending size (bytes), +6 pending packets; 60 bytes not decoded.
constexpr std::size_t kPcpMin = 15;
[[maybe_unused]] constexpr std::size_t kPcpQueues = 8;
constexpr std::size_t kPcpQueueStride = 67;
constexpr std::size_t kPcpQueueRead = 7;
constexpr std::size_t kPcpQueueUndecoded = kPcpQueueStride - kPcpQueueRead;

}  // namespace

void DecodeRevAPCPPktStats(IOrbDataState* ds, COrbExpandedMessage& msg, const std::uint8_t* buf, std::uint32_t len) {
  const auto job = cdmadiag::begin(msg, &DecodeRevAPCPPktStats);
  Cursor c(PayloadReader(buf, len));
  if (!job.require(c, kPcpMin)) return;
  const std::uint8_t version = c.u8();
  const std::uint8_t record = c.u8();
  const std::uint8_t canceled = c.u8();
  const std::uint8_t overflowed = c.u8();
  const std::uint8_t format = c.u8();
  const std::uint16_t max_size = c.u16le();
  const std::uint8_t queues = c.u8();
  assert(c.offset() == kPcpQueues);
  // The last queue only needs the bytes that are read from it.
  if (queues > 0 && !job.require(c, kPcpQueueStride * (queues - 1u) + kPcpQueueRead)) return;

  const AttrWriter w(ds);
  w.Byte(ATTR_ID_RL_Version, version);
  w.Byte(ATTR_ID_RevAPCPPktStats_LogRecordNumber, record);
  w.Byte(ATTR_ID_RevAPCPPktStats_PreviousPacketCanceled, canceled);
  w.Byte(ATTR_ID_RevAPCPPktStats_PacketOverflowed, overflowed);
  w.Byte(ATTR_ID_RevAPCPPktStats_FormatAPacket, format);
  w.UShort(ATTR_ID_RevAPCPPktStats_MaxPacketSize, max_size);
  w.Byte(ATTR_ID_RevAPCPPktStats_NumQueues, queues);
  std::string* out = msg.detailsWanted ? &msg.details : nullptr;
  if (out) {
    appendf(*out,
            "Version : %u\nLog record number : %u\nPrevious packet canceled : %s\nPacket overflowed %s\nFormat a "
            "packet : %s\nMax packet size : %u\n",
            version, record, flag(canceled != 0), flag(overflowed != 0), flag(format != 0), max_size);
    *out += "Q    MAC    Stream Substream Pending Num\nType FlowID ID     ID\t      Size    Pkts\n";
  }
  for (std::uint32_t q = 0; q < queues; ++q) {
    const std::uint8_t type = c.u8();
    const std::uint8_t flow = c.u8();
    const std::uint8_t stream = c.u8();
    const std::uint8_t substream = c.u8();
    const std::uint16_t pending = c.u16le();
    const std::uint8_t packets = c.u8();
    if (q + 1 < queues) c.skip(kPcpQueueUndecoded);
    w.Byte(ATTR_ID_RevAPCPPktStats_QueueType, type, q);
    w.Byte(ATTR_ID_RLT2P_MacFlowID, flow, q);
    w.Byte(ATTR_ID_RevAPCPPktStats_StreamID, stream, q);
    w.Byte(ATTR_ID_RevAPCPPktStats_SubStreamID, substream, q);
    w.UShort(ATTR_ID_RevAPCPPktStats_PendingSize, pending, q);
    w.Byte(ATTR_ID_RevAPCPPktStats_NumPackets, packets, q);
    if (out) appendf(*out, "%u\t%u\t%u\t%u\t%u\t%u\n", type, flow, stream, substream, pending, packets);
  }
}

namespace {

// ---- RMAC subtype 3 T2P resource (0x127f) ----
// Header of 18 bytes:
//  +off  type  name                     unit
//   +0   u8    version
//   +1   u32   transmit T2P             linear, 1/1024
//   +5   u8    packet id
//   +6   u8    subframe count
//   +7   u8    packet size index
//   +8   u16   sum of allotted payload  bytes
//  +10   u8    normal HDR (no tuneaway, no RLSI)  flag
//  +11   u32   pilot strength           2^-20
//  +15   s16   FRAB                     2^-15
//  +17   u8    number of flows f
// Flow records of 29 bytes from byte 18:
//   +0   u16   flow allotment           bytes
//   +2   u32   T2P outflow              linear, 1/1024 (shown in dB)
//   +6   u32   bucket level             1/1024
//  +10   s8    QRAB
//  +11   u8    MAC flow id
//  +12   s32   T2P inflow delta
//  +16   u32   T2P inflow               linear, 1/1024 (shown in dB)
//  +20   u8    T2P hold time            subframes
//  +21   u32   bucket saturation level  linear, 1/1024 (shown in dB)
//  +25   u32   bucket factor            1/1024 (shown in KB)
[[maybe_unused]] constexpr std::size_t kT2pHeader = 18;
constexpr std::size_t kT2pFlow = 29;

}  // namespace

void DecodeRevARMAC3T2PResource(IOrbDataState* ds, COrbExpandedMessage& msg, const std::uint8_t* buf,
                                std::uint32_t len) {
  const auto job = cdmadiag::begin(msg, &DecodeRevARMAC3T2PResource);
  Cursor c(PayloadReader(buf, len));
  const std::uint8_t version = c.u8();
  const double t2p = db_from_1024ths(c.u32le());
  const std::uint8_t packet_id = c.u8();
  const std::uint8_t subframes = c.u8();
  const std::uint8_t psize = c.u8();
  const std::uint16_t sum_payload = c.u16le();
  const std::uint8_t normal = c.u8();
  const double pilot = c.u32le() * std::ldexp(1.0, -20);
  const std::int16_t frab_raw = c.i16le();
  const std::uint8_t flows = c.u8();
  if (!job.check(c)) return;
  assert(c.offset() == kT2pHeader);
  const double frab = frab_raw * std::ldexp(1.0, -15);
  if (!job.require(c, kT2pFlow * flows)) return;

  const AttrWriter w(ds);
  w.Byte(ATTR_ID_RL_Version, version);
  w.Double(ATTR_ID_RLT2P_TxT2P, t2p);
  w.Byte(ATTR_ID_RLT2P_PacketID, packet_id);
  w.Byte(ATTR_ID_RLT2P_SubframeCount, subframes);
  w.Byte(ATTR_ID_RLT2P_PacketSize, psize);
  w.UShort(ATTR_ID_RLT2P_SumPayload, sum_payload);
  w.Byte(ATTR_ID_RLT2P_NormalHDR, normal);
  w.Double(ATTR_ID_RLT2P_PilotStrength, pilot);
  w.Double(ATTR_ID_RLT2P_FRAB, frab);
  w.Byte(ATTR_ID_RLT2P_NumFlows, flows);
  std::string* out = msg.detailsWanted ? &msg.details : nullptr;
  if (out) {
    appendf(*out, "Version : %u\nT2P(dB) : %.2f\n", version, t2p);
    appendf(*out, "Packet id : %u\nSubframe count : %u\nPacket size : %s\nSum payload(bytes) : %u\n", packet_id,
            subframes, packet_size_name(psize), sum_payload);
    appendf(*out, "Normal HDR : %s\n", flag(normal != 0));
    appendf(*out, "Pilot Strength(dB)  %.2f\n, FRAB : %d (%.2f)\n", pilot, frab_raw, frab);
    appendf(*out, "Number of flows : %u\n", flows);
  }
  for (std::uint32_t i = 0; i < flows; ++i) {
    const std::uint16_t allotment = c.u16le();
    const double outflow = db_from_1024ths(c.u32le());
    const double bucket = c.u32le() / 1024.0;
    const std::int8_t qrab = c.i8();
    const std::uint8_t flow_id = c.u8();
    const std::int32_t inflow_delta = c.i32le();
    const double inflow = db_from_1024ths(c.u32le());
    const std::uint8_t hold = c.u8();
    const double saturation = db_from_1024ths(c.u32le());
    const double factor = c.u32le() / 1024.0;
    w.UShort(ATTR_ID_RLT2P_FlowAllotment, allotment, i);
    w.Double(ATTR_ID_RLT2P_T2POutflow, outflow, i);
    w.Double(ATTR_ID_RLT2P_BucketLevel, bucket, i);
    // Signed: -1 must not turn into 4294967295.
    w.Int(ATTR_ID_RLT2P_QRAB, qrab, i);
    w.Byte(ATTR_ID_RLT2P_MacFlowID, flow_id, i);
    w.ULong(ATTR_ID_RLT2P_T2PInflow_Delta, static_cast<std::uint32_t>(inflow_delta), i);
    w.Double(ATTR_ID_RLT2P_T2PInflow, inflow, i);
    w.Byte(ATTR_ID_RLT2P_T2PHoldTime, hold, i);
    w.Double(ATTR_ID_RLT2P_BucketSaturationLevel, saturation, i);
    w.Double(ATTR_ID_RLT2P_BucketFactor, factor, i);
    if (!out) continue;
    appendf(*out, "**Flow#** : %u\nFlow allotment(bytes) : %u\nT2P outflow(dB) : %.2f\nBucket level : %.2f\n", i + 1,
            allotment, outflow, bucket);
    appendf(*out, "QRAB : %d\nMAC flow id : %u\nT2P inflow delta : %d\nT2P inflow(dB) : %.2f\n", qrab, flow_id,
            inflow_delta, inflow);
    appendf(*out, "T2P hold time: %u\nBucket saturation level(dB) : %.2f\nBucket factor(KB) : %.2f\n", hold, saturation,
            factor);
  }
}

namespace {

// ---- RMAC subtype 3 packet information (0x1280) ----
// Header: version, subframe count, u16 candidate packet-size set (bit i = payload
// entry i), then a block at o (6 from version 1 when the length matches the longer
// header exactly, else 4):
//  +off  type  name                       unit
//   o    u8    3-0 packet size index, 4 transmission mode
//   o+1  u16   maximum Tx T2P             dB after >> 2
//   o+3  u16   round-down quantum         bytes
//   o+5  u8    number of flows f
// Flow records of 21 bytes from o + 6:
//   +0   u32   initial queue size         bytes
//   +4   u32   potential T2P outflow      1/1024
//   +8   u32   queue outflow              bytes
//  +12   u16   suggested flow allocation  bytes
//  +14   u16   actual flow allocation     bytes
//  +16   u8    MAC flow id
//  +17   u8    in the non-empty flow set
//  +18   u8    in the eligible flow set
//  +19   u16   reserved
constexpr std::size_t kPinfoMin = 10;
[[maybe_unused]] constexpr std::size_t kPinfoShortBlock = 4;
constexpr std::size_t kPinfoLongBlock = 6;
[[maybe_unused]] constexpr std::size_t kPinfoBlock = 6;
constexpr std::size_t kPinfoFlowCount = 5;  // in the block
constexpr std::size_t kPinfoFlow = 21;

}  // namespace

void DecodeRevARMAC3PacketInfo(IOrbDataState* ds, COrbExpandedMessage& msg, const std::uint8_t* buf,
                               std::uint32_t len) {
  const auto job = cdmadiag::begin(msg, &DecodeRevARMAC3PacketInfo);
  Cursor c(PayloadReader(buf, len));
  if (!job.require(c, kPinfoMin)) return;
  const std::uint8_t version = c.u8();
  const std::uint8_t subframes = c.u8();
  const std::uint16_t candidates = c.u16le();
  assert(c.offset() == kPinfoShortBlock);
  // The longer header is told by the length alone: the flow count of its block must
  // give the payload's exact length. A 10- or 11-byte packet does not hold that count:
  // it has the shorter header.
  if (version >= 1) {
    Cursor longer = c;
    longer.seek(kPinfoLongBlock + kPinfoFlowCount);
    const std::uint8_t long_flows = longer.u8();
    if (longer.ok() && longer.left() == kPinfoFlow * long_flows) c.seek(kPinfoLongBlock);
  }
  const std::uint8_t mode_size = c.u8();
  const auto psize = u8of(bits(mode_size, 0, 4)), mode = u8of(bits(mode_size, 4, 1));
  const double t2p_max = c.u16le() >> 2;
  const std::uint16_t quantum = c.u16le();
  const std::uint8_t flows = c.u8();
  assert(c.offset() == kPinfoShortBlock + kPinfoBlock || c.offset() == kPinfoLongBlock + kPinfoBlock);
  // Flows follow the block, wherever it ends.
  if (!job.require(c, kPinfoFlow * flows)) return;

  const AttrWriter w(ds);
  w.Byte(ATTR_ID_RL_Version, version);
  w.Byte(ATTR_ID_RLT2P_SubframeCount, subframes);
  w.Byte(ATTR_ID_PINFO_PacketSize, psize);
  w.Byte(ATTR_ID_PINFO_TxMode, mode);
  w.Double(ATTR_ID_PINFO_Tx_t2p_max, t2p_max);
  w.UShort(ATTR_ID_PINFO_RoundDownQuantum, quantum);
  w.Byte(ATTR_ID_RLT2P_NumFlows, flows);
  std::string* out = msg.detailsWanted ? &msg.details : nullptr;
  if (out) {
    appendf(*out, "Version : %u\nSub frame count : %u\nCandidate PS Set : [ ", version, subframes);
    for (std::size_t i = 0; i < cdmadiag::reva::kPayloadBits.size(); ++i) {
      if (bits(candidates, static_cast<unsigned>(i), 1) != 0) appendf(*out, "%u ", cdmadiag::reva::kPayloadBits[i]);
    }
    appendf(*out, "]\nTx Mode : %s\nPacket Size : %s\n", mode == 0 ? "HICAP" : "LOLAT", packet_size_name(psize));
    appendf(*out, "Maximum Tx T2P : %.2f dB\nSmallest unit of data allotted to a flow : %u\nNumber of Flows : %u\n",
            t2p_max, quantum, flows);
    *out += "Init\tPoT2P\tQ\tSugg\tActl\tMAC\tNon-empty\tEligible\n";
    *out += "Queue\tOut-\tOut-\tFlow\tFlow\tFlow\tFlow\t\tFlow\n";
    *out += "Size\tflow\tflow\tAlloc\tAlloc\tID\tSet\t\tSet\n";
  }
  for (std::uint32_t i = 0; i < flows; ++i) {
    Cursor rec = c.record(kPinfoFlow);  // its last two bytes reserved
    const std::uint32_t queue = rec.u32le();
    const double pot = rec.u32le() / 1024.0;
    const std::uint32_t q_out = rec.u32le();
    const std::uint16_t suggested = rec.u16le();
    const std::uint16_t actual = rec.u16le();
    const std::uint8_t flow_id = rec.u8();
    const std::uint8_t non_empty = rec.u8();
    const std::uint8_t eligible = rec.u8();
    w.ULong(ATTR_ID_PINFO_InitialQueueSize, queue, i);
    w.Double(ATTR_ID_PINFO_PotT2POutflow, pot, i);
    w.ULong(ATTR_ID_PINFO_Q_Outflow, q_out, i);
    w.UShort(ATTR_ID_PINFO_SuggestedFlowAllocation, suggested, i);
    w.UShort(ATTR_ID_PINFO_ActualFlowAllocation, actual, i);
    w.Byte(ATTR_ID_RLT2P_MacFlowID, flow_id, i);
    if (out) {
      appendf(*out, "%u\t%.2f\t%u\t%u\t%u\t%u\t%u\t\t%u\n", queue, pot, q_out, suggested, actual, flow_id, non_empty,
              eligible);
    }
  }
}

namespace {

// ---- RL metrics (0x127e) ----
//  +off  type  name
//   +0   u8    version
//   +1   u32   log sequence number        (packets logged since start)
//   +5   3 interlaces of 145 u32 each: for HiCap then LoLat, packet sizes 1-12, six
//              counters (ACKs in subpacket 0-3, P-ARQ NAKs, packets sent); then the
//              interlace's unexpected P-ARQ NAKs
constexpr std::size_t kMetricsInterlaces = 3;
constexpr std::size_t kMetricsModes = 2;
constexpr std::size_t kMetricsSizes = 12;
constexpr std::size_t kMetricsCounters = 6;
constexpr std::size_t kMetricsHeader = 5;
constexpr std::size_t kMetricsInterlace = (kMetricsModes * kMetricsSizes * kMetricsCounters + 1) * 4;
// All that is read; the shorter length the packet family once tested would leave
// the last two counters outside the payload.
constexpr std::size_t kMetricsSize = kMetricsHeader + kMetricsInterlaces * kMetricsInterlace;
static_assert(kMetricsSize == 1745);
constexpr std::size_t kNaks = 4;
constexpr std::size_t kSent = 5;
constexpr double kSubframeMs = 6.667;

using CounterIds = std::array<const std::uint32_t*, kMetricsCounters>;
#define CDMADIAG_PS(mode, n)                                                                                \
  CounterIds {                                                                                              \
    &ATTR_ID_RLMetrics_##mode##PS##n##Subpacket0Acks, &ATTR_ID_RLMetrics_##mode##PS##n##Subpacket1Acks,     \
        &ATTR_ID_RLMetrics_##mode##PS##n##Subpacket2Acks, &ATTR_ID_RLMetrics_##mode##PS##n##Subpacket3Acks, \
        &ATTR_ID_RLMetrics_##mode##PS##n##pArqNaks, &ATTR_ID_RLMetrics_##mode##PS##n##TotalPackets          \
  }
#define CDMADIAG_MODE(mode)                                                                                            \
  std::array<CounterIds, kMetricsSizes> {                                                                              \
    CDMADIAG_PS(mode, 1), CDMADIAG_PS(mode, 2), CDMADIAG_PS(mode, 3), CDMADIAG_PS(mode, 4), CDMADIAG_PS(mode, 5),      \
        CDMADIAG_PS(mode, 6), CDMADIAG_PS(mode, 7), CDMADIAG_PS(mode, 8), CDMADIAG_PS(mode, 9), CDMADIAG_PS(mode, 10), \
        CDMADIAG_PS(mode, 11), CDMADIAG_PS(mode, 12)                                                                   \
  }
const std::array<std::array<CounterIds, kMetricsSizes>, kMetricsModes> kCounterIds{CDMADIAG_MODE(HiCap),
                                                                                   CDMADIAG_MODE(LoLat)};
#undef CDMADIAG_MODE
#undef CDMADIAG_PS

// Per-mode sums; sum_* are the running sums carried from packet to packet.
struct ModeIds {
  const std::uint32_t *sum_pkts, *sum_nacks, *sum_sp, *acks_sp, *parq_nacks, *total_pkts;
};
const std::array<ModeIds, kMetricsModes> kModeIds{{
    {&ATTR_ID_RLMetrics_HiCap_SumPkts, &ATTR_ID_RLMetrics_HiCap_SumNacks, &ATTR_ID_RLMetrics_HiCap_SumSP,
     &ATTR_ID_RLMetrics_HiCap_AcksSP, &ATTR_ID_RLMetrics_HiCap_PArqNacks, &ATTR_ID_RLMetrics_HiCap_TotalPkts},
    {&ATTR_ID_RLMetrics_LoLat_SumPkts, &ATTR_ID_RLMetrics_LoLat_SumNacks, &ATTR_ID_RLMetrics_LoLat_SumSP,
     &ATTR_ID_RLMetrics_LoLat_AcksSP, &ATTR_ID_RLMetrics_LoLat_PArqNacks, &ATTR_ID_RLMetrics_LoLat_TotalPkts},
}};

// One interlace's counters, [mode][packet size][counter], then its unexpected NAKs.
struct MetricsInterlace {
  std::array<std::array<std::array<std::uint32_t, kMetricsCounters>, kMetricsSizes>, kMetricsModes> counters;
  std::uint32_t unexpected;
};

struct ModeSums {
  std::array<double, 4> acks{};  // per subpacket
  double naks = 0, sent = 0, subpackets = 0;
};

// label, then the value to so many decimals, or "n/a" when it cannot be computed.
void append_or_na(std::string& out, const char* label, int decimals, std::optional<double> v) {
  if (v) {
    appendf(out, "%s%.*f\n", label, decimals, *v);
  } else {
    appendf(out, "%sn/a\n", label);
  }
}

}  // namespace

void DecodeRevARLMetrics(IOrbDataState* ds, COrbExpandedMessage& msg, const std::uint8_t* buf, std::uint32_t len) {
  const auto job = cdmadiag::begin(msg, &DecodeRevARLMetrics);
  Cursor c(PayloadReader(buf, len));
  const std::uint8_t version = c.u8();
  const std::uint32_t seq = c.u32le();
  std::array<MetricsInterlace, kMetricsInterlaces> interlaces{};
  for (MetricsInterlace& il : interlaces) {
    for (auto& mode : il.counters) {
      for (auto& size : mode) size = c.u32les<kMetricsCounters>();
    }
    il.unexpected = c.u32le();
  }
  if (!job.check(c)) return;
  assert(c.offset() == kMetricsSize);

  double ack_bits = 0, time_ms = 0, naks = 0, packets = 0;
  std::array<ModeSums, kMetricsModes> modes{};
  auto counter = [&interlaces](std::size_t il, std::size_t m, std::size_t s, std::size_t k) {
    return interlaces[il].counters[m][s][k];
  };
  for (std::size_t il = 0; il < kMetricsInterlaces; ++il) {
    for (std::size_t m = 0; m < kMetricsModes; ++m) {
      for (std::size_t s = 0; s < kMetricsSizes; ++s) {
        double acks = 0, spent = 0;
        for (std::size_t sp = 0; sp < 4; ++sp) {
          const double a = counter(il, m, s, sp);
          acks += a;
          spent += static_cast<double>(sp + 1) * a;
          modes[m].acks[sp] += a;
        }
        const double nak = counter(il, m, s, kNaks), sent = counter(il, m, s, kSent);
        spent += 4.0 * nak;
        ack_bits += acks * cdmadiag::reva::kPayloadBits[s];
        time_ms += spent * kSubframeMs;
        naks += nak;
        packets += sent;
        modes[m].naks += nak;
        modes[m].sent += sent;
        modes[m].subpackets += spent;
      }
    }
  }

  const cdmadiag::AttrReader rd(ds);
  const auto held_pkts = cdmadiag::held_number(rd.latest(ATTR_ID_RLMetrics_TotalPkts));
  const auto held_naks = cdmadiag::held_number(rd.latest(ATTR_ID_RLMetrics_TotalNaks));
  const auto held_seq = cdmadiag::held_number(rd.latest(ATTR_ID_RLMetrics_SeqNum));
  const auto held_bits = cdmadiag::held_number(rd.latest(ATTR_ID_RLMetrics_TotalAckBits));
  std::optional<double> per_cum, per_inst, tput_tx, tput_all, tput_inst;
  if (packets > 0) per_cum = naks / packets * 100.0;
  if (held_pkts && held_naks && packets > *held_pkts) per_inst = (naks - *held_naks) / (packets - *held_pkts) * 100.0;
  if (time_ms > 0) tput_tx = ack_bits / time_ms;
  if (seq > 0) tput_all = ack_bits / (seq * 1000.0);
  if (held_seq && held_bits && seq != *held_seq) tput_inst = (ack_bits - *held_bits) / ((seq - *held_seq) * 1000.0);
  // The running sums go on from what earlier packets left.
  std::array<std::array<double, 3>, kMetricsModes> running{};
  for (std::size_t m = 0; m < kMetricsModes; ++m) {
    const ModeIds& id = kModeIds[m];
    const double add[3] = {modes[m].sent, modes[m].naks, modes[m].subpackets};
    const std::uint32_t* ids[3] = {id.sum_pkts, id.sum_nacks, id.sum_sp};
    for (std::size_t k = 0; k < 3; ++k) running[m][k] = cdmadiag::held_number(rd.latest(*ids[k])).value_or(0) + add[k];
  }

  if (const AttrWriter w(ds); w.on()) {
    w.Byte(ATTR_ID_RL_Version, version);
    for (std::size_t il = 0; il < kMetricsInterlaces; ++il) {
      for (std::size_t m = 0; m < kMetricsModes; ++m) {
        for (std::size_t s = 0; s < kMetricsSizes; ++s) {
          for (std::size_t k = 0; k < kMetricsCounters; ++k) {
            w.ULong(*kCounterIds[m][s][k], counter(il, m, s, k), static_cast<std::uint32_t>(il));
          }
        }
      }
    }
    for (std::size_t m = 0; m < kMetricsModes; ++m) {
      const ModeIds& id = kModeIds[m];
      w.Double(*id.sum_pkts, running[m][0]);
      w.Double(*id.sum_nacks, running[m][1]);
      w.Double(*id.sum_sp, running[m][2]);
      for (std::uint32_t sp = 0; sp < 4; ++sp) w.Double(*id.acks_sp, modes[m].acks[sp], sp);
      w.Double(*id.parq_nacks, modes[m].naks);
      w.Double(*id.total_pkts, modes[m].sent);
    }
    w.Double(ATTR_ID_RLMetrics_TotalPkts, packets);
    w.Double(ATTR_ID_RLMetrics_TotalNaks, naks);
    w.ULong(ATTR_ID_RLMetrics_SeqNum, seq);
    w.Double(ATTR_ID_RLMetrics_TotalAckBits, ack_bits);
    const std::pair<const std::uint32_t*, std::optional<double>> derived[] = {
        {&ATTR_ID_RLMetrics_PER_Cumulative, per_cum},
        {&ATTR_ID_RLMetrics_PER_Instantaneous, per_inst},
        {&ATTR_ID_RLMetrics_AverageRLTransmittedThroughput, tput_tx},
        {&ATTR_ID_RLMetrics_AverageRLOverallThroughput, tput_all},
        {&ATTR_ID_RLMetrics_InstantaneousRLThroughput, tput_inst}};
    for (const auto& [id, v] : derived) {
      if (v) w.Double(*id, *v);
    }
  }

  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  appendf(out, "Version : %u\nSequence No : %u\n", version, seq);
  for (std::size_t il = 0; il < kMetricsInterlaces; ++il) {
    appendf(out, "**Interlace No** %zu\n", il);
    out += "Tx\tPkt  SP0 Acks SP1 Acks SP2 Acks SP3 Acks P-ARQ Naks Total Pkts Sent\nMode\tSize\n";
    for (std::size_t m = 0; m < kMetricsModes; ++m) {
      for (std::size_t s = 0; s < kMetricsSizes; ++s) {
        appendf(out, "%s\t%u\t%u\t%u\t%u\t%u\t%u\t%u\n", tx_mode_name(static_cast<std::uint32_t>(m)),
                cdmadiag::reva::kPayloadBits[s], counter(il, m, s, 0), counter(il, m, s, 1), counter(il, m, s, 2),
                counter(il, m, s, 3), counter(il, m, s, kNaks), counter(il, m, s, kSent));
      }
    }
    appendf(out, "Unexpected PARQ naks : %u\n", interlaces[il].unexpected);
  }
  append_or_na(out, "PER Cumulative : ", 4, per_cum);
  append_or_na(out, "PER Instantaneous : ", 4, per_inst);
  append_or_na(out, "Average RL Transmitted Throughput(kbps) : ", 2, tput_tx);
  append_or_na(out, "Average RL Overall Throughput(kbps) : ", 2, tput_all);
  append_or_na(out, "RL Instantaneous Throughput(kbps) :  ", 2, tput_inst);
  for (std::size_t m = 0; m < kMetricsModes; ++m) {
    const ModeSums& s = modes[m];
    // Sums of u32 counters may pass 2^31: they wrap as the text's 32-bit integers would.
    auto i = [](double v) { return static_cast<int>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(v))); };
    appendf(out, "\n%s:\tAcks SP0: %d, Acks SP1: %d, Acks SP2: %d, Acks SP3: %d, P-ARQ Nacks: %d, Total Pkts: %d",
            tx_mode_name(static_cast<std::uint32_t>(m)), i(s.acks[0]), i(s.acks[1]), i(s.acks[2]), i(s.acks[3]),
            i(s.naks), i(s.sent));
  }
  out += "\n";
}

namespace {

// ---- RAB update information (0x1281) ----
// Payload: version, subframe count n (at most 8), n records of 30 bytes from byte 2:
//  +off  type    name                          unit
//   +0   u8      subframe number
//   +1   u8      serving ASP
//   +2   s16     FRAB                          2^-15
//   +4   u8      QRAB based on pilot strength  0 unloaded, 1 loaded
//   +5   u8      QRAB                          0 unloaded, 1 loaded
//   +6   6 x 4   per ASP: u8 pilot strength (-0.5 dB), s8 slot FRAB (2^-7),
//                u8 slot QRAB, u8 DRC lock
constexpr std::size_t kRabMin = 32;
[[maybe_unused]] constexpr std::size_t kRabRecords = 2;
constexpr std::size_t kRabRecord = 30;
constexpr std::size_t kAsps = 6;  // active-set pilots reported
constexpr std::size_t kRabAsp = 4;
static_assert(kRabRecord == 6 + kAsps * kRabAsp);
constexpr std::array<ValueName, 2> kLoadNames{{{0, "Unloaded"}, {1, "Loaded"}}};

// One attribute per subframe position 1..8, the ASP as index.
struct RabAspIds {
  const std::uint32_t *pilot, *frab, *qrab, *lock;
};
const std::array<RabAspIds, kMaxSubframes> kRabAspIds{{
#define CDMADIAG_SF(n)                                                                                         \
  {&ATTR_ID_RAB_PilotStrength_SF##n, &ATTR_ID_RAB_SlotFRAB_Per_ASP_SF##n, &ATTR_ID_RAB_SlotQRAB_Per_ASP_SF##n, \
   &ATTR_ID_RAB_DRC_Lock_PerASP_SF##n}
    CDMADIAG_SF(1),
    CDMADIAG_SF(2),
    CDMADIAG_SF(3),
    CDMADIAG_SF(4),
    CDMADIAG_SF(5),
    CDMADIAG_SF(6),
    CDMADIAG_SF(7),
    CDMADIAG_SF(8),
#undef CDMADIAG_SF
}};

}  // namespace

void DecodeRevARABUpdateInfo(IOrbDataState* ds, COrbExpandedMessage& msg, const std::uint8_t* buf, std::uint32_t len) {
  const auto job = cdmadiag::begin(msg, &DecodeRevARABUpdateInfo);
  Cursor c(PayloadReader(buf, len));
  if (!job.require(c, kRabMin)) return;
  const std::uint8_t version = c.u8();
  const std::uint8_t n = c.u8();
  if (n > kMaxSubframes) {
    job.fail();
    return;
  }
  assert(c.offset() == kRabRecords);
  if (!job.require(c, kRabRecord * n)) return;

  const AttrWriter w(ds);
  w.Byte(ATTR_ID_RL_Version, version);
  w.Byte(ATTR_ID_RLT2P_SubframeCount, n);
  std::string* out = msg.detailsWanted ? &msg.details : nullptr;
  if (out) appendf(*out, "Version : %u\nSub frame count : %u\n", version, n);
  for (std::uint32_t i = 0; i < n; ++i) {
    const std::uint8_t subframe = c.u8();
    const std::uint8_t serving = c.u8();
    const double frab = c.i16le() * std::ldexp(1.0, -15);
    const std::uint8_t qrab_ps = c.u8();
    const std::uint8_t qrab = c.u8();
    std::array<double, kAsps> pilot{}, slot_frab{};
    std::array<std::uint8_t, kAsps> slot_qrab{}, lock{};
    for (std::size_t a = 0; a < kAsps; ++a) {
      pilot[a] = -static_cast<int>(c.u8()) * 0.5;  // int first: 0 stays 0, not -0
      slot_frab[a] = c.i8() / 128.0;
      slot_qrab[a] = c.u8();
      lock[a] = c.u8();
    }
    w.Byte(ATTR_ID_RLGains_SubframeN, subframe, i);
    w.Byte(ATTR_ID_RAB_ServingASP, serving, i);
    w.Double(ATTR_ID_RAB_Frab, frab, i);
    w.Byte(ATTR_ID_RAB_QRAB_PilotStrength, qrab_ps, i);
    w.Byte(ATTR_ID_RAB_QRAB, qrab, i);
    const RabAspIds& ids = kRabAspIds[i];
    for (std::uint32_t a = 0; a < kAsps; ++a) {
      w.Double(*ids.pilot, pilot[a], a);
      w.Double(*ids.frab, slot_frab[a], a);
      w.Byte(*ids.qrab, slot_qrab[a], a);
      w.Byte(*ids.lock, lock[a], a);
    }
    if (!out) continue;
    appendf(*out, "**Sub frame # ** : %u\nServ ASP : %u\nPilot Strengths Per ASP : ", subframe, serving);
    for (std::size_t a = 0; a < kAsps; ++a) appendf(*out, "%g%c", pilot[a], a + 1 < kAsps ? '\t' : '\n');
    appendf(*out, "Frab : %g\nFrab Per ASP : ", frab);
    for (std::size_t a = 0; a < kAsps; ++a) appendf(*out, "%g%c", slot_frab[a], a + 1 < kAsps ? '\t' : '\n');
    *out += "QRAB Per ASP(0=Unloaded,1=Loaded) : ";
    for (std::size_t a = 0; a < kAsps; ++a) appendf(*out, "%u%c", slot_qrab[a], a + 1 < kAsps ? '\t' : '\n');
    *out += "DRC Lock Per ASP(0=Out of lock,1=In lock) : ";
    for (std::size_t a = 0; a < kAsps; ++a) appendf(*out, "%u%c", lock[a], a + 1 < kAsps ? '\t' : '\n');
    appendf(*out, "QRAB based on Pilot Strength : %u\nH QRAB : %s\n", qrab_ps,
            cdmadiag::name_or(kLoadNames, qrab, "n/a"));
  }
}

namespace {

// ---- DRC/ARQ/DSC buffer (0x1282) ----
// Payload: version, PN roll, then two rolls of 94 bytes from byte 2:
//  +off  type     name
//   +0   16 x 5   slots: u8 flags (0 forced ACK, 1 ACK enabled, 3-2 ACK/NACK and 5-4 MUP
//                 ACK/NACK: 0 none, 1 ACK, 2 NACK; 6 gain boost on DRC, 7 on DSC),
//                 u8 DRC value, u8 DSC value, u8 DRC cover, u8 best ASP (3-0 RL, 7-4 FL)
//  +80   u8       slot count
//  +81   6 x 2    per ASP: u8 DRC lock, u8 lock valid
//  +93   u8       DRC lock update slot
constexpr std::size_t kRolls = 2;
constexpr std::size_t kRollStart = 2;
constexpr std::size_t kRoll = 94;
constexpr std::size_t kSlots = 16;
[[maybe_unused]] constexpr std::size_t kBufferSize = kRollStart + kRolls * kRoll;
constexpr std::array<ValueName, 2> kAckNames{{{1, "ack"}, {2, "nack"}}};

struct RollIds {
  const std::uint32_t *forced, *ena, *ack, *drc, *mup, *dsc, *cover, *count, *lock, *valid, *update, *rl, *fl;
};
const std::array<RollIds, kRolls> kRollIds{{
#define CDMADIAG_ROLL(n)                                                            \
  {&ATTR_ID_ARQ_ForcedACK_PNRoll##n,         &ATTR_ID_ARQ_ACKEna_PNRoll##n,         \
   &ATTR_ID_ARQ_ACK_NACK_PNRoll##n,          &ATTR_ID_ARQ_DRCValue_PNRoll##n,       \
   &ATTR_ID_ARQ_MUPAck_Nack_PNRoll##n,       &ATTR_ID_ARQ_DSCValue_PNRoll##n,       \
   &ATTR_ID_ARQ_DRC_Cover_PNRoll##n,         &ATTR_ID_ARQ_SlotCnt_PNRoll##n,        \
   &ATTR_ID_ARQ_DRCLock_PNRoll##n,           &ATTR_ID_ARQ_IsValidDRCLock_PNRoll##n, \
   &ATTR_ID_ARQ_DRCLockUpdateSlot_PNRoll##n, &ATTR_ID_ARQ_BestASP_RL_PNRoll##n,     \
   &ATTR_ID_ARQ_BestASP_FL_PNRoll##n}
    CDMADIAG_ROLL(1),
    CDMADIAG_ROLL(2),
#undef CDMADIAG_ROLL
}};

struct BufferSlot {
  std::uint8_t flags, drc, dsc, cover, best_asp;
};
struct Roll {
  std::array<BufferSlot, kSlots> slots;
  std::uint8_t slot_count;
  std::array<std::uint8_t, kAsps> lock, valid;
  std::uint8_t lock_update;
};

Roll read_roll(Cursor& c) {
  [[maybe_unused]] const std::size_t start = c.offset();
  Roll roll{};
  for (BufferSlot& slot : roll.slots) {
    slot.flags = c.u8();
    slot.drc = c.u8();
    slot.dsc = c.u8();
    slot.cover = c.u8();
    slot.best_asp = c.u8();
  }
  roll.slot_count = c.u8();
  for (std::size_t a = 0; a < kAsps; ++a) {
    roll.lock[a] = c.u8();
    roll.valid[a] = c.u8();
  }
  roll.lock_update = c.u8();
  assert(!c.ok() || c.offset() == start + kRoll);
  return roll;
}

}  // namespace

void DecodeRevADRCARQDSCBuffer(IOrbDataState* ds, COrbExpandedMessage& msg, const std::uint8_t* buf,
                               std::uint32_t len) {
  const auto job = cdmadiag::begin(msg, &DecodeRevADRCARQDSCBuffer);
  Cursor c(PayloadReader(buf, len));
  const std::uint8_t version = c.u8();
  const std::uint8_t pn_roll = c.u8();
  assert(!c.ok() || c.offset() == kRollStart);
  std::array<Roll, kRolls> rolls{};
  for (Roll& roll : rolls) roll = read_roll(c);
  if (!job.check(c)) return;
  assert(c.offset() == kBufferSize);

  std::array<std::uint32_t, 16> drc_histogram{};
  unsigned served = 0, acks = 0, nacks = 0;
  for (const Roll& roll : rolls) {
    for (const BufferSlot& slot : roll.slots) {
      const std::uint8_t f = slot.flags;
      served += static_cast<unsigned>(bits(f, 1, 1));
      acks += bits(f, 2, 2) == 1 ? 1u : 0u;
      nacks += bits(f, 2, 2) == 2 ? 1u : 0u;
      if (slot.drc < drc_histogram.size()) ++drc_histogram[slot.drc];
    }
  }

  if (const AttrWriter w(ds); w.on()) {
    w.Byte(ATTR_ID_RL_Version, version);
    for (std::size_t k = 0; k < kRolls; ++k) {
      const Roll& roll = rolls[k];
      const RollIds& id = kRollIds[k];
      for (std::uint32_t s = 0; s < kSlots; ++s) {
        const BufferSlot& slot = roll.slots[s];
        const std::uint8_t f = slot.flags;
        w.Byte(*id.forced, u8of(bits(f, 0, 1)), s);
        w.Byte(*id.ena, u8of(bits(f, 1, 1)), s);
        w.Byte(*id.ack, u8of(bits(f, 2, 2)), s);
        w.Byte(*id.drc, slot.drc, s);
        w.Byte(*id.mup, u8of(bits(f, 4, 2)), s);
        w.Byte(*id.dsc, slot.dsc, s);
        w.Byte(*id.cover, slot.cover, s);
      }
      w.Byte(*id.count, roll.slot_count);
      for (std::uint32_t a = 0; a < kAsps; ++a) {
        w.Byte(*id.lock, roll.lock[a], a);
        w.Byte(*id.valid, roll.valid[a], a);
      }
      w.Byte(*id.update, roll.lock_update);
      for (std::uint32_t s = 0; s < kSlots; ++s) {
        const std::uint8_t best = roll.slots[s].best_asp;
        w.Byte(*id.rl, u8of(bits(best, 0, 4)), s);
        w.Byte(*id.fl, u8of(bits(best, 4, 4)), s);
      }
    }
    w.Double(ATTR_ID_EVDO_AT_SlotUsage, served * 100.0 / (kRolls * kSlots));
    if (acks + nacks > 0) {
      w.Double(ATTR_ID_EVDO_ACK_RATE, acks * 100.0 / (acks + nacks));
      w.Double(ATTR_ID_EVDO_NACK_RATE, nacks * 100.0 / (acks + nacks));
    }
    if (const auto drc = cdmadiag::evdo::elect_drc(drc_histogram))
      w.Long(ATTR_ID_EVDO_DRC, static_cast<std::int32_t>(*drc));
    for (std::uint32_t d = 0; d < drc_histogram.size(); ++d)
      w.ULong(ATTR_ID_EVDO_DRC_Distribution, drc_histogram[d], d);
  }

  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  appendf(out, "Version : %u\nPNRoll : %u\n", version, pn_roll);
  for (const Roll& roll : rolls) {
    out += "Slot\tForced\tACK\tACK\tDRC\tMUPAck DSC\tDRC\nNo\tACK\tEna\tNACK\tValue\tNack\tValue\tCover\n";
    for (std::size_t s = 0; s < kSlots; ++s) {
      const BufferSlot& slot = roll.slots[s];
      const std::uint8_t f = slot.flags;
      const std::string drc = std::to_string(slot.drc);
      appendf(out, "%d\t%s\t%s\t%s\t%s\t%s\t%d\t%d\n", static_cast<int>(s), yes_no(bits(f, 0, 1) != 0),
              yes_no(bits(f, 1, 1) != 0), cdmadiag::name_or(kAckNames, bits(f, 2, 2), "n/a"), drc.c_str(),
              cdmadiag::name_or(kAckNames, bits(f, 4, 2), "n/a"), slot.dsc, slot.cover);
    }
  }
  for (const Roll& roll : rolls) {
    appendf(out, "Slot count : %u\nASPIndex\tDRCLock\tValid\n", roll.slot_count);
    for (std::size_t a = 0; a < kAsps; ++a) {
      appendf(out, "%d\t%d\t%s\n", static_cast<int>(a), roll.lock[a], yes_no(roll.valid[a] != 0));
    }
    appendf(out, "DRC lock update slot : %u\nSlot\tRL_ASP\tFL_ASP\n", roll.lock_update);
    for (std::size_t s = 0; s < kSlots; ++s) {
      const std::uint8_t best = roll.slots[s].best_asp;
      appendf(out, "%d\t%5u\t\t%5u\n", static_cast<int>(s), static_cast<unsigned>(bits(best, 0, 4)),
              static_cast<unsigned>(bits(best, 4, 4)));
    }
    out += "Gain boost applied to DRC, DSC Channel slots :\nSlot\tDRC\tDSC\n";
    for (std::size_t s = 0; s < kSlots; ++s) {
      const std::uint8_t f = roll.slots[s].flags;
      appendf(out, "%d\t%s\t%s\n", static_cast<int>(s), yes_no(bits(f, 6, 1) != 0), yes_no(bits(f, 7, 1) != 0));
    }
  }
}
