// Active set information (0x1093, 0x10C6, 0x10C7).
#include <gtest/gtest.h>

#include <string>

#include "framework/failure_texts.h"
#include "support/decoder_case.h"

namespace cdmadiag::test {
namespace {

constexpr std::uint32_t kV1 = 0x1093;
constexpr std::uint32_t kV2 = 0x10C6;
constexpr std::uint32_t kRed = 0x10C7;

// Version 1: CDMA PCS, band 1, channel 25, n pilots; slot i holds PN 100+i, type 1, only the
// FCH of pilot 0 active when fch; forward rate at 95; reverse SCH active, rate rev_rate, Walsh 2.
Bytes v1(std::uint8_t n, bool fch, std::uint8_t rev_rate = 4, std::uint8_t for_rate = 3) {
  Bytes b;
  b.u8(2).u8(1).u16(25).u8(n);
  for (unsigned i = 0; i < 6; ++i) {
    b.at(5 + 15 * i).u16(100 + i).u8(1);
    b.u8(i == 0 && fch ? 1 : 0).u16(7).u8(1);  // FCH: active only as asked, code 7, QOF 1
    b.u8(0).u16(9).u8(2);                      // DCCH inactive: the text still prints 0s
    b.u8(0).zeros(3);                          // SCH
  }
  return b.at(95).u8(for_rate).u8(1).u8(rev_rate).u8(2);
}

std::string v1_pilot(unsigned i, bool fch) {
  return "Active Set (" + std::to_string(i + 1) + "):\n\tPilot PN: " + std::to_string(100 + i) +
         ", Pilot receive type: 1\n\tFCH(" +
         (fch ? "active) - Code channel: 7, QOF mask ID: 1\n" : "inactive) - Code channel: 0, QOF mask ID: 0\n") +
         "\tDCCH(inactive) - Code channel: 0, QOF mask ID: 0\n\tSCH(inactive) - Code channel: 0, QOF mask ID: 0\n";
}

const std::string kV1Head =
    "Rf mode: CDMA PCS (2)\nBand class: 1.8 to 2.0 GHz PCS band (1)\nCenter frequency channel: 25\n";

// Both rates at the largest code, 5, are still shown and written.
TEST(ActiveSet, Version1TextAndWrites) {
  DecoderCase c;
  c.run(kV1, v1(2, true, 5, 5));
  EXPECT_EQ(c.msg.details, kV1Head + "Number of pilots: 2\n\t\n" + v1_pilot(0, true) + v1_pilot(1, false) +
                               "\t\nFSCH rate: 5\nRSCH - Active: 1, Rate: 5, Walsh ID: 2\n");
  EXPECT_EQ(c.writes(),
            "RF_MODE Byte[0] 2\nCUR_CHANNEL UShort[0] 25\nFor_SCH0_Rate Byte[0] 5\nRev_SCH0_Rate Byte[0] 5\n");
}

TEST(ActiveSet, Version1ClampsCountAndGatesRates) {
  DecoderCase c;
  // A count of 9 shows the six slots and still reads the SCH fields at 95..98.
  c.run(kV1, v1(9, true));
  std::string pilots;
  for (unsigned i = 0; i < 6; ++i) pilots += v1_pilot(i, i == 0);
  EXPECT_EQ(c.msg.details, kV1Head + "Number of pilots: 9\n\t\n" + pilots +
                               "\t\nFSCH rate: 3\nRSCH - Active: 1, Rate: 4, Walsh ID: 2\n");
  // No active FCH: no forward rate; reverse rate 6: no RSCH line nor write though active.
  c.run(kV1, v1(2, false, 6));
  EXPECT_EQ(c.msg.details, kV1Head + "Number of pilots: 2\n\t\n" + v1_pilot(0, false) + v1_pilot(1, false) + "\t\n");
  EXPECT_EQ(c.writes(), "RF_MODE Byte[0] 2\nCUR_CHANNEL UShort[0] 25\n");
}

// Version 2: band 5, channel 283, flags as given, then the pilot records.
Bytes v2_head(std::uint8_t flags, std::uint8_t n) { return Bytes{}.u8(1).u8(5).u16(283).u8(flags).u8(n).zeros(2); }

TEST(ActiveSet, Version2RecordsFollowTypeAndChannels) {
  DecoderCase c;
  // FCH and DCCH active, SCCH count 2; record 1 of type 2 (5-byte area, 3 skipped), record 2 of type 0xFF.
  Bytes two = v2_head(0x0B, 2);
  two.u16(40).u8(2).u8(0).u8(3).u8(1).u16(12).u8(5).zeros(3).u16(8).u8(1).u8(0).u16(9).u8(2).u8(0).u16(33).u8(3).u8(0);
  two.u16(50).u8(0xFF).u8(0).u16(4).u8(0).u8(0).u16(5).u8(0).u8(0).u16(6).u8(1).u8(0);
  c.run(kV2, two);
  EXPECT_EQ(c.msg.details,
            "\nRF Mode: 1, Band class: 450 MHz band, CDMA_CHANNEL: 283, Number of Pilots in active set: 2, FCH "
            "active: 1, DCCH active: 1, Number of SCCH active: 2\n"
            "\nActive Set Pilot Record 1: PN Offset: 40\n\nTransmit diversity power level: 3, Transmit Diversity "
            "mode: 1\n\nWalsh code for aux pilot: 12, QOF: 5\n\nFCH Code Channel: 8, FCH QOF index: 1\n\nDCCH Code "
            "Channel: 9, DCCH QOF index: 2\n\nSCCH Code Channel: 33, SCCH QOF index: 3\n"
            "\nActive Set Pilot Record 2: PN Offset: 50\n\nFCH Code Channel: 4, FCH QOF index: 0\n\nDCCH Code "
            "Channel: 5, DCCH QOF index: 0\n\nSCCH Code Channel: 6, SCCH QOF index: 1\n");
  EXPECT_EQ(c.writes(),
            "For_FCH_Is_Active UShort[0] 1\nFor_DCCH_Is_Active UShort[0] 1\nFor_SCH0_Is_Active Long[0] 1\n"
            "For_SCH1_Is_Active Long[0] 1\nCDMA_CHANNEL UShort[0] 283\nNUM_ACTIVE_PILOTS UShort[0] 2\n"
            "AUX_PILOT_WALSH_CODE UShort[0] 12\n");
  // SCCH count 3 writes no SCH flag; an unknown type still pads to 4 and skips 3; a count of 3
  // with two whole records stops there and says so.
  Bytes lying = v2_head(0x0C, 3);
  lying.u16(60).u8(9).u8(0).zeros(7).u16(70).u8(1).u8(0);
  lying.u16(61).u8(0xFF).u8(0).u16(71).u8(2).u8(0);
  lying.u16(62).u8(0xFF);
  c.run(kV2, lying);
  EXPECT_EQ(c.writes({"For_SCH"}), "");
  EXPECT_EQ(c.msg.details.substr(c.msg.details.find("\nActive Set Pilot Record 1")),
            "\nActive Set Pilot Record 1: PN Offset: 60\n\nSCCH Code Channel: 70, SCCH QOF index: 1\n"
            "\nActive Set Pilot Record 2: PN Offset: 61\n\nSCCH Code Channel: 71, SCCH QOF index: 2\n"
            "\nPacket ends after 2 of 3 pilot records\n");
}

// Sub-record 1: R-SCH only, p = 4 and no pilot entries; sub-record 2: F-SCH with two pilots.
Bytes reduced(std::uint8_t count) {
  Bytes b;
  b.u8(count);
  b.u8(5).u8(0x02).u8(4).u16(33).u8(3).u8(11).u8(0xEE);
  b.u8(6).u8(0x01).u8(2).u16(120).u16(34).u8(2).u8(1).u16(17).u16(240).u16(35).u8(4).u8(0).u16(18).u8(0xEE);
  return b;
}

TEST(ActiveSet, ReducedSubRecordsAndStride) {
  DecoderCase c;
  c.run(kRed, reduced(2));
  EXPECT_EQ(c.msg.details,
            "\nNumber of subrecords: 2\nSubrecord # 1:\nTime Offset: 5, F-SCH active: 0, R-SCH active: 1, Number of "
            "pilots: 4\nR-SCH Mux option: 33, R-SCH rate: 3, R-SCH walsh channel: 11\n"
            "\nNumber of subrecords: 2\nSubrecord # 2:\nTime Offset: 6, F-SCH active: 1, R-SCH active: 0, Number of "
            "pilots: 2\nPilot 1\nPilot PN: 120, F-SCH Mux option: 34, SCH Rate: 2, QOF index: 1, Code Channel: 17\n"
            "Pilot 2\nPilot PN: 240, F-SCH Mux option: 35, SCH Rate: 4, QOF index: 0, Code Channel: 18\n");
  EXPECT_EQ(c.writes(),
            "Rev_SCH0_Rate UShort[0] 3\nFor_SCH0_Is_Active UShort[0] 0\nRev_SCH0_Is_Active UShort[0] 1\n"
            "Active_Set_SCH UShort[0] 120\nActive_Set_SCH UShort[1] 240\nFor_SCH0_Is_Active UShort[0] 1\n"
            "Rev_SCH0_Is_Active UShort[0] 0\n");
  c.run(kRed, reduced(3));
  EXPECT_TRUE(c.msg.details.ends_with("Code Channel: 18\n\nPacket ends after 2 of 3 subrecords\n"));
}

TEST(ActiveSet, EveryTruncationStopsCleanly) {
  // Version 1 has no failure text: a short report keeps its title (the sweep checks
  // it) and shows or writes nothing else.
  sweep_truncations(kV1, v1(2, true),
                    [](const DecoderCase& c, std::size_t) { EXPECT_EQ(c.msg.details + c.writes(), ""); });
  Bytes two = v2_head(0x07, 1).u16(40).u8(2).u8(0).u8(3).u8(1).u16(12).u8(5).zeros(3).zeros(12);
  sweep_truncations(kV2, two, [](const COrbExpandedMessage& msg, std::size_t n) {
    EXPECT_TRUE(n < 8 ? msg.details == kNotQualcommStandard
                      : msg.details.ends_with("Packet ends after 0 of 1 pilot records\n"));
  });
  // The last trailing byte is skipped, so only shorter cuts lose a sub-record.
  const Bytes red = reduced(2);
  sweep_truncations(kRed, red, [&red](const COrbExpandedMessage& msg, std::size_t n) {
    if (n == 0) {
      EXPECT_EQ(msg.details, kNotQualcommStandard);
    } else if (n + 1 < red.size()) {
      EXPECT_TRUE(msg.details.ends_with("subrecords\n"));
    }
  });
}

}  // namespace
}  // namespace cdmadiag::test
