// The real capture and whole runs of the command.
#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "app_test_util.h"
#include "cli.h"
#include "session.h"

namespace cdmadiag::test {
namespace {

const std::string kHotspot = std::string(CDMADIAG_SHARED_DIR) + "/captures/lte-hotspot.qmdl";

class CountingSink final : public OutputSink {
 public:
  void packet(const PacketView& p) override {
    lte += p.cls == PacketClass::k1x && !p.response && (p.code == 0xB0C0 || p.code == 0xB0ED);
    titled += !p.msg->title.empty();
  }
  void framing_error(std::string_view) override {}
  void finish() override {}
  int lte = 0, titled = 0;
};

TEST(RealCapture, EveryFrameHasAGoodCrcAndReachesThe1xDispatcherAsAnUnknownCode) {
  if (!std::filesystem::exists(kHotspot)) GTEST_SKIP() << kHotspot << " is absent";
  std::string error;
  auto in = ByteStream::open(kHotspot, error);
  ASSERT_TRUE(in) << error;
  EXPECT_EQ(detect_format(*in), InputFormat::kHdlc);
  CountingSink sink;
  DecodeSession session(RunSettings{});
  session.add_input(std::move(in), "lte-hotspot.qmdl");
  drain(session, sink);
  const RunCounters& c = session.counters();
  EXPECT_EQ(std::tuple(c.framing_errors, c.packets, c.bytes), std::tuple(0u, 218u, 12167u));
  EXPECT_EQ(sink.lte, 218);
  EXPECT_EQ(sink.titled, 0);  // log-only: codes the 1x table lacks get nothing
}

TEST(CommandExitStatus, TellsCleanRunsDecodeErrorsAndUnreadableInputs) {
  TempDir dir;
  const std::string out = dir.file("out.jsonl");
  const std::string good = dir.write("good.log", cat({log_record(0x1001, {}), log_record(0x1002, {1, 2})}));
  const std::string bad = dir.write("bad.log", cat({log_record(0x1001, {}), {0x01, 0x00, 0x00}}));
  EXPECT_EQ(cli({"decode", "-q", "--format", "jsonl", "-o", out, good}), kExitOk);
  EXPECT_EQ(cli({"decode", "-q", "-o", out, dir.write("empty.log", {})}), kExitOk);
  EXPECT_EQ(cli({"decode", "-q", "--format", "jsonl", "-o", out, bad}), kExitDecodeErrors);
  // A directory and a missing file are reported, and the run fails: the output of the
  // files around them does not replace the old one.
  const std::string before = slurp(out);
  EXPECT_EQ(cli({"decode", "-q", "--format", "jsonl", "-o", out, good, dir.path().string(), dir.file("missing"), good}),
            kExitUsage);
  EXPECT_EQ(slurp(out), before);

  EXPECT_EQ(cli({"decode", "--format", "sqlite", good}), kExitUsage);
  EXPECT_EQ(cli({"decode", "--format", "xml", good}), kExitUsage);
  EXPECT_EQ(cli({"decode", "-q", "-o", dir.file("no/such/dir.txt"), good}), kExitUsage);
  EXPECT_EQ(cli({"--version"}), kExitOk);
  EXPECT_EQ(cli({}), kExitUsage);
}

TEST(CommandEndToEnd, ForcedInputFormatAndThresholdOptionsParse) {
  TempDir dir;
  const std::string out = dir.file("out.csv");
  const std::string in = dir.write("c.qmdl", cat({log_frame(0x1001, {}, kDriveStart + kSecond), hdlc_frame({0x0C})}));
  EXPECT_EQ(cli({"decode", "-q", "--format", "csv", "--input", "hdlc", "--threshold-a", "-20", "--threshold-b=-9.5",
                 "--common-flag", "--no-details", "--pilot-inc", "4", "-o", out, in}),
            kExitOk);
  const std::string head =
      "seq,time,code,name,op,index,value,kind,command,file,time_ms,time_iso,fix_lat,fix_lon,fix_x,fix_y,fix_age_ms,"
      "cell_pns,cell_sectors,cell_sites,cell_distances_m,decoded,diagnostic,time_suspect,device\n"
      "1,1778599201,4097,ATTR_ID_QUALCOMM_MDM_MSG_TYPE,SetDWord,0,4097,log,,0,1778599183000,2026-05-12T15:19:43.000Z,"
      ",,,,,,,,,1,,0,0\n";
  EXPECT_EQ(slurp(out).substr(0, head.size()), head);
  // Forced as log records, the same bytes hold no record at all.
  EXPECT_EQ(cli({"decode", "-q", "--input", "log", "-o", out, in}), kExitUsage);
}

}  // namespace
}  // namespace cdmadiag::test
