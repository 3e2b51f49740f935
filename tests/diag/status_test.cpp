// The status response and the IS2000 status response: texts, MIN mapping, and the
// active pilot record loop.
#include <gtest/gtest.h>

#include "framework/failure_texts.h"
#include "support/decoder_case.h"

using cdmadiag::test::Bytes;
using cdmadiag::test::DecoderCase;
using F = COrbDecodeMsgCDMAQualcommFrame;

namespace {

// MIN digits as IS-95 codes them (each digit 0 as 10, then minus 111 per group of
// three): area 858 -> 747; 555-1234 -> 444 << 14 | 1 << 10 | 123.
constexpr std::uint32_t kMin1Cdma = (444u << 14) | (1u << 10) | 123u;

// 3 ESN, 7 RF mode, 9/13 MIN1 analog/CDMA, 17/19 MIN2 analog/CDMA, 22 rx state (traffic), 24 good frames,
// 25/27/29 analog frames and syncs, 31 entry reason, 33 channel, 35 code channel, 36 pilot base, 38 SID,
// 40 NID, 42 location, 44 RSSI, 46 power.
Bytes status_response(std::uint16_t rf_mode = 1, std::uint16_t entry_reason = 2) {
  Bytes b = Bytes{0, 0, 0}.u32(305419896).u16(rf_mode).u32(0).u32(kMin1Cdma).u16(0).u16(747).u8(0);
  b.u16(4).u8(1).u16(5).u16(6).u16(7).u16(entry_reason).u16(283).u8(9).u16(100).u16(4139).u16(2).u16(77);
  return b.u16(90).u8(200);
}

// 0 RF mode, 2 rx state, 4 good frames, 5/7 analog frames, 11 entry reason, channel, SID, NID, location,
// 21 RSSI, 23 power, 24 pilot count, 25 six 15-byte pilot slots, 115 trailer.
Bytes is2000_status(std::uint8_t pilots, std::uint8_t rf_mode = 1, std::uint16_t rx_state = 4, std::int8_t good = 1) {
  Bytes b;
  b.u8(rf_mode).u8(0).u16(rx_state).u8(static_cast<std::uint8_t>(good)).u16(3).u16(4).zeros(2);
  b.u16(0).u16(384).u16(10).u16(11).u16(12).u16(static_cast<std::uint16_t>(-80)).u8(0xFB).u8(pilots);
  b.u16(100).u8(0).u8(1).u16(9).u8(0).u8(0).u16(0).u8(0).u8(1).u16(2).u8(1);
  for (int i = 1; i < 6; ++i) b.u16(static_cast<std::uint32_t>(199 + i)).u8(7).zeros(12);
  return b.u8(1).u8(2).u8(3).u8(0).u8(4).u8(5).u8(6).u8(3).u8(3).u8(4).u8(4).u8(5).u8(5);
}

const std::string kSep = "\n-------------------------------------------------------------";

std::size_t count(const std::string& s, const std::string& what) {
  std::size_t n = 0;
  for (auto at = s.find(what); at != std::string::npos; at = s.find(what, at + 1)) ++n;
  return n;
}

}  // namespace

TEST(StatusResponse, DetailsAndWritesByteForByte) {
  DecoderCase d;
  d.call(&F::DecodeStatusRequestResponse, status_response());
  EXPECT_EQ(d.msg.title, "Status Response");
  EXPECT_EQ(d.msg.details,
            "ESN: 305419896, rfMode: CDMA Cellular, MIN1(Analog): 0, MIN1(CDMA): 7275643, MIN2(Analog): 0, "
            "MIN2(CDMA): 747, CDMA_RX_STATE: Traffic Channel State, CDMA_GOOD_FRAMES: Good Frames received since the "
            "last status request., ANALOG_CORRECTED_FRAMES: 5, ANALOG_BAD_FRAMES: 6, ANALOG_WORD_SYNCS: 7, "
            "ENTRY_REASON: Originate call in CDMA mode, CURRENT_CHAN: 283, CDMA_CODE_CHAN: 9, PILOT_BASE: 100, SID: "
            "4139, NID: 2, LOCAID: 77, RSSI: 90, POWER: 200");
  // The MIN pair becomes dialable digits (an all-zero entry reads 111 111-0111) and the phone number.
  EXPECT_EQ(d.writes(),
            "SID UShort[0] 4139\nNID UShort[0] 2\nENTRY_REASON UShort[0] 2\nCUR_CHANNEL UShort[0] 283\n"
            "LOC_ID UShort[0] 77\nRF_MODE UShort[0] 1\nMIN1_MS UShort[0] 111\nMIN2_MS UShort[0] 858\n"
            "CDMA_CHANNEL Byte[0] 9\nMIN1_LS ULong[0] 1110111\nMIN2_LS ULong[0] 5551234\n"
            "CDMA_PHONE_NUMBER UInt64[0] 8585551234\n");
}

TEST(StatusResponse, EntryReasonDependsOnTheMode) {
  const struct {
    std::uint16_t rf_mode, entry_reason;
    const char* part;
  } cases[] = {{0, 1, "rfMode: Analog, "},
               {0, 1, "ENTRY_REASON: Digital to analog handoff,"},
               {3, 1, "ENTRY_REASON: Unknown,"},
               {9, 0, "rfMode: unknown,"}};
  DecoderCase d;
  for (const auto& c : cases) {
    d.call(&F::DecodeStatusRequestResponse, status_response(c.rf_mode, c.entry_reason));
    EXPECT_NE(d.msg.details.find(c.part), std::string::npos) << c.part;
  }
}

TEST(Is2000Status, DetailsByteForByteWithTwoPilots) {
  DecoderCase d;
  d.call(&F::DecodeIS2000StatusResponseMessage, is2000_status(2));
  EXPECT_EQ(d.msg.title, "IS2000 Status Response Message");
  EXPECT_EQ(
      d.msg.details,
      "RF Mode: CDMA, Band Class: 0, CDMA Rx State: Traffic channel state, CDMA Good Frames: Good frames "
      "received since the last status request, Analog Corrected Frames: 3, Analog Bad Frames: 4, Entry Reason: "
      "Normal CDMA operation, Center Frequency Channel: 384, SID: 10, NID: 11, Location ID: 12, RSSI: -80, "
      "Power: -5,\nNum Pilots in Active Set: 2" +
          kSep +
          "\nActive Pilot #1 -> PN: 100, Pilot Rec Type: 1X common transit diversity pilot,\nIsFCHEnabled: Yes, "
          "FCH Channel Code: 9, FCH QOF Mask ID: 0,\nIsDCCHEnabled: No, DCCH Channel Code: 0, DCCH QOF Mask ID: "
          "0,\nIsSCHEnabled: Yes, SCH Channel Code: 2, SCH QOF Mask ID: 1, " +
          kSep +
          "\nActive Pilot #2 -> PN: 200, Pilot Rec Type: (7) Unknown,\nIsFCHEnabled: No, FCH Channel Code: 0, "
          "FCH QOF Mask ID: 0,\nIsDCCHEnabled: No, DCCH Channel Code: 0, DCCH QOF Mask ID: 0,\nIsSCHEnabled: "
          "No, SCH Channel Code: 0, SCH QOF Mask ID: 0, " +
          kSep +
          "\n\nIs ControlHold Enabled: Yes, Pilot Gating Rate: 2, FSCH Rate: 3,\nIs RSCH Active: No, RSCH Rate: "
          "4, RSCH Walsh ID: 5,\nBaseStation_P_REV: 6,\nFCH_Fwd_RadioConfig: 3, FCH_Rev_RadioConfig: "
          "3,\nDCCH_Fwd_RadioConfig: 4, DCCH_Rev_RadioConfig: 4,\nSCH_Fwd_RadioConfig: 5, SCH_Rev_RadioConfig: 5");
  EXPECT_EQ(d.writes(), "RF_MODE Byte[0] 1\n");
}

// No pilots: no separators at all; otherwise one before each record and a closing
// one. A count past the six slots lists the six slots only, the last from its own offset.
TEST(Is2000Status, ListsEachSlotOnceBetweenSeparators) {
  DecoderCase d;
  for (const auto& [pilots, records] : std::vector<std::pair<std::uint8_t, std::size_t>>{{0, 0}, {1, 1}, {7, 6}}) {
    d.call(&F::DecodeIS2000StatusResponseMessage, is2000_status(pilots));
    EXPECT_EQ(count(d.msg.details, "\nActive Pilot #"), records);
    EXPECT_EQ(count(d.msg.details, kSep), records == 0 ? 0 : records + 1);
  }
  d.call(&F::DecodeIS2000StatusResponseMessage, is2000_status(255));
  EXPECT_NE(d.msg.details.find("\nActive Pilot #6 -> PN: 204,"), std::string::npos);
}

TEST(Is2000Status, GoodFramesAndModeTexts) {
  const struct {
    std::uint8_t rf_mode;
    std::uint16_t rx_state;
    std::int8_t good;
    const char* part;
  } cases[] = {
      {1, 2, 1, "CDMA Rx State: Paging channel state, CDMA Good Frames: (1) N/A for current cdma Rx state, "},
      {9, 9, -3, "RF Mode: (9) Unknown, Band Class: 0, CDMA Rx State: (9)Unknown, CDMA Good Frames: (-3) N/A"},
      {9, 9, -3, "Entry Reason: (0) Unknown, "},
      {0, 4, 5, "CDMA Good Frames: (5) Unknown Value, "},
      {0, 4, 5, "Entry Reason: Normal analog operation, "},
  };
  DecoderCase d;
  for (const auto& c : cases) {
    d.call(&F::DecodeIS2000StatusResponseMessage, is2000_status(0, c.rf_mode, c.rx_state, c.good));
    EXPECT_NE(d.msg.details.find(c.part), std::string::npos) << c.part;
  }
}

TEST(StatusResponses, TruncatedPayloadsNeverReadPastTheEnd) {
  for (const auto& [decoder, bytes] : {std::pair{&F::DecodeStatusRequestResponse, status_response()},
                                       std::pair{&F::DecodeIS2000StatusResponseMessage, is2000_status(6)}}) {
    cdmadiag::test::sweep_truncations(decoder, bytes, [](const DecoderCase& d, std::size_t) {
      EXPECT_EQ(d.msg.details, cdmadiag::kNotQualcommStandard);
      EXPECT_EQ(d.writes(), "");
    });
  }
}
