#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

#include "framework/decoder_1x.h"
#include "host/object_properties.h"
#include "support/bytes.h"
#include "support/recording_sink.h"

namespace {

using cdmadiag::test::Bytes;
using cdmadiag::test::RecordingState;

constexpr std::array<const char*, 9> kLabels = {"SEQ_NUM",
                                                "PROBE_NUM",
                                                "RX_AGC",
                                                "TX_ADJ",
                                                "PSIST",
                                                "Access channel number",
                                                "PN randomization delay (chips)",
                                                "Sequence backoff (slots)",
                                                "Probe backoff (slots)"};

class AccessProbeTest : public ::testing::Test {
 protected:
  void decode(const Bytes& bytes) {
    COrbDecodeMsgCDMAQualcommFrame f(bytes.data(), bytes.size(), &props);
    f.SetMessageCode(0x1013);
    f.SetMessageNumber(1);
    f.DecodeAccessProbe(&st.ds, msg, nullptr);
  }
  // One byte per field: SEQ_NUM 3, PROBE_NUM 1, RX_AGC 0xF0, TX_ADJ 0x10, PSIST 7,
  // access channel 2, PN randomization delay 32, sequence backoff 4, probe backoff 5.
  static Bytes probe() { return Bytes{3, 1, 0xF0, 0x10, 7, 2, 32, 4, 5}; }

  ObjectProperties props;
  RecordingState st;
  COrbExpandedMessage msg;
};

TEST_F(AccessProbeTest, DecodesAllNineFieldsAndWritesTheTwoCounters) {
  decode(probe());
  EXPECT_EQ(msg.title, "Access Probe Info");
  EXPECT_EQ(msg.details,
            "SEQ_NUM: 3\nPROBE_NUM: 1\nRX_AGC: 240\nTX_ADJ: 16\nPSIST: 7\nAccess channel number: 2\n"
            "PN randomization delay (chips): 32\nSequence backoff (slots): 4\nProbe backoff (slots): 5\n");
  ASSERT_EQ(st.sink.writes.size(), 2u);
  EXPECT_EQ(st.sink.writes[0].name, "ATTR_ID_CDMA_SEQ_NUM");
  EXPECT_EQ(st.sink.writes[0].op, WriteOp::kSetULong);
  EXPECT_EQ(st.sink.writes[0].index, 0u);
  EXPECT_EQ(st.sink.writes[0].value, 3.0);
  EXPECT_EQ(st.sink.writes[1].name, "ATTR_ID_CDMA_PROBE_NUM");
  EXPECT_EQ(st.sink.writes[1].op, WriteOp::kSetULong);
  EXPECT_EQ(st.sink.writes[1].value, 1.0);
}

TEST_F(AccessProbeTest, ReadOnlyStateGetsTheTextButNoWrites) {
  st.ds.set_read_only(true);
  decode(probe());
  EXPECT_TRUE(st.sink.writes.empty());
  EXPECT_NE(msg.details.find("Probe backoff (slots): 5\n"), std::string::npos);
}

TEST_F(AccessProbeTest, NothingBuiltThatIsNotWantedButWritesStillMade) {
  msg.titleWanted = false;
  msg.detailsWanted = false;
  decode(probe());
  EXPECT_EQ(msg.title, "");
  EXPECT_EQ(msg.details, "");
  EXPECT_EQ(st.sink.writes.size(), 2u);
}

TEST_F(AccessProbeTest, BytesAfterTheNinthAreIgnored) {
  decode(probe().u8(0x99).u8(0x98));
  EXPECT_EQ(msg.details.find("153"), std::string::npos);
  EXPECT_TRUE(msg.details.ends_with("\nProbe backoff (slots): 5\n")) << msg.details;
}

TEST_F(AccessProbeTest, EveryShorterPacketShowsItsFieldsAndNamesTheFirstMissing) {
  const auto full = probe().vec();
  for (std::size_t len = 0; len < full.size(); ++len) {
    RecordingState state;
    COrbExpandedMessage m;
    Bytes bytes;
    for (std::size_t i = 0; i < len; ++i) bytes.u8(full[i]);
    COrbDecodeMsgCDMAQualcommFrame f(bytes.data(), bytes.size(), &props);
    f.DecodeAccessProbe(&state.ds, m, nullptr);

    EXPECT_EQ(m.title, "Access Probe Info");
    std::string expected;
    for (std::size_t i = 0; i < len; ++i) expected += std::string(kLabels[i]) + ": " + std::to_string(full[i]) + "\n";
    expected += std::string(kLabels[len]) + ": (truncated)\n";
    EXPECT_EQ(m.details, expected) << len;
    EXPECT_EQ(state.sink.writes.size(), std::min<std::size_t>(len, 2)) << len;
  }
}

}  // namespace
