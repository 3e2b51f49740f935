// Status responses: the classic status response, the status snapshot and the
// IS2000 status response. Offsets count from the byte after the command code.
#include <array>
#include <cstdlib>
#include <string>

#include "diag/diag_common.h"
#include "framework/attributes.h"
#include "framework/decoder_1x.h"
#include "framework/payload_reader.h"
#include "framework/text.h"
#include "framework/value_names.h"
#include "host/format_groups.h"

using cdmadiag::appendf;
using cdmadiag::name_or;
using cdmadiag::PayloadReader;
using cdmadiag::diag::fits;

namespace {

using cdmadiag::kNoBound;


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

// Active pilot records: six fixed slots of 15 bytes between offsets 25 and 115.
constexpr std::size_t kPilotRecords = 25;
constexpr std::size_t kPilotRecordSize = 15;
constexpr std::size_t kPilotSlots = 6;
constexpr std::size_t kIs2000Trailer = 115;

const char* yes_no(std::uint8_t v) { return v != 0 ? "Yes" : "No"; }

}  // namespace

// Status response (cmd 0x0C):
//   3 u32 ESN  7 u16 RF mode  9 u32 MIN1 analog  13 u32 MIN1 CDMA  17 u16 MIN2 analog
//   19 u16 MIN2 CDMA  22 u16 CDMA rx state  24 good frames  25/27/29 u16 analog
//   corrected frames, bad frames, word syncs  31 u16 entry reason  33 u16 channel
//   35 code channel  36 u16 pilot base  38 SID  40 NID  42 location id  44 RSSI  46 power
// The two MIN entries (analog, CDMA) lie as the IS-95 MIN pair: both MIN1s, then
// both MIN2s. Entry 1 (analog) goes to MIN1_LS/MIN1_MS, entry 2 (CDMA) to
// MIN2_LS/MIN2_MS, each as dialable digits; the phone number is the CDMA entry's
// area code followed by its seven digits.
void COrbDecodeMsgCDMAQualcommFrame::DecodeStatusRequestResponse(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                                 IDekCellRefs_Search*) {
  if (msg.titleWanted) msg.title = "Status Response";
  const PayloadReader r = payload();
  if (!fits(r, 47, msg)) return;

  const std::uint32_t esn = r.u32le(3);
  const std::uint16_t rf_mode = r.u16le(7);
  const std::uint32_t min1_analog = r.u32le(9);
  const std::uint32_t min1_cdma = r.u32le(13);
  const std::uint16_t min2_analog = r.u16le(17);
  const std::uint16_t min2_cdma = r.u16le(19);
  const std::uint16_t rx_state = r.u16le(22);
  const std::uint8_t good_frames = r.u8(24);
  const std::uint16_t entry_reason = r.u16le(31);
  const std::uint16_t channel = r.u16le(33);
  const std::uint8_t code_channel = r.u8(35);
  const std::uint16_t sid = r.u16le(38);
  const std::uint16_t nid = r.u16le(40);
  const std::uint16_t location = r.u16le(42);

  if (!ds->IsReadOnly()) {
    ds->SetUShort(ATTR_ID_SID, sid, 0, kNoBound, 0);
    ds->SetUShort(ATTR_ID_NID, nid, 0, kNoBound, 0);
    ds->SetUShort(ATTR_ID_ENTRY_REASON, entry_reason, 0, kNoBound, 0);
    ds->SetUShort(ATTR_ID_CUR_CHANNEL, channel, 0, kNoBound, 0);
    ds->SetUShort(ATTR_ID_LOC_ID, location, 0, kNoBound, 0);
    ds->SetUShort(ATTR_ID_RF_MODE, rf_mode, 0, kNoBound, 0);
    std::array<std::uint8_t, 12> min_pair{};
    for (std::size_t i = 0; i < min_pair.size(); ++i) min_pair[i] = r.u8(9 + i);
    std::uint32_t s1[2] = {};
    std::uint16_t s2[2] = {};
    GetIMSInumber(min_pair.data(), s1, s2);
    ds->SetUShort(ATTR_ID_MIN1_MS, s2[0], 0, kNoBound, 0);
    ds->SetUShort(ATTR_ID_MIN2_MS, s2[1], 0, kNoBound, 0);
    ds->SetByte(ATTR_ID_CDMA_CHANNEL, code_channel, 0, kNoBound, 0);
    ds->SetULong(ATTR_ID_MIN1_LS, s1[0], 0, kNoBound, 0);
    ds->SetULong(ATTR_ID_MIN2_LS, s1[1], 0, kNoBound, 0);
    const std::string number =
        cdmadiag::formatf("%lu%lu", static_cast<unsigned long>(s2[1]), static_cast<unsigned long>(s1[1]));
    ds->SetUInt64(ATTR_ID_CDMA_PHONE_NUMBER, std::strtoull(number.c_str(), nullptr, 10), 0, kNoBound, 0);
  }

  if (!msg.detailsWanted) return;
  const char* entry = "Unknown";
  if (rf_mode == 0) {
    entry = name_or(kStatusAnalogEntry, entry_reason, "Unknown");
  } else if (rf_mode == 1 || rf_mode == 2) {
    entry = name_or(kStatusCdmaEntry, entry_reason, "Unknown");
  }
  std::string& d = msg.details;
  appendf(d, "ESN: %lu, rfMode: %s, MIN1(Analog): %lu, MIN1(CDMA): %lu, MIN2(Analog): %u, MIN2(CDMA): %u",
          static_cast<unsigned long>(esn), name_or(kStatusRfModes, rf_mode, "unknown"),
          static_cast<unsigned long>(min1_analog), static_cast<unsigned long>(min1_cdma), min2_analog, min2_cdma);
  appendf(d,
          ", CDMA_RX_STATE: %s, CDMA_GOOD_FRAMES: %s, ANALOG_CORRECTED_FRAMES: %u, ANALOG_BAD_FRAMES: %u, "
          "ANALOG_WORD_SYNCS: %u",
          name_or(kStatusRxStates, rx_state, "Unknown"),
          name_or(kStatusGoodFrames, good_frames, kStatusGoodFramesOther), r.u16le(25), r.u16le(27), r.u16le(29));
  appendf(d,
          ", ENTRY_REASON: %s, CURRENT_CHAN: %u, CDMA_CODE_CHAN: %d, PILOT_BASE: %u, SID: %u, NID: %u, LOCAID: %u, "
          "RSSI: %u, POWER: %i",
          entry, channel, code_channel, r.u16le(36), sid, nid, location, r.u16le(44), r.u8(46));
}

// Status snapshot (cmd 0x63):
//   0 u32 ESN  4 u32 IMSI_S1  8 u16 IMSI_S2  10 u64 IMSI_S  18 IMSI_11_12  19 u16 MCC
//   21 IMSI address number  22 u16 SID  24 u16 NID  26 P_REV  27 P_REV in use
//   28 mobile P_REV  29 band class  30 u16 channel  32 operation mode  33 MC state
//   34 MC sub-state
void COrbDecodeMsgCDMAQualcommFrame::DecodeStatusSnapshotResponse(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                                  IDekCellRefs_Search*) {
  if (msg.titleWanted) msg.title = "Status Snapshot Response";
  const PayloadReader r = payload();
  if (!fits(r, 35, msg)) return;

  const std::uint32_t esn = r.u32le(0);
  const std::uint16_t sid = r.u16le(22);
  const std::uint16_t nid = r.u16le(24);
  const std::uint8_t band_class = r.u8(29);
  const std::uint16_t channel = r.u16le(30);
  const std::uint8_t operation_mode = r.u8(32);

  if (!ds->IsReadOnly()) {
    ds->SetULong(ATTR_ID_ESN, esn, 0, kNoBound, 0);
    ds->SetUShort(ATTR_ID_SID, sid, 0, kNoBound, 0);
    ds->SetUShort(ATTR_ID_NID, nid, 0, kNoBound, 0);
    ds->SetUShort(ATTR_ID_CUR_CHANNEL, channel, 0, kNoBound, 0);
  }

  if (!msg.detailsWanted) return;
  std::string& d = msg.details;
  appendf(d, "\nESN: %u, IMSI_S1: %u, IMSI_S2: %u, IMSI_S: %llu, IMSI_11_12: %u", esn, r.u32le(4), r.u16le(8),
          static_cast<unsigned long long>(r.u64le(10)), r.u8(18));
  appendf(d, "\nMCC: %u, IMSI_ADDR_NUM: %u, SID: %u, NID: %u, P_REV: %u, PREV_IN_USE: %u, MOB_P_REV: %u", r.u16le(19),
          r.u8(21), sid, nid, r.u8(26), r.u8(27), r.u8(28));
  appendf(d, "\nBAND_CLASS: %s (%u), Frequency Channel: %u, OPERATION_MODE: %s (%u), MC_STATE: %u, MC_SUBSTATE: %u",
          cdmadiag::diag::group_text(kBandClassGroup, band_class).c_str(), band_class, channel,
          cdmadiag::diag::group_text(kOperationModeGroup, operation_mode).c_str(), operation_mode, r.u8(33), r.u8(34));
}

// IS2000 status (cmd 0x70):
//   0 RF mode  1 band class  2 u16 rx state  4 i8 good frames  5/7 u16 analog corrected
//   and bad frames  11 u16 entry reason  13 u16 channel  15 SID  17 NID  19 location id
//   21 i16 RSSI  23 i8 power  24 active pilot count  25 six 15-byte pilot slots
//   115 control hold  116 gating rate  117 FSCH rate  118 RSCH active  119 RSCH rate
//   120 RSCH Walsh id  121 base station P_REV  122..127 radio configurations
// RF modes 0 (analog) and 1-3 (CDMA, PCS, 900 MHz) select the entry-reason texts;
// the good-frames value means something only on the traffic channel (states 3, 4).
void COrbDecodeMsgCDMAQualcommFrame::DecodeIS2000StatusResponseMessage(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                                       IDekCellRefs_Search*) {
  if (msg.titleWanted) msg.title = "IS2000 Status Response Message";
  const PayloadReader r = payload();
  if (!fits(r, 128, msg)) return;

  const std::uint8_t rf_mode = r.u8(0);
  if (!ds->IsReadOnly()) ds->SetByte(ATTR_ID_RF_MODE, rf_mode, 0, kNoBound, 0);
  if (!msg.detailsWanted) return;

  std::string& d = msg.details;
  const char* rf_text = name_or(kIs2000RfModes, rf_mode, nullptr);
  if (rf_text != nullptr) {
    d += rf_text;
  } else {
    appendf(d, "RF Mode: (%u) Unknown, ", rf_mode);
  }
  appendf(d, "Band Class: %u, ", r.u8(1));

  const std::uint16_t rx_state = r.u16le(2);
  const char* rx_text = name_or(kIs2000RxStates, rx_state, nullptr);
  if (rx_text != nullptr) {
    d += rx_text;
  } else {
    appendf(d, "CDMA Rx State: (%u)Unknown, ", rx_state);
  }

  const std::int8_t good_frames = r.i8(4);
  const char* good_text = name_or(kIs2000GoodFrames, good_frames, nullptr);
  if (rx_state != kRxTrafficInit && rx_state != kRxTraffic) {
    appendf(d, "CDMA Good Frames: (%i) N/A for current cdma Rx state, ", good_frames);
  } else if (good_text != nullptr) {
    d += good_text;
  } else {
    appendf(d, "CDMA Good Frames: (%i) Unknown Value, ", good_frames);
  }
  appendf(d, "Analog Corrected Frames: %u, ", r.u16le(5));
  appendf(d, "Analog Bad Frames: %u, ", r.u16le(7));

  const std::uint16_t entry_reason = r.u16le(11);
  const char* entry_text = nullptr;
  if (rf_mode == kRfAnalog) {
    entry_text = name_or(kIs2000AnalogEntry, entry_reason, nullptr);
  } else if (rf_mode == kRfCdma || rf_mode == kRfPcs || rf_mode == kRf900) {
    entry_text = name_or(kIs2000CdmaEntry, entry_reason, nullptr);
  }
  if (entry_text != nullptr) {
    d += entry_text;
  } else {
    appendf(d, "Entry Reason: (%u) Unknown, ", entry_reason);
  }
  const std::uint8_t pilots = r.u8(24);
  appendf(d,
          "Center Frequency Channel: %u, SID: %u, NID: %u, Location ID: %u, RSSI: %i, Power: %i,\nNum Pilots in "
          "Active Set: %d",
          r.u16le(13), r.u16le(15), r.u16le(17), r.u16le(19), r.i16le(21), r.i8(23), pilots);

  // A count beyond the six slots would run into the trailer fields; only the slots
  // the layout holds are listed.
  const std::size_t shown = pilots < kPilotSlots ? pilots : kPilotSlots;
  for (std::size_t i = 0; i < shown; ++i) {
    const std::size_t at = kPilotRecords + i * kPilotRecordSize;
    const std::uint8_t type = r.u8(at + 2);
    const char* type_text = name_or(kPilotRecordTypes, type, nullptr);
    const std::string type_name =
        type_text != nullptr ? std::string(type_text) : cdmadiag::formatf("(%u) Unknown", type);
    d += kPilotSeparator;
    appendf(d,
            "\nActive Pilot #%u -> PN: %u, Pilot Rec Type: %s,\nIsFCHEnabled: %s, FCH Channel Code: %u, FCH QOF Mask "
            "ID: %u,\nIsDCCHEnabled: %s, DCCH Channel Code: %u, DCCH QOF Mask ID: %u,\nIsSCHEnabled: %s, SCH Channel "
            "Code: %u, SCH QOF Mask ID: %u, ",
            static_cast<unsigned>(i + 1), r.u16le(at), type_name.c_str(), yes_no(r.u8(at + 3)), r.u16le(at + 4),
            r.u8(at + 6), yes_no(r.u8(at + 7)), r.u16le(at + 8), r.u8(at + 10), yes_no(r.u8(at + 11)), r.u16le(at + 12),
            r.u8(at + 14));
  }
  if (shown > 0) d += kPilotSeparator;

  const std::size_t t = kIs2000Trailer;
  appendf(d,
          "\n\nIs ControlHold Enabled: %s, Pilot Gating Rate: %u, FSCH Rate: %u,\nIs RSCH Active: %s, RSCH Rate: %u, "
          "RSCH Walsh ID: %u,\nBaseStation_P_REV: %u,\nFCH_Fwd_RadioConfig: %u, FCH_Rev_RadioConfig: "
          "%u,\nDCCH_Fwd_RadioConfig: %u, DCCH_Rev_RadioConfig: %u,\nSCH_Fwd_RadioConfig: %u, SCH_Rev_RadioConfig: %u",
          yes_no(r.u8(t)), r.u8(t + 1), r.u8(t + 2), yes_no(r.u8(t + 3)), r.u8(t + 4), r.u8(t + 5), r.u8(t + 6),
          r.u8(t + 7), r.u8(t + 8), r.u8(t + 9), r.u8(t + 10), r.u8(t + 11), r.u8(t + 12));
}
