// The sample-capture generator: both outputs read back by the command's own readers,
// reproducibility, and positions that agree with the simulated drive.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <tuple>

#include "app/app_test_util.h"
#include "gen_capture.h"
#include "gen_packets.h"

namespace cdmadiag::gen {
namespace {

using test::Event;

// Every record of the capture, failing the test on a framing error.
std::vector<Event> ReadBack(InputFormat format, const Bytes& capture) {
  std::vector<Event> out = test::read_all(format, capture);
  for (const Event& e : out) EXPECT_FALSE(e.error) << e.text;
  return out;
}

double Column(const Event& r, std::size_t at, std::size_t n) {
  const auto p = r.bytes.begin() + static_cast<std::ptrdiff_t>(kLogHeaderBytes + at);
  return std::atof(std::string(p, p + static_cast<std::ptrdiff_t>(n)).c_str());
}

// The generator's checksum and framing against the readers': log frames whose CRC bytes
// need escaping too come back as the records they carry.
TEST(GenFraming, CrcAndEscapingAsTheReadersHaveThem) {
  for (unsigned t = 0; t < 4096; ++t) {
    const Bytes record =
        test::log_record(0x1001, {0x7E, 0x7D, static_cast<std::uint8_t>(t), static_cast<std::uint8_t>(t >> 8)});
    const Bytes content = test::log_frame_content(record);
    ASSERT_EQ(Crc16(content), crc16_diag(content)) << t;
    Bytes frame;
    AppendHdlcFrame(frame, content);
    const std::vector<Event> got = ReadBack(InputFormat::kHdlc, frame);
    ASSERT_TRUE(got.size() == 1 && got[0].bytes == record) << t;
  }
}

// One minute of drive: a 1x leg, then an EV-DO leg from second 30.
class GenDriveTest : public ::testing::Test {
 protected:
  static DriveOptions Options(std::uint64_t seed) { return {1, seed, 30, DriveOptions{}.startUnix}; }
  static void SetUpTestSuite() {
    GenerateDrive(Options(7), &log_, &hdlc_);
    records_ = ReadBack(InputFormat::kLog, log_.bytes);
  }

  static inline MemorySink log_, hdlc_;
  static inline std::vector<Event> records_;
};

// The log output is a chain of whole records; the HDLC output carries the same records
// in the same order, with command responses among them.
TEST_F(GenDriveTest, BothOutputsReadBackAsTheSameRecords) {
  std::size_t total = 0;
  for (const Event& r : records_) total += r.bytes.size();
  EXPECT_EQ(total, log_.bytes.size());
  std::vector<Event> framed = ReadBack(InputFormat::kHdlc, hdlc_.bytes);
  std::erase_if(framed, [](const Event& e) { return e.kind == RecordKind::kCommandResponse; });
  ASSERT_EQ(framed.size(), records_.size());
  for (std::size_t i = 0; i < framed.size(); ++i) ASSERT_EQ(framed[i].bytes, records_[i].bytes) << i;
}

TEST_F(GenDriveTest, LocationRecordsLieOnTheRoute) {
  const Route route = SampleRoute();
  // Code, then the columns of latitude (8 characters) and longitude (9), in 1e-5 degrees.
  for (const auto& [c, lat, lon] :
       {std::tuple{code::kGps3D, 19, 10}, std::tuple{code::kGps, 15, 6}, std::tuple{code::kGpsCait, 19, 10}}) {
    std::vector<GeoPoint> track;
    for (const Event& r : records_) {
      if (r.code != c) continue;
      track.push_back({Column(r, lat, 8) * 1e-5, Column(r, lon, 9) * 1e-5});
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
