#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string_view>
#include <thread>

#include "app_test_util.h"
#include "byte_stream.h"
#include "crc16.h"
#include "hdlc_reader.h"
#include "log_reader.h"

namespace cdmadiag::test {
namespace {

ByteVec payload(std::size_t n, std::uint8_t fill) { return ByteVec(n, fill); }

bool contains(const std::string& text, std::string_view part) { return text.find(part) != std::string::npos; }

TEST(Crc16Diag, MatchesTheKnownCheckValue) {
  const std::string_view check = "123456789";
  EXPECT_EQ(crc16_diag({reinterpret_cast<const std::uint8_t*>(check.data()), check.size()}), 0x906E);
  EXPECT_EQ(crc16_diag({}), 0x0000);
}

// ---------------------------------------------------------------- log records

TEST(LogReader, EmptyInputEndsAtOnce) { EXPECT_TRUE(read_all(InputFormat::kLog, {}).empty()); }

TEST(LogReader, ReadsConsecutiveRecordsWithOffsets) {
  const ByteVec a = log_record(0x100F, payload(3, 0xAA));
  const ByteVec b = log_record(0x1068, {});
  const auto ev = read_all(InputFormat::kLog, cat({a, b}));
  ASSERT_EQ(ev.size(), 2u);
  EXPECT_FALSE(ev[0].error);
  EXPECT_EQ(ev[0].code, 0x100F);
  EXPECT_EQ(ev[0].offset, 0u);
  EXPECT_EQ(ev[0].bytes, a);
  EXPECT_EQ(ev[1].code, 0x1068);
  EXPECT_EQ(ev[1].offset, a.size());
  EXPECT_EQ(ev[1].bytes.size(), 12u);  // a header with no payload is a record
}

TEST(LogReader, LengthBelowTwelveIsSkippedUpToTheNextRecord) {
  const ByteVec a = log_record(0x1001, payload(4, 1));
  const ByteVec junk = {0x05, 0x00, 0x0F, 0x10, 0x00, 0x00, 0x00};
  const ByteVec b = log_record(0x1002, payload(2, 2));
  const auto ev = read_all(InputFormat::kLog, cat({a, junk, b}));
  ASSERT_EQ(ev.size(), 3u);
  EXPECT_EQ(ev[0].code, 0x1001);
  ASSERT_TRUE(ev[1].error);
  EXPECT_EQ(ev[1].offset, a.size());
  EXPECT_TRUE(contains(ev[1].text, "length 5 is below 12")) << ev[1].text;
  EXPECT_TRUE(contains(ev[1].text, "skipped 7 bytes")) << ev[1].text;
  EXPECT_EQ(ev[2].code, 0x1002);
  EXPECT_EQ(ev[2].offset, a.size() + junk.size());
}

TEST(LogReader, LengthRunningPastTheEndIsAFramingError) {
  const ByteVec a = log_record(0x1001, payload(4, 1));
  ByteVec cut = log_record(0x1002, payload(40, 2));
  cut.resize(30);
  const auto ev = read_all(InputFormat::kLog, cat({a, cut}));
  ASSERT_EQ(ev.size(), 2u);
  EXPECT_EQ(ev[0].code, 0x1001);
  ASSERT_TRUE(ev[1].error);
  EXPECT_EQ(ev[1].offset, a.size());
  EXPECT_TRUE(contains(ev[1].text, "length 52 runs past the end of the input (30 bytes left)")) << ev[1].text;
  EXPECT_TRUE(contains(ev[1].text, "no further record")) << ev[1].text;
}

TEST(LogReader, ShortLyingLengthLosesOnlyThatRecord) {
  // A record claims 14 bytes but carries 20 of payload: the reader takes the 14, then
  // finds zeros where a header should be and resynchronises on the next record.
  ByteVec liar = log_record(0x1003, payload(20, 0));
  liar[0] = 14;
  const ByteVec b = log_record(0x1004, payload(3, 9));
  const ByteVec c = log_record(0x1005, payload(1, 9));
  const auto ev = read_all(InputFormat::kLog, cat({liar, b, c}));
  ASSERT_EQ(ev.size(), 4u);
  EXPECT_EQ(ev[0].bytes.size(), 14u);
  EXPECT_TRUE(ev[1].error);
  EXPECT_EQ(ev[1].offset, 14u);
  EXPECT_EQ(ev[2].code, 0x1004);
  EXPECT_EQ(ev[2].offset, liar.size());
  EXPECT_EQ(ev[3].code, 0x1005);
}

TEST(LogReader, ResyncIgnoresAHeaderLookalikeInsideGarbage) {
  // 0x0C 0x00 0x00 0x10 looks like a 12-byte record of code 0x1000, but what follows
  // it is no header, so the scan goes on to the real record.
  const ByteVec junk = {0x03, 0x00, 0x0C, 0x00, 0x00, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
  const ByteVec b = log_record(0x1004, payload(3, 9));
  const auto ev = read_all(InputFormat::kLog, cat({junk, b, b}));
  ASSERT_EQ(ev.size(), 3u);
  EXPECT_TRUE(ev[0].error);
  EXPECT_EQ(ev[1].offset, junk.size());
  EXPECT_EQ(ev[2].offset, junk.size() + b.size());
}

TEST(LogReader, InputEndingInsideAHeader) {
  const ByteVec a = log_record(0x1001, payload(4, 1));
  const auto ev = read_all(InputFormat::kLog, cat({a, {0x20, 0x00, 0x01}}));
  ASSERT_EQ(ev.size(), 2u);
  EXPECT_TRUE(ev[1].error);
  EXPECT_TRUE(contains(ev[1].text, "ends inside a log header (3 bytes left)")) << ev[1].text;
}

TEST(LogReader, RecordsSplitAcrossBufferRefillsFromAFile) {
  // More than one buffer's worth, so records straddle the refill boundary.
  TempDir dir;
  ByteVec all;
  std::size_t count = 0;
  while (all.size() < ByteStream::kBufferSize + 100000) {
    const ByteVec r = log_record(static_cast<std::uint16_t>(0x1000 + count % 300), payload(count % 997, 0x55));
    all.insert(all.end(), r.begin(), r.end());
    ++count;
  }
  const std::string path = dir.write("big.log", all);
  std::string error;
  auto in = ByteStream::open(path, error);
  ASSERT_TRUE(in);
  ASSERT_EQ(in->size(), all.size());
  LogReader reader(*in);
  const auto ev = read_all(reader);
  ASSERT_EQ(ev.size(), count);
  for (std::size_t i = 0; i < count; ++i) {
    ASSERT_FALSE(ev[i].error) << i;
    ASSERT_EQ(ev[i].bytes.size(), 12 + i % 997) << i;
    ASSERT_EQ(ev[i].code, 0x1000 + i % 300) << i;
  }
}

TEST(LogReader, PipeDeliveringFewBytesAtATime) {
  const ByteVec all = cat(
      {log_record(0x1001, payload(100, 1)), log_record(0x1002, payload(7, 2)), log_record(0x1003, payload(300, 3))});
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  std::thread writer([&] {
    for (std::size_t i = 0; i < all.size(); i += 7) {
      const std::size_t n = std::min<std::size_t>(7, all.size() - i);
      ASSERT_EQ(::write(fds[1], all.data() + i, n), static_cast<ssize_t>(n));
    }
    ::close(fds[1]);
  });
  ByteStream in(fds[0], true, std::nullopt);
  LogReader reader(in);
  const auto ev = read_all(reader);
  writer.join();
  ASSERT_EQ(ev.size(), 3u);
  EXPECT_EQ(ev[2].code, 0x1003);
  EXPECT_EQ(ev[2].bytes.size(), 312u);
}

// ---------------------------------------------------------------- HDLC frames

class HdlcReaderTest : public ::testing::Test {
 protected:
  static ByteVec log_frame(std::uint16_t code, const ByteVec& p) {
    return hdlc_frame(log_frame_content(log_record(code, p)));
  }
};

TEST_F(HdlcReaderTest, LogFrameYieldsTheRecordAndResponseFrameTheBytes) {
  const ByteVec record = log_record(0xB0C0, payload(5, 7), 800);
  const ByteVec response = {0x0C, 1, 2, 3};
  const auto ev =
      read_all(InputFormat::kHdlc, cat({{0x7E}, hdlc_frame(log_frame_content(record)), hdlc_frame(response)}));
  ASSERT_EQ(ev.size(), 2u);
  EXPECT_EQ(ev[0].kind, RecordKind::kLog);
  EXPECT_EQ(ev[0].bytes, record);
  EXPECT_EQ(ev[0].code, 0xB0C0);
  EXPECT_EQ(ev[0].offset, 1u);
  EXPECT_EQ(ev[1].kind, RecordKind::kCommandResponse);
  EXPECT_EQ(ev[1].bytes, response);
}

TEST_F(HdlcReaderTest, EscapesAnywhereIncludingTheCrcAtTheFrameEnd) {
  // Find payloads whose CRC bytes need escaping, so escapes sit right before the 0x7E.
  int found = 0;
  for (unsigned tweak = 0; tweak < 65536 && found < 4; ++tweak) {
    ByteVec p = {0x7E, 0x7D, static_cast<std::uint8_t>(tweak), static_cast<std::uint8_t>(tweak >> 8), 0x7E};
    const ByteVec content = log_frame_content(log_record(0x1001, p));
    const std::uint16_t crc = crc16_diag(content);
    const bool low = (crc & 0xFF) == 0x7E || (crc & 0xFF) == 0x7D;
    const bool high = (crc >> 8) == 0x7E || (crc >> 8) == 0x7D;
    if (!low && !high) continue;
    ++found;
    const ByteVec frame = hdlc_frame(content);
    ASSERT_EQ(frame[frame.size() - 3 + (high ? 0 : -1)], 0x7D);
    const auto ev = read_all(InputFormat::kHdlc, frame);
    ASSERT_EQ(ev.size(), 1u);
    ASSERT_FALSE(ev[0].error) << ev[0].text;
    EXPECT_EQ(ev[0].bytes, log_record(0x1001, p));
  }
  EXPECT_EQ(found, 4);
}

TEST_F(HdlcReaderTest, CrcErrorSkipsOnlyThatFrame) {
  ByteVec bad = log_frame(0x1002, payload(4, 1));
  bad[8] ^= 0x01;
  const auto ev = read_all(InputFormat::kHdlc, cat({log_frame(0x1001, {}), bad, log_frame(0x1003, {})}));
  ASSERT_EQ(ev.size(), 3u);
  EXPECT_EQ(ev[0].code, 0x1001);
  ASSERT_TRUE(ev[1].error);
  EXPECT_TRUE(contains(ev[1].text, "CRC error")) << ev[1].text;
  EXPECT_EQ(ev[2].code, 0x1003);
}

TEST_F(HdlcReaderTest, EscapeJustBeforeTheFlagBreaksThatFrameOnly) {
  ByteVec broken = log_frame(0x1002, payload(4, 1));
  broken.insert(broken.end() - 1, 0x7D);
  const auto ev = read_all(InputFormat::kHdlc, cat({broken, log_frame(0x1003, {})}));
  ASSERT_EQ(ev.size(), 2u);
  ASSERT_TRUE(ev[0].error);
  EXPECT_TRUE(contains(ev[0].text, "ends with a 0x7D escape")) << ev[0].text;
  EXPECT_EQ(ev[1].code, 0x1003);
}

TEST_F(HdlcReaderTest, EscapeAtTheVeryEndOfTheInput) {
  const ByteVec good = log_frame(0x1001, {});
  const auto ev = read_all(InputFormat::kHdlc, cat({good, {0x10, 0x00, 0x7D}}));
  ASSERT_EQ(ev.size(), 2u);
  EXPECT_EQ(ev[0].code, 0x1001);
  ASSERT_TRUE(ev[1].error);
  EXPECT_EQ(ev[1].offset, good.size());
  EXPECT_TRUE(contains(ev[1].text, "ends inside a frame (3 bytes")) << ev[1].text;
}

TEST_F(HdlcReaderTest, GarbageGluedToTheNextFrameIsCutOff) {
  const ByteVec garbage = {0x01, 0x02, 0x10, 0x33, 0x99};
  const auto ev = read_all(InputFormat::kHdlc, cat({log_frame(0x1001, {}), garbage, log_frame(0x1002, payload(6, 4))}));
  ASSERT_EQ(ev.size(), 3u);
  ASSERT_TRUE(ev[1].error);
  EXPECT_TRUE(contains(ev[1].text, "5 bytes of garbage")) << ev[1].text;
  EXPECT_FALSE(ev[2].error);
  EXPECT_EQ(ev[2].code, 0x1002);
  EXPECT_EQ(ev[2].bytes, log_record(0x1002, payload(6, 4)));
}

TEST_F(HdlcReaderTest, GarbageWithFlagsBetweenFrames) {
  const ByteVec garbage = {0x7E, 0x7E, 0x55, 0x7E, 0xAA, 0xBB, 0xCC, 0xDD, 0x7E};
  const auto ev = read_all(InputFormat::kHdlc, cat({log_frame(0x1001, {}), garbage, log_frame(0x1002, {})}));
  ASSERT_EQ(ev.size(), 4u);
  EXPECT_TRUE(ev[1].error);
  EXPECT_TRUE(contains(ev[1].text, "too short")) << ev[1].text;
  EXPECT_TRUE(ev[2].error);
  EXPECT_EQ(ev[3].code, 0x1002);
}

TEST_F(HdlcReaderTest, LogFrameWhoseLengthsDisagree) {
  ByteVec content = log_frame_content(log_record(0x1001, payload(4, 0)));
  content[4] = 15;  // the record's own length
  const auto ev = read_all(InputFormat::kHdlc, cat({hdlc_frame(content), log_frame(0x1002, {})}));
  ASSERT_EQ(ev.size(), 2u);
  ASSERT_TRUE(ev[0].error);
  EXPECT_TRUE(contains(ev[0].text, "lengths disagree (frame says 16, record says 15)")) << ev[0].text;
  EXPECT_EQ(ev[1].code, 0x1002);
}

TEST_F(HdlcReaderTest, EmptyInputAndBareFlagsYieldNothing) {
  EXPECT_TRUE(read_all(InputFormat::kHdlc, {}).empty());
  EXPECT_TRUE(read_all(InputFormat::kHdlc, {0x7E, 0x7E, 0x7E}).empty());
}

TEST_F(HdlcReaderTest, OversizedFrameIsDroppedWithoutBufferingIt) {
  ByteVec huge(HdlcReader::kMaxFrame + 10, 0x11);
  huge.push_back(0x7E);
  const auto ev = read_all(InputFormat::kHdlc, cat({huge, log_frame(0x1002, {})}));
  ASSERT_EQ(ev.size(), 2u);
  EXPECT_TRUE(contains(ev[0].text, "frame longer than")) << ev[0].text;
  EXPECT_EQ(ev[1].code, 0x1002);
}

// ---------------------------------------------------------------- detection

TEST(DetectFormat, TellsLogRecordsFromHdlcFrames) {
  const ByteVec logs = cat({log_record(0x1001, payload(3, 0x7E)), log_record(0x1002, {}), log_record(0x1003, {})});
  ByteStream a(logs);
  EXPECT_EQ(detect_format(a), InputFormat::kLog);
  EXPECT_EQ(a.offset(), 0u);  // nothing consumed

  const ByteVec one = log_record(0x1001, payload(3, 1));
  ByteStream b(one);
  EXPECT_EQ(detect_format(b), InputFormat::kLog);

  const ByteVec frames = cat({hdlc_frame(log_frame_content(log_record(0x1001, {}))), hdlc_frame({0x0C, 1})});
  ByteStream c(frames);
  EXPECT_EQ(detect_format(c), InputFormat::kHdlc);

  // Garbage ahead of the frames can read as a chain of "log headers"; the CRCs decide.
  ByteVec noisy = {'g', 'a', 'r', 'b', 'a', 'g', 'e', 0x7E};
  const ByteVec frame = hdlc_frame(log_frame_content(log_record(0x1069, payload(30, 0x41))));
  for (int i = 0; i < 3; ++i) noisy.insert(noisy.end(), frame.begin(), frame.end());
  ByteStream noisy_stream(noisy);
  EXPECT_EQ(detect_format(noisy_stream), InputFormat::kHdlc);

  const ByteVec noise = {1, 2, 3, 0x7E, 4, 5, 6, 0x7E};
  ByteStream d(noise);
  EXPECT_EQ(detect_format(d), InputFormat::kLog);
}

}  // namespace
}  // namespace cdmadiag::test
