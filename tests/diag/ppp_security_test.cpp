// PPP frame and security log packets.
#include <gtest/gtest.h>

#include "diag/diag_fixture.h"

using cdmadiag::test::Bytes;
using cdmadiag::test::Decoded;
using cdmadiag::test::prefix;
using F = COrbDecodeMsgCDMAQualcommFrame;

namespace {

// Sequence 7, key bytes 1..8, last CBC block a0..a7.
Bytes des_stat() { return Bytes{7, 1, 2, 3, 4, 5, 6, 7, 8, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7}; }

}  // namespace

TEST(PppFrames, WriteTheFrameLength) {
  Decoded tx;
  tx.run(&F::DecodePPPTxFrames, Bytes{1, 2, 3});
  EXPECT_EQ(tx.msg.title, "PPP Tx Frames");
  EXPECT_EQ(tx.msg.details, "");
  ASSERT_EQ(tx.st.sink.writes.size(), 1u);
  EXPECT_EQ(tx.st.sink.writes[0].name, "ATTR_ID_CDMA_1X_PPP_TX_FRAME_LENGTH");
  EXPECT_EQ(tx.st.sink.writes[0].op, WriteOp::kSetUShort);
  EXPECT_EQ(tx.st.sink.writes[0].value, 186);
  Decoded rx;
  rx.run(&F::DecodePPPRxFrames, Bytes{});
  EXPECT_EQ(rx.msg.title, "PPP Rx Frames");
  EXPECT_EQ(rx.of("ATTR_ID_CDMA_1X_PPP_RX_FRAME_LENGTH").at(0).value, 186);
  Decoded ro;
  ro.st.ds.set_read_only(true);
  ro.run(&F::DecodePPPRxFrames, Bytes{});
  EXPECT_TRUE(ro.st.sink.writes.empty());
}

TEST(SecurityLogs, DesStatisticsByteForByte) {
  Decoded d;
  d.run(&F::DecodeSecurityEncodeOpDesStat, des_stat());
  EXPECT_EQ(d.msg.title, "Security Encoding Operation Destination Statistics");
  EXPECT_EQ(d.msg.details,
            "  Sequence Num for correlation: 7\nData for ptr to key used: 1 2 3 4 5 6 7 8\nData for last CBC block (64 "
            "bits):a0a1a2a3a4a5a6a7\n");
}

TEST(SecurityLogs, DesStatisticsShowOnlyTheBytesThePayloadHolds) {
  const Bytes full = des_stat();
  for (std::size_t n = 0; n < full.size(); ++n) {
    Decoded d;
    ASSERT_NO_THROW(d.run(&F::DecodeSecurityEncodeOpDesStat, prefix(full, n))) << n;
  }
  Decoded part;
  part.run(&F::DecodeSecurityEncodeOpDesStat, prefix(full, 5));
  EXPECT_EQ(part.msg.details, "  Sequence Num for correlation: 7\nData for ptr to key used: 1 2 3 4\n");
  Decoded empty;
  empty.run(&F::DecodeSecurityEncodeOpDesStat, Bytes{});
  EXPECT_EQ(empty.msg.details, "");
}

TEST(SecurityLogs, TitleOnlyDecoders) {
  Decoded arc4;
  arc4.run(&F::DecodeSecurityEncodeOpARC4Stat, Bytes{1, 2});
  EXPECT_EQ(arc4.msg.title, "Security Encoding Operation ARC4 Statistics");
  EXPECT_EQ(arc4.msg.details, "");
  Decoded plain;
  plain.run(&F::DecodeSecurityEncodePlaintext, Bytes{});
  EXPECT_EQ(plain.msg.title, "Security Encoding Operation Plaintext");
  EXPECT_TRUE(plain.st.sink.writes.empty());
}
