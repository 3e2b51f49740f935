// MediaFLO log packets: receive strength, OIS and MLC parameters, stream bindings
// and PLP erasure statistics before and after the Reed-Solomon outer code.
// None of these packets carries its own length: each decoder requires its fixed
// part (the failure text otherwise) and reads a record list only while whole.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>

#include "framework/attributes.h"
#include "framework/decoder_1x.h"
#include "framework/text.h"
#include "framework/value_names.h"
#include "host/format_groups.h"

namespace {

using F = COrbDecodeMsgCDMAQualcommFrame;
using cdmadiag::appendf;
using cdmadiag::AttrWriter;
using cdmadiag::group_text;
using cdmadiag::PayloadReader;

constexpr const char* kInterruptTypeGroup = "MediaFLO Interrupt Type";
constexpr const char* kSystemGroup = "MediaFLO System";
constexpr const char* kTxModeGroup = "MediaFLO MLC Tx Mode";
constexpr const char* kOuterCodeGroup = "MediaFLO MLC Outer Code";
constexpr const char* kBindingGroup = "MediaFLO Binding";

// The names are ours to choose; the host may register its own under the same groups.
constexpr std::array<ValueName, 4> kInterruptTypes{{
    {0, "Superframe Boundary"},
    {1, "OIS Decoded"},
    {2, "MLC Decoded"},
    {3, "Control Channel Decoded"},
}};
constexpr std::array<ValueName, 2> kSystems{{{0, "Wide Area"}, {1, "Local Area"}}};
constexpr std::array<ValueName, 12> kTxModes{{
    {0, "QPSK 1/3"},
    {1, "QPSK 1/2"},
    {2, "16-QAM 1/3"},
    {3, "16-QAM 1/2"},
    {4, "16-QAM 2/3"},
    {5, "QPSK 1/5"},
    {6, "Layered ER4 1/3"},
    {7, "Layered ER4 1/2"},
    {8, "Layered ER4 2/3"},
    {9, "Layered ER6.25 1/3"},
    {10, "Layered ER6.25 1/2"},
    {11, "Layered ER6.25 2/3"},
}};
constexpr std::array<ValueName, 4> kOuterCodes{{
    {0, "None"},
    {1, "RS (16,14)"},
    {2, "RS (16,12)"},
    {3, "RS (16,8)"},
}};
constexpr std::array<ValueName, 3> kBindings{{{0, "Unbound"}, {1, "Static"}, {2, "Dynamic"}}};

const FormatGroupRegistration kInterruptTypeRegistration(kInterruptTypeGroup, kInterruptTypes);
const FormatGroupRegistration kSystemRegistration(kSystemGroup, kSystems);
const FormatGroupRegistration kTxModeRegistration(kTxModeGroup, kTxModes);
const FormatGroupRegistration kOuterCodeRegistration(kOuterCodeGroup, kOuterCodes);
const FormatGroupRegistration kBindingRegistration(kBindingGroup, kBindings);

// Erased blocks per hundred good ones (a ratio to the good count, as the handset's
// own tools report it); empty when no good block was counted, which would divide by zero.
std::optional<double> erasure_rate(std::uint32_t good, std::uint32_t erased) {
  if (good == 0) return std::nullopt;
  return static_cast<double>(erased) / static_cast<double>(good) * 100.0;
}

}  // namespace

// 0x11F5 (fixed part 8 bytes):
//  +off  type  name           unit
//   +0   u8    InterruptType  group "MediaFLO Interrupt Type"
//   +4   i16   Integer        dBm
//   +6   i8    Hundredths     0.01 dB
//   +7   u8    Sign           0 = negative
void F::DecodeMfloRssiDynParams(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  constexpr std::size_t kInterruptType = 0, kInteger = 4, kHundredths = 6, kSign = 7, kSize = 8;
  const auto job = Begin(msg, &F::DecodeMfloRssiDynParams);
  const PayloadReader r = payload();
  if (!job.require(r, kSize)) return;
  const unsigned interrupt = r.u8(kInterruptType);
  const int integer = r.i16le(kInteger);
  // A negative integer part already carries the sign; negating it again on a zero
  // sign byte would report a receive level of +86.75 dBm for -87 and 25.
  const double magnitude = std::abs(integer) + r.i8(kHundredths) * 0.01;
  const bool negative = r.u8(kSign) == 0 || integer < 0;
  const double rssi = negative && magnitude != 0 ? -magnitude : magnitude;

  AttrWriter(ds).Double(ATTR_ID_MFLO_Rssi, rssi);
  if (!msg.detailsWanted) return;
  appendf(msg.details, "Interrupt type: %s (%u), Rssi: %.2f dBm", group_text(kInterruptTypeGroup, interrupt).c_str(),
          interrupt, rssi);
}

// 0x11F8 (fixed part 9 bytes):
//  +off  type  name           unit
//   +0   u8    InterruptType  group "MediaFLO Interrupt Type"
//   +1   u32   FftLocalStart
//   +5   u8    WicId          wide-area infrastructure
//   +8   u8    LicId          local-area infrastructure
void F::DecodeMfloWideLocalDynParams(IOrbDataState*, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  constexpr std::size_t kInterruptType = 0, kLocalStart = 1, kWicId = 5, kLicId = 8, kSize = 9;
  const auto job = Begin(msg, &F::DecodeMfloWideLocalDynParams);
  const PayloadReader r = payload();
  if (!job.require(r, kSize) || !msg.detailsWanted) return;
  const unsigned interrupt = r.u8(kInterruptType);
  appendf(msg.details, "Interrupt Type: %s (%u), FLO FFT Local Start: %u, FLO FFT Wic Id: %u, FLO FFT Lic Id: %u",
          group_text(kInterruptTypeGroup, interrupt).c_str(), interrupt, r.u32le(kLocalStart), r.u8(kWicId),
          r.u8(kLicId));
}

// 0x11F9 (fixed part 22 bytes):
//  +off  type  name                unit
//   +0   u8    InterruptType       group "MediaFLO Interrupt Type"
//   +1   u32   MlcId
//   +5   u8    System              group "MediaFLO System"
//   +6   u32   BaseGoodPlps        PLPs
//  +10   u32   BaseErasurePlps     PLPs
//  +14   u32   EnhancedGoodPlps    PLPs
//  +18   u32   EnhancedErasurePlps PLPs
void F::DecodeMfloMlcPlpStatsPreRSParams(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  constexpr std::size_t kInterruptType = 0, kMlcId = 1, kSystem = 5, kBaseGood = 6, kBaseErased = 10,
                        kEnhancedGood = 14, kEnhancedErased = 18, kSize = 22;
  const auto job = Begin(msg, &F::DecodeMfloMlcPlpStatsPreRSParams);
  const PayloadReader r = payload();
  if (!job.require(r, kSize)) return;
  const unsigned interrupt = r.u8(kInterruptType);
  const std::uint32_t mlc = r.u32le(kMlcId);
  const std::uint8_t system = r.u8(kSystem);

  const AttrWriter w(ds);
  w.ULong(ATTR_ID_MFLO_MlcId, mlc);
  w.Byte(ATTR_ID_MFLO_System, system);
  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  appendf(out, "\nInterrupt Type: %s (%u), MLC Id.: %u, System: %s (%u)",
          group_text(kInterruptTypeGroup, interrupt).c_str(), interrupt, mlc, group_text(kSystemGroup, system).c_str(),
          system);
  appendf(out, "\nNum Good PLPs in Base Layer: %u, Num Erasure PLPs in Base Layer: %u", r.u32le(kBaseGood),
          r.u32le(kBaseErased));
  appendf(out, "\nNum Good PLPs in Enhanced Layer: %u, Num Erasure PLPs in Enhanced Layer: %u", r.u32le(kEnhancedGood),
          r.u32le(kEnhancedErased));
}

// 0x1200 (fixed part 4 bytes, then 7 or 2 by bit 0 of +3):
//  +off  type  name                 unit
//   +0   u8    InterruptType        group "MediaFLO Interrupt Type"
//   +1   u8    MlcId
//   +2   u8    bit 0 SystemParamsUpdated
//   +3   u8    bit 0 MlcScheduled
//  scheduled:
//   +4   u16   bits 0-8 StartOfdmOffset   OFDM symbols
//   +6   u8    bits 0-6 SlotInfo
//   +7   u32   bits 0-22 StreamLength
//  otherwise:
//   +4   u16   bits 0-9 NextSfOffset      superframes
void F::DecodeMfloMacInfoStaticParams(IOrbDataState*, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  constexpr std::size_t kInterruptType = 0, kMlcId = 1, kUpdated = 2, kScheduled = 3, kHeaderSize = 4;
  constexpr std::size_t kStartOffset = 4, kSlotInfo = 6, kStreamLength = 7, kScheduledSize = 11;
  constexpr std::size_t kNextSfOffset = 4, kUnscheduledSize = 6;
  const auto job = Begin(msg, &F::DecodeMfloMacInfoStaticParams);
  const PayloadReader r = payload();
  if (!job.require(r, kHeaderSize)) return;
  const bool scheduled = cdmadiag::bits(r.u8(kScheduled), 0, 1) != 0;
  if (!job.require(r, scheduled ? kScheduledSize : kUnscheduledSize) || !msg.detailsWanted) return;

  std::string& out = msg.details;
  const unsigned interrupt = r.u8(kInterruptType);
  appendf(out, "Interrupt Type: %s (%u), MLC Id.: %u, System Params Updated Flag: %u",
          group_text(kInterruptTypeGroup, interrupt).c_str(), interrupt, r.u8(kMlcId),
          static_cast<unsigned>(cdmadiag::bits(r.u8(kUpdated), 0, 1)));
  if (scheduled) {
    appendf(out, "\nStart OFDM Offset: %u, Slot Info.: %u, Stream Length: %u",
            static_cast<unsigned>(cdmadiag::bits(r.u16le(kStartOffset), 0, 9)),
            static_cast<unsigned>(cdmadiag::bits(r.u8(kSlotInfo), 0, 7)),
            static_cast<unsigned>(cdmadiag::bits(r.u32le(kStreamLength), 0, 23)));
  } else {
    appendf(out, "\nNext SF Offset: %u", static_cast<unsigned>(cdmadiag::bits(r.u16le(kNextSfOffset), 0, 10)));
  }
}

// 0x1211 (fixed part 13 bytes):
//  +off  type  name              unit
//   +0   u32   SuperFrame
//   +4   u32   TotalGoodPlps     PLPs
//   +8   u32   TotalErasurePlps  PLPs
//  +12   u8    bit 0 OisType     group "MediaFLO System"
void F::DecodeMfloOisPlpStatsDynParams(IOrbDataState*, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  constexpr std::size_t kSuperFrame = 0, kGood = 4, kErased = 8, kOisType = 12, kSize = 13;
  const auto job = Begin(msg, &F::DecodeMfloOisPlpStatsDynParams);
  const PayloadReader r = payload();
  if (!job.require(r, kSize) || !msg.detailsWanted) return;
  const auto ois = static_cast<unsigned>(cdmadiag::bits(r.u8(kOisType), 0, 1));
  appendf(msg.details, "Super Frame Number: %u, Total Num Good PLPs: %u, Total Num Erasure PLPs: %u, OIS Type: %s",
          r.u32le(kSuperFrame), r.u32le(kGood), r.u32le(kErased), group_text(kSystemGroup, ois).c_str());
}

// 0x1212 (fixed part 70 bytes, then min(NumMlcs, 167) records of 8 bytes, read while whole):
//  +off  type      name              unit
//   +0   u8        AisSpecVersion
//   +1   u8        bit 0 OisType     group "MediaFLO System"
//   +4   u32       SuperFrame
//   +8   u16       NetworkId
//  +10   u16       InfrastructureId
//  +12   u8 x3     LeapSec, LocalTime, DaylightTime
//  +15   u8 x3     ProtocolVersion, MinProtocolVersion, MinMonitorCycleIndex
//  +18   u16       DataSymbols       OFDM symbols
//  +20   u8        PositionPilotSymbols
//  +21   u8 x3     DataMacHeaderLength, CtrlMacHeaderLength, StreamMacHeaderLength  bytes
//  +24   u8        CtrlProtocolHeaderLength  bytes
//  +25   u8        CtrlMode          group "MediaFLO MLC Tx Mode"
//  +26   u8        CtrlOuterCode     group "MediaFLO MLC Outer Code"
//  +27   u8        CtrlAlloc
//  +28   u16       CtrlLocation
//  +30   u8 x2     CtrlSlotInfo, CtrlCapsuleId
//  +32   u8        CtrlSeqPairs      shown up to 8
//  +36   u16 x2 x8 Bin0, Bin1 of each control sequence pair
//  +68   u8        StartMlc
//  +69   u8        NumMlcs
//  +70   record:   +0 u8 Present; absent: +1 u8 NextSfOffset;
//                  present: +1 u16 StartOffset, +3 u8 SlotInfo, +4 u32 StreamLength
void F::DecodeMfloOisInfoStaticParams(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  constexpr std::size_t kAisVersion = 0, kOisType = 1, kSuperFrame = 4, kNetworkId = 8, kInfrastructureId = 10,
                        kLeapSec = 12, kLocalTime = 13, kDaylight = 14, kProtocol = 15, kMinProtocol = 16,
                        kMinMonitorCycle = 17, kDataSymbols = 18, kPositionPilots = 20, kDataMacHeader = 21,
                        kCtrlMacHeader = 22, kStreamMacHeader = 23, kCtrlProtocolHeader = 24, kCtrlMode = 25,
                        kCtrlOuterCode = 26, kCtrlAlloc = 27, kCtrlLocation = 28, kCtrlSlotInfo = 30,
                        kCtrlCapsuleId = 31, kPairCount = 32, kPairs = 36, kPairSize = 4, kMaxPairs = 8, kStartMlc = 68,
                        kMlcCount = 69, kSize = 70, kRecordSize = 8, kMaxRecords = 167;
  const auto job = Begin(msg, &F::DecodeMfloOisInfoStaticParams);
  const PayloadReader r = payload();
  if (!job.require(r, kSize)) return;
  const auto ois = static_cast<unsigned>(cdmadiag::bits(r.u8(kOisType), 0, 1));
  const std::uint8_t mode = r.u8(kCtrlMode);
  const std::uint8_t outer = r.u8(kCtrlOuterCode);

  const AttrWriter w(ds);
  w.Long(ATTR_ID_MFLO_System, static_cast<std::int32_t>(ois));
  w.Byte(ATTR_ID_MFLO_MlcTxMode, mode);
  w.Byte(ATTR_ID_MFLO_MlcTxOuterCode, outer);
  if (!msg.detailsWanted) return;

  std::string& out = msg.details;
  appendf(out, "\nAIS Spec. Version: %u, OIS Type: %s", r.u8(kAisVersion), group_text(kSystemGroup, ois).c_str());
  appendf(out, "\nSuper Frame Number: %u, Network Id: %u, Infrastructure Id: %u", r.u32le(kSuperFrame),
          r.u16le(kNetworkId), r.u16le(kInfrastructureId));
  appendf(out, "\nLeap Sec: %u, Local Time: %u, Daylight Time: %u", r.u8(kLeapSec), r.u8(kLocalTime), r.u8(kDaylight));
  appendf(out, "\nProtocol Version: %u, Minimum Protocol Version: %u, Minimum Monitor Cycle Index: %u", r.u8(kProtocol),
          r.u8(kMinProtocol), r.u8(kMinMonitorCycle));
  appendf(out, "\nNumber Data Symbols: %u, Number Position Pilot Symbols: %u", r.u16le(kDataSymbols),
          r.u8(kPositionPilots));
  appendf(out, "\nData MAC Header Length: %u, Ctrl MAC Header Length: %u, Stream MAC Header Length: %u",
          r.u8(kDataMacHeader), r.u8(kCtrlMacHeader), r.u8(kStreamMacHeader));
  appendf(out, "\nCtrl Chan Protocol Header Length: %u, Ctrl Chan Mode: %s (%u), Ctrl Chan Outer Code: %s (%u),",
          r.u8(kCtrlProtocolHeader), group_text(kTxModeGroup, mode).c_str(), mode,
          group_text(kOuterCodeGroup, outer).c_str(), outer);
  appendf(out, "\nCtrl Chan Alloc: %u, Ctrl Chan Loc: %u, Ctrl Chan Slot Info: %u, Ctrl Chan Capsule Id: %u",
          r.u8(kCtrlAlloc), r.u16le(kCtrlLocation), r.u8(kCtrlSlotInfo), r.u8(kCtrlCapsuleId));
  const std::uint8_t pairs = r.u8(kPairCount);
  appendf(out, "\nNum Ctrl Seq Pairs: %u", pairs);
  out += "\nCtrl\tCtrl\tCtrl\t\nSeq\tSeq\tSeq\t\nIdx\tBin 0\tBin 1\t";
  for (std::size_t i = 0; i < std::min<std::size_t>(pairs, kMaxPairs); ++i) {
    const std::size_t at = kPairs + i * kPairSize;
    appendf(out, "\n%d\t%u\t%u", static_cast<int>(i), r.u16le(at), r.u16le(at + 2));
  }
  const std::uint8_t mlcs = r.u8(kMlcCount);
  appendf(out, "\nStart MLC: %u, Num MLCs: %u", r.u8(kStartMlc), mlcs);
  for (std::size_t j = 0; j < std::min<std::size_t>(mlcs, kMaxRecords); ++j) {
    const std::size_t at = kSize + j * kRecordSize;
    if (!r.has(at, kRecordSize)) break;
    const PayloadReader rec = r.sub(at, kRecordSize);
    const std::uint8_t present = rec.u8(0);
    appendf(out, "\nPresent[%03d]: %u,", static_cast<int>(j), present);
    if (present == 0) {
      appendf(out, "\tNext SF Offset: %u", rec.u8(1));
    } else {
      appendf(out, "\tStart Offset: %03u, Slot Info: 0x%02X, Stream Length: %u", rec.u16le(1), rec.u8(3), rec.u32le(4));
    }
  }
}

// 0x1213 (fixed part 40 bytes):
//  +off  type  name                   unit
//   +0   u32   SuperFrame
//   +4   u8    MlcId
//   +5   u8    System                 group "MediaFLO System"
//   +8   u32   BaseGoodPlps           PLPs
//  +12   u32   BaseErasurePlps        PLPs
//  +16   u32   EnhancedGoodPlps       PLPs
//  +20   u32   EnhancedErasurePlps    PLPs
//  +24   u32   BaseGoodBlocks         code blocks
//  +28   u32   BaseErasureBlocks      code blocks
//  +32   u32   EnhancedGoodBlocks     code blocks
//  +36   u32   EnhancedErasureBlocks  code blocks
void F::DecodeMfloMlcPlpStatsPostParams(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  constexpr std::size_t kSuperFrame = 0, kMlcId = 4, kSystem = 5, kCounts = 8, kCountCount = 8, kSize = 40;
  // Indexes into the counts; each good count is followed by its erasures.
  constexpr std::size_t kBaseGood = 0, kEnhGood = 2, kBaseCbGood = 4, kEnhCbGood = 6;
  const auto job = Begin(msg, &F::DecodeMfloMlcPlpStatsPostParams);
  const PayloadReader r = payload();
  if (!job.require(r, kSize)) return;
  const std::uint8_t mlc = r.u8(kMlcId);
  const std::uint8_t system = r.u8(kSystem);
  std::array<std::uint32_t, kCountCount> n{};
  for (std::size_t i = 0; i < kCountCount; ++i) n[i] = r.u32le(kCounts + 4 * i);

  if (const AttrWriter w(ds); w.on()) {
    w.Byte(ATTR_ID_MFLO_MlcId, mlc);
    w.Byte(ATTR_ID_MFLO_System, system);
    const std::array<const std::uint32_t*, kCountCount> count_ids{&ATTR_ID_MFLO_BaseLayerGoodPLPs,
                                                                  &ATTR_ID_MFLO_BaseLayerErasurePLPs,
                                                                  &ATTR_ID_MFLO_EnhancedLayerGoodPLPs,
                                                                  &ATTR_ID_MFLO_EnhancedLayerErasurePLPs,
                                                                  &ATTR_ID_MFLO_BaseLayerGood_CodeBlocks,
                                                                  &ATTR_ID_MFLO_BaseLayerErasure_CodeBlocks,
                                                                  &ATTR_ID_MFLO_EnhancedLayerGood_CodeBlocks,
                                                                  &ATTR_ID_MFLO_EnhancedLayerErasure_CodeBlocks};
    for (std::size_t i = 0; i < kCountCount; ++i) w.ULong(*count_ids[i], n[i]);
    const auto rate = [&](std::uint32_t id, std::size_t good) {
      if (const auto v = erasure_rate(n[good], n[good + 1])) w.Double(id, *v);
    };
    rate(ATTR_ID_MFLO_EnhancedLayer_PLP_ErasureRate, kEnhGood);
    rate(ATTR_ID_MFLO_EnhancedLayer_Code_ErasureRate, kEnhCbGood);
    rate(ATTR_ID_MFLO_BaseLayer_PLP_ErasureRate, kBaseGood);
    rate(ATTR_ID_MFLO_BaseLayer_Code_ErasureRate, kBaseCbGood);
  }
  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  appendf(out, "\nSuperframe no.: %u, MLC Id: %u, System: %s (%u)", r.u32le(kSuperFrame), mlc,
          group_text(kSystemGroup, system).c_str(), system);
  static constexpr std::array<const char*, kCountCount> kLabels{
      "\nNumber of Base Layer Good PLPs: ",      "\nNumber of Base Layer Eras PLPs: ",
      "\nNumber of Ench Layer Good PLPs: ",      "\nNumber of Ench Layer Eras PLPs: ",
      "\nNumber of Base Layer Good Code Blks: ", "\nNumber of Base Layer Eras Code Blks: ",
      "\nNumber of Ench Layer Good Code Blks: ", "\nNumber of Ench Layer Eras Code Blks: "};
  for (std::size_t i = 0; i < kCountCount; ++i) appendf(out, "%s%u", kLabels[i], n[i]);
}

// 0x1214 (fixed part 30 bytes):
//  +off  type  name            unit
//   +0   u32   SuperFrame
//   +4   u16   MlcStartSymbol  OFDM symbols
//   +6   u8    SlotOffset
//   +7   u8    SlotMin
//   +8   u32   SlotTotal
//  +12   u8    SlotMax
//  +13   u8    MlcTxMode       group "MediaFLO MLC Tx Mode"
//  +14   u8    MlcId
//  +15   u8    System          group "MediaFLO System"
//  +20   u8    CodeBlocks      in the current superframe
//  +21   u8    OuterCode       group "MediaFLO MLC Outer Code"
//  +22   u8    Stream1Bound
//  +23   u8    Stream2Bound
//  +24   u16   StreamLength0..2 (three)
void F::DecodeMfloMlcLocationDynParams(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  constexpr std::size_t kSuperFrame = 0, kStartSymbol = 4, kSlotOffset = 6, kSlotMin = 7, kSlotTotal = 8, kSlotMax = 12,
                        kTxMode = 13, kMlcId = 14, kSystem = 15, kCodeBlocks = 20, kOuterCode = 21, kStream1Bound = 22,
                        kStream2Bound = 23, kStreamLengths = 24, kSize = 30;
  const auto job = Begin(msg, &F::DecodeMfloMlcLocationDynParams);
  const PayloadReader r = payload();
  if (!job.require(r, kSize)) return;
  const std::uint8_t mode = r.u8(kTxMode);
  const std::uint8_t mlc = r.u8(kMlcId);
  const std::uint8_t system = r.u8(kSystem);
  const std::uint8_t outer = r.u8(kOuterCode);

  const AttrWriter w(ds);
  w.Byte(ATTR_ID_MFLO_MlcId, mlc);
  w.Byte(ATTR_ID_MFLO_System, system);
  w.Byte(ATTR_ID_MFLO_MlcTxMode, mode);
  w.Byte(ATTR_ID_MFLO_MlcTxOuterCode, outer);
  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  appendf(out, "\nSuperframe no.: %u, MLC start symbol: %u, MLC slot offset: %u,", r.u32le(kSuperFrame),
          r.u16le(kStartSymbol), r.u8(kSlotOffset));
  appendf(out, "\nMLC slot min: %u, MLC slot total: %u, MLC slot max: %u,", r.u8(kSlotMin), r.u32le(kSlotTotal),
          r.u8(kSlotMax));
  appendf(out, "\nMLC mode: %s (%u), MLC Id: %u, System: %s (%u),", group_text(kTxModeGroup, mode).c_str(), mode, mlc,
          group_text(kSystemGroup, system).c_str(), system);
  appendf(out, "\nNo. CBS in current SF: %u, MLC outer code: %s (%u),", r.u8(kCodeBlocks),
          group_text(kOuterCodeGroup, outer).c_str(), outer);
  appendf(out, "\nMLC stream 1 bound: %u, MLC stream 2 bound: %u", r.u8(kStream1Bound), r.u8(kStream2Bound));
  appendf(out, "\nStream length 0: %u, Stream length 1: %u, Stream length 2: %u", r.u16le(kStreamLengths),
          r.u16le(kStreamLengths + 2), r.u16le(kStreamLengths + 4));
}

// 0x1215 (fixed part 2 bytes, then min(FlowCount, 8) records of 10 bytes, read while whole):
//  +off  type  name            unit
//   +0   u8    InterruptType   group "MediaFLO Interrupt Type"
//   +1   u8    FlowCount
//   +2   record: +0 u8 MlcId, +1 u8 StreamId, +2 u32 FlowId, +6 u8 BothLayers,
//                +7 u8 ByteInterleaving, +8 u8 Binding (group "MediaFLO Binding"),
//                +9 u8 System (group "MediaFLO System")
void F::DecodeMfloBoundStreamListParams(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  constexpr std::size_t kInterruptType = 0, kFlowCount = 1, kSize = 2, kRecordSize = 10, kMaxFlows = 8;
  constexpr std::size_t kMlcId = 0, kStreamId = 1, kFlowId = 2, kBothLayers = 6, kInterleaving = 7, kBinding = 8,
                        kSystem = 9;
  const auto job = Begin(msg, &F::DecodeMfloBoundStreamListParams);
  const PayloadReader r = payload();
  if (!job.require(r, kSize)) return;
  const std::uint8_t count = r.u8(kFlowCount);
  const std::size_t flows = std::min({std::size_t{count}, kMaxFlows, (r.size() - kSize) / kRecordSize});
  const auto flow = [&](std::size_t i) { return r.sub(kSize + i * kRecordSize, kRecordSize); };

  if (const AttrWriter w(ds); w.on()) {
    for (std::size_t i = 0; i < flows; ++i) {
      const PayloadReader f = flow(i);
      const auto index = static_cast<std::uint32_t>(i);
      w.Byte(ATTR_ID_MFLO_BindingType, f.u8(kBinding), index);
      w.ULong(ATTR_ID_MFLO_FlowId, f.u32le(kFlowId), index);
      w.Byte(ATTR_ID_MFLO_MlcId, f.u8(kMlcId), index);
      w.Byte(ATTR_ID_MFLO_StreamId, f.u8(kStreamId), index);
      w.Byte(ATTR_ID_MFLO_System, f.u8(kSystem), index);
    }
  }
  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  const unsigned interrupt = r.u8(kInterruptType);
  appendf(out, "\nInterrupt type: %s (%u), Bound flow count: %u,", group_text(kInterruptTypeGroup, interrupt).c_str(),
          interrupt, count);
  out +=
      "\nMLC\tStrm\tFlow\tStrm\tByte\tSystem\tBinding\nId\tId\tId\tUses\tItlvg\t\t\n\t\t\tBoth\tEbld\t\t\n\t\t\tLayer\t"
      "\t\t";
  for (std::size_t i = 0; i < flows; ++i) {
    const PayloadReader f = flow(i);
    const std::uint8_t binding = f.u8(kBinding);
    appendf(out, "\n%u\t%u\t%u\t%u\t%u\t%s\t%s (%u)\t", f.u8(kMlcId), f.u8(kStreamId), f.u32le(kFlowId),
            f.u8(kBothLayers), f.u8(kInterleaving), group_text(kSystemGroup, f.u8(kSystem)).c_str(),
            group_text(kBindingGroup, binding).c_str(), binding);
  }
}

// 0x1216 (fixed part 23 bytes): one block per layer, base at +0, enhanced at +12:
//  +off  type   name                  unit
//   +0   u8 x3  Stream0..2PadLength   bytes
//   +4   u8 x7  MacHeader             shown in hex
void F::DecodeMfloStrmInfoStaticParams(IOrbDataState*, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  constexpr std::size_t kBase = 0, kEnhanced = 12, kMacHeader = 4, kMacHeaderSize = 7, kSize = 23;
  const auto job = Begin(msg, &F::DecodeMfloStrmInfoStaticParams);
  const PayloadReader r = payload();
  if (!job.require(r, kSize) || !msg.detailsWanted) return;
  std::string& out = msg.details;
  for (const auto& [label, at] : {std::pair{"\nBase Layer: ", kBase}, std::pair{"\nEnhanced Layer: ", kEnhanced}}) {
    out += label;
    appendf(out, "\n\tStream0 Pad Len: %u, Stream1 Pad Len: %u, Stream2 Pad Len: %u, ", r.u8(at), r.u8(at + 1),
            r.u8(at + 2));
    out += "\n\tMAC Hdr data (hex): ";
    for (std::size_t i = 0; i < kMacHeaderSize; ++i) appendf(out, "%02x ", r.u8(at + kMacHeader + i));
  }
}

// 0x1219 (fixed part 24 bytes):
//  +off  type  name                 unit
//   +0   u32   SuperFrame
//   +4   u32   FlowId
//   +8   u32   BaseGoodPlps         PLPs
//  +12   u32   EnhancedGoodPlps     PLPs
//  +16   u32   BaseErasurePlps      PLPs
//  +20   u32   EnhancedErasurePlps  PLPs
void F::DecodeMfloStreamPlpStats(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  constexpr std::size_t kSuperFrame = 0, kFlowId = 4, kBaseGood = 8, kEnhancedGood = 12, kBaseErased = 16,
                        kEnhancedErased = 20, kSize = 24;
  const auto job = Begin(msg, &F::DecodeMfloStreamPlpStats);
  const PayloadReader r = payload();
  if (!job.require(r, kSize)) return;
  const std::uint32_t flow = r.u32le(kFlowId);

  AttrWriter(ds).ULong(ATTR_ID_MFLO_FlowId, flow);
  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  appendf(out, "\nSuper Frame Number: %u, Flow Id.: %u", r.u32le(kSuperFrame), flow);
  appendf(out, "\nTotal Good PLPs in Base Layer: %u, Total Erasure PLPs in Base Layer: %u", r.u32le(kBaseGood),
          r.u32le(kBaseErased));
  appendf(out, "\nTotal Good PLPs in Enhanced Layer: %u, Total Erasure PLPs in Enhanced Layer: %u",
          r.u32le(kEnhancedGood), r.u32le(kEnhancedErased));
}
