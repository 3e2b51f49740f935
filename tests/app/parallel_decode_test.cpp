// Decoding sessions share nothing but read-only tables: several at once, on threads,
// give each its own single-threaded output byte for byte. Built under ThreadSanitizer
// too (tools/test.sh), where a shared write would be reported as a race.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "app_test_util.h"
#include "async_sink.h"
#include "host/format_groups.h"
#include "sinks.h"

namespace cdmadiag::test {
namespace {

const std::string kSource = CDMADIAG_SOURCE_DIR;

// One capture decoded into a JSON lines file, with cell names and an output format that
// keeps the per-second table.
void decode_to(const std::string& input, const std::string& cells, const std::string& out, OutputFormat format,
               bool output_thread) {
  RunSettings settings;
  settings.cells = cells;
  DecodeSession session(settings);
  session.add_input(input);
  RunInfo info;
  info.cells = &session.cells();
  std::unique_ptr<OutputSink> sink = make_sink(format, out, info);
  if (output_thread) sink = make_async_sink(std::move(sink));
  drain(session, *sink);
  sink->finish();
}

TEST(ParallelDecode, SessionsOnThreadsGiveTheirSingleThreadedOutputs) {
  struct Job {
    std::string input, cells;
    OutputFormat format;
    bool output_thread = false;  // as the command writes: formatted on a thread of its own
  };
  const std::string golden = kSource + "/tests/data/golden/";
  const std::vector<Job> jobs = {
      {kSource + "/examples/sample.hdlc", kSource + "/examples/cells.csv", OutputFormat::kJsonl},
      {kSource + "/examples/sample.log", "", OutputFormat::kJsonl},
      {golden + "drive.hdlc", golden + "cells.csv", OutputFormat::kJsonl},
      {kSource + "/examples/sample.hdlc", kSource + "/examples/cells.csv", OutputFormat::kGeojson},
      {kSource + "/examples/sample.hdlc", kSource + "/examples/cells.csv", OutputFormat::kCsv, true},
  };
  TempDir dir;
  std::vector<std::string> alone;
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    alone.push_back(dir.file("alone" + std::to_string(i)));
    decode_to(jobs[i].input, jobs[i].cells, alone.back(), jobs[i].format, jobs[i].output_thread);
  }
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    threads.emplace_back([&, i] {
      const Job& j = jobs[i];
      decode_to(j.input, j.cells, dir.file("together" + std::to_string(i)), j.format, j.output_thread);
    });
  }
  for (std::thread& t : threads) t.join();
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    const std::string one = slurp(alone[i]);
    EXPECT_GT(one.size(), 10000U) << i;
    EXPECT_TRUE(one == slurp(dir.file("together" + std::to_string(i)))) << jobs[i].input;
  }
}

// A decode changes no process-wide table: the format groups are all registered when the
// library loads, so sessions never write them while others read.
TEST(ParallelDecode, DecodingRegistersNoFormatGroup) {
  const std::size_t groups = GetFormatGroupManager()->size();
  ASSERT_GT(groups, 0U);
  // A log-on-demand response names its log code through the group of every code's title.
  const ByteVec capture = cat({hdlc_frame({0x78, 0x07, 0x10, 0x00}), log_frame(0x1001, {}, kDriveStart)});
  class Nothing final : public OutputSink {
   public:
    void packet(const PacketView&) override {}
    void framing_error(std::string_view) override {}
    void finish() override {}
  } sink;
  decode_into(sink, {capture});
  EXPECT_EQ(GetFormatGroupManager()->size(), groups);
}

}  // namespace
}  // namespace cdmadiag::test
