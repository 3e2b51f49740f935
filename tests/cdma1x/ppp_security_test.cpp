// PPP frame and security log packets.
#include <gtest/gtest.h>

#include "support/decoder_case.h"

using cdmadiag::test::Bytes;
using cdmadiag::test::DecoderCase;

namespace {

constexpr std::uint32_t kPppTx = 0x109C, kPppRx = 0x109D, kDesStat = 0x10A1, kArc4Stat = 0x10A2, kPlaintext = 0x10A3;

// Sequence 7, key bytes 1..8, last CBC block a0..a7.
const Bytes kDesPacket{7, 1, 2, 3, 4, 5, 6, 7, 8, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7};

TEST(PppFrames, WriteTheFrameLength) {
  DecoderCase c;
  c.run(kPppTx, Bytes{1, 2, 3});
  EXPECT_EQ(c.msg.title + "|" + c.msg.details, "PPP Tx Frames|");
  EXPECT_EQ(c.writes(), "CDMA_1X_PPP_TX_FRAME_LENGTH UShort[0] 186\n");
  EXPECT_EQ(c.run(kPppRx, Bytes{}).title, "PPP Rx Frames");
  EXPECT_EQ(c.writes(), "CDMA_1X_PPP_RX_FRAME_LENGTH UShort[0] 186\n");
}

TEST(SecurityLogs, DesStatisticsShowTheBytesThePayloadHolds) {
  DecoderCase c;
  c.run(kDesStat, kDesPacket);
  EXPECT_EQ(c.msg.details,
            "  Sequence Num for correlation: 7\nData for ptr to key used: 1 2 3 4 5 6 7 8\nData for last CBC block (64 "
            "bits):a0a1a2a3a4a5a6a7\n");
  cdmadiag::test::sweep_truncations(kDesStat, kDesPacket, [](const COrbExpandedMessage& msg, std::size_t n) {
    if (n == 0) {
      EXPECT_EQ(msg.details, "");
    } else if (n == 5) {
      EXPECT_EQ(msg.details, "  Sequence Num for correlation: 7\nData for ptr to key used: 1 2 3 4\n");
    }
  });
}

TEST(SecurityLogs, TitleOnlyDecoders) {
  DecoderCase c;
  c.run(kArc4Stat, Bytes{1, 2});
  EXPECT_EQ(c.msg.title + "|" + c.msg.details, "Security Encoding Operation ARC4 Statistics|");
  EXPECT_EQ(c.run(kPlaintext, Bytes{}).title, "Security Encoding Operation Plaintext");
  EXPECT_EQ(c.writes(), "");
}

}  // namespace
