// The output thread: the same bytes as writing on the decoding thread, in order, and an
// output failure on the writing side ending the run rather than being lost.
#include "async_sink.h"

#include <gtest/gtest.h>

#include "app_test_util.h"

namespace cdmadiag::test {
namespace {

TEST(OutputThread, WritesWhatOneThreadWritesForEveryStreamFormat) {
  TempDir dir;
  for (const std::string format : {"text", "jsonl", "csv"}) {
    const std::string one = dir.file("one." + format), two = dir.file("two." + format);
    ASSERT_EQ(cli({"decode", "-q", "--single-thread", "--cells", kGolden + "/cells.csv", "--format", format,
                   "-o", one, kGolden + "/drive.hdlc"}),
              kExitOk);
    ASSERT_EQ(cli({"decode", "-q", "--cells", kGolden + "/cells.csv", "--format", format, "-o", two,
                   kGolden + "/drive.hdlc"}),
              kExitOk);
    const std::string expected = slurp(one);
    EXPECT_GT(expected.size(), 100000u) << format;
    EXPECT_TRUE(slurp(two) == expected) << format;
  }
}

// Fails on its third packet, as a full disk would.
class FailingSink final : public OutputSink {
 public:
  void packet(const PacketView& p) override {
    if (++count == 3) throw OutputError("disk full");
    seqs.push_back(p.seq);
  }
  void framing_error(std::string_view) override {}
  void finish() override { finished = true; }
  int count = 0;
  std::vector<std::uint32_t> seqs;
  bool finished = false;
};

TEST(OutputThread, AFailureOnTheWritingThreadReachesTheDecodingThread) {
  auto inner = std::make_unique<FailingSink>();
  FailingSink& seen = *inner;
  const std::unique_ptr<OutputSink> sink = make_async_sink(std::move(inner), 2);
  COrbExpandedMessage msg;
  PacketView p;
  p.msg = &msg;
  bool thrown = false;
  try {
    for (p.seq = 1; p.seq <= 1000; ++p.seq) sink->packet(p);
    sink->finish();
  } catch (const OutputError& e) {
    thrown = true;
    EXPECT_STREQ(e.what(), "disk full");
  }
  EXPECT_TRUE(thrown);
  EXPECT_FALSE(seen.finished);
  EXPECT_EQ(seen.seqs, (std::vector<std::uint32_t>{1, 2}));
}

}  // namespace
}  // namespace cdmadiag::test
