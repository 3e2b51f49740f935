// MediaFLO log packets: receive strength, OIS and MLC parameters, stream bindings
// and PLP erasure statistics before and after the Reed-Solomon outer code.
// None of these packets carries its own length: each decoder reads its fixed part
// through the cursor and checks it once (the failure text otherwise), and reads a
// record list only while whole.
#include <algorithm>
#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "framework/attributes.h"
#include "framework/decoder_1x.h"
#include "framework/text.h"
#include "framework/value_names.h"
#include "host/format_groups.h"

namespace {

using F = COrbDecodeMsgCDMAQualcommFrame;
using cdmadiag::appendf;
using cdmadiag::AttrWriter;
using cdmadiag::bits;
using cdmadiag::Cursor;
using cdmadiag::group_text;

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
  constexpr std::size_t kReserved = 3;
  [[maybe_unused]] constexpr std::size_t kSize = 8;
  const auto job = Begin(msg, &F::DecodeMfloRssiDynParams);
  Cursor c(payload());
  const unsigned interrupt = c.u8();
  c.skip(kReserved);
  const int integer = c.i16le();
  const std::int8_t hundredths = c.i8();
  const std::uint8_t sign = c.u8();
  if (!job.check(c)) return;
  assert(c.offset() == kSize);
  // A negative integer part already carries the sign; negating it again on a zero
  // sign byte would report a receive level of +86.75 dBm for -87 and 25.
  const double magnitude = std::abs(integer) + hundredths * 0.01;
  const bool negative = sign == 0 || integer < 0;
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
  constexpr std::size_t kReserved = 2;
  [[maybe_unused]] constexpr std::size_t kSize = 9;
  const auto job = Begin(msg, &F::DecodeMfloWideLocalDynParams);
  Cursor c(payload());
  const unsigned interrupt = c.u8();
  const std::uint32_t local_start = c.u32le();
  const unsigned wic = c.u8();
  c.skip(kReserved);
  const unsigned lic = c.u8();
  if (!job.check(c) || !msg.detailsWanted) return;
  assert(c.offset() == kSize);
  appendf(msg.details, "Interrupt Type: %s (%u), FLO FFT Local Start: %u, FLO FFT Wic Id: %u, FLO FFT Lic Id: %u",
          group_text(kInterruptTypeGroup, interrupt).c_str(), interrupt, local_start, wic, lic);
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
  [[maybe_unused]] constexpr std::size_t kSize = 22;
  const auto job = Begin(msg, &F::DecodeMfloMlcPlpStatsPreRSParams);
  Cursor c(payload());
  const unsigned interrupt = c.u8();
  const std::uint32_t mlc = c.u32le();
  const std::uint8_t system = c.u8();
  const std::uint32_t base_good = c.u32le();
  const std::uint32_t base_erased = c.u32le();
  const std::uint32_t enhanced_good = c.u32le();
  const std::uint32_t enhanced_erased = c.u32le();
  if (!job.check(c)) return;
  assert(c.offset() == kSize);

  const AttrWriter w(ds);
  w.ULong(ATTR_ID_MFLO_MlcId, mlc);
  w.Byte(ATTR_ID_MFLO_System, system);
  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  appendf(out, "\nInterrupt Type: %s (%u), MLC Id.: %u, System: %s (%u)",
          group_text(kInterruptTypeGroup, interrupt).c_str(), interrupt, mlc, group_text(kSystemGroup, system).c_str(),
          system);
  appendf(out, "\nNum Good PLPs in Base Layer: %u, Num Erasure PLPs in Base Layer: %u", base_good, base_erased);
  appendf(out, "\nNum Good PLPs in Enhanced Layer: %u, Num Erasure PLPs in Enhanced Layer: %u", enhanced_good,
          enhanced_erased);
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
  [[maybe_unused]] constexpr std::size_t kHeaderSize = 4, kScheduledSize = 11, kUnscheduledSize = 6;
  const auto job = Begin(msg, &F::DecodeMfloMacInfoStaticParams);
  Cursor c(payload());
  const unsigned interrupt = c.u8();
  const unsigned mlc = c.u8();
  const std::uint8_t updated = c.u8();
  const std::uint8_t scheduled_flags = c.u8();
  if (!job.check(c)) return;
  assert(c.offset() == kHeaderSize);
  const bool scheduled = bits(scheduled_flags, 0, 1) != 0;
  const std::uint16_t offset_word = c.u16le();  // start OFDM offset when scheduled, else next superframe offset
  std::uint8_t slot_info = 0;
  std::uint32_t stream_length = 0;
  if (scheduled) {
    slot_info = c.u8();
    stream_length = c.u32le();
  }
  if (!job.check(c) || !msg.detailsWanted) return;
  assert(c.offset() == (scheduled ? kScheduledSize : kUnscheduledSize));

  std::string& out = msg.details;
  appendf(out, "Interrupt Type: %s (%u), MLC Id.: %u, System Params Updated Flag: %u",
          group_text(kInterruptTypeGroup, interrupt).c_str(), interrupt, mlc,
          static_cast<unsigned>(bits(updated, 0, 1)));
  if (scheduled) {
    appendf(out, "\nStart OFDM Offset: %u, Slot Info.: %u, Stream Length: %u",
            static_cast<unsigned>(bits(offset_word, 0, 9)), static_cast<unsigned>(bits(slot_info, 0, 7)),
            static_cast<unsigned>(bits(stream_length, 0, 23)));
  } else {
    appendf(out, "\nNext SF Offset: %u", static_cast<unsigned>(bits(offset_word, 0, 10)));
  }
}

// 0x1211 (fixed part 13 bytes):
//  +off  type  name              unit
//   +0   u32   SuperFrame
//   +4   u32   TotalGoodPlps     PLPs
//   +8   u32   TotalErasurePlps  PLPs
//  +12   u8    bit 0 OisType     group "MediaFLO System"
void F::DecodeMfloOisPlpStatsDynParams(IOrbDataState*, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  [[maybe_unused]] constexpr std::size_t kSize = 13;
  const auto job = Begin(msg, &F::DecodeMfloOisPlpStatsDynParams);
  Cursor c(payload());
  const std::uint32_t superframe = c.u32le();
  const std::uint32_t good = c.u32le();
  const std::uint32_t erased = c.u32le();
  const auto ois = static_cast<unsigned>(bits(c.u8(), 0, 1));
  if (!job.check(c) || !msg.detailsWanted) return;
  assert(c.offset() == kSize);
  appendf(msg.details, "Super Frame Number: %u, Total Num Good PLPs: %u, Total Num Erasure PLPs: %u, OIS Type: %s",
          superframe, good, erased, group_text(kSystemGroup, ois).c_str());
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
  constexpr std::size_t kReserved = 2, kPairReserved = 3, kMaxPairs = 8, kRecordSize = 8, kMaxRecords = 167;
  [[maybe_unused]] constexpr std::size_t kPairCount = 32, kSize = 70;
  const auto job = Begin(msg, &F::DecodeMfloOisInfoStaticParams);
  Cursor c(payload());
  const unsigned ais_version = c.u8();
  const auto ois = static_cast<unsigned>(bits(c.u8(), 0, 1));
  c.skip(kReserved);
  const std::uint32_t superframe = c.u32le();
  const unsigned network = c.u16le();
  const unsigned infrastructure = c.u16le();
  const unsigned leap_sec = c.u8();
  const unsigned local_time = c.u8();
  const unsigned daylight = c.u8();
  const unsigned protocol = c.u8();
  const unsigned min_protocol = c.u8();
  const unsigned min_monitor_cycle = c.u8();
  const unsigned data_symbols = c.u16le();
  const unsigned position_pilots = c.u8();
  const unsigned data_mac_header = c.u8();
  const unsigned ctrl_mac_header = c.u8();
  const unsigned stream_mac_header = c.u8();
  const unsigned ctrl_protocol_header = c.u8();
  const std::uint8_t mode = c.u8();
  const std::uint8_t outer = c.u8();
  const unsigned ctrl_alloc = c.u8();
  const unsigned ctrl_location = c.u16le();
  const unsigned ctrl_slot_info = c.u8();
  const unsigned ctrl_capsule = c.u8();
  assert(!c.ok() || c.offset() == kPairCount);
  const std::uint8_t pairs = c.u8();
  c.skip(kPairReserved);
  std::array<std::array<std::uint16_t, 2>, kMaxPairs> bins{};  // bin 0, bin 1 of each pair
  for (auto& pair : bins) {
    pair[0] = c.u16le();
    pair[1] = c.u16le();
  }
  const unsigned start_mlc = c.u8();
  const std::uint8_t mlcs = c.u8();
  if (!job.check(c)) return;
  assert(c.offset() == kSize);

  const AttrWriter w(ds);
  w.Long(ATTR_ID_MFLO_System, static_cast<std::int32_t>(ois));
  w.Byte(ATTR_ID_MFLO_MlcTxMode, mode);
  w.Byte(ATTR_ID_MFLO_MlcTxOuterCode, outer);
  if (!msg.detailsWanted) return;

  std::string& out = msg.details;
  appendf(out, "\nAIS Spec. Version: %u, OIS Type: %s", ais_version, group_text(kSystemGroup, ois).c_str());
  appendf(out, "\nSuper Frame Number: %u, Network Id: %u, Infrastructure Id: %u", superframe, network, infrastructure);
  appendf(out, "\nLeap Sec: %u, Local Time: %u, Daylight Time: %u", leap_sec, local_time, daylight);
  appendf(out, "\nProtocol Version: %u, Minimum Protocol Version: %u, Minimum Monitor Cycle Index: %u", protocol,
          min_protocol, min_monitor_cycle);
  appendf(out, "\nNumber Data Symbols: %u, Number Position Pilot Symbols: %u", data_symbols, position_pilots);
  appendf(out, "\nData MAC Header Length: %u, Ctrl MAC Header Length: %u, Stream MAC Header Length: %u",
          data_mac_header, ctrl_mac_header, stream_mac_header);
  appendf(out, "\nCtrl Chan Protocol Header Length: %u, Ctrl Chan Mode: %s (%u), Ctrl Chan Outer Code: %s (%u),",
          ctrl_protocol_header, group_text(kTxModeGroup, mode).c_str(), mode,
          group_text(kOuterCodeGroup, outer).c_str(), outer);
  appendf(out, "\nCtrl Chan Alloc: %u, Ctrl Chan Loc: %u, Ctrl Chan Slot Info: %u, Ctrl Chan Capsule Id: %u",
          ctrl_alloc, ctrl_location, ctrl_slot_info, ctrl_capsule);
  appendf(out, "\nNum Ctrl Seq Pairs: %u", pairs);
  out += "\nCtrl\tCtrl\tCtrl\t\nSeq\tSeq\tSeq\t\nIdx\tBin 0\tBin 1\t";
  for (std::size_t i = 0; i < std::min<std::size_t>(pairs, kMaxPairs); ++i) {
    appendf(out, "\n%d\t%u\t%u", static_cast<int>(i), bins[i][0], bins[i][1]);
  }
  appendf(out, "\nStart MLC: %u, Num MLCs: %u", start_mlc, mlcs);
  const std::size_t records = c.whole_records(kRecordSize, std::min<std::size_t>(mlcs, kMaxRecords));
  for (std::size_t j = 0; j < records; ++j) {
    Cursor rec = c.record(kRecordSize);
    const std::uint8_t present = rec.u8();
    appendf(out, "\nPresent[%03d]: %u,", static_cast<int>(j), present);
    if (present == 0) {
      appendf(out, "\tNext SF Offset: %u", rec.u8());
    } else {
      const unsigned start_offset = rec.u16le();
      const unsigned slot_info = rec.u8();
      const std::uint32_t stream_length = rec.u32le();
      appendf(out, "\tStart Offset: %03u, Slot Info: 0x%02X, Stream Length: %u", start_offset, slot_info,
              stream_length);
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
  constexpr std::size_t kReserved = 2, kCountCount = 8;
  [[maybe_unused]] constexpr std::size_t kSize = 40;
  // Indexes into the counts; each good count is followed by its erasures.
  constexpr std::size_t kBaseGood = 0, kEnhGood = 2, kBaseCbGood = 4, kEnhCbGood = 6;
  const auto job = Begin(msg, &F::DecodeMfloMlcPlpStatsPostParams);
  Cursor c(payload());
  const std::uint32_t superframe = c.u32le();
  const std::uint8_t mlc = c.u8();
  const std::uint8_t system = c.u8();
  c.skip(kReserved);
  const auto n = c.u32les<kCountCount>();
  if (!job.check(c)) return;
  assert(c.offset() == kSize);

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
  appendf(out, "\nSuperframe no.: %u, MLC Id: %u, System: %s (%u)", superframe, mlc,
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
  constexpr std::size_t kReserved = 4, kStreams = 3;
  [[maybe_unused]] constexpr std::size_t kSize = 30;
  const auto job = Begin(msg, &F::DecodeMfloMlcLocationDynParams);
  Cursor c(payload());
  const std::uint32_t superframe = c.u32le();
  const unsigned start_symbol = c.u16le();
  const unsigned slot_offset = c.u8();
  const unsigned slot_min = c.u8();
  const std::uint32_t slot_total = c.u32le();
  const unsigned slot_max = c.u8();
  const std::uint8_t mode = c.u8();
  const std::uint8_t mlc = c.u8();
  const std::uint8_t system = c.u8();
  c.skip(kReserved);
  const unsigned code_blocks = c.u8();
  const std::uint8_t outer = c.u8();
  const unsigned stream1_bound = c.u8();
  const unsigned stream2_bound = c.u8();
  std::array<unsigned, kStreams> stream_lengths{};
  for (unsigned& length : stream_lengths) length = c.u16le();
  if (!job.check(c)) return;
  assert(c.offset() == kSize);

  const AttrWriter w(ds);
  w.Byte(ATTR_ID_MFLO_MlcId, mlc);
  w.Byte(ATTR_ID_MFLO_System, system);
  w.Byte(ATTR_ID_MFLO_MlcTxMode, mode);
  w.Byte(ATTR_ID_MFLO_MlcTxOuterCode, outer);
  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  appendf(out, "\nSuperframe no.: %u, MLC start symbol: %u, MLC slot offset: %u,", superframe, start_symbol,
          slot_offset);
  appendf(out, "\nMLC slot min: %u, MLC slot total: %u, MLC slot max: %u,", slot_min, slot_total, slot_max);
  appendf(out, "\nMLC mode: %s (%u), MLC Id: %u, System: %s (%u),", group_text(kTxModeGroup, mode).c_str(), mode, mlc,
          group_text(kSystemGroup, system).c_str(), system);
  appendf(out, "\nNo. CBS in current SF: %u, MLC outer code: %s (%u),", code_blocks,
          group_text(kOuterCodeGroup, outer).c_str(), outer);
  appendf(out, "\nMLC stream 1 bound: %u, MLC stream 2 bound: %u", stream1_bound, stream2_bound);
  appendf(out, "\nStream length 0: %u, Stream length 1: %u, Stream length 2: %u", stream_lengths[0], stream_lengths[1],
          stream_lengths[2]);
}

namespace {

struct BoundFlow {
  std::uint8_t mlc, stream;
  std::uint32_t flow_id;
  std::uint8_t both_layers, interleaving, binding, system;
};

BoundFlow read_bound_flow(Cursor c) {
  BoundFlow f{};
  f.mlc = c.u8();
  f.stream = c.u8();
  f.flow_id = c.u32le();
  f.both_layers = c.u8();
  f.interleaving = c.u8();
  f.binding = c.u8();
  f.system = c.u8();
  return f;
}

}  // namespace

// 0x1215 (fixed part 2 bytes, then min(FlowCount, 8) records of 10 bytes, read while whole):
//  +off  type  name            unit
//   +0   u8    InterruptType   group "MediaFLO Interrupt Type"
//   +1   u8    FlowCount
//   +2   record: +0 u8 MlcId, +1 u8 StreamId, +2 u32 FlowId, +6 u8 BothLayers,
//                +7 u8 ByteInterleaving, +8 u8 Binding (group "MediaFLO Binding"),
//                +9 u8 System (group "MediaFLO System")
void F::DecodeMfloBoundStreamListParams(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  constexpr std::size_t kRecordSize = 10, kMaxFlows = 8;
  [[maybe_unused]] constexpr std::size_t kSize = 2;
  const auto job = Begin(msg, &F::DecodeMfloBoundStreamListParams);
  Cursor c(payload());
  const unsigned interrupt = c.u8();
  const std::uint8_t count = c.u8();
  if (!job.check(c)) return;
  assert(c.offset() == kSize);
  const std::size_t flows = c.whole_records(kRecordSize, std::min<std::size_t>(count, kMaxFlows));
  const Cursor records = c;  // both passes read them

  if (const AttrWriter w(ds); w.on()) {
    for (std::size_t i = 0; i < flows; ++i) {
      const BoundFlow f = read_bound_flow(c.record(kRecordSize));
      const auto index = static_cast<std::uint32_t>(i);
      w.Byte(ATTR_ID_MFLO_BindingType, f.binding, index);
      w.ULong(ATTR_ID_MFLO_FlowId, f.flow_id, index);
      w.Byte(ATTR_ID_MFLO_MlcId, f.mlc, index);
      w.Byte(ATTR_ID_MFLO_StreamId, f.stream, index);
      w.Byte(ATTR_ID_MFLO_System, f.system, index);
    }
  }
  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  appendf(out, "\nInterrupt type: %s (%u), Bound flow count: %u,", group_text(kInterruptTypeGroup, interrupt).c_str(),
          interrupt, count);
  out +=
      "\nMLC\tStrm\tFlow\tStrm\tByte\tSystem\tBinding\nId\tId\tId\tUses\tItlvg\t\t\n\t\t\tBoth\tEbld\t\t\n\t\t\tLayer\t"
      "\t\t";
  c = records;
  for (std::size_t i = 0; i < flows; ++i) {
    const BoundFlow f = read_bound_flow(c.record(kRecordSize));
    appendf(out, "\n%u\t%u\t%u\t%u\t%u\t%s\t%s (%u)\t", f.mlc, f.stream, f.flow_id, f.both_layers, f.interleaving,
            group_text(kSystemGroup, f.system).c_str(), group_text(kBindingGroup, f.binding).c_str(), f.binding);
  }
}

// 0x1216 (fixed part 23 bytes): one block per layer, base at +0, enhanced at +12:
//  +off  type   name                  unit
//   +0   u8 x3  Stream0..2PadLength   bytes
//   +4   u8 x7  MacHeader             shown in hex
void F::DecodeMfloStrmInfoStaticParams(IOrbDataState*, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  constexpr std::size_t kEnhanced = 12, kPads = 3, kPadReserved = 1, kMacHeaderSize = 7;
  [[maybe_unused]] constexpr std::size_t kSize = 23;
  struct Layer {
    std::array<unsigned, kPads> pads;
    std::array<unsigned, kMacHeaderSize> mac_header;
  };
  const auto job = Begin(msg, &F::DecodeMfloStrmInfoStaticParams);
  Cursor c(payload());
  const auto read_layer = [&c] {
    Layer layer{};
    for (unsigned& pad : layer.pads) pad = c.u8();
    c.skip(kPadReserved);
    for (unsigned& byte : layer.mac_header) byte = c.u8();
    return layer;
  };
  std::array<Layer, 2> layers{};  // base, enhanced
  layers[0] = read_layer();
  c.seek(kEnhanced);
  layers[1] = read_layer();
  if (!job.check(c) || !msg.detailsWanted) return;
  assert(c.offset() == kSize);
  std::string& out = msg.details;
  const std::array<const char*, 2> labels{"\nBase Layer: ", "\nEnhanced Layer: "};
  for (std::size_t k = 0; k < layers.size(); ++k) {
    out += labels[k];
    appendf(out, "\n\tStream0 Pad Len: %u, Stream1 Pad Len: %u, Stream2 Pad Len: %u, ", layers[k].pads[0],
            layers[k].pads[1], layers[k].pads[2]);
    out += "\n\tMAC Hdr data (hex): ";
    for (const unsigned byte : layers[k].mac_header) appendf(out, "%02x ", byte);
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
  [[maybe_unused]] constexpr std::size_t kSize = 24;
  const auto job = Begin(msg, &F::DecodeMfloStreamPlpStats);
  Cursor c(payload());
  const std::uint32_t superframe = c.u32le();
  const std::uint32_t flow = c.u32le();
  const std::uint32_t base_good = c.u32le();
  const std::uint32_t enhanced_good = c.u32le();
  const std::uint32_t base_erased = c.u32le();
  const std::uint32_t enhanced_erased = c.u32le();
  if (!job.check(c)) return;
  assert(c.offset() == kSize);

  AttrWriter(ds).ULong(ATTR_ID_MFLO_FlowId, flow);
  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  appendf(out, "\nSuper Frame Number: %u, Flow Id.: %u", superframe, flow);
  appendf(out, "\nTotal Good PLPs in Base Layer: %u, Total Erasure PLPs in Base Layer: %u", base_good, base_erased);
  appendf(out, "\nTotal Good PLPs in Enhanced Layer: %u, Total Erasure PLPs in Enhanced Layer: %u", enhanced_good,
          enhanced_erased);
}
