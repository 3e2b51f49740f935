// Service configuration ver 2 (0x10C5).
#include <gtest/gtest.h>

#include <string>

#include "support/decoder_case.h"

namespace {

using cdmadiag::test::Bytes;
using cdmadiag::test::DecoderCase;

constexpr std::uint32_t kVer2 = 0x10C5;
constexpr std::uint32_t kPacked = 0x102E;

// Service option 33 (top nibble ignored), forward FCH 1 / SCH0 3, reverse FCH 3, one
// forward and one reverse supplemental channel record (26 bytes).
Bytes packed() {
  return Bytes{}
      .u16(0xF021).u8(0x31).u8(0).u8(0x03).u8(0).u8(20).u8(0).u8(1).u8(3).u16(1).u16(2).u8(0xF0).u8(0x10).u8(1).u8(1)
      .u8(0x02).u16(9).u8(0)
      .u8(0x09).u16(10).u8(7);
}

// FCH, F-SCH and R-SCH active; two connection records (the first with a 5 + 2 byte
// blob to skip), one LPM entry, one LTU table of one row and the two LTU table ids.
Bytes ver2() {
  return Bytes{}
      .u16(1).u16(2).u8(3).u8(4).u8(0x0D).u8(2).u8(1).u8(1)
      .u8(3).u8(3)                                    // FCH
      .u8(0x09).u8(0x21).u8(3).u8(1).u8(3).u8(4).u8(2)  // F-SCH
      .u8(0x08).u8(0x11).u8(4).u8(0).u8(2).u8(3).u8(1)  // R-SCH
      .u8(1).u8(0x00).u8(0x21).u8(1).u8(3).u8(0).u8(1).u8(5).u8(2).zeros(7)
      .u8(2).u8(0x01).u8(0x02).u8(3).u8(0).u8(1).u8(2).u8(0).u8(0)
      .u8(1).u8(0).u8(1).u8(2).u8(4)  // LPM
      .u8(7).u8(1).u8(5).u8(1).u8(0x2C)
      .u8(7).u8(8);
}

TEST(ServiceConfig, Ver2TextAndWrites) {
  DecoderCase c;
  c.run(kVer2, ver2());
  EXPECT_EQ(c.msg.details,
            "\nForward Mux Option: 1, Reverse Mux Option: 2, Forward # of Bits: 3, Reverse # of bits: 4, FCH active: 1, "
            "DCCH active: 0, F-SCH active: 1, R-SCH active: 1, # of service option connection records: 2, # of LPM "
            "entries: 1, # of LTU tables: 1\n"
            "FCH fwd RC: 3, FCH rev RC: 3\n"
            "F-SCH --- \n Mux Hi: 9, Mux Lo: 33, RC: 3, Coding: 1, 40 ms frames used: 1, 80 ms frames used: 1, max "
            "data rate: 4, Frame Offset\n"
            "R-SCH --- \n Mux Hi: 8, Mux Lo: 17, RC: 4, Coding: 0, 40 ms frames used: 0, 80 ms frames used: 1, max "
            "data rate: 3, Frame Offset: 1\n"
            "Con Rec Info 1:- Con reference: 1, Service option: 33, For. Traffic channel type: The service option "
            "connection uses primary traffic on the Forward traffic channel, Rev. Traffic channel type: , Encryption "
            "mode indicator: 0, Service reference identifier: 1, RLP blob len: 5, QOS param len: 2\n"
            "Con Rec Info 2:- Con reference: 2, Service option: 258, For. Traffic channel type: , Rev. Traffic channel "
            "type: The service option connection does not use Reverse traffic channel traffic, Encryption mode indicator: 1, "
            "Service reference identifier: 2, RLP blob len: 0, QOS param len: 0\n"
            "LPM Info 1:- LPM Service ref ID: 1, Logical resource id: 0, Physical resource id: 1, Forward flag: 0, "
            "Reverse flag: 1, Mux priority: 4\n"
            "LTU Info 1:- LTU Table ID: 7, Number of LTU rows: 1\n"
            "LTU Row 1:- SCH # of info bits index: 5, MSB of LTU length: 1, LSB of LTU length: 44\n"
            "F-SCH LTU Table ID: 7, R-SCH LTU Table ID\n");
  EXPECT_EQ(c.writes(),
            "Forward_RadioConfiguration_FCH UShort[0] 3\nReverse_RadioConfiguration_FCH UShort[0] 3\n"
            "Forward_RadioConfiguration_SCH0 UShort[0] 3\nFor_SCH0_Rate UShort[0] 4\n"
            "Reverse_RadioConfiguration_SCH0 UShort[0] 4\n"
            "CDMA_ServiceOption UShort[0] 33\nCDMA_ServiceOption UShort[0] 258\n");
  // F-SCH alone starts right after the header; no LTU table, no trailing ids read.
  c.run(kVer2, Bytes{}.zeros(6).u8(0x04).zeros(3).u8(0).u8(0).u8(2).u8(0).u8(0).u8(9).u8(0));
  EXPECT_EQ(c.writes(), "Forward_RadioConfiguration_SCH0 UShort[0] 2\nFor_SCH0_Rate UShort[0] 9\n");
}

TEST(ServiceConfig, PackedTextAndWrites) {
  DecoderCase c;
  c.run(kPacked, packed());
  EXPECT_EQ(c.msg.details,
            "Service option: 33, \nForward Radio Configurations: \n"
            "-------------------------------------------------------\n"
            "Forward FCH radio configuration: 1\nForward SCH0 radio configuration: 3\n"
            "Forward SCH1 radio configuration: Not In Use\nForward DCCH radio configuration: Not In Use\n"
            "\nReverse Radio Configurations: \n-------------------------------------------------------\n"
            "Reverse FCH radio configuration: 3\nReverse SCH0 radio configuration: Not In Use\n"
            "Reverse SCH1 radio configuration: Not In Use\nReverse DCCH radio configuration: Not In Use\n"
            "FCH frame size: 20, DCCH frame size: 0, \nFor. Traffic channel type: The service option connection uses "
            "primary traffic on the Forward traffic channel, \nRev. Traffic channel type: , \nFor. Multiplex option: 1, "
            "Rev. Multiplex option: 2, \nForward fundamental channel transmission rates: all rates allowed, \nReverse "
            "fundamental channel transmission rates: full rate allowed, \nNumber of active forward supplemental "
            "channels(SCH or SCCH): 1\nNumber of active reverse supplemental channels: 1\nSupplemental Channel Id: 2, "
            "Direction: Forward link, SCH Multiplex option: 9, Type of coding: Turbo\nSupplemental Channel Id: 1, "
            "Direction: Reverse link, SCH Multiplex option: 10, Type of coding: Unknown");
  EXPECT_EQ(c.writes({"CDMA", "Forward_RadioConfiguration_SCH1", "Reverse_FCH"}),
            "CDMA_ServiceOption Long[0] 33\nForward_RadioConfiguration_SCH1 Long[0] 0\nReverse_FCH_Rate Byte[0] 1\n");
  // One byte short of the two records: neither is shown.
  c.run(kPacked, packed().prefix(25));
  EXPECT_EQ(c.msg.details.find("Supplemental Channel Id"), std::string::npos);
}

// Band 1, channel 25, nf 3 (two rate bytes), nr 0, 4 pilots; PN 300 at offset 7, mask
// SCH1 + DCCH with 2 code channels, CHAN_CNT 2, then the two code channels.
Bytes active_set(std::uint16_t pn = 300) {
  return Bytes{1, 25, 3, 0, 4, 0x13, 0}.u16(pn).u8(1).u8(0).u8(0x2C).u8(2).u16(5).u8(0).u16(37).u8(1);
}

TEST(ServiceConfig, ActiveSetTextFollowsEveryMaskBit) {
  DecoderCase c;
  c.read_only = true;
  c.run(0x102F, active_set());
  EXPECT_EQ(c.msg.details,
            "\n Band class: 1.8 to 2.0 GHz PCS band, CDMA_CHANNEL: 25, Number of Pilots in active set: 4\n"
            "\nSupplemental Channel Information: \n-------------------------------------------------------\n\n"
            "Num Forward Supp Channels(SCH or SCCH): 3\nNum Reverse Supp Channels(SCH or SCCH): 0\n"
            "Rate Forward SCH0: 8x\nRate Forward SCH1: N/A\nRate Reverse SCH0: N/A\nRate Reverse SCH1: N/A\n"
            "\nForward Dedicated Channel Set Mask Information: \n"
            "-------------------------------------------------------\n\n"
            "Num Active Supplemental Code Channels: 2\nForward Fund. Chan(FCH) : not active\n"
            "Forward Supp. Chan0(SCH0) : not active\nForward Supp. Chan1(SCH1) : active\n"
            "Forward Ded. Control Chan(DCCH) : active\n"
            "\nActive Set Pilot Information: \n-------------------------------------------------------\n\n"
            "Pilot_PN: 300, PILOT_REC_TYPE: 1\nCHAN_CNT: 2\n"
            "WALSH_CODE: 5\nQOF_MASK_ID: 0\nWALSH_CODE: 37\nQOF_MASK_ID: 1\n");
  EXPECT_EQ(c.writes(), "CDMA_CHANNEL UShort[0] 25\nPILOT_PN UShort[0] 300\nNUM_ACTIVE_PILOTS UShort[0] 4\n");
  c.read_only = false;
  c.run(0x102F, active_set(600));  // not a PN
  EXPECT_EQ(c.writes(), "For_FCH_Is_Active Long[0] 0\nCDMA_CHANNEL UShort[0] 25\nNUM_ACTIVE_PILOTS UShort[0] 4\n");
  // The list stops at the code channel that does not fit.
  c.run(0x102F, active_set().prefix(16));
  EXPECT_TRUE(c.msg.details.ends_with("WALSH_CODE: 5\nQOF_MASK_ID: 0\nWALSH_CODE: (truncated)\n")) << c.msg.details;
}

TEST(ServiceConfig, TruncatedPacketsStopAtTheFirstBlockThatDoesNotFit) {
  cdmadiag::test::sweep_truncations(kVer2, ver2(), [](const COrbExpandedMessage& m, std::size_t n) {
    const std::string end = n < 10 ? "Message Buffer does not conforms to Qualcomm Standard." : "Corrupted message content\n";
    EXPECT_TRUE(m.details.ends_with(end)) << m.details;
    EXPECT_EQ(m.details.find(end), m.details.size() - end.size());
  });
  cdmadiag::test::sweep_truncations(0x102F, active_set().prefix(13), [](const COrbExpandedMessage& m, std::size_t) {
    EXPECT_EQ(m.details, "Message Buffer does not conforms to Qualcomm Standard.");
  });
  cdmadiag::test::sweep_truncations(kPacked, packed().prefix(18), [](const COrbExpandedMessage& m, std::size_t) {
    EXPECT_EQ(m.details, "Message Buffer does not conforms to Qualcomm Standard.");
  });
}

}  // namespace
