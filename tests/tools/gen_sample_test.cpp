// The sample-capture generator: framing of both outputs, and packets that agree
// with the simulated drive (positions on the route, PNs of the cell sites).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>
#include <string>

#include "gen_capture.h"
#include "gen_packets.h"

namespace cdmadiag::gen {
namespace {

struct Record {
  std::uint16_t code;
  std::uint64_t ticks;
  std::uint16_t subCount;
  Bytes bytes;  // header and payload
  std::span<const std::uint8_t> payload() const { return std::span(bytes).subspan(kLogHeaderBytes); }
};

std::uint16_t U16(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

// Walks the log format; a record whose length is short or runs past the end fails the test.
std::vector<Record> SplitLog(const Bytes& log) {
  std::vector<Record> out;
  std::size_t at = 0;
  while (at < log.size()) {
    EXPECT_LE(at + kLogHeaderBytes, log.size());
    if (at + kLogHeaderBytes > log.size()) break;
    const std::uint16_t len = U16(log, at);
    EXPECT_GE(len, kLogHeaderBytes);
    EXPECT_LE(at + len, log.size());
    if (len < kLogHeaderBytes || at + len > log.size()) break;
    std::uint64_t ticks = 0;
    for (int i = 5; i >= 0; --i) ticks = (ticks << 8) | log[at + 6 + static_cast<std::size_t>(i)];
    out.push_back({U16(log, at + 2), ticks, U16(log, at + 4), Bytes(log.begin() + at, log.begin() + at + len)});
    at += len;
  }
  return out;
}

// Splits the port stream at 0x7E and undoes the escapes; each frame keeps its CRC bytes.
std::vector<Bytes> Unframe(const Bytes& stream) {
  std::vector<Bytes> frames;
  Bytes cur;
  bool escaped = false;
  for (std::uint8_t b : stream) {
    if (b == kFrameEnd) {
      EXPECT_FALSE(escaped) << "escape right before a frame end";
      frames.push_back(std::move(cur));
      cur.clear();
      escaped = false;
    } else if (escaped) {
      cur.push_back(b ^ kEscapeXor);
      escaped = false;
    } else if (b == kEscape) {
      escaped = true;
    } else {
      cur.push_back(b);
    }
  }
  EXPECT_TRUE(cur.empty()) << "bytes after the last frame end";
  return frames;
}

bool CrcGood(const Bytes& frame) {
  if (frame.size() < 3) return false;
  const std::span<const std::uint8_t> body(frame.data(), frame.size() - 2);
  return Crc16(body) == U16(frame, frame.size() - 2);
}

double Column(std::span<const std::uint8_t> p, std::size_t at, std::size_t n) {
  return std::atof(
      std::string(p.begin() + static_cast<std::ptrdiff_t>(at), p.begin() + static_cast<std::ptrdiff_t>(at + n))
          .c_str());
}

TEST(GenFraming, CrcMatchesTheCheckValueOfItsParameters) {
  const std::string check = "123456789";
  EXPECT_EQ(Crc16(std::span(reinterpret_cast<const std::uint8_t*>(check.data()), check.size())), 0x906E);
}

TEST(GenFraming, EscapesFrameBytesAndEndsTheFrame) {
  const Bytes frame = {0x7E, 0x01, 0x7D, 0x5E};
  Bytes out;
  AppendHdlcFrame(out, frame);
  ASSERT_GE(out.size(), 7u);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 5), (Bytes{0x7D, 0x5E, 0x01, 0x7D, 0x5D}));
  EXPECT_EQ(out[5], 0x5E);  // a plain 0x5E stays as it is
  EXPECT_EQ(out.back(), kFrameEnd);
  EXPECT_EQ(std::count(out.begin(), out.end(), kFrameEnd), 1);
  const auto frames = Unframe(out);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_TRUE(CrcGood(frames[0]));
  EXPECT_EQ(Bytes(frames[0].begin(), frames[0].end() - 2), frame);
}

// One minute of drive: a 1x leg, then an EV-DO leg from second 30.
class GenDriveTest : public ::testing::Test {
 protected:
  static constexpr int kLegSeconds = 30;
  static void SetUpTestSuite() {
    options_.minutes = 1;
    options_.seed = 7;
    options_.legSeconds = kLegSeconds;
    summary_ = GenerateDrive(options_, &log_, &hdlc_);
    records_ = SplitLog(log_.bytes);
  }
  static std::uint64_t StartTicks() { return static_cast<std::uint64_t>(options_.startUnix - 315964800) * 800; }
  static int SecondOf(const Record& r) { return static_cast<int>((r.ticks - StartTicks()) / 800); }
  static std::vector<const Record*> OfCode(std::uint16_t code) {
    std::vector<const Record*> out;
    for (const Record& r : records_)
      if (r.code == code) out.push_back(&r);
    return out;
  }

  static inline DriveOptions options_;
  static inline MemorySink log_, hdlc_;
  static inline DriveSummary summary_;
  static inline std::vector<Record> records_;
};

TEST_F(GenDriveTest, LogRecordLengthsAddUpAndTimesRunForward) {
  std::size_t total = 0, counted = 0;
  for (const Record& r : records_) total += r.bytes.size();
  for (const auto& [code, n] : summary_.logCodes) counted += n;
  EXPECT_EQ(total, log_.bytes.size());
  EXPECT_EQ(records_.size(), counted);
  ASSERT_FALSE(records_.empty());
  EXPECT_EQ(records_.front().ticks, StartTicks());
  for (std::size_t i = 1; i < records_.size(); ++i) EXPECT_LE(records_[i - 1].ticks, records_[i].ticks);
  EXPECT_LT(records_.back().ticks, StartTicks() + 60 * 800);
  for (const Record& r : records_) EXPECT_LT(r.subCount, 49152);
}

TEST_F(GenDriveTest, EveryFrameHasAGoodCrcAndLogFramesCarryTheLogRecords) {
  const auto frames = Unframe(hdlc_.bytes);
  std::size_t logFrames = 0;
  for (const Bytes& f : frames) {
    ASSERT_TRUE(CrcGood(f));
    if (f[0] != kLogFrame) continue;
    ASSERT_GE(f.size(), 4 + kLogHeaderBytes + 2);
    const Bytes record(f.begin() + 4, f.end() - 2);
    EXPECT_EQ(U16(f, 2), record.size());
    ASSERT_LT(logFrames, records_.size());
    EXPECT_EQ(record, records_[logFrames].bytes) << "log frame " << logFrames;
    ++logFrames;
  }
  EXPECT_EQ(logFrames, records_.size());
}

TEST_F(GenDriveTest, CommandResponsesPassTheirLengthTests) {
  std::map<std::uint8_t, int> seen;
  for (const Bytes& f : Unframe(hdlc_.bytes)) {
    if (f[0] == kLogFrame) continue;
    const std::size_t n = f.size() - 3;  // after the command byte, before the CRC
    const std::span<const std::uint8_t> body(f.data() + 1, n);
    ++seen[f[0]];
    switch (f[0]) {
      case cmd::kVersionNumber: EXPECT_EQ(n, 54u); break;
      case cmd::kTimeStamp:
        ASSERT_EQ(n, 8u);
        EXPECT_EQ((U16(body, 2) | static_cast<std::uint64_t>(U16(body, 4)) << 16 |
                   static_cast<std::uint64_t>(U16(body, 6)) << 32),
                  StartTicks() + 2 * 40);  // slot 2 of the first second
        break;
      case cmd::kStatusSnapshot: EXPECT_EQ(n, 35u); break;
      case cmd::kPilotSets: {
        ASSERT_GE(n, 6u);
        EXPECT_EQ(U16(body, 0), kPilotIncrement);
        EXPECT_GE(body[2], 1);
        EXPECT_EQ(n, 5u + 4u * (body[2] + body[3] + body[4]));
        break;
      }
      case cmd::kExtBuildId: {
        ASSERT_GE(n, 13u);
        EXPECT_EQ(std::count(body.begin() + 11, body.end(), 0), 2);
        EXPECT_EQ(body.back(), 0);
        break;
      }
      default: ADD_FAILURE() << "unexpected command " << int{f[0]};
    }
  }
  EXPECT_EQ(seen, (std::map<std::uint8_t, int>{{cmd::kVersionNumber, 1},
                                               {cmd::kTimeStamp, 1},
                                               {cmd::kPilotSets, 1},
                                               {cmd::kStatusSnapshot, 2},
                                               {cmd::kExtBuildId, 1}}));
}

TEST_F(GenDriveTest, GpsPositionsLieOnTheRouteOncePerSecond) {
  const Route route = SampleRoute();
  const auto gps = OfCode(code::kGps3D);
  ASSERT_EQ(gps.size(), 60u);
  std::vector<GeoPoint> track;
  for (const Record* r : gps) {
    const auto p = r->payload();
    ASSERT_EQ(p.size(), 43u);
    const GeoPoint at{Column(p, 19, 8) * 1e-5, Column(p, 10, 9) * 1e-5};
    EXPECT_LT(route.distanceTo(at), 1.5) << at.lat << ", " << at.lon;
    track.push_back(at);
  }
  double x0, y0, x1, y1;
  route.frame().toMetres(track.front(), x0, y0);
  route.frame().toMetres(track.back(), x1, y1);
  EXPECT_GT(std::hypot(x1 - x0, y1 - y0), 200.0) << "the car should have moved in a minute";
  // The other location records place the handset on the same route.
  for (const Record* r : OfCode(code::kGps)) {
    EXPECT_LT(route.distanceTo({Column(r->payload(), 15, 8) * 1e-5, Column(r->payload(), 6, 9) * 1e-5}), 1.5);
  }
  for (const Record* r : OfCode(code::kGpsCait)) {
    EXPECT_LT(route.distanceTo({Column(r->payload(), 19, 8) * 1e-5, Column(r->payload(), 10, 9) * 1e-5}), 1.5);
  }
  const auto etak = OfCode(code::kEtak);
  ASSERT_EQ(etak.size(), 2u);
  for (const Record* r : etak) {
    const auto p = r->payload();
    ASSERT_EQ(p.size(), 27u);
    EXPECT_EQ(p[0], 'W');
    EXPECT_EQ(p[11], 'N');
    EXPECT_LT(route.distanceTo({Column(p, 12, 10), -Column(p, 1, 10)}), 1.0);
  }
  const auto pe = OfCode(code::kPositionEngine);
  ASSERT_EQ(pe.size(), 6u);
  for (const Record* r : pe) EXPECT_EQ(r->payload().size(), 0x15Au);
}

TEST_F(GenDriveTest, PilotReportsCarryThePnsOfNearbySectors) {
  const auto sectors = SampleSectors();
  const auto sectorOf = [&](std::uint16_t pn) -> const Sector* {
    for (const Sector& s : sectors)
      if (s.pn == pn) return &s;
    return nullptr;
  };
  const Route route = SampleRoute();
  const auto gps = OfCode(code::kGps3D);
  const auto fingers = OfCode(code::kFinger);
  ASSERT_GE(fingers.size(), 60u);  // two a second in the 1x leg, one per 5 s wake-up in the EV-DO leg
  std::size_t near = 0;
  for (const Record* r : fingers) {
    const auto p = r->payload();
    ASSERT_EQ(p.size(), 15u);
    int strongest = -1;
    for (int i = 0; i < 3; ++i) {
      if (p[12 + static_cast<std::size_t>(i)] == 0) continue;
      EXPECT_NE(sectorOf(U16(p, 2 * static_cast<std::size_t>(i))), nullptr);
      if (strongest < 0 || p[12 + static_cast<std::size_t>(i)] > p[12 + static_cast<std::size_t>(strongest)])
        strongest = i;
    }
    ASSERT_GE(strongest, 0) << "no locked finger";
    // Strength falls with distance: the strongest finger's site is nearly always one of
    // the three nearest (a back lobe or a shadow may now and then favour a farther one).
    const Sector* best = sectorOf(U16(p, 2 * static_cast<std::size_t>(strongest)));
    ASSERT_NE(best, nullptr);
    const auto& g = gps[static_cast<std::size_t>(SecondOf(*r))]->payload();
    double x, y;
    route.frame().toMetres({Column(g, 19, 8) * 1e-5, Column(g, 10, 9) * 1e-5}, x, y);
    std::vector<std::pair<double, int>> sites;
    for (const Sector& s : sectors) {
      double sx, sy;
      route.frame().toMetres(s.at, sx, sy);
      sites.emplace_back(std::hypot(sx - x, sy - y), s.site);
    }
    std::sort(sites.begin(), sites.end());
    std::set<int> nearest;
    for (const auto& [d, site] : sites)
      if (nearest.size() < 3) nearest.insert(site);
    near += nearest.count(best->site);
  }
  EXPECT_GE(near * 100, fingers.size() * 95);
  const auto searches = OfCode(code::kSearcher);
  ASSERT_GE(searches.size(), 60u);
  for (const Record* r : searches) {
    const auto p = r->payload();
    ASSERT_EQ(p.size(), 13u + 2u * U16(p, 11));
    const std::uint16_t word = U16(p, 3);
    const std::uint16_t pn = word & 0x3FF;
    EXPECT_EQ(pn % kPilotIncrement, 0);
    EXPECT_EQ(sectorOf(pn) == nullptr, (word & set_bit::kRemaining) != 0) << "PN " << pn;
    EXPECT_LT(SecondOf(*r), kLegSeconds) << "searcher reports belong to the 1x leg";
  }
}

TEST_F(GenDriveTest, EvdoLegCarriesPowerAndAirLinkReports) {
  const auto power = OfCode(code::kEvdoPower);
  const auto airLink = OfCode(code::kEvdoAirLinkSummary);
  EXPECT_EQ(power.size(), 30u);
  EXPECT_EQ(airLink.size(), 60u);
  for (const Record* r : power) {
    EXPECT_GE(SecondOf(*r), kLegSeconds);
    EXPECT_EQ(r->payload().size(), 26u);
  }
  std::set<std::uint16_t> pns;
  for (const Sector& s : SampleSectors()) pns.insert(s.pn);
  for (const Record* r : airLink) {
    EXPECT_GE(SecondOf(*r), kLegSeconds);
    const auto p = r->payload();
    ASSERT_EQ(p.size(), 178u);
    for (std::size_t frame = 0; frame < 2; ++frame) {
      const auto f = p.subspan(89 * frame, 89);
      int valid = 0;
      for (std::size_t i = 0; i < 6; ++i) {
        const std::uint16_t pn = U16(f, 53 + 2 * i);
        if (pn == 0xFFFF) continue;
        EXPECT_TRUE(pns.count(pn)) << pn;
        EXPECT_NE(U16(f, 41 + 2 * i), 0);
        ++valid;
      }
      const int best = f[40] & 7;
      EXPECT_GE(best, 1);
      EXPECT_LE(best, valid);
    }
  }
}

TEST_F(GenDriveTest, EqualSeedsGiveEqualBytesAndOtherSeedsOtherBytes) {
  MemorySink log, hdlc;
  GenerateDrive(options_, &log, &hdlc);
  EXPECT_EQ(log.bytes, log_.bytes);
  EXPECT_EQ(hdlc.bytes, hdlc_.bytes);
  DriveOptions other = options_;
  other.seed = 8;
  MemorySink otherLog;
  GenerateDrive(other, &otherLog, nullptr);
  EXPECT_NE(otherLog.bytes, log_.bytes);
}

TEST(GenCells, CsvListsEverySectorOnceWithPnsOnTheIncrement) {
  const auto sectors = SampleSectors();
  const std::string csv = CellsCsv(sectors);
  EXPECT_EQ(csv.rfind("pn,latitude,longitude,sector_id,site_name\n", 0), 0u);
  EXPECT_EQ(static_cast<std::size_t>(std::count(csv.begin(), csv.end(), '\n')), sectors.size() + 1);
  std::set<std::uint16_t> pns;
  for (const Sector& s : sectors) {
    EXPECT_EQ(s.pn % kPilotIncrement, 0);
    EXPECT_LT(s.pn, 512);
    EXPECT_TRUE(pns.insert(s.pn).second) << "PN " << s.pn << " twice";
  }
}

}  // namespace
}  // namespace cdmadiag::gen
