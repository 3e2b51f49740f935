// Inputs compressed with gzip are recognised by their content and inflated as read.
#include <gtest/gtest.h>

#include "app_test_util.h"
#include "byte_stream.h"

namespace cdmadiag::test {
namespace {

// Everything the stream yields, read in uneven steps, and its error.
std::pair<ByteVec, std::string> read_through(const std::string& path) {
  std::string error;
  const auto in = ByteStream::open(path, error);
  EXPECT_TRUE(in) << error;
  ByteVec got;
  for (std::size_t step = 1; in->ensure(step) > 0; step = step * 7 % 100003 + 1) {
    const std::size_t n = std::min(step, in->available());
    got.insert(got.end(), in->data(), in->data() + n);
    in->consume(n);
  }
  return {got, in->error()};
}

TEST(GzipInput, InflatesMembersAcrossBufferRefillsAndSkipsZeroPadding) {
  const TempDir dir;
  ByteVec data(ByteStream::kBufferSize + 12345);
  std::uint32_t x = 1;
  for (auto& b : data) b = static_cast<std::uint8_t>((x = x * 1103515245 + 12345) >> 24 & 0x0F);  // compressible
  const ByteVec tail = {0x1F, 0x8B, 'n', 'o', 't', ' ', 'a', ' ', 'm', 'a', 'g', 'i', 'c'};
  const ByteVec half(data.begin(), data.begin() + 1000);
  const ByteVec rest(data.begin() + 1000, data.end());
  const auto [got, error] = read_through(dir.write("capture", cat({gzip(half), gzip(rest), gzip(tail), {0, 0, 0}})));
  EXPECT_EQ(error, "");
  EXPECT_EQ(got, cat({data, tail}));
}

TEST(GzipInput, ACutOrDamagedFileEndsWithAnErrorAfterTheDataBeforeIt) {
  const TempDir dir;
  const ByteVec data(100000, 0x41);
  ByteVec cut = gzip(data);
  cut.resize(cut.size() - 6);
  const auto [got, error] = read_through(dir.write("cut.gz", cut));
  EXPECT_EQ(error, "gzip: the compressed data ends early (a cut-short file)");
  EXPECT_LE(got.size(), data.size());
  EXPECT_EQ(got, ByteVec(got.size(), 0x41));
  EXPECT_EQ(read_through(dir.write("junk.gz", cat({gzip(data), {0x55, 0x55}}))).second,
            "gzip: incorrect header check");
}

TEST(GzipInput, ACompressedCaptureDecodesAsThePlainOne) {
  const TempDir dir;
  const ByteVec capture = cat({log_frame(0x1001, {}, 800), hdlc_frame({0x7B, 0x01}), log_frame(0x1068, {}, 1600)});
  // One name for both, as every line carries it; a name without .gz says nothing.
  const std::string input = dir.write("drive.hdlc", capture);
  ASSERT_EQ(cli({"decode", "-q", "--format", "jsonl", "-o", dir.file("plain.jsonl"), input}), 0);
  dir.write("drive.hdlc", gzip(capture));
  ASSERT_EQ(cli({"decode", "-q", "--format", "jsonl", "-o", dir.file("packed.jsonl"), input}), 0);
  EXPECT_EQ(slurp(dir.file("packed.jsonl")), slurp(dir.file("plain.jsonl")));
  EXPECT_NE(slurp(dir.file("plain.jsonl")).find("\"seq\": 3"), std::string::npos);
}

}  // namespace
}  // namespace cdmadiag::test
