// PPP frame and security log packets.
#include <gtest/gtest.h>

#include "diag/diag_fixture.h"

using cdmadiag::test::Bytes;
using cdmadiag::test::Decoded;
using cdmadiag::test::Write;
using F = COrbDecodeMsgCDMAQualcommFrame;

namespace {

// Sequence 7, key bytes 1..8, last CBC block a0..a7.
const Bytes kDesStat{7, 1, 2, 3, 4, 5, 6, 7, 8, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7};

}  // namespace

TEST(PppFrames, WriteTheFrameLengthUnlessReadOnly) {
  Decoded tx, rx, ro;
  tx.run(&F::DecodePPPTxFrames, Bytes{1, 2, 3});
  EXPECT_EQ(tx.msg.title + "|" + tx.msg.details, "PPP Tx Frames|");
  EXPECT_EQ(tx.writes(), (std::vector<Write>{{"ATTR_ID_CDMA_1X_PPP_TX_FRAME_LENGTH", WriteOp::kSetUShort, 0, 186}}));
  rx.run(&F::DecodePPPRxFrames, Bytes{});
  EXPECT_EQ(rx.msg.title, "PPP Rx Frames");
  EXPECT_EQ(rx.writes(), (std::vector<Write>{{"ATTR_ID_CDMA_1X_PPP_RX_FRAME_LENGTH", WriteOp::kSetUShort, 0, 186}}));
  ro.st.ds.set_read_only(true);
  ro.run(&F::DecodePPPRxFrames, Bytes{});
  EXPECT_TRUE(ro.st.sink.writes.empty());
}

TEST(SecurityLogs, DesStatisticsShowTheBytesThePayloadHolds) {
  Decoded d;
  d.run(&F::DecodeSecurityEncodeOpDesStat, kDesStat);
  EXPECT_EQ(d.msg.title, "Security Encoding Operation Destination Statistics");
  EXPECT_EQ(d.msg.details,
            "  Sequence Num for correlation: 7\nData for ptr to key used: 1 2 3 4 5 6 7 8\nData for last CBC block (64 "
            "bits):a0a1a2a3a4a5a6a7\n");
  cdmadiag::test::sweep(&F::DecodeSecurityEncodeOpDesStat, kDesStat, [](const Decoded& p, std::size_t n) {
    if (n == 0) {
      EXPECT_EQ(p.msg.details, "");
    } else if (n == 5) {
      EXPECT_EQ(p.msg.details, "  Sequence Num for correlation: 7\nData for ptr to key used: 1 2 3 4\n");
    }
  });
}

TEST(SecurityLogs, TitleOnlyDecoders) {
  Decoded arc4, plain;
  arc4.run(&F::DecodeSecurityEncodeOpARC4Stat, Bytes{1, 2});
  EXPECT_EQ(arc4.msg.title + "|" + arc4.msg.details, "Security Encoding Operation ARC4 Statistics|");
  plain.run(&F::DecodeSecurityEncodePlaintext, Bytes{});
  EXPECT_EQ(plain.msg.title, "Security Encoding Operation Plaintext");
  EXPECT_TRUE(plain.st.sink.writes.empty());
}
