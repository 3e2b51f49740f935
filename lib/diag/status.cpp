// Status responses: the classic status response, the status snapshot and the
// IS2000 status response. Offsets count from the byte after the command code.
#include <array>
#include <cassert>
#include <cstdlib>
#include <string>

#include "diag/diag_common.h"
#include "framework/attributes.h"
#include "framework/decoder_1x.h"
#include "framework/payload_cursor.h"
#include "framework/text.h"
#include "framework/value_names.h"
#include "host/format_groups.h"

using cdmadiag::appendf;
using cdmadiag::AttrWriter;
using cdmadiag::Cursor;
using cdmadiag::name_or;
using cdmadiag::PayloadReader;
using F = COrbDecodeMsgCDMAQualcommFrame;

namespace {

constexpr const char* kBandClassGroup = "CDMA Paging Band Class";
constexpr const char* kOperationModeGroup = "CDMA1x EVDO Radio Operation Mode";

// Band classes of the cdma2000 band-class standard.
constexpr std::array<ValueName, 22> kBandClasses = {{
    {0, "800 MHz Cellular"},
    {1, "1.8 to 2.0 GHz PCS"},
    {2, "872 to 960 MHz TACS"},
    {3, "832 to 925 MHz JTACS"},
    {4, "1.75 to 1.87 GHz Korean PCS"},
    {5, "450 MHz NMT"},
    {6, "2 GHz IMT-2000"},
    {7, "700 MHz"},
    {8, "1800 MHz"},
    {9, "900 MHz"},
    {10, "Secondary 800 MHz"},
    {11, "400 MHz European PAMR"},
    {12, "800 MHz PAMR"},
    {13, "2.5 GHz IMT-2000 Extension"},
    {14, "US PCS 1.9 GHz"},
    {15, "AWS"},
    {16, "US 2.5 GHz"},
    {17, "US 2.5 GHz Forward Link Only"},
    {18, "700 MHz Public Safety"},
    {19, "Lower 700 MHz"},
    {20, "L-Band"},
    {21, "S-Band"},
}};

// Air-interface operating modes (OP_MODE of the call-processing layer).
constexpr std::array<ValueName, 5> kOperationModes = {{
    {0, "J-STD-008 CDMA"},
    {1, "IS-95 CDMA"},
    {2, "IS-95 Analog"},
    {3, "IS-91 Narrowband Analog"},
    {4, "IS-2000 CDMA"},
}};

const FormatGroupRegistration kBandClassRegistration(kBandClassGroup, kBandClasses);
const FormatGroupRegistration kOperationModeRegistration(kOperationModeGroup, kOperationModes);

// ---- status response (cmd 0x0C) ----

enum StatusRfMode : std::uint16_t { kStatusAnalog = 0, kStatusCellular = 1, kStatusPcs = 2 };

constexpr std::array<ValueName, 4> kStatusRfModes = {{
    {0, "Analog"},
    {1, "CDMA Cellular"},
    {2, "CDMA PCS"},
    {3, "Sleep mode"},
}};

constexpr std::array<ValueName, 6> kStatusRxStates = {{
    {0, "Entering CDMA State"},
    {1, "Sync Channel State"},
    {2, "Paging Channel State"},
    {3, "Traffic Channel Initialization State"},
    {4, "Traffic Channel State"},
    {5, "Exit State"},
}};

constexpr std::array<ValueName, 2> kStatusGoodFrames = {{
    {0, "Five or more Bad Frames and no good frames received since the last status request."},
    {1, "Good Frames received since the last status request."},
}};
constexpr const char* kStatusGoodFramesOther =
    "Unknown- no good or bad frames received for two or more status requests.";

// Entry reasons are numbered per mode: analog reasons while in analog mode, CDMA
// reasons in the CDMA modes.
constexpr std::array<ValueName, 7> kStatusAnalogEntry = {{
    {0, "Normal Analog operation"},
    {1, "Digital to analog handoff"},
    {2, "Originate call in Analog mode"},
    {3, "Page Response"},
    {4, "Voice channel assignment"},
    {5, "Continue previous operation"},
    {6, "Enter offline Analog mode"},
}};
constexpr std::array<ValueName, 3> kStatusCdmaEntry = {{
    {0, "Normal CDMA operation"},
    {1, "Enter offline CDMA mode"},
    {2, "Originate call in CDMA mode"},
}};

// ---- IS2000 status response (cmd 0x70) ----

enum Is2000RfMode : std::uint8_t { kRfAnalog = 0, kRfCdma = 1, kRfPcs = 2, kRf900 = 3 };

constexpr std::array<ValueName, 7> kIs2000RfModes = {{
    {0, "RF Mode: Analog, "},
    {1, "RF Mode: CDMA, "},
    {2, "RF Mode: PCS, "},
    {3, "RF Mode: 900Mhz, "},
    {4, "RF Mode: Sleep, "},
    {5, "RF Mode: GPS, "},
    {6, "RF Mode: HDR, "},
}};

constexpr std::array<ValueName, 6> kIs2000RxStates = {{
    {0, "CDMA Rx State: Initialization state, "},
    {1, "CDMA Rx State: Sync channel state, "},
    {2, "CDMA Rx State: Paging channel state, "},
    {3, "CDMA Rx State: Traffic channel initialization state, "},
    {4, "CDMA Rx State: Traffic channel state, "},
    {5, "CDMA Rx State: Exit state, "},
}};
constexpr std::uint16_t kRxTrafficInit = 3;
constexpr std::uint16_t kRxTraffic = 4;

constexpr std::array<ValueName, 3> kIs2000GoodFrames = {{
    {0, "CDMA Good Frames: 5+ bad frames and no good frames received since last status request, "},
    {1, "CDMA Good Frames: Good frames received since the last status request, "},
    {2, "CDMA Good Frames: No good or bad frames received for previous 2+ status requests, "},
}};

constexpr std::array<ValueName, 7> kIs2000AnalogEntry = {{
    {0, "Entry Reason: Normal analog operation, "},
    {1, "Entry Reason: Digital to analog handoff, "},
    {2, "Entry Reason: Originate call in analog mode, "},
    {3, "Entry Reason: Page response, "},
    {4, "Entry Reason: Voice channel assignment, "},
    {5, "Entry Reason: Continue previous operation, "},
    {6, "Entry Reason: Enter offline analog mode, "},
}};
constexpr std::array<ValueName, 3> kIs2000CdmaEntry = {{
    {0, "Entry Reason: Normal CDMA operation, "},
    {1, "Entry Reason: Enter offline CDMA mode, "},
    {2, "Entry Reason: Originate call in CDMA mode, "},
}};

constexpr std::array<ValueName, 5> kPilotRecordTypes = {{
    {0, "1X common transit diversity pilot"},
    {1, "1X auxiliary pilot"},
    {2, "1X auxiliary transmit diversity pilot"},
    {3, "3X common pilot"},
    {4, "3X auxiliary pilot"},
}};

constexpr const char* kPilotSeparator = "\n-------------------------------------------------------------";

const char* yes_no(std::uint8_t v) { return v != 0 ? "Yes" : "No"; }

// The responses' sizes, tabled at their decoders.
[[maybe_unused]] constexpr std::size_t kStatusSize = 47;
[[maybe_unused]] constexpr std::size_t kSnapshotSize = 35;
[[maybe_unused]] constexpr std::size_t kIs2000Size = 128;

// An IS2000 status active pilot slot (layout at DecodeIS2000StatusResponseMessage).
constexpr std::size_t kPilotSlots = 6;
struct SlotChannel {
  std::uint8_t enabled;
  std::uint16_t code;
  std::uint8_t qof;
};
struct PilotSlot {
  std::uint16_t pn;
  std::uint8_t type;
  SlotChannel fch, dcch, sch;
};
SlotChannel read_slot_channel(Cursor& c) {
  SlotChannel ch{};
  ch.enabled = c.u8();
  ch.code = c.u16le();
  ch.qof = c.u8();
  return ch;
}
PilotSlot read_pilot_slot(Cursor& c) {
  PilotSlot s{};
  s.pn = c.u16le();
  s.type = c.u8();
  s.fch = read_slot_channel(c);
  s.dcch = read_slot_channel(c);
  s.sch = read_slot_channel(c);
  return s;
}

}  // namespace

// Status response (cmd 0x0C), at least 47 bytes:
//  +off  type   name                     unit
//   +0   u8[3]  not read
//   +3   u32    ESN
//   +7   u16    RF mode                  kStatusRfModes
//   +9   u32    MIN1 analog              IS-95 coded digits
//  +13   u32    MIN1 CDMA
//  +17   u16    MIN2 analog
//  +19   u16    MIN2 CDMA
//  +21   u8     not read
//  +22   u16    CDMA rx state            kStatusRxStates
//  +24   u8     good frames              kStatusGoodFrames
//  +25   u16    analog corrected frames
//  +27   u16    analog bad frames
//  +29   u16    analog word syncs
//  +31   u16    entry reason             per RF mode
//  +33   u16    channel
//  +35   u8     code channel
//  +36   u16    pilot base
//  +38   u16    SID
//  +40   u16    NID
//  +42   u16    location id
//  +44   u16    RSSI
//  +46   u8     power
// The two MIN entries (analog, CDMA) lie as the IS-95 MIN pair: both MIN1s, then
// both MIN2s. Entry 1 (analog) goes to MIN1_LS/MIN1_MS, entry 2 (CDMA) to
// MIN2_LS/MIN2_MS, each as dialable digits; the phone number is the CDMA entry's
// area code followed by its seven digits.
void COrbDecodeMsgCDMAQualcommFrame::DecodeStatusRequestResponse(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                                 IDekCellRefs_Search*) {
  constexpr std::size_t kMinPairSize = 12;
  const auto job = Begin(msg, &F::DecodeStatusRequestResponse);
  Cursor c(payload());
  c.skip(3);
  const std::uint32_t esn = c.u32le();
  const std::uint16_t rf_mode = c.u16le();
  const PayloadReader min_pair = c.bytes(kMinPairSize);
  Cursor m(min_pair);
  const std::uint32_t min1_analog = m.u32le();
  const std::uint32_t min1_cdma = m.u32le();
  const std::uint16_t min2_analog = m.u16le();
  const std::uint16_t min2_cdma = m.u16le();
  c.skip(1);
  const std::uint16_t rx_state = c.u16le();
  const std::uint8_t good_frames = c.u8();
  const std::uint16_t analog_corrected = c.u16le();
  const std::uint16_t analog_bad = c.u16le();
  const std::uint16_t word_syncs = c.u16le();
  const std::uint16_t entry_reason = c.u16le();
  const std::uint16_t channel = c.u16le();
  const std::uint8_t code_channel = c.u8();
  const std::uint16_t pilot_base = c.u16le();
  const std::uint16_t sid = c.u16le();
  const std::uint16_t nid = c.u16le();
  const std::uint16_t location = c.u16le();
  const std::uint16_t rssi = c.u16le();
  const std::uint8_t power = c.u8();
  if (!job.check(c)) return;
  assert(c.offset() == kStatusSize);

  if (const AttrWriter w(ds); w.on()) {
    w.UShort(ATTR_ID_SID, sid);
    w.UShort(ATTR_ID_NID, nid);
    w.UShort(ATTR_ID_ENTRY_REASON, entry_reason);
    w.UShort(ATTR_ID_CUR_CHANNEL, channel);
    w.UShort(ATTR_ID_LOC_ID, location);
    w.UShort(ATTR_ID_RF_MODE, rf_mode);
    std::uint32_t s1[2] = {};
    std::uint16_t s2[2] = {};
    GetIMSInumber(min_pair.data(0, kMinPairSize), s1, s2);
    w.UShort(ATTR_ID_MIN1_MS, s2[0]);
    w.UShort(ATTR_ID_MIN2_MS, s2[1]);
    w.Byte(ATTR_ID_CDMA_CHANNEL, code_channel);
    w.ULong(ATTR_ID_MIN1_LS, s1[0]);
    w.ULong(ATTR_ID_MIN2_LS, s1[1]);
    const std::string number =
        cdmadiag::formatf("%lu%lu", static_cast<unsigned long>(s2[1]), static_cast<unsigned long>(s1[1]));
    w.UInt64(ATTR_ID_CDMA_PHONE_NUMBER, std::strtoull(number.c_str(), nullptr, 10));
  }

  if (!msg.detailsWanted) return;
  const char* entry = "Unknown";
  if (rf_mode == kStatusAnalog) {
    entry = name_or(kStatusAnalogEntry, entry_reason, "Unknown");
  } else if (rf_mode == kStatusCellular || rf_mode == kStatusPcs) {
    entry = name_or(kStatusCdmaEntry, entry_reason, "Unknown");
  }
  std::string& d = msg.details;
  appendf(d, "ESN: %lu, rfMode: %s, MIN1(Analog): %lu, MIN1(CDMA): %lu, MIN2(Analog): %u, MIN2(CDMA): %u",
          static_cast<unsigned long>(esn), name_or(kStatusRfModes, rf_mode, "unknown"),
          static_cast<unsigned long>(min1_analog), static_cast<unsigned long>(min1_cdma), unsigned{min2_analog},
          unsigned{min2_cdma});
  appendf(d,
          ", CDMA_RX_STATE: %s, CDMA_GOOD_FRAMES: %s, ANALOG_CORRECTED_FRAMES: %u, ANALOG_BAD_FRAMES: %u, "
          "ANALOG_WORD_SYNCS: %u",
          name_or(kStatusRxStates, rx_state, "Unknown"),
          name_or(kStatusGoodFrames, good_frames, kStatusGoodFramesOther), unsigned{analog_corrected},
          unsigned{analog_bad}, unsigned{word_syncs});
  appendf(d,
          ", ENTRY_REASON: %s, CURRENT_CHAN: %u, CDMA_CODE_CHAN: %d, PILOT_BASE: %u, SID: %u, NID: %u, LOCAID: %u, "
          "RSSI: %u, POWER: %i",
          entry, unsigned{channel}, int{code_channel}, unsigned{pilot_base}, unsigned{sid}, unsigned{nid},
          unsigned{location}, unsigned{rssi}, int{power});
}

// Status snapshot (cmd 0x63), 35 bytes:
//  +off  type  name            unit
//   +0   u32   ESN
//   +4   u32   IMSI_S1
//   +8   u16   IMSI_S2
//  +10   u64   IMSI_S
//  +18   u8    IMSI_11_12
//  +19   u16   MCC
//  +21   u8    IMSI address number
//  +22   u16   SID
//  +24   u16   NID
//  +26   u8    P_REV
//  +27   u8    P_REV in use
//  +28   u8    mobile P_REV
//  +29   u8    band class      kBandClasses
//  +30   u16   channel
//  +32   u8    operation mode  kOperationModes
//  +33   u8    MC state
//  +34   u8    MC sub-state
void COrbDecodeMsgCDMAQualcommFrame::DecodeStatusSnapshotResponse(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                                  IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeStatusSnapshotResponse);
  Cursor c(payload());
  const std::uint32_t esn = c.u32le();
  const std::uint32_t imsi_s1 = c.u32le();
  const std::uint16_t imsi_s2 = c.u16le();
  const std::uint64_t imsi_s = c.u64le();
  const std::uint8_t imsi_11_12 = c.u8();
  const std::uint16_t mcc = c.u16le();
  const std::uint8_t imsi_addr_num = c.u8();
  const std::uint16_t sid = c.u16le();
  const std::uint16_t nid = c.u16le();
  const std::uint8_t p_rev = c.u8();
  const std::uint8_t p_rev_in_use = c.u8();
  const std::uint8_t mob_p_rev = c.u8();
  const std::uint8_t band_class = c.u8();
  const std::uint16_t channel = c.u16le();
  const std::uint8_t operation_mode = c.u8();
  const std::uint8_t mc_state = c.u8();
  const std::uint8_t mc_substate = c.u8();
  if (!job.check(c)) return;
  assert(c.offset() == kSnapshotSize);

  const AttrWriter w(ds);
  w.ULong(ATTR_ID_ESN, esn);
  w.UShort(ATTR_ID_SID, sid);
  w.UShort(ATTR_ID_NID, nid);
  w.UShort(ATTR_ID_CUR_CHANNEL, channel);

  if (!msg.detailsWanted) return;
  std::string& d = msg.details;
  appendf(d, "\nESN: %u, IMSI_S1: %u, IMSI_S2: %u, IMSI_S: %llu, IMSI_11_12: %u", esn, imsi_s1, unsigned{imsi_s2},
          static_cast<unsigned long long>(imsi_s), unsigned{imsi_11_12});
  appendf(d, "\nMCC: %u, IMSI_ADDR_NUM: %u, SID: %u, NID: %u, P_REV: %u, PREV_IN_USE: %u, MOB_P_REV: %u", unsigned{mcc},
          unsigned{imsi_addr_num}, unsigned{sid}, unsigned{nid}, unsigned{p_rev}, unsigned{p_rev_in_use},
          unsigned{mob_p_rev});
  appendf(d, "\nBAND_CLASS: %s (%u), Frequency Channel: %u, OPERATION_MODE: %s (%u), MC_STATE: %u, MC_SUBSTATE: %u",
          cdmadiag::group_text(kBandClassGroup, band_class).c_str(), unsigned{band_class}, unsigned{channel},
          cdmadiag::group_text(kOperationModeGroup, operation_mode).c_str(), unsigned{operation_mode},
          unsigned{mc_state}, unsigned{mc_substate});
}

// IS2000 status (cmd 0x70), at least 128 bytes:
//  +off  type     name                        unit
//   +0   u8       RF mode                     kIs2000RfModes
//   +1   u8       band class
//   +2   u16      CDMA rx state               kIs2000RxStates
//   +4   i8       good frames                 kIs2000GoodFrames
//   +5   u16      analog corrected frames
//   +7   u16      analog bad frames
//   +9   u8[2]    not read
//  +11   u16      entry reason                per RF mode
//  +13   u16      channel
//  +15   u16      SID
//  +17   u16      NID
//  +19   u16      location id
//  +21   i16      RSSI
//  +23   i8       power
//  +24   u8       active pilot count
//  +25   15 x 6   active pilot slots          below
// +115   u8       control hold                0 no
// +116   u8       pilot gating rate
// +117   u8       FSCH rate
// +118   u8       RSCH active                 0 no
// +119   u8       RSCH rate
// +120   u8       RSCH Walsh id
// +121   u8       base station P_REV
// +122   u8[6]    radio configurations        forward, reverse of FCH, DCCH, SCH
// Active pilot slot, 15 bytes:
//   +0   u16      PN
//   +2   u8       pilot record type           kPilotRecordTypes
//   +3   u8       FCH enabled                 0 no
//   +4   u16      FCH channel code
//   +6   u8       FCH QOF mask id
//   +7   u8       DCCH enabled                0 no
//   +8   u16      DCCH channel code
//  +10   u8       DCCH QOF mask id
//  +11   u8       SCH enabled                 0 no
//  +12   u16      SCH channel code
//  +14   u8       SCH QOF mask id
// RF modes 0 (analog) and 1-3 (CDMA, PCS, 900 MHz) select the entry-reason texts;
// the good-frames value means something only on the traffic channel (states 3, 4).
void COrbDecodeMsgCDMAQualcommFrame::DecodeIS2000StatusResponseMessage(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                                       IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeIS2000StatusResponseMessage);
  Cursor c(payload());
  const std::uint8_t rf_mode = c.u8();
  const std::uint8_t band_class = c.u8();
  const std::uint16_t rx_state = c.u16le();
  const std::int8_t good_frames = c.i8();
  const std::uint16_t analog_corrected = c.u16le();
  const std::uint16_t analog_bad = c.u16le();
  c.skip(2);
  const std::uint16_t entry_reason = c.u16le();
  const std::uint16_t channel = c.u16le();
  const std::uint16_t sid = c.u16le();
  const std::uint16_t nid = c.u16le();
  const std::uint16_t location = c.u16le();
  const std::int16_t rssi = c.i16le();
  const std::int8_t power = c.i8();
  const std::uint8_t pilots = c.u8();
  std::array<PilotSlot, kPilotSlots> slots{};
  for (PilotSlot& slot : slots) slot = read_pilot_slot(c);
  const std::uint8_t control_hold = c.u8();
  const std::uint8_t gating_rate = c.u8();
  const std::uint8_t fsch_rate = c.u8();
  const std::uint8_t rsch_active = c.u8();
  const std::uint8_t rsch_rate = c.u8();
  const std::uint8_t rsch_walsh = c.u8();
  const std::uint8_t bs_p_rev = c.u8();
  std::array<std::uint8_t, 6> radio_configs{};
  for (std::uint8_t& rc : radio_configs) rc = c.u8();
  if (!job.check(c)) return;
  assert(c.offset() == kIs2000Size);

  AttrWriter(ds).Byte(ATTR_ID_RF_MODE, rf_mode);
  if (!msg.detailsWanted) return;

  std::string& d = msg.details;
  const char* rf_text = name_or(kIs2000RfModes, rf_mode, nullptr);
  if (rf_text != nullptr) {
    d += rf_text;
  } else {
    appendf(d, "RF Mode: (%u) Unknown, ", unsigned{rf_mode});
  }
  appendf(d, "Band Class: %u, ", unsigned{band_class});

  const char* rx_text = name_or(kIs2000RxStates, rx_state, nullptr);
  if (rx_text != nullptr) {
    d += rx_text;
  } else {
    appendf(d, "CDMA Rx State: (%u)Unknown, ", unsigned{rx_state});
  }

  const char* good_text = name_or(kIs2000GoodFrames, good_frames, nullptr);
  if (rx_state != kRxTrafficInit && rx_state != kRxTraffic) {
    appendf(d, "CDMA Good Frames: (%i) N/A for current cdma Rx state, ", int{good_frames});
  } else if (good_text != nullptr) {
    d += good_text;
  } else {
    appendf(d, "CDMA Good Frames: (%i) Unknown Value, ", int{good_frames});
  }
  appendf(d, "Analog Corrected Frames: %u, ", unsigned{analog_corrected});
  appendf(d, "Analog Bad Frames: %u, ", unsigned{analog_bad});

  const char* entry_text = nullptr;
  if (rf_mode == kRfAnalog) {
    entry_text = name_or(kIs2000AnalogEntry, entry_reason, nullptr);
  } else if (rf_mode == kRfCdma || rf_mode == kRfPcs || rf_mode == kRf900) {
    entry_text = name_or(kIs2000CdmaEntry, entry_reason, nullptr);
  }
  if (entry_text != nullptr) {
    d += entry_text;
  } else {
    appendf(d, "Entry Reason: (%u) Unknown, ", unsigned{entry_reason});
  }
  appendf(d,
          "Center Frequency Channel: %u, SID: %u, NID: %u, Location ID: %u, RSSI: %i, Power: %i,\nNum Pilots in "
          "Active Set: %d",
          unsigned{channel}, unsigned{sid}, unsigned{nid}, unsigned{location}, int{rssi}, int{power}, int{pilots});

  // A count beyond the six slots would run into the trailer fields; only the slots
  // the layout holds are listed.
  const std::size_t shown = pilots < kPilotSlots ? pilots : kPilotSlots;
  for (std::size_t i = 0; i < shown; ++i) {
    const PilotSlot& slot = slots[i];
    const char* type_text = name_or(kPilotRecordTypes, slot.type, nullptr);
    const std::string type_name =
        type_text != nullptr ? std::string(type_text) : cdmadiag::formatf("(%u) Unknown", unsigned{slot.type});
    d += kPilotSeparator;
    appendf(d,
            "\nActive Pilot #%u -> PN: %u, Pilot Rec Type: %s,\nIsFCHEnabled: %s, FCH Channel Code: %u, FCH QOF Mask "
            "ID: %u,\nIsDCCHEnabled: %s, DCCH Channel Code: %u, DCCH QOF Mask ID: %u,\nIsSCHEnabled: %s, SCH Channel "
            "Code: %u, SCH QOF Mask ID: %u, ",
            static_cast<unsigned>(i + 1), unsigned{slot.pn}, type_name.c_str(), yes_no(slot.fch.enabled),
            unsigned{slot.fch.code}, unsigned{slot.fch.qof}, yes_no(slot.dcch.enabled), unsigned{slot.dcch.code},
            unsigned{slot.dcch.qof}, yes_no(slot.sch.enabled), unsigned{slot.sch.code}, unsigned{slot.sch.qof});
  }
  if (shown > 0) d += kPilotSeparator;

  const auto& rc = radio_configs;
  appendf(d,
          "\n\nIs ControlHold Enabled: %s, Pilot Gating Rate: %u, FSCH Rate: %u,\nIs RSCH Active: %s, RSCH Rate: %u, "
          "RSCH Walsh ID: %u,\nBaseStation_P_REV: %u,\nFCH_Fwd_RadioConfig: %u, FCH_Rev_RadioConfig: "
          "%u,\nDCCH_Fwd_RadioConfig: %u, DCCH_Rev_RadioConfig: %u,\nSCH_Fwd_RadioConfig: %u, SCH_Rev_RadioConfig: %u",
          yes_no(control_hold), unsigned{gating_rate}, unsigned{fsch_rate}, yes_no(rsch_active), unsigned{rsch_rate},
          unsigned{rsch_walsh}, unsigned{bs_p_rev}, unsigned{rc[0]}, unsigned{rc[1]}, unsigned{rc[2]}, unsigned{rc[3]},
          unsigned{rc[4]}, unsigned{rc[5]});
}
