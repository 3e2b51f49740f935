// The sample-capture generator: framing of both outputs, reproducibility, and
// positions that agree with the simulated drive.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <tuple>

#include "gen_capture.h"
#include "gen_packets.h"

namespace cdmadiag::gen {
namespace {

struct Record {
  std::uint16_t code;
  Bytes bytes;  // header and payload
  std::span<const std::uint8_t> payload() const { return std::span(bytes).subspan(kLogHeaderBytes); }
};

std::uint16_t U16(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

// Walks the log format; a record whose length is short or runs past the end fails the test.
std::vector<Record> SplitLog(const Bytes& log) {
  std::vector<Record> out;
  for (std::size_t at = 0; at < log.size();) {
    const std::size_t len = at + kLogHeaderBytes <= log.size() ? U16(log, at) : 0;
    EXPECT_TRUE(len >= kLogHeaderBytes && at + len <= log.size()) << "bad record at byte " << at;
    if (len < kLogHeaderBytes || at + len > log.size()) break;
    out.push_back({U16(log, at + 2), Bytes(log.begin() + at, log.begin() + at + len)});
    at += len;
  }
  return out;
}

// Splits the port stream at 0x7E and undoes the escapes; each frame keeps its CRC bytes.
std::vector<Bytes> Unframe(const Bytes& stream) {
  std::vector<Bytes> frames(1);
  bool escaped = false;
  for (std::uint8_t b : stream) {
    if (b == kFrameEnd) {
      EXPECT_FALSE(escaped) << "escape right before a frame end";
      frames.emplace_back();
    } else if (b != kEscape || escaped) {
      frames.back().push_back(escaped ? b ^ kEscapeXor : b);
    }
    escaped = b == kEscape && !escaped;
  }
  EXPECT_TRUE(frames.back().empty()) << "bytes after the last frame end";
  frames.pop_back();
  return frames;
}

bool CrcGood(const Bytes& frame) {
  return frame.size() >= 3 && Crc16(std::span(frame.data(), frame.size() - 2)) == U16(frame, frame.size() - 2);
}

double Column(std::span<const std::uint8_t> p, std::size_t at, std::size_t n) {
  return std::atof(std::string(p.begin() + at, p.begin() + at + n).c_str());
}

TEST(GenFraming, CrcCheckValueAndEscaping) {
  const std::string check = "123456789";
  EXPECT_EQ(Crc16(std::span(reinterpret_cast<const std::uint8_t*>(check.data()), check.size())), 0x906E);
  Bytes out;
  AppendHdlcFrame(out, Bytes{0x7E, 0x01, 0x7D, 0x5E});
  ASSERT_GE(out.size(), 7u);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 6), (Bytes{0x7D, 0x5E, 0x01, 0x7D, 0x5D, 0x5E}));
  // Enough frames that some CRC bytes need escaping too.
  for (unsigned t = 0; t < 4096; ++t) {
    const Bytes frame = {kLogFrame, static_cast<std::uint8_t>(t), static_cast<std::uint8_t>(t >> 8)};
    out.clear();
    AppendHdlcFrame(out, frame);
    const auto frames = Unframe(out);
    ASSERT_TRUE(frames.size() == 1 && CrcGood(frames[0]) && Bytes(frames[0].begin(), frames[0].end() - 2) == frame)
        << t;
  }
}

// One minute of drive: a 1x leg, then an EV-DO leg from second 30.
class GenDriveTest : public ::testing::Test {
 protected:
  static DriveOptions Options(std::uint64_t seed) { return {1, seed, 30, DriveOptions{}.startUnix}; }
  static void SetUpTestSuite() {
    GenerateDrive(Options(7), &log_, &hdlc_);
    records_ = SplitLog(log_.bytes);
  }

  static inline MemorySink log_, hdlc_;
  static inline std::vector<Record> records_;
};

TEST_F(GenDriveTest, RecordLengthsAddUpAndEveryFrameHasAGoodCrcAndCarriesItsLogRecord) {
  std::size_t total = 0, logFrames = 0;
  for (const Record& r : records_) total += r.bytes.size();
  EXPECT_EQ(total, log_.bytes.size());
  for (const Bytes& f : Unframe(hdlc_.bytes)) {
    ASSERT_TRUE(CrcGood(f));
    if (f[0] != kLogFrame) continue;  // a command response
    ASSERT_GE(f.size(), 4 + kLogHeaderBytes + 2);
    const Bytes record(f.begin() + 4, f.end() - 2);
    EXPECT_EQ(U16(f, 2), record.size());
    ASSERT_LT(logFrames, records_.size());
    EXPECT_EQ(record, records_[logFrames].bytes) << "log frame " << logFrames;
    ++logFrames;
  }
  EXPECT_EQ(logFrames, records_.size());
}

TEST_F(GenDriveTest, LocationRecordsLieOnTheRoute) {
  const Route route = SampleRoute();
  // Code, then the columns of latitude (8 characters) and longitude (9), in 1e-5 degrees.
  for (const auto& [c, lat, lon] :
       {std::tuple{code::kGps3D, 19, 10}, std::tuple{code::kGps, 15, 6}, std::tuple{code::kGpsCait, 19, 10}}) {
    std::vector<GeoPoint> track;
    for (const Record& r : records_) {
      if (r.code != c) continue;
      track.push_back({Column(r.payload(), lat, 8) * 1e-5, Column(r.payload(), lon, 9) * 1e-5});
      EXPECT_LT(route.distanceTo(track.back()), 1.5) << c << ": " << track.back().lat << ", " << track.back().lon;
    }
    ASSERT_FALSE(track.empty()) << c;
    if (c != code::kGps3D) continue;
    ASSERT_EQ(track.size(), 60u);
    double x0, y0, x1, y1;
    route.frame().toMetres(track.front(), x0, y0);
    route.frame().toMetres(track.back(), x1, y1);
    EXPECT_GT(std::hypot(x1 - x0, y1 - y0), 200.0) << "the car should have moved in a minute";
  }
}

TEST_F(GenDriveTest, EqualSeedsGiveEqualBytesAndOtherSeedsOtherBytes) {
  MemorySink log, hdlc, otherLog;
  GenerateDrive(Options(7), &log, &hdlc);
  EXPECT_EQ(log.bytes, log_.bytes);
  EXPECT_EQ(hdlc.bytes, hdlc_.bytes);
  GenerateDrive(Options(8), &otherLog, nullptr);
  EXPECT_NE(otherLog.bytes, log_.bytes);
}

}  // namespace
}  // namespace cdmadiag::gen
