// EV-DO packets with raw or diagnostic content: forward and reverse link packet
// snapshots (0x106A, 0x1074), debug hex dump (0x1065), high-resolution temporal
// analyzer (0x1073), general temporal analyzer (0x107D), enhanced sleep info (0x12A4).
#include <algorithm>
#include <array>
#include <cassert>
#include <cstdint>
#include <string>

#include "evdo/evdo_common.h"
#include "evdo/hex_line.h"
#include "framework/attributes.h"
#include "framework/decoder_evdo.h"
#include "framework/failure_texts.h"
#include "framework/text.h"
#include "framework/value_names.h"

namespace {

using cdmadiag::appendf;
using cdmadiag::AttrWriter;
using cdmadiag::Cursor;
using cdmadiag::name_or;
using cdmadiag::evdo::AppendHexLine;
using F = COrbDecodeMsgCDMA1xEVDOQualcommFrame;

// ---- Packet snapshot (forward and reverse) ----
//  +off  type  name        unit
//   +0   u8    PacketType
//   +1   u8    Length      bytes (shown; the data runs to the end of the packet)
//   +2   u8[]  Data
constexpr std::array<ValueName, 2> kPacketTypeNames{{{0, "Control"}, {1, "Traffic"}}};

// ---- Debug hex dump ----
//  +off  type  name    unit
//   +0   u16   Length  bytes (shown; the data runs to the end of the packet)
//   +2   u8[]  Data
// ---- High-resolution temporal analyzer ----
//  +off  type  name         unit
//   +0   u16   TAStart      chip x 2
//   +2   u8    Antenna
//   +3   u8    TAWinSize
//   +4   u8    NumSamples   N
//   +5   u16[] PeakEnergy   N samples
constexpr std::size_t kTaSampleSize = 2;

constexpr std::array<ValueName, 3> kAntennaNames{
    {{0, "Antenna 0"}, {1, "Antenna 1"}, {2, "Antenna1 and Antenna2 non-coherently combined"}}};

// ---- Enhanced sleep information ----
//  +off  type  name                     unit
//   +0   u8    Version
//   +1   u32   SleepCycleCount
//   +5   u16   AwakeTime                ms
//   +7   u16   SccStartToCcDecoder      half slots
//   +9   u16   CcDecoderToSleep         half slots
//  +11   s16   DeadTime                 half slots
//  +13   u8    SlotCount
//  +14   u8    CcRate
//  +15   u8    CcStatus
//  +16   u8    NextSearchState
//  +17   u16   PilotPN
//  +19   u16   PilotEnergy              1/512 linear
//  +21   u8    HandoffCount
//  +22   u8    OfsStatus
//  +23   u16   OfsChannel               bits 0-10 channel, 11-15 band
//  +25   u16   OfsPN
//  +27   u16   OfsPNEnergy              1/512 linear
//  +29   u8    SCI
//  +30   u32   CcMerCount
//  +34   u32   ReacqLossCount
//  +38   u16   CmacExpiryCount
//  +40   u32   IdleHandoffCount
//  +44   u32   OfsCount
//  +48   u16   OfsHandoffCount
//  +50   u8    ChannelHashCount
//  +51   u32   CcMerDenom
//  +55   u32   CurrentWarmupTime        us
//  +59   u8    ForcePreambleUsed
//  +60   u32   ForcePreambleCount
//  +64   u32   ForcePreambleFailedCount
//  +68   u32   TotalTimeOutOfService
//  +72   u32   EstimatedOosCcMer
[[maybe_unused]] constexpr std::size_t kSlpSize = 76;

constexpr double kMsPerHalfSlot = 0.8333;

// No fallback is defined for a CC status past 3; "n/a" as for the OFS status.
constexpr std::array<ValueName, 4> kCcStatusNames{
    {{0, "Good CRC"}, {1, "Missed CC preamble"}, {2, "Bad CRC"}, {3, "False CRC pass"}}};
constexpr std::array<ValueName, 3> kOfsStatusNames{{{0, "No off-frequency search"},
                                                    {1, "Off-frequency search but no off-frequency handoff"},
                                                    {2, "Off-frequency handoff"}}};

// "raw (x.xx dB)"; an energy of 0 has no logarithm and shows "raw (n/a)".
std::string energy_text(std::uint16_t raw) {
  if (const auto db = cdmadiag::evdo::db_from_512ths(raw)) return cdmadiag::formatf("%u (%.2f dB)", raw, *db);
  return cdmadiag::formatf("%u (n/a)", raw);
}

// Both snapshots share one layout; only their attributes differ.
void decode_packet_snapshot(Cursor c, IOrbDataState* ds, COrbExpandedMessage& msg, const cdmadiag::Decoding& job,
                            std::uint32_t type_id, std::uint32_t length_id) {
  const std::uint8_t type = c.u8();
  const std::uint8_t length = c.u8();
  if (!job.check(c)) return;
  const AttrWriter w(ds);
  w.Byte(type_id, type);
  w.Byte(length_id, length);
  if (!msg.detailsWanted) return;
  appendf(msg.details, "\nPacketType: %u (%s)\nLength: %u\n", unsigned{type},
          name_or(kPacketTypeNames, type, "unknown"), unsigned{length});
  msg.details += "\t\n";
  AppendHexLine(msg.details, c.bytes(c.left()).bytes());
}

struct SleepInfo {
  std::uint8_t version;
  std::uint32_t cycles;
  std::uint16_t awake;                   // ms
  std::uint16_t scc_to_cc, cc_to_sleep;  // half slots
  std::int16_t dead_time;                // half slots
  std::uint8_t slot_count, cc_rate, cc_status, next_search;
  std::uint16_t pilot_pn, pilot_energy;
  std::uint8_t handoffs, ofs_status;
  std::uint16_t ofs_channel, ofs_pn, ofs_pn_energy;
  std::uint8_t sci;
  std::uint32_t cc_mer, reacq_loss;
  std::uint16_t cmac_expiry;
  std::uint32_t idle_handoffs, ofs_count;
  std::uint16_t ofs_handoffs;
  std::uint8_t channel_hash;
  std::uint32_t cc_mer_denom, warmup;
  std::uint8_t force_used;
  std::uint32_t force_count, force_failed, out_of_service, oos_cc_mer;
};

// In the table's order.
SleepInfo read_sleep_info(Cursor& c) {
  SleepInfo s{};
  s.version = c.u8();
  s.cycles = c.u32le();
  s.awake = c.u16le();
  s.scc_to_cc = c.u16le();
  s.cc_to_sleep = c.u16le();
  s.dead_time = c.i16le();
  s.slot_count = c.u8();
  s.cc_rate = c.u8();
  s.cc_status = c.u8();
  s.next_search = c.u8();
  s.pilot_pn = c.u16le();
  s.pilot_energy = c.u16le();
  s.handoffs = c.u8();
  s.ofs_status = c.u8();
  s.ofs_channel = c.u16le();
  s.ofs_pn = c.u16le();
  s.ofs_pn_energy = c.u16le();
  s.sci = c.u8();
  s.cc_mer = c.u32le();
  s.reacq_loss = c.u32le();
  s.cmac_expiry = c.u16le();
  s.idle_handoffs = c.u32le();
  s.ofs_count = c.u32le();
  s.ofs_handoffs = c.u16le();
  s.channel_hash = c.u8();
  s.cc_mer_denom = c.u32le();
  s.warmup = c.u32le();
  s.force_used = c.u8();
  s.force_count = c.u32le();
  s.force_failed = c.u32le();
  s.out_of_service = c.u32le();
  s.oos_cc_mer = c.u32le();
  return s;
}

}  // namespace

void F::DecodeForwardLinkPacketSnapshot(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeForwardLinkPacketSnapshot);
  decode_packet_snapshot(Cursor(payload()), ds, msg, job, ATTR_ID_EVDO_FORLINKPKTSSHOT_PKTTYPE,
                         ATTR_ID_EVDO_FORLINKPKTSSHOT_LENGTH);
}

void F::DecodeRevLinkPacketSnapshot(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeRevLinkPacketSnapshot);
  decode_packet_snapshot(Cursor(payload()), ds, msg, job, ATTR_ID_EVDO_REVLINKPKTSSHOT_PKTTYPE,
                         ATTR_ID_EVDO_REVLINKPKTSSHOT_LENGTH);
}

void F::DecodeDebugHexDump(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeDebugHexDump);
  Cursor c(payload());
  const std::uint16_t length = c.u16le();
  if (!job.check(c)) return;
  AttrWriter(ds).UShort(ATTR_ID_EVDO_DEBUGHEXDUMP_LENGTH, length);
  if (!msg.detailsWanted) return;
  appendf(msg.details, "Length: %u\n", unsigned{length});
  msg.details += "\t\n";
  AppendHexLine(msg.details, c.bytes(c.left()).bytes());
}

void F::DecodeHighResolTempAnalyzer(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeHighResolTempAnalyzer);
  Cursor c(payload());
  const std::uint16_t ta_start = c.u16le();
  const std::uint8_t antenna = c.u8();
  const std::uint8_t win_size = c.u8();
  const std::uint8_t samples = c.u8();
  if (!job.check(c)) return;
  // Only the samples the packet holds; a larger count is reported after the header.
  const std::size_t whole = c.whole_records(kTaSampleSize, samples);

  if (const AttrWriter w(ds); w.on()) {
    for (std::size_t i = 0; i < whole; ++i) {
      const std::uint16_t peak = c.u16le();
      w.UShort(ATTR_ID_EVDO_HIGHRESTEMPORALANALYZER_PEAK_ENERGY, peak, static_cast<std::uint32_t>(i));
    }
    w.UShort(ATTR_ID_EVDO_HIGHRESTEMPORALANALYZER_TA_START, ta_start);
    w.Byte(ATTR_ID_EVDO_HIGHRESTEMPORALANALYZER_ANTENNA, antenna);
    w.Byte(ATTR_ID_EVDO_HIGHRESTEMPORALANALYZER_TA_WIN_SIZE, win_size);
    w.Byte(ATTR_ID_EVDO_HIGHRESTEMPORALANALYZER_NUM_SAMPLES, samples);
  }

  if (!msg.detailsWanted) return;
  appendf(msg.details, "TAStart(in chipx2): %u\n, Antenna: %u (%s)\n, TAWinSize: %u\nNumSamples: %u\n",
          unsigned{ta_start}, unsigned{antenna}, name_or(kAntennaNames, antenna, "Invalid"), unsigned{win_size},
          unsigned{samples});
  if (whole < samples) job.fail();
}

void F::DecodeGenTemporalAnalyzer(IOrbDataState*, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  Begin(msg, &F::DecodeGenTemporalAnalyzer);
}

void F::DecodeEnhSleepInfo(IOrbDataState*, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeEnhSleepInfo);
  if (!msg.detailsWanted) return;
  Cursor c(payload());
  const SleepInfo s = read_sleep_info(c);
  // Stage 3 has no guard around it: a short packet is reported, never thrown.
  if (!job.check(c)) return;
  assert(c.offset() == kSlpSize);

  // Unsigned fields print unsigned, so a counter past 2^31 does not turn negative.
  std::string& out = msg.details;
  appendf(out,
          "Version: %u\nSleep Cycle Count: %u\nAwake Time: %u (ms)\nSCC Start to CC Decoder: %u (%.3f ms)\nCC Decoder "
          "to Sleep: %u (%.3f ms)",
          unsigned{s.version}, s.cycles, unsigned{s.awake}, unsigned{s.scc_to_cc}, s.scc_to_cc * kMsPerHalfSlot,
          unsigned{s.cc_to_sleep}, s.cc_to_sleep * kMsPerHalfSlot);
  appendf(out, "\nDead Time: %d (%.3f ms)\nSlot Count: %u\nCC Rate: %u\nCC Status: %u (%s)\nNext Search State: %u",
          int{s.dead_time}, s.dead_time * kMsPerHalfSlot, unsigned{s.slot_count}, unsigned{s.cc_rate},
          unsigned{s.cc_status}, name_or(kCcStatusNames, s.cc_status, "n/a"), unsigned{s.next_search});
  appendf(out, "\nPilot PN: %u\nPilot Energy: %s\nHandoff Count: %u\nOFS Status: %u (%s)", unsigned{s.pilot_pn},
          energy_text(s.pilot_energy).c_str(), unsigned{s.handoffs}, unsigned{s.ofs_status},
          name_or(kOfsStatusNames, s.ofs_status, "n/a"));
  if (s.ofs_status > 2) return;
  if (s.ofs_status != 0) {
    appendf(out, "\nOfsChannel: Channel - %u, Band - %u\nOfsPN: %u\nOfsPNEnergy: %s",
            static_cast<unsigned>(cdmadiag::bits(s.ofs_channel, 0, 11)),
            static_cast<unsigned>(cdmadiag::bits(s.ofs_channel, 11, 5)), unsigned{s.ofs_pn},
            energy_text(s.ofs_pn_energy).c_str());
  }
  appendf(out,
          "\nSCI: %u\nCC MER Count: %u\nReacq Loss Count: %u\nCMAC Expiry Count: %u\nIdle Handoff Count: %u\nOFS "
          "Count: %u\nOFS Handoff  Count: %u\nChannel Hash Count: %u",
          unsigned{s.sci}, s.cc_mer, s.reacq_loss, unsigned{s.cmac_expiry}, s.idle_handoffs, s.ofs_count,
          unsigned{s.ofs_handoffs}, unsigned{s.channel_hash});
  appendf(out,
          "\nCC MER Denom: %u\nCurrent Warmup Time US: %u\nForce Preamble Used: %u\nForce Preamble Count: %u\nForce "
          "Preamble Failed Count: %u\nTotal Time Out Of Service: %u\nEstimated Out Of Service CC MER: %u",
          s.cc_mer_denom, s.warmup, unsigned{s.force_used}, s.force_count, s.force_failed, s.out_of_service,
          s.oos_cc_mer);
}
