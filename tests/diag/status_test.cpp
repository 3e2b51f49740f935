// The status response and the IS2000 status response: texts, MIN mapping, and the
// active pilot record loop.
#include <gtest/gtest.h>

#include "diag/diag_fixture.h"

using cdmadiag::test::Bytes;
using cdmadiag::test::Decoded;
using cdmadiag::test::prefix;
using F = COrbDecodeMsgCDMAQualcommFrame;

namespace {

// MIN digits as IS-95 codes them (each digit 0 as 10, then minus 111 per group of
// three): area 858 -> 747; 555-1234 -> 444 << 14 | 1 << 10 | 123.
constexpr std::uint32_t kMin1Cdma = (444u << 14) | (1u << 10) | 123u;
constexpr std::uint16_t kMin2Cdma = 747;

Bytes status_response(std::uint16_t rf_mode = 1, std::uint16_t entry_reason = 2) {
  return Bytes{0, 0, 0}
      .u32(305419896)     // 3 ESN
      .u16(rf_mode)       // 7
      .u32(0)             // 9 MIN1 analog
      .u32(kMin1Cdma)     // 13 MIN1 CDMA
      .u16(0)             // 17 MIN2 analog
      .u16(kMin2Cdma)     // 19 MIN2 CDMA
      .u8(0)              // 21 unused
      .u16(4)             // 22 rx state: traffic
      .u8(1)              // 24 good frames
      .u16(5)             // 25 analog corrected frames
      .u16(6)             // 27 analog bad frames
      .u16(7)             // 29 word syncs
      .u16(entry_reason)  // 31
      .u16(283)           // 33 channel
      .u8(9)              // 35 code channel
      .u16(100)           // 36 pilot base
      .u16(4139)          // 38 SID
      .u16(2)             // 40 NID
      .u16(77)            // 42 location id
      .u16(90)            // 44 RSSI
      .u8(200);           // 46 power
}

struct PilotRecord {
  std::uint16_t pn;
  std::uint8_t type, fch, fch_code_lo, fch_qof, dcch, sch, sch_code_lo, sch_qof;
};

Bytes is2000_status(std::uint8_t pilots, std::uint8_t rf_mode = 1, std::uint16_t rx_state = 4,
                    std::int8_t good_frames = 1) {
  Bytes b;
  b.u8(rf_mode).u8(0).u16(rx_state).u8(static_cast<std::uint8_t>(good_frames));
  b.u16(3).u16(4).zeros(2);                   // 5, 7 analog frames; 9-10 unused
  b.u16(0).u16(384).u16(10).u16(11).u16(12);  // 11 entry reason, channel, SID, NID, location
  b.u16(static_cast<std::uint16_t>(-80)).u8(static_cast<std::uint8_t>(-5)).u8(pilots);
  for (int i = 0; i < 6; ++i) {
    if (i == 0) {
      b.u16(100).u8(0).u8(1).u16(9).u8(0).u8(0).u16(0).u8(0).u8(1).u16(2).u8(1);
    } else {
      b.u16(static_cast<std::uint32_t>(200 + i - 1)).u8(7).zeros(12);
    }
  }
  b.u8(1).u8(2).u8(3).u8(0).u8(4).u8(5).u8(6);  // 115-121
  b.u8(3).u8(3).u8(4).u8(4).u8(5).u8(5);        // 122-127
  return b;
}

constexpr const char* kSep = "\n-------------------------------------------------------------";

std::size_t count(const std::string& s, const std::string& what) {
  std::size_t n = 0;
  for (auto at = s.find(what); at != std::string::npos; at = s.find(what, at + 1)) ++n;
  return n;
}

}  // namespace

TEST(StatusResponse, DetailsByteForByte) {
  Decoded d;
  d.run(&F::DecodeStatusRequestResponse, status_response());
  EXPECT_EQ(d.msg.title, "Status Response");
  EXPECT_EQ(d.msg.details,
            "ESN: 305419896, rfMode: CDMA Cellular, MIN1(Analog): 0, MIN1(CDMA): 7275643, MIN2(Analog): 0, "
            "MIN2(CDMA): 747, CDMA_RX_STATE: Traffic Channel State, CDMA_GOOD_FRAMES: Good Frames received since the "
            "last status request., ANALOG_CORRECTED_FRAMES: 5, ANALOG_BAD_FRAMES: 6, ANALOG_WORD_SYNCS: 7, "
            "ENTRY_REASON: Originate call in CDMA mode, CURRENT_CHAN: 283, CDMA_CODE_CHAN: 9, PILOT_BASE: 100, SID: "
            "4139, NID: 2, LOCAID: 77, RSSI: 90, POWER: 200");
}

TEST(StatusResponse, EntryReasonDependsOnTheMode) {
  Decoded analog;
  analog.run(&F::DecodeStatusRequestResponse, status_response(0, 1));
  EXPECT_NE(analog.msg.details.find("ENTRY_REASON: Digital to analog handoff,"), std::string::npos);
  Decoded sleep;
  sleep.run(&F::DecodeStatusRequestResponse, status_response(3, 1));
  EXPECT_NE(sleep.msg.details.find("rfMode: Sleep mode,"), std::string::npos);
  EXPECT_NE(sleep.msg.details.find("ENTRY_REASON: Unknown,"), std::string::npos);
  Decoded odd;
  odd.run(&F::DecodeStatusRequestResponse, status_response(9, 0));
  EXPECT_NE(odd.msg.details.find("rfMode: unknown,"), std::string::npos);
}

TEST(StatusResponse, MinPairBecomesDigitsAndPhoneNumber) {
  Decoded d;
  d.run(&F::DecodeStatusRequestResponse, status_response());
  EXPECT_EQ(d.of("ATTR_ID_MIN2_LS").at(0).value, 5551234);
  EXPECT_EQ(d.of("ATTR_ID_MIN2_LS").at(0).op, WriteOp::kSetULong);
  EXPECT_EQ(d.of("ATTR_ID_MIN2_MS").at(0).value, 858);
  EXPECT_EQ(d.of("ATTR_ID_MIN2_MS").at(0).op, WriteOp::kSetUShort);
  EXPECT_EQ(d.of("ATTR_ID_MIN1_LS").size(), 1u);
  EXPECT_EQ(d.of("ATTR_ID_MIN1_MS").size(), 1u);
  const auto number = d.of("ATTR_ID_CDMA_PHONE_NUMBER");
  ASSERT_EQ(number.size(), 1u);
  EXPECT_EQ(number[0].op, WriteOp::kSetUInt64);
  EXPECT_EQ(number[0].value, 8585551234.0);
  EXPECT_EQ(d.of("ATTR_ID_CDMA_CHANNEL").at(0).op, WriteOp::kSetByte);
  EXPECT_EQ(d.of("ATTR_ID_CDMA_CHANNEL").at(0).value, 9);
  EXPECT_EQ(d.of("ATTR_ID_SID").at(0).value, 4139);
  EXPECT_EQ(d.of("ATTR_ID_CUR_CHANNEL").at(0).value, 283);
  EXPECT_EQ(d.of("ATTR_ID_LOC_ID").at(0).value, 77);
  EXPECT_EQ(d.of("ATTR_ID_ENTRY_REASON").at(0).value, 2);
  EXPECT_EQ(d.of("ATTR_ID_RF_MODE").at(0).op, WriteOp::kSetUShort);
}

TEST(StatusResponse, TruncatedPayloadsNeverReadPastTheEnd) {
  const Bytes full = status_response();
  for (std::size_t n = 0; n < full.size(); ++n) {
    Decoded d;
    ASSERT_NO_THROW(d.run(&F::DecodeStatusRequestResponse, prefix(full, n))) << n;
    EXPECT_TRUE(d.st.sink.writes.empty()) << n;
  }
}

TEST(Is2000Status, DetailsByteForByteWithTwoPilots) {
  Decoded d;
  d.run(&F::DecodeIS2000StatusResponseMessage, is2000_status(2));
  EXPECT_EQ(d.msg.title, "IS2000 Status Response Message");
  const std::string expected =
      std::string(
          "RF Mode: CDMA, Band Class: 0, CDMA Rx State: Traffic channel state, CDMA Good Frames: Good frames "
          "received since the last status request, Analog Corrected Frames: 3, Analog Bad Frames: 4, Entry Reason: "
          "Normal CDMA operation, Center Frequency Channel: 384, SID: 10, NID: 11, Location ID: 12, RSSI: -80, "
          "Power: -5,\nNum Pilots in Active Set: 2") +
      kSep +
      "\nActive Pilot #1 -> PN: 100, Pilot Rec Type: 1X common transit diversity pilot,\nIsFCHEnabled: Yes, FCH "
      "Channel Code: 9, FCH QOF Mask ID: 0,\nIsDCCHEnabled: No, DCCH Channel Code: 0, DCCH QOF Mask ID: "
      "0,\nIsSCHEnabled: Yes, SCH Channel Code: 2, SCH QOF Mask ID: 1, " +
      kSep +
      "\nActive Pilot #2 -> PN: 200, Pilot Rec Type: (7) Unknown,\nIsFCHEnabled: No, FCH Channel Code: 0, FCH QOF "
      "Mask ID: 0,\nIsDCCHEnabled: No, DCCH Channel Code: 0, DCCH QOF Mask ID: 0,\nIsSCHEnabled: No, SCH Channel "
      "Code: 0, SCH QOF Mask ID: 0, " +
      kSep +
      "\n\nIs ControlHold Enabled: Yes, Pilot Gating Rate: 2, FSCH Rate: 3,\nIs RSCH Active: No, RSCH Rate: 4, "
      "RSCH Walsh ID: 5,\nBaseStation_P_REV: 6,\nFCH_Fwd_RadioConfig: 3, FCH_Rev_RadioConfig: "
      "3,\nDCCH_Fwd_RadioConfig: 4, DCCH_Rev_RadioConfig: 4,\nSCH_Fwd_RadioConfig: 5, SCH_Rev_RadioConfig: 5";
  EXPECT_EQ(d.msg.details, expected);
  const auto rf = d.of("ATTR_ID_RF_MODE");
  ASSERT_EQ(rf.size(), 1u);
  EXPECT_EQ(rf[0].op, WriteOp::kSetByte);
  EXPECT_EQ(rf[0].value, 1);
}

struct LoopCase {
  std::uint8_t count;
  std::size_t records;
  std::size_t separators;
};

class Is2000RecordLoop : public testing::TestWithParam<LoopCase> {};

// No pilots: no separators at all; otherwise one before each record and a closing
// one. A count past the six slots lists the six slots only.
TEST_P(Is2000RecordLoop, ListsEachSlotOnceBetweenSeparators) {
  Decoded d;
  d.run(&F::DecodeIS2000StatusResponseMessage, is2000_status(GetParam().count));
  EXPECT_EQ(count(d.msg.details, "\nActive Pilot #"), GetParam().records);
  EXPECT_EQ(count(d.msg.details, kSep), GetParam().separators);
}

INSTANTIATE_TEST_SUITE_P(Diag, Is2000RecordLoop,
                         testing::Values(LoopCase{0, 0, 0}, LoopCase{1, 1, 2}, LoopCase{6, 6, 7}, LoopCase{7, 6, 7},
                                         LoopCase{255, 6, 7}));

TEST(Is2000Status, LastSlotIsReadFromItsOwnOffset) {
  Decoded d;
  d.run(&F::DecodeIS2000StatusResponseMessage, is2000_status(6));
  EXPECT_NE(d.msg.details.find("\nActive Pilot #6 -> PN: 204,"), std::string::npos);
}

TEST(Is2000Status, GoodFramesAndModeTexts) {
  Decoded paging;
  paging.run(&F::DecodeIS2000StatusResponseMessage, is2000_status(0, 1, 2, 1));
  EXPECT_NE(paging.msg.details.find("CDMA Rx State: Paging channel state, CDMA Good Frames: (1) N/A for current cdma "
                                    "Rx state, "),
            std::string::npos);
  Decoded odd;
  odd.run(&F::DecodeIS2000StatusResponseMessage, is2000_status(0, 9, 9, -3));
  EXPECT_EQ(odd.msg.details.rfind("RF Mode: (9) Unknown, Band Class: 0, CDMA Rx State: (9)Unknown, CDMA Good Frames: "
                                  "(-3) N/A for current cdma Rx state, ",
                                  0),
            0u);
  EXPECT_NE(odd.msg.details.find("Entry Reason: (0) Unknown, "), std::string::npos);
  Decoded unknown_value;
  unknown_value.run(&F::DecodeIS2000StatusResponseMessage, is2000_status(0, 0, 4, 5));
  EXPECT_NE(unknown_value.msg.details.find("CDMA Good Frames: (5) Unknown Value, "), std::string::npos);
  EXPECT_NE(unknown_value.msg.details.find("Entry Reason: Normal analog operation, "), std::string::npos);
}

TEST(Is2000Status, TruncatedPayloadsNeverReadPastTheEnd) {
  const Bytes full = is2000_status(6);
  for (std::size_t n = 0; n < full.size(); ++n) {
    Decoded d;
    ASSERT_NO_THROW(d.run(&F::DecodeIS2000StatusResponseMessage, prefix(full, n))) << n;
    EXPECT_TRUE(d.st.sink.writes.empty()) << n;
  }
}
