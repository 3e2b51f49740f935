// EV-DO packets with raw or diagnostic content: forward and reverse link packet
// snapshots (0x106A, 0x1074), debug hex dump (0x1065), high-resolution temporal
// analyzer (0x1073), general temporal analyzer (0x107D), enhanced sleep info (0x12A4).
#include <algorithm>
#include <array>
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
using cdmadiag::name_or;
using cdmadiag::PayloadReader;
using cdmadiag::evdo::AppendHexLine;
using F = COrbDecodeMsgCDMA1xEVDOQualcommFrame;

// ---- Packet snapshot (forward and reverse) ----
//  +off  type  name        unit
//   +0   u8    PacketType
//   +1   u8    Length      bytes (shown; the data runs to the end of the packet)
//   +2   u8[]  Data
constexpr std::size_t kSnapType = 0;
constexpr std::size_t kSnapLength = 1;
constexpr std::size_t kSnapData = 2;

constexpr std::array<ValueName, 2> kPacketTypeNames{{{0, "Control"}, {1, "Traffic"}}};

// ---- Debug hex dump ----
//  +off  type  name    unit
//   +0   u16   Length  bytes (shown; the data runs to the end of the packet)
//   +2   u8[]  Data
constexpr std::size_t kDumpLength = 0;
constexpr std::size_t kDumpData = 2;

// ---- High-resolution temporal analyzer ----
//  +off  type  name         unit
//   +0   u16   TAStart      chip x 2
//   +2   u8    Antenna
//   +3   u8    TAWinSize
//   +4   u8    NumSamples   N
//   +5   u16[] PeakEnergy   N samples
constexpr std::size_t kTaStart = 0;
constexpr std::size_t kTaAntenna = 2;
constexpr std::size_t kTaWinSize = 3;
constexpr std::size_t kTaSamples = 4;
constexpr std::size_t kTaHeader = 5;

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
constexpr std::size_t kSlpVersion = 0;
constexpr std::size_t kSlpCycles = 1;
constexpr std::size_t kSlpAwake = 5;
constexpr std::size_t kSlpSccToCc = 7;
constexpr std::size_t kSlpCcToSleep = 9;
constexpr std::size_t kSlpDeadTime = 11;
constexpr std::size_t kSlpSlotCount = 13;
constexpr std::size_t kSlpCcRate = 14;
constexpr std::size_t kSlpCcStatus = 15;
constexpr std::size_t kSlpNextSearch = 16;
constexpr std::size_t kSlpPilotPn = 17;
constexpr std::size_t kSlpPilotEnergy = 19;
constexpr std::size_t kSlpHandoffs = 21;
constexpr std::size_t kSlpOfsStatus = 22;
constexpr std::size_t kSlpOfsChannel = 23;
constexpr std::size_t kSlpOfsPn = 25;
constexpr std::size_t kSlpOfsPnEnergy = 27;
constexpr std::size_t kSlpSci = 29;
constexpr std::size_t kSlpCcMer = 30;
constexpr std::size_t kSlpReacqLoss = 34;
constexpr std::size_t kSlpCmacExpiry = 38;
constexpr std::size_t kSlpIdleHandoffs = 40;
constexpr std::size_t kSlpOfsCount = 44;
constexpr std::size_t kSlpOfsHandoffs = 48;
constexpr std::size_t kSlpChannelHash = 50;
constexpr std::size_t kSlpCcMerDenom = 51;
constexpr std::size_t kSlpWarmup = 55;
constexpr std::size_t kSlpForceUsed = 59;
constexpr std::size_t kSlpForceCount = 60;
constexpr std::size_t kSlpForceFailed = 64;
constexpr std::size_t kSlpOutOfService = 68;
constexpr std::size_t kSlpOosCcMer = 72;
constexpr std::size_t kSlpSize = 76;

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
void decode_packet_snapshot(const PayloadReader& r, IOrbDataState* ds, COrbExpandedMessage& msg,
                            const cdmadiag::Decoding& job, std::uint32_t type_id, std::uint32_t length_id) {
  if (!job.require(r, kSnapData)) return;
  const std::uint8_t type = r.u8(kSnapType);
  const std::uint8_t length = r.u8(kSnapLength);
  const AttrWriter w(ds);
  w.Byte(type_id, type);
  w.Byte(length_id, length);
  if (!msg.detailsWanted) return;
  appendf(msg.details, "\nPacketType: %u (%s)\nLength: %u\n", type, name_or(kPacketTypeNames, type, "unknown"), length);
  msg.details += "\t\n";
  AppendHexLine(msg.details, r.tail(kSnapData).bytes());
}

}  // namespace

void F::DecodeForwardLinkPacketSnapshot(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeForwardLinkPacketSnapshot);
  decode_packet_snapshot(payload(), ds, msg, job, ATTR_ID_EVDO_FORLINKPKTSSHOT_PKTTYPE,
                         ATTR_ID_EVDO_FORLINKPKTSSHOT_LENGTH);
}

void F::DecodeRevLinkPacketSnapshot(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeRevLinkPacketSnapshot);
  decode_packet_snapshot(payload(), ds, msg, job, ATTR_ID_EVDO_REVLINKPKTSSHOT_PKTTYPE,
                         ATTR_ID_EVDO_REVLINKPKTSSHOT_LENGTH);
}

void F::DecodeDebugHexDump(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeDebugHexDump);
  const PayloadReader r = payload();
  if (!job.require(r, kDumpData)) return;
  const std::uint16_t length = r.u16le(kDumpLength);
  AttrWriter(ds).UShort(ATTR_ID_EVDO_DEBUGHEXDUMP_LENGTH, length);
  if (!msg.detailsWanted) return;
  appendf(msg.details, "Length: %u\n", length);
  msg.details += "\t\n";
  AppendHexLine(msg.details, r.tail(kDumpData).bytes());
}

void F::DecodeHighResolTempAnalyzer(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeHighResolTempAnalyzer);
  const PayloadReader r = payload();
  if (!job.require(r, kTaHeader)) return;
  const std::uint16_t ta_start = r.u16le(kTaStart);
  const std::uint8_t antenna = r.u8(kTaAntenna);
  const std::uint8_t win_size = r.u8(kTaWinSize);
  const std::uint8_t samples = r.u8(kTaSamples);
  // Only the samples the packet holds; a larger count is reported after the header.
  const std::size_t whole = std::min<std::size_t>(samples, r.tail(kTaHeader).size() / 2);

  if (const AttrWriter w(ds); w.on()) {
    for (std::size_t i = 0; i < whole; ++i) {
      w.UShort(ATTR_ID_EVDO_HIGHRESTEMPORALANALYZER_PEAK_ENERGY, r.u16le(kTaHeader + 2 * i),
               static_cast<std::uint32_t>(i));
    }
    w.UShort(ATTR_ID_EVDO_HIGHRESTEMPORALANALYZER_TA_START, ta_start);
    w.Byte(ATTR_ID_EVDO_HIGHRESTEMPORALANALYZER_ANTENNA, antenna);
    w.Byte(ATTR_ID_EVDO_HIGHRESTEMPORALANALYZER_TA_WIN_SIZE, win_size);
    w.Byte(ATTR_ID_EVDO_HIGHRESTEMPORALANALYZER_NUM_SAMPLES, samples);
  }

  if (!msg.detailsWanted) return;
  appendf(msg.details, "TAStart(in chipx2): %u\n, Antenna: %u (%s)\n, TAWinSize: %u\nNumSamples: %u\n", ta_start,
          antenna, name_or(kAntennaNames, antenna, "Invalid"), win_size, samples);
  if (whole < samples) msg.details += cdmadiag::kNotQualcommStandard;
}

void F::DecodeGenTemporalAnalyzer(IOrbDataState*, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  Begin(msg, &F::DecodeGenTemporalAnalyzer);
}

void F::DecodeEnhSleepInfo(IOrbDataState*, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeEnhSleepInfo);
  if (!msg.detailsWanted) return;
  const PayloadReader r = payload();
  // Stage 3 has no guard around it: a short packet is reported, never thrown.
  if (!job.require(r, kSlpSize)) return;
  const std::uint16_t scc_to_cc = r.u16le(kSlpSccToCc);
  const std::uint16_t cc_to_sleep = r.u16le(kSlpCcToSleep);
  const std::int16_t dead_time = r.i16le(kSlpDeadTime);
  const std::uint8_t cc_status = r.u8(kSlpCcStatus);
  const std::uint8_t ofs_status = r.u8(kSlpOfsStatus);
  const std::uint16_t ofs_channel = r.u16le(kSlpOfsChannel);

  // Unsigned fields print unsigned, so a counter past 2^31 does not turn negative.
  std::string& out = msg.details;
  appendf(out,
          "Version: %u\nSleep Cycle Count: %u\nAwake Time: %u (ms)\nSCC Start to CC Decoder: %u (%.3f ms)\nCC Decoder "
          "to Sleep: %u (%.3f ms)",
          r.u8(kSlpVersion), r.u32le(kSlpCycles), r.u16le(kSlpAwake), scc_to_cc, scc_to_cc * kMsPerHalfSlot,
          cc_to_sleep, cc_to_sleep * kMsPerHalfSlot);
  appendf(out, "\nDead Time: %d (%.3f ms)\nSlot Count: %u\nCC Rate: %u\nCC Status: %u (%s)\nNext Search State: %u",
          dead_time, dead_time * kMsPerHalfSlot, r.u8(kSlpSlotCount), r.u8(kSlpCcRate), cc_status,
          name_or(kCcStatusNames, cc_status, "n/a"), r.u8(kSlpNextSearch));
  appendf(out, "\nPilot PN: %u\nPilot Energy: %s\nHandoff Count: %u\nOFS Status: %u (%s)", r.u16le(kSlpPilotPn),
          energy_text(r.u16le(kSlpPilotEnergy)).c_str(), r.u8(kSlpHandoffs), ofs_status,
          name_or(kOfsStatusNames, ofs_status, "n/a"));
  if (ofs_status > 2) return;
  if (ofs_status != 0) {
    appendf(out, "\nOfsChannel: Channel - %u, Band - %u\nOfsPN: %u\nOfsPNEnergy: %s",
            static_cast<unsigned>(cdmadiag::bits(ofs_channel, 0, 11)),
            static_cast<unsigned>(cdmadiag::bits(ofs_channel, 11, 5)), r.u16le(kSlpOfsPn),
            energy_text(r.u16le(kSlpOfsPnEnergy)).c_str());
  }
  appendf(out,
          "\nSCI: %u\nCC MER Count: %u\nReacq Loss Count: %u\nCMAC Expiry Count: %u\nIdle Handoff Count: %u\nOFS "
          "Count: %u\nOFS Handoff  Count: %u\nChannel Hash Count: %u",
          r.u8(kSlpSci), r.u32le(kSlpCcMer), r.u32le(kSlpReacqLoss), r.u16le(kSlpCmacExpiry), r.u32le(kSlpIdleHandoffs),
          r.u32le(kSlpOfsCount), r.u16le(kSlpOfsHandoffs), r.u8(kSlpChannelHash));
  appendf(out,
          "\nCC MER Denom: %u\nCurrent Warmup Time US: %u\nForce Preamble Used: %u\nForce Preamble Count: %u\nForce "
          "Preamble Failed Count: %u\nTotal Time Out Of Service: %u\nEstimated Out Of Service CC MER: %u",
          r.u32le(kSlpCcMerDenom), r.u32le(kSlpWarmup), r.u8(kSlpForceUsed), r.u32le(kSlpForceCount),
          r.u32le(kSlpForceFailed), r.u32le(kSlpOutOfService), r.u32le(kSlpOosCcMer));
}
