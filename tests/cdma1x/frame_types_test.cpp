// Frame types and vocoder packets (0x1003, 0x1009, 0x100A, 0x1029, 0x102A, 0x10C0, 0x10C1).
#include <gtest/gtest.h>

#include <string>

#include "framework/failure_texts.h"
#include "support/decoder_case.h"

namespace cdmadiag::test {
namespace {

constexpr std::uint32_t kRevMux = 0x1003;
constexpr std::uint32_t kForVocoder = 0x1009;
constexpr std::uint32_t kRevVocoder = 0x100A;
constexpr std::uint32_t kForFrames = 0x1029;
constexpr std::uint32_t kRevFrames = 0x102A;
constexpr std::uint32_t kFdch = 0x10C0;
constexpr std::uint32_t kRdch = 0x10C1;

// Categories 0 and 102 and up lie outside the table and are not counted.
Bytes mux_frames() {
  Bytes b;
  b.u8(1).u8(1).u8(101).u8(0).u8(102).u8(255).u8(50);
  return b.zeros(93);
}

Bytes vocoder(std::uint8_t rate) { return Bytes{}.zeros(36).u8(rate); }

// Frame offset 2, service option 33 under four unrelated high bits, forward FCH and SCH0
// in RC 3, then the record count.
Bytes frame_header(std::uint8_t records) { return Bytes{}.u8(2).u16(0xF021).u8(0x33).u8(0x00).u8(records); }

// One forward record: FCH, SCH0 and five F-SCCH, three frames of four bytes. FCH full
// payload-only, full dim-and-burst, erased payload-only; SCH0 full, erased, full.
// F-SCCH bytes: 0xE4 gives F-SCCH4..1 rates 0, 1, 2, 3; 0x6C gives F-SCCH7..5 rates 3, 2, 1.
Bytes forward_packet() {
  Bytes b = frame_header(1);
  b.u8(0x53).u16(3).u8(4);
  b.u8(0x40).u8(0).u8(0xE4).u8(0x6C);
  b.u8(0x41).u8(2).u8(0xE4).u8(0x6C);
  b.u8(0x00).u8(0).u8(0xE4).u8(0x6C);
  return b;
}

// Two reverse records as the header counts them, and bytes after them the walk leaves
// alone: a record of FCH and SCH0 frames declared 3 bytes long (one byte of padding
// each), then an FCH-only record declaring length 0, which takes its one byte anyway.
Bytes reverse_packet(std::uint8_t records = 2) {
  Bytes b = frame_header(records);
  b.u8(0x03).u16(2).u8(3).u8(0x40).u8(1).u8(0xEE).u8(0x33).u8(7).u8(0xEE);
  b.u8(0x01).u16(2).u8(0).u8(0x11).u8(0x40);
  return b.u8(0x01).u16(1).u8(1).u8(0x40);  // a third record the count excludes
}

Bytes dch_packet(bool reverse) {
  Bytes b;
  b.u8(3).u8(4);            // four subrecords, three shown
  b.u8(0x2B).u8(12).u8(3);  // two SCCH, SCH0, FCH, control hold; 12 frames in RC 3
  if (reverse) b.u8(1);     // FCH gating
  for (int f = 0; f < 12; ++f) b.u8(static_cast<std::uint8_t>(f * 2));
  b.u8(0x00).u8(0).u8(4);  // an empty subrecord
  if (reverse) b.u8(0);
  return b.u8(0x02).u8(5).u8(5);  // the third announces frames it does not carry
}

TEST(FrameTypes, ReverseMuxCategoriesCountOnlyInsideTheTable) {
  DecoderCase c;
  c.run(kRevMux, mux_frames());
  EXPECT_EQ(c.msg.details,
            "\n9600 bps frame, primary traffic or null Traffic Channel data only frame count: 2"
            "\n14400 bps frame, primary traffic or null Traffic Channel data only frame count: 1"
            "\nFrame with insufficient frame quality frame count: 1\n");
  const auto writes = c.of("ATTR_ID_REV_MUX_STATS");
  ASSERT_EQ(writes.size(), 102u);
  EXPECT_EQ(writes[0].value, 0);
  EXPECT_EQ(writes[1].value, 2);
  EXPECT_EQ(writes[101].value, 1);
  c.run(kRevMux, Bytes{}.zeros(100));
  EXPECT_EQ(c.msg.details, "\n");
  EXPECT_EQ(c.of("ATTR_ID_REV_MUX_STATS").size(), 102u);
}

TEST(FrameTypes, VocoderRates) {
  const struct {
    std::uint32_t code;
    std::uint8_t rate;
    const char* text;
    const char* write;
  } cases[] = {{kForVocoder, 4, "\nFull date Rate\n", "FOR_VOC_RATE Byte[0] 4\n"},
               {kRevVocoder, 5, "\nUnknown data rate\n", "REV_VOC_RATE Byte[0] 5\n"},
               {kForVocoder, 9, "\nUnknown data rate\n", "FOR_VOC_RATE Byte[0] 9\n"}};
  for (const auto& t : cases) {
    DecoderCase c;
    c.run(t.code, vocoder(t.rate));
    EXPECT_EQ(c.msg.details + c.writes(), std::string(t.text) + t.write);
  }
}

std::string scch_lines() {
  return "\nF-SCCH_1 Rate: SCCH not active\nF-SCCH_2 Rate: Erasure\nF-SCCH_3 Rate: Blank(DTX) frame"
         "\nF-SCCH_4 Rate: Full rate frame\nF-SCCH_5 Rate: Blank(DTX) frame";
}

TEST(FrameTypes, ForwardFramesTextCountersAndErrorRates) {
  DecoderCase c;
  c.run(kForFrames, forward_packet());
  // The drive pins the header lines; from the frames on, this packet's rates and counts.
  EXPECT_EQ(c.msg.details.substr(c.msg.details.find("Frame Count:")),
            "Frame Count: 3, Length(in bytes) per frame: 4, NUM_F_SCCH: 5"
                "\nFCH Frame rate: Full rate frame, Frame Type: Payload only\nSCH0 Frame Rate: Full rate frame" +
                scch_lines() +
                "\nFCH Frame rate: Full rate frame, Frame Type: Dim and Burst frame\nSCH0 Frame Rate: Erasure" +
                scch_lines() +
                "\nFCH Frame rate: Erasure/Blank, Frame Type: Payload only\nSCH0 Frame Rate: Full rate frame" +
                scch_lines() +
                "\n\nForward FER values: \nForwardFER_FCH: 50.00\nForwardFER_SCH0: 33.33\nForwardFER_SCH1: 0.00");
  // SCH1 carried no frames: its rate is shown as 0 but not written.
  c.decimals = 2;
  EXPECT_EQ(c.writes({"ForwardFER", "CDMA_ServiceOption", "For_FCH"}),
            "CDMA_ServiceOption Long[0] 33\nFor_FCH_Is_Active Long[0] 1\nForwardFER_FCH Double[0] 50\n"
            "ForwardFER_SCH0 Double[0] 33.33\n");
  EXPECT_EQ(
      c.writes({"CDMA_1X_FOR_FCH_Payload", "CDMA_1X_FOR_SCH0_Erasure"}),
      "CDMA_1X_FOR_FCH_Payload Long[0] 1\nCDMA_1X_FOR_FCH_Payload Long[1] 0\nCDMA_1X_FOR_FCH_Payload Long[2] 0\n"
      "CDMA_1X_FOR_FCH_Payload Long[3] 0\nCDMA_1X_FOR_FCH_Payload Long[4] 1\nCDMA_1X_FOR_SCH0_Erasure Long[0] 1\n");
  EXPECT_EQ(c.of("ATTR_ID_CDMA_1X_FOR_SCCH_Erasure")[1].value, 3);  // F-SCCH2, all three frames
  EXPECT_EQ(c.of("ATTR_ID_CDMA_1X_FOR_SCCH_Erasure")[4].value, 0);  // F-SCCH5 was blank
}

TEST(FrameTypes, ReverseRecordsStrideByDeclaredLengthAndStopAtTheCount) {
  DecoderCase c;
  c.run(kRevFrames, reverse_packet());
  // From the first record on; the header lines are the forward packet's, reverse labelled.
  const std::string mask = "\nReverse Dedicated Channel Set Mask Information: \nReverse Fund. Chan(FCH) : active\n";
  const std::string tail = "Reverse Supp. Chan1(SCH1) : not active\nReverse Ded. Control Chan(DCCH) : not active\n";
  EXPECT_EQ(c.msg.details.substr(c.msg.details.find("\t\t\t\t")),
            "\t\t\t\t--------------- Record 1 ---------------" + mask + "Reverse Supp. Chan0(SCH0) : active\n" + tail +
                ", Frame Count: 2, Length(in bytes) per frame: 3\nFCH Frame Type: Payload only, Frame rate: Full rate "
                "frame\nSCH0 Frame Type: Blank(DTX) frame\nFCH Frame Type: Invalid, Frame rate: 1/2 rate frame\nSCH0 "
                "Frame Type: Invalid\n\t\t\t\t--------------- Record 2 ---------------" +
                mask + "Reverse Supp. Chan0(SCH0) : not active\n" + tail +
                ", Frame Count: 2, Length(in bytes) per frame: 0\nFCH Frame Type: Dim and Burst frame, Frame rate: 1/8 "
                "rate frame\nFCH Frame Type: Payload only, Frame rate: Full rate frame\n");
  EXPECT_EQ(c.writes({"CDMA_1X_REV_SCH0_Blank", "CDMA_1X_FOR", "Rev_FCH"}),
            "Rev_FCH_Is_Active Long[0] 1\nRev_FCH_Is_Active Long[0] 1\nCDMA_1X_REV_SCH0_BlankFrame Long[0] 1\n");
  EXPECT_EQ(c.of("ATTR_ID_CDMA_1X_REV_FCH_Payload")[4].value, 2);
  EXPECT_EQ(c.of("ATTR_ID_CDMA_1X_REV_FCH_DimandBurst")[1].value, 1);
  // A count of four over three records: the walk stops where the packet does.
  c.run(kRevFrames, reverse_packet(4));
  EXPECT_TRUE(c.msg.details.ends_with("Frame rate: Full rate frame\n\nPacket ends inside record 4\n")) << c.msg.details;
  // Empty frames take no bytes: the next record follows the head.
  c.run(kRevFrames, frame_header(2).u8(0).u16(0xFFFF).u8(0).u8(0x01).u16(1).u8(1).u8(0x40));
  EXPECT_TRUE(c.msg.details.ends_with("per frame: 1\nFCH Frame Type: Payload only, Frame rate: Full rate frame\n"));
}

TEST(FrameTypes, DedicatedChannelFrameInformation) {
  const std::string frames =
      "\n\t[  0]:  0, [  1]:  2, [  2]:  4, [  3]:  6, [  4]:  8, [  5]:  10, [  6]:  12, [  7]:  14, [  8]:  16, "
      "[  9]:  18, \n\t[ 10]:  20, [ 11]:  22, ";
  DecoderCase c;
  c.run(kFdch, dch_packet(false));
  EXPECT_EQ(
      c.msg.details,
      "Frame Offset: 3, \t Number of Subrecords: 4\n\nSubrecord 0:\n\tNumber of SCCH: 2,\n\t SCH0: 1,\n\t DCCH: 0,"
      "\n\t FCH: 1,\n\t R-PICH control hold mode: 1\n\tNumber of Frames: 12,\n\tFOR_FCH_RC: 3," +
          frames +
          "\nSubrecord 1:\n\tNumber of SCCH: 0,\n\t SCH0: 0,\n\t DCCH: 0,\n\t FCH: 0,\n\t R-PICH control hold "
          "mode: 0\n\tNumber of Frames: 0,\n\tFOR_FCH_RC: 4,"
          "\nSubrecord 2:\n\tNumber of SCCH: 0,\n\t SCH0: 0,\n\t DCCH: 0,\n\t FCH: 1,\n\t R-PICH control hold "
          "mode: 0\n\tNumber of Frames: 5,\n\tFOR_FCH_RC: 5,");
  EXPECT_EQ(c.writes(), "");
  c.run(kRdch, dch_packet(true));
  EXPECT_EQ(c.msg.title, "RDCH Frame Information");
  EXPECT_NE(c.msg.details.find("\tNumber of SCCH assigned: 2,\n\t SCH0 assigned: 1,"), std::string::npos);
  EXPECT_NE(c.msg.details.find("\tREV_FCH_RC: 3,\n\t FchGating: 1," + frames + "\nSubrecord 1:"), std::string::npos);
}

TEST(FrameTypes, EveryTruncationStopsCleanly) {
  sweep_truncations(kRevMux, mux_frames(),
                    [](const COrbExpandedMessage& msg, std::size_t) { EXPECT_EQ(msg.details, kNotQualcommStandard); });
  sweep_truncations(kForVocoder, vocoder(3),
                    [](const COrbExpandedMessage& msg, std::size_t) { EXPECT_EQ(msg.details, kNotQualcommStandard); });
  for (const std::uint32_t code : {kForFrames, kRevFrames}) {
    const Bytes full = code == kForFrames ? forward_packet() : reverse_packet();
    // Both packets' record walks are whole from 22 bytes; the forward walk has no record
    // to miss at 6, the reverse one misses its first.
    sweep_truncations(code, full, [code](const DecoderCase& c, std::size_t n) {
      if (n < 6) {
        EXPECT_EQ(c.msg.details, kNotQualcommStandard);
        EXPECT_EQ(c.writes(), "");
      } else {
        const bool cut = n < 22 && !(code == kForFrames && n == 6);
        EXPECT_EQ(c.msg.details.find("\nPacket ends ") != std::string::npos, cut) << c.msg.details;
      }
    });
  }
  sweep_truncations(kRdch, dch_packet(true),
                    [](const COrbExpandedMessage& msg, std::size_t n) { EXPECT_EQ(msg.details.empty(), n < 2); });
}

}  // namespace
}  // namespace cdmadiag::test
