// Access probe (0x1013): nine one-byte fields.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "framework/decoder_1x.h"
#include "support/bytes.h"
#include "support/recording_sink.h"

namespace {

using cdmadiag::test::Bytes;
using cdmadiag::test::RecordingState;

struct Probe {
  explicit Probe(const Bytes& b, bool read_only = false, bool wanted = true) {
    st.ds.set_read_only(read_only);
    msg.titleWanted = msg.detailsWanted = wanted;
    COrbDecodeMsgCDMAQualcommFrame f(b.data(), b.size(), nullptr);
    f.SetMessageNumber(1);
    f.DecodeAccessProbe(&st.ds, msg, nullptr);
  }
  RecordingState st;
  COrbExpandedMessage msg;
};

// SEQ_NUM 3, PROBE_NUM 1, RX_AGC 0xF0, TX_ADJ 0x10, PSIST 7, access channel 2, PN delay 32, backoffs 4 and 5.
const Bytes kProbe{3, 1, 0xF0, 0x10, 7, 2, 32, 4, 5};
const std::string kText =
    "SEQ_NUM: 3\nPROBE_NUM: 1\nRX_AGC: 240\nTX_ADJ: 16\nPSIST: 7\nAccess channel number: 2\n"
    "PN randomization delay (chips): 32\nSequence backoff (slots): 4\nProbe backoff (slots): 5\n";

TEST(AccessProbe, HandBuiltProbeTextAndWrites) {
  const Probe p(Bytes(kProbe).u8(0x99));  // bytes after the ninth are ignored
  EXPECT_EQ(p.msg.title, "Access Probe Info");
  EXPECT_EQ(p.msg.details, kText);
  const auto& w = p.st.sink.writes;
  ASSERT_EQ(w.size(), 2u);
  EXPECT_EQ(std::tie(w[0].name, w[0].op, w[0].index, w[0].value),
            std::make_tuple("ATTR_ID_CDMA_SEQ_NUM", WriteOp::kSetULong, 0u, 3.0));
  EXPECT_EQ(std::tie(w[1].name, w[1].op, w[1].index, w[1].value),
            std::make_tuple("ATTR_ID_CDMA_PROBE_NUM", WriteOp::kSetULong, 0u, 1.0));
  const Probe read_only(kProbe, true);
  EXPECT_EQ(read_only.msg.details, kText);
  EXPECT_TRUE(read_only.st.sink.writes.empty());
  const Probe quiet(kProbe, false, false);
  EXPECT_EQ(quiet.msg.title + quiet.msg.details, "");
  EXPECT_EQ(quiet.st.sink.writes.size(), 2u);
}

// A short probe shows the fields it holds and names the first missing one.
TEST(AccessProbe, TruncationSweep) {
  std::size_t line = 0;
  for (std::size_t len = 0; len < kProbe.size(); ++len, line = kText.find('\n', line) + 1) {
    Bytes cut;
    for (std::size_t i = 0; i < len; ++i) cut.u8(kProbe.vec()[i]);
    const Probe p(cut);
    EXPECT_EQ(p.msg.details, kText.substr(0, kText.find(':', line)) + ": (truncated)\n") << len;
    EXPECT_EQ(p.st.sink.writes.size(), std::min<std::size_t>(len, 2)) << len;
  }
}

}  // namespace
