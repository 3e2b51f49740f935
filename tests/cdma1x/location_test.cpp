// Location records: the fixed-column GPS and dead-reckoning texts and the
// position-engine log packet.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/decoder_1x.h"
#include "framework/failure_texts.h"
#include "framework/text.h"
#include "host/map_projections.h"
#include "host/object_properties.h"
#include "support/bytes.h"
#include "support/recording_sink.h"

namespace {

using cdmadiag::test::Bytes;
using cdmadiag::test::Recorded;
using cdmadiag::test::RecordingState;
using Member = void (COrbDecodeMsgCDMAQualcommFrame::*)(IOrbDataState*, COrbExpandedMessage&, IDekCellRefs_Search*);

const std::string kFailure = cdmadiag::kNotQualcommStandard;

std::uint32_t f32(float v) { return std::bit_cast<std::uint32_t>(v); }
std::uint64_t f64(double v) { return std::bit_cast<std::uint64_t>(v); }
Bytes& text(Bytes& b, const std::string& s) { return b.text(s, false); }

// Column text with '~' standing for a NUL byte.
std::string nuls(std::string s) {
  std::replace(s.begin(), s.end(), '~', '\0');
  return s;
}

// One coordinate of the map line: degree sign, acute accent and double quote (Windows-1252).
std::string dms(const std::string& degrees, const std::string& minutes, const std::string& seconds) {
  return degrees + "\xB0" + minutes + "\xB4" + seconds + "\"";
}

// One decode on a fresh data state.
struct Decoded {
  Decoded(Member member, std::uint32_t code, const std::vector<std::uint8_t>& bytes, std::size_t len,
          IProObjectPropertiesConnectedAccessor* props = nullptr, bool read_only = false, bool details = true) {
    st.ds.set_read_only(read_only);
    msg.detailsWanted = details;
    COrbDecodeMsgCDMAQualcommFrame f(bytes.data(), static_cast<std::uint32_t>(len), props);
    f.SetMessageCode(code);
    f.SetMessageNumber(1);
    (f.*member)(&st.ds, msg, nullptr);
  }
  Decoded(Member member, std::uint32_t code, const Bytes& b, IProObjectPropertiesConnectedAccessor* props = nullptr,
          bool read_only = false, bool details = true)
      : Decoded(member, code, b.vec(), b.size(), props, read_only, details) {}

  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (const Recorded& w : st.sink.writes) out.push_back(w.name);
    return out;
  }
  double x() const { return msg.location()->x; }
  double y() const { return msg.location()->y; }

  RecordingState st;
  COrbExpandedMessage msg;
};

constexpr Member kGps = &COrbDecodeMsgCDMAQualcommFrame::DecodeGPS;
constexpr Member k3dGps = &COrbDecodeMsgCDMAQualcommFrame::Decode3DGPSInfo;
constexpr Member kCait = &COrbDecodeMsgCDMAQualcommFrame::DecodeGPSInfoCAIT;
constexpr Member kEtak = &COrbDecodeMsgCDMAQualcommFrame::DecodeETAK;
constexpr Member kEngine = &COrbDecodeMsgCDMAQualcommFrame::DecodePositionEngineFullVer2;

// ---------------------------------------------------------------- text records

Bytes gps_record(const std::string& lon, const std::string& lat, const std::string& source = "3") {
  Bytes b;
  text(b, "HEADER");  //  0  not read
  text(b, lon);       //  6  longitude, 9 chars, 1e-5 deg
  text(b, lat);       // 15  latitude, 8 chars, 1e-5 deg
  text(b, "090");     // 23  heading
  text(b, "045");     // 26  speed
  text(b, source);    // 29  source digit
  text(b, "*");       // 30  unused
  return b;
}

Bytes gps3d_record(const std::string& lon = "-07350000") {
  Bytes b;
  text(b, "1234567.89");  //  0 time
  text(b, lon);           // 10 longitude
  text(b, "04075000");    // 19 latitude  40.75
  text(b, "   123.4");    // 27 altitude
  text(b, "270");         // 35 heading
  text(b, "055");         // 38 speed
  b.u8(2);                // 41 source, binary
  b.u8(7);                // 42 satellites, binary
  return b;
}

Bytes cait_record() {
  Bytes b;
  text(b, "0000012.5");  //  0 time (9 chars and a NUL: the column stops there)
  b.u8(0);
  text(b, "-07350000");  // 10 longitude
  text(b, "04075000");   // 19 latitude
  text(b, "180");        // 27 heading
  text(b, "  9");        // 30 speed
  b.u8(1);               // 33 source
  b.u8(11);              // 34 satellites
  return b;
}

Bytes etak_record(const std::string& west, const std::string& lon, const std::string& south, const std::string& lat,
                  const std::string& speed = "035.5") {
  Bytes b;
  text(b, west);   //  0 hemisphere letter
  text(b, lon);    //  1 longitude, 10 chars, degrees
  text(b, south);  // 11 hemisphere letter
  text(b, lat);    // 12 latitude, 10 chars
  text(b, speed);  // 22 speed, 5 chars
  return b;
}

TEST(LocationGps, HandBuiltRecordLocatesWritesAndPrintsTheMapLine) {
  const Decoded r(kGps, 0x1014, gps_record("-12345678", "04512345"));
  EXPECT_EQ(r.msg.title, "GPS info");
  ASSERT_TRUE(r.msg.location());
  EXPECT_DOUBLE_EQ(r.x(), -123.45678);
  EXPECT_DOUBLE_EQ(r.y(), 45.12345);
  EXPECT_EQ(r.msg.location_precision(), 100);
  EXPECT_EQ(r.msg.category, 0);
  // -123.45678 = 123 deg 27 min 24.408 s; 45.12345 = 45 deg 07 min 24.42 s
  EXPECT_EQ(r.msg.details, "Map " + dms("-123", "27", "24.41") + " Lon. " + dms(" 45", "07", "24.42") + " Lat.");
  ASSERT_EQ(r.st.sink.writes.size(), 3u);
  EXPECT_EQ(r.names(),
            (std::vector<std::string>{"ATTR_ID_LOCATION_HEADING", "ATTR_ID_LOCATION_SPEED_MPH", "ATTR_ID_GPS_SOURCE"}));
  EXPECT_EQ(r.st.sink.writes[0].op, WriteOp::kSetDouble);
  EXPECT_EQ(r.st.sink.writes[0].value, 90.0);
  EXPECT_EQ(r.st.sink.writes[1].op, WriteOp::kSetDouble);
  EXPECT_EQ(r.st.sink.writes[1].value, 45.0);
  EXPECT_EQ(r.st.sink.writes[2].op, WriteOp::kSetByte);
  EXPECT_EQ(r.st.sink.writes[2].value, 3.0);
  for (const Recorded& w : r.st.sink.writes) EXPECT_EQ(w.index, 0u);
}

struct ColumnCase {
  const char* rule;
  std::string lon, lat;
  double want_lon, want_lat;
};

TEST(LocationGps, ColumnRules) {
  const ColumnCase cases[] = {
      {"plain digits", "-12345678", "04512345", -123.45678, 45.12345},
      {"latitude NULs at positions 6-7 read as zeros", "012345678", nuls("045123~~"), 123.45678, 45.123},
      {"latitude NUL elsewhere is skipped", "012345678", nuls("4~5123~7"), 123.45678, 45.12307},
      {"longitude stops at its first NUL", nuls("-12~45678"), "04512345", -0.00012, 45.12345},
      {"blank columns read 0", "         ", "        ", 0.0, 0.0},
      {"garbled columns read 0", "xyz123456", "N4512345", 0.0, 0.0},
      {"longitude NULs are never zeros", nuls("1234567~~"), "04512345", 12.34567, 45.12345},
  };
  for (const ColumnCase& c : cases) {
    SCOPED_TRACE(c.rule);
    const Decoded r(kGps, 0x1014, gps_record(c.lon, c.lat));
    ASSERT_TRUE(r.msg.location());
    EXPECT_NEAR(r.x(), c.want_lon, 1e-9);
    EXPECT_NEAR(r.y(), c.want_lat, 1e-9);
  }
}

TEST(LocationGps, SourceIsOneDecimalDigit) {
  const struct {
    const char* column;
    double want;
  } cases[] = {{"7", 7}, {"0", 0}, {" ", 0}, {"-", 0}, {"A", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.column);
    const Decoded r(kGps, 0x1014, gps_record("-12345678", "04512345", c.column));
    EXPECT_EQ(r.st.sink.of("ATTR_ID_GPS_SOURCE").at(0).value, c.want);
  }
}

TEST(LocationGps, TextRecordsWriteEvenIntoAReadOnlyState) {
  EXPECT_EQ(Decoded(kGps, 0x1014, gps_record("-12345678", "04512345"), nullptr, true).st.sink.writes.size(), 3u);
  EXPECT_EQ(Decoded(k3dGps, 0x1FEE, gps3d_record(), nullptr, true).st.sink.writes.size(), 3u);
  EXPECT_EQ(Decoded(kCait, 0x1FF1, cait_record(), nullptr, true).st.sink.writes.size(), 3u);
  EXPECT_EQ(
      Decoded(kEtak, 0x100D, etak_record("W", "73.5000000", "N", "40.7500000"), nullptr, true).st.sink.writes.size(),
      1u);
}

TEST(LocationGps, NothingIsFormattedForNobody) {
  COrbExpandedMessage msg;
  msg.titleWanted = false;
  msg.detailsWanted = false;
  RecordingState st;
  const Bytes b = gps3d_record();
  COrbDecodeMsgCDMAQualcommFrame f(b.data(), b.size(), nullptr);
  f.Decode3DGPSInfo(&st.ds, msg, nullptr);
  EXPECT_EQ(msg.title, "");
  EXPECT_EQ(msg.details, "");
  EXPECT_EQ(msg.category, 164);
  EXPECT_TRUE(msg.location());
  EXPECT_EQ(st.sink.writes.size(), 3u);
}

TEST(Location3dGps, HandBuiltRecord) {
  const Decoded r(k3dGps, 0x1FEE, gps3d_record());
  EXPECT_EQ(r.msg.title, "3D GPS info");
  EXPECT_EQ(r.msg.category, 164);
  EXPECT_DOUBLE_EQ(r.x(), -73.5);
  EXPECT_DOUBLE_EQ(r.y(), 40.75);
  EXPECT_EQ(r.msg.details,
            "Time: 1234567.890, Longtitude: -73.50000 (deg.), Latitude: 40.75000 (deg.), Altitude: 123.4 (m), "
            "Head: 270.0 (deg.), Speed: 55.0 (mph),\n"
            "Source: 2, Satellites: 7");
  EXPECT_EQ(r.names(),
            (std::vector<std::string>{"ATTR_ID_LOCATION_HEADING", "ATTR_ID_LOCATION_SPEED_MPH", "ATTR_ID_GPS_SOURCE"}));
  EXPECT_EQ(r.st.sink.writes[0].value, 270.0);
  EXPECT_EQ(r.st.sink.writes[1].value, 55.0);
  EXPECT_EQ(r.st.sink.writes[2].op, WriteOp::kSetLong);
  EXPECT_EQ(r.st.sink.writes[2].value, 2.0);
}

TEST(Location3dGps, SourceByteIsBinaryAndWidenedUnsigned) {
  Bytes b = gps3d_record();
  std::vector<std::uint8_t> v = b.vec();
  v[41] = 0xC8;  // 200
  const Decoded r(k3dGps, 0x1FEE, v, v.size());
  EXPECT_EQ(r.st.sink.of("ATTR_ID_GPS_SOURCE").at(0).value, 200.0);
  EXPECT_NE(r.msg.details.find("Source: 200, Satellites: 7"), std::string::npos);
}

TEST(LocationCait, HandBuiltRecord) {
  const Decoded r(kCait, 0x1FF1, cait_record());
  EXPECT_EQ(r.msg.title, "CAIT GPS info");
  EXPECT_EQ(r.msg.category, 164);
  EXPECT_EQ(r.msg.details,
            "Time: 12.500, Longtitude: -73.50000 (deg.), Latitude: 40.75000 (deg.), Head: 180.0 (deg.), Speed: 9.0 "
            "(mph),\n"
            "Source: 1, Satellites: 11");
  EXPECT_EQ(r.st.sink.writes.at(2).op, WriteOp::kSetLong);
  EXPECT_EQ(r.st.sink.writes.at(2).value, 1.0);
}

TEST(LocationEtak, HandBuiltRecord) {
  const Decoded r(kEtak, 0x100D, etak_record("W", "73.5000000", "N", "40.7500000"));
  EXPECT_EQ(r.msg.title, "ETAK info");
  EXPECT_DOUBLE_EQ(r.x(), -73.5);
  EXPECT_DOUBLE_EQ(r.y(), 40.75);
  EXPECT_EQ(r.msg.location_precision(), 100);
  EXPECT_EQ(r.msg.details, "Map " + dms(" -73", "30", "00.00") + " Lon. " + dms(" 40", "45", "00.00") + " Lat.");
  ASSERT_EQ(r.st.sink.writes.size(), 1u);
  EXPECT_EQ(r.st.sink.writes[0].name, "ATTR_ID_LOCATION_SPEED_MPH");
  EXPECT_EQ(r.st.sink.writes[0].op, WriteOp::kSetDouble);
  EXPECT_EQ(r.st.sink.writes[0].value, 35.5);
}

TEST(LocationEtak, HemisphereLettersAndColumnRules) {
  const struct {
    const char* rule;
    std::string west, lon, south, lat;
    double want_lon, want_lat;
  } cases[] = {
      {"W and S negate", "W", "73.5000000", "S", "33.2500000", -73.5, -33.25},
      {"E and N keep the sign", "E", "73.5000000", "N", "33.2500000", 73.5, 33.25},
      {"lower-case letters are not hemispheres", "w", "73.5000000", "s", "33.2500000", 73.5, 33.25},
      {"NULs at positions 7-9 read as zeros", "E", nuls("0000012~~~"), "N", nuls("0000034~~~"), 12000.0, 34000.0},
      {"NULs before position 7 are skipped", "E", nuls("1~2.5~000~"), "N", nuls("~~3.2500~~"), 12.50000, 3.25},
      {"a letter NUL is no hemisphere", nuls("~"), "73.5000000", nuls("~"), "33.2500000", 73.5, 33.25},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rule);
    const Decoded r(kEtak, 0x100D, etak_record(c.west, c.lon, c.south, c.lat));
    ASSERT_TRUE(r.msg.location());
    EXPECT_NEAR(r.x(), c.want_lon, 1e-9);
    EXPECT_NEAR(r.y(), c.want_lat, 1e-9);
  }
}

// The degree/minute/second split of the map line, through ETAK (which never projects).
TEST(LocationMapLine, DegreesMinutesSecondsAtSignsAndRoundingEdges) {
  const struct {
    const char* edge;
    std::string west, lon;
    std::string want;  // longitude part of the line
  } cases[] = {
      {"west", "W", "73.5000000", "Map " + dms(" -73", "30", "00.00") + " Lon."},
      {"west, below one degree keeps its sign", "W", "0.50000000", "Map " + dms("  -0", "30", "00.00") + " Lon."},
      {"east, below one degree", "E", "0.50000000", "Map " + dms("   0", "30", "00.00") + " Lon."},
      {"zero", "E", "0.00000000", "Map " + dms("   0", "00", "00.00") + " Lon."},
      {"exact half degree", "E", "45.5000000", "Map " + dms("  45", "30", "00.00") + " Lon."},
      {"seconds just under .995 stay", "E", "10.4999986", "Map " + dms("  10", "29", "59.99") + " Lon."},
      {"seconds rounding to 60 carry a minute", "E", "10.4999987", "Map " + dms("  10", "30", "00.00") + " Lon."},
      {"minutes reaching 60 carry a degree", "E", "10.9999999", "Map " + dms("  11", "00", "00.00") + " Lon."},
      {"the carry goes away from zero when west", "W", "10.9999999", "Map " + dms(" -11", "00", "00.00") + " Lon."},
      {"west, seconds stay positive", "W", "12.3456789", "Map " + dms(" -12", "20", "44.44") + " Lon."},
      {"wider than the field", "W", "10000.0000", "Map " + dms("-10000", "00", "00.00") + " Lon."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.edge);
    const Decoded r(kEtak, 0x100D, etak_record(c.west, c.lon, "S", "33.2500000"));
    EXPECT_EQ(r.msg.details, c.want + " " + dms("-33", "15", "00.00") + " Lat.");
  }
}

TEST(LocationText, ShortRecordsReadMissingColumnsAsEmpty) {
  // Longitude complete, latitude cut after "045".
  const Bytes b = gps_record("-12345678", "04512345");
  const Decoded r(kGps, 0x1014, b.vec(), 18);
  ASSERT_TRUE(r.msg.location());
  EXPECT_DOUBLE_EQ(r.x(), -123.45678);
  EXPECT_DOUBLE_EQ(r.y(), 0.00045);
  EXPECT_EQ(r.st.sink.of("ATTR_ID_LOCATION_HEADING").at(0).value, 0.0);
  EXPECT_EQ(r.st.sink.of("ATTR_ID_GPS_SOURCE").at(0).value, 0.0);

  // 3D GPS without its two binary bytes.
  const Decoded g(k3dGps, 0x1FEE, gps3d_record().vec(), 41);
  EXPECT_EQ(g.st.sink.of("ATTR_ID_GPS_SOURCE").at(0).value, 0.0);
  EXPECT_NE(g.msg.details.find("Source: 0, Satellites: 0"), std::string::npos);
}

TEST(LocationText, TruncationSweep) {
  const struct {
    Member member;
    std::uint32_t code;
    Bytes bytes;
  } records[] = {
      {kGps, 0x1014, gps_record("-12345678", nuls("451234~~"))},
      {k3dGps, 0x1FEE, gps3d_record()},
      {kCait, 0x1FF1, cait_record()},
      {kEtak, 0x100D, etak_record("W", "73.5000000", "S", nuls("0000034~~~"))},
  };
  for (const auto& rec : records) {
    for (std::size_t len = 0; len < rec.bytes.size(); ++len) {
      SCOPED_TRACE(testing::Message() << std::hex << rec.code << " at " << std::dec << len);
      std::unique_ptr<Decoded> r;
      ASSERT_NO_THROW(r = std::make_unique<Decoded>(rec.member, rec.code, rec.bytes.vec(), len));
      EXPECT_TRUE(r->msg.location());
      EXPECT_FALSE(r->st.sink.writes.empty());
    }
  }
}

// ---------------------------------------------------------------- projection

class LocationProjection : public ::testing::Test {
 protected:
  static constexpr int kUtm33N = 32633;  // WGS 84 / UTM zone 33N, central meridian 15 E
  void SetUp() override {
    props.set_projection_epsg(kUtm33N);
    ASSERT_TRUE(system.init(kUtm33N));
  }
  ObjectProperties props;
  CCoordinateSystem system;
};

TEST_F(LocationProjection, GpsPositionsGoThroughTheSystem) {
  // On the central meridian the easting is the false easting.
  const Decoded on(kGps, 0x1014, gps_record("001500000", "05200000"), &props);
  double x = 0, y = 0;
  ASSERT_TRUE(system.forward(15.0, 52.0, x, y));
  EXPECT_NEAR(on.x(), 500000.0, 1e-6);
  EXPECT_NEAR(on.y(), y, 1e-6);
  EXPECT_NEAR(on.y(), 5761038.2, 1.0);

  const Decoded off(kGps, 0x1014, gps_record("001650000", "05200000"), &props);
  ASSERT_TRUE(system.forward(16.5, 52.0, x, y));
  EXPECT_NEAR(off.x(), x, 1e-6);
  EXPECT_NEAR(off.y(), y, 1e-6);
  EXPECT_GT(off.x(), 500000.0);
}

TEST_F(LocationProjection, ThreeDimensionalRecordsShowTheMapCoordinates) {
  const Decoded r(k3dGps, 0x1FEE, gps3d_record("001650000"), &props);
  double x = 0, y = 0;
  ASSERT_TRUE(system.forward(16.5, 40.75, x, y));
  EXPECT_NEAR(r.x(), x, 1e-6);
  EXPECT_NEAR(r.y(), y, 1e-6);
  EXPECT_NE(r.msg.details.find(cdmadiag::formatf("Longtitude: %.5f (deg.), Latitude: %.5f (deg.)", x, y)),
            std::string::npos);
}

TEST_F(LocationProjection, MissingFixIsNeverProjected) {
  const Decoded r(k3dGps, 0x1FEE, gps3d_record(nuls("-1e9~~~~~")), &props);
  EXPECT_EQ(r.x(), -10000.0);
  EXPECT_DOUBLE_EQ(r.y(), 40.75);

  // The same when only the latitude is missing.
  std::vector<std::uint8_t> v = gps3d_record("001650000").vec();
  const std::string lat = nuls("-1e9~~~~");
  std::copy(lat.begin(), lat.end(), v.begin() + 19);
  const Decoded s(k3dGps, 0x1FEE, v, v.size(), &props);
  EXPECT_DOUBLE_EQ(s.x(), 16.5);
  EXPECT_EQ(s.y(), -10000.0);
}

TEST_F(LocationProjection, NoOrUnknownProjectionAndEtakLeavePositionsUnchanged) {
  ObjectProperties none;
  const Decoded a(kCait, 0x1FF1, cait_record(), &none);
  EXPECT_DOUBLE_EQ(a.x(), -73.5);
  EXPECT_DOUBLE_EQ(a.y(), 40.75);

  const Decoded b(kCait, 0x1FF1, cait_record(), nullptr);
  EXPECT_DOUBLE_EQ(b.x(), -73.5);

  ObjectProperties unknown;
  unknown.set_projection_epsg(999999);
  const Decoded c(kCait, 0x1FF1, cait_record(), &unknown);
  EXPECT_DOUBLE_EQ(c.x(), -73.5);
  EXPECT_DOUBLE_EQ(c.y(), 40.75);

  const Decoded d(kEtak, 0x100D, etak_record("E", "16.5000000", "N", "52.0000000"), &props);
  EXPECT_DOUBLE_EQ(d.x(), 16.5);
  EXPECT_DOUBLE_EQ(d.y(), 52.0);
}

// ---------------------------------------------------------------- position engine

Bytes& engine_header(Bytes& b, std::uint8_t type, std::uint32_t session) {
  b.u8(type);          // 0x00 record type
  b.u32(session);      // 0x01 GPS session count
  return b.zeros(12);  // 0x05..0x10 not read
}

Bytes position_fix(std::uint16_t flag = 0x0003, std::uint8_t total_svs = 2) {
  Bytes b;
  engine_header(b, 1, 7);
  b.u16(flag).u16(0);                                                 // 0x11 position flag, 0x13 failure flag
  b.u16(1500).u32(86400000).u32(86386000);                            // 0x15 week, fix time, leap-adjusted time
  b.u32(1234).u32(2);                                                 // 0x1F Rx ref count, positions count
  b.u64(f64(0.5)).u64(f64(-1.25)).u64(f64(100.0));                    // 0x27 initial lat, lon, alt
  b.u64(f64(0.25)).u64(f64(-0.75)).u64(f64(50.5));                    // 0x3F unfiltered
  b.u64(f64(0.125)).u64(f64(-2.0)).u64(f64(12.0));                    // 0x57 filtered
  b.u32(f32(1.5f)).u32(f32(-2.5f)).u32(f32(0.25f));                   // 0x6F velocity E, N, U
  b.u32(f32(10)).u32(f32(3)).u32(f32(4)).u32(f32(5)).u32(f32(0.5f));  // 0x7B uncertainties
  b.u32(f32(-7.25f)).u32(f32(0.125f));                                // 0x8F clock bias, drift
  b.u32(f32(11.5f)).u32(f32(2.25f)).u32(f32(-3.5f));                  // 0x97 filtered alt, sigma, magnetic
  b.u32(f32(1.75f)).u32(f32(1.25f)).u32(f32(2.5f));                   // 0xA3 position, horizontal, vertical DoP
  b.u8(4).u8(5).u8(total_svs);                                        // 0xAF fix info, SVs, total SVs
  b.zeros(8);                                                         // 0xB2..0xB9 not read
  for (int i = 0; i < 16; ++i) b.u8(3 + i);                           // 0xBA PRN
  for (int i = 0; i < 16; ++i) b.u8(40 + i);                          // 0xCA IODE
  for (int i = 0; i < 16; ++i) b.u32(f32(0.5f + i * 0.75f));          // 0xDA 1/weight
  for (int i = 0; i < 16; ++i) b.u32(f32(-3.25f + i * 4.0f));         // 0x11A residual
  return b;                                                           // 0x15A
}

const std::string kFixText =
    "Log Type: 0x01, GPS Session Count: 7"
    "\n.\nPosition Flag: 3, Failure Flag: 0"
    "\n.\nWeek Number: 1500, Fix Time into Week: 86400000 (ms), Time Adjusted for Leap Seconds: 86386000 (ms)"
    "\n.\nRx Ref. Count: 1234, Positions Count: 2"
    "\n.\nInitial Latitude: 0.500000 (rad), Initial Longitude: -1.250000 (rad.), Initial Altitude: 100.000000 (m)"
    "\nUnfiltered Latitude: 0.250000 (rad), Unfiltered Longitude: -0.750000 (rad.), Unfiltered Altitude: 50.500000 "
    "(m)"
    "\nFiltered Latitude: 0.125000 (rad), Filtered Longitude: -2.000000 (rad.), Filtered Altitude: 12.000000 (m)"
    "\n.\nVelocity East: 1.500000 (m/s), Velocity North: -2.500000 (m/s), Velocity Up: 0.250000 (m/s)"
    "\n.\nPosition Uncertainty: 10.000000 (m), Latitude Uncertainty: 3.000000 (m), Longitude Uncertainty: 4.000000 "
    "(m), Vertical Uncertainty: 5.000000 (m), Velocity Uncertainty: 0.500000 (m/s)"
    "\n.\nRx Clock Bias: -7.250000 (m), Rx Clock Drift Rate: 0.125000 (m/s)"
    "\n.\nFiltered Alt: 11.500000 (m), Alt Sigma: 2.250000 (m), Magnetic Deviation from true North: -3.500000 (deg)"
    "\n.\nPosition DoP: 1.750000, Horizontal DoP: 1.250000, Vertical DoP: 2.500000";

Bytes assistance() {
  Bytes b;
  engine_header(b, 2, 8);
  b.u32(5000).u32(static_cast<std::uint32_t>(-20));  // 0x11 assist GPS ms, 0x15 delta time
  b.u8(1).u8(9);                                     // 0x19 SVs, 0x1A CDMA system time
  b.u8(1).u8(0).u8(1).u16(300).u8(1);                // 0x1B Doppler, add. Doppler, code phase, ref PN, az/el
  b.zeros(13);                                       // 0x21..0x2D not read
  b.u8(12).u16(static_cast<std::uint16_t>(-1500));   // 0x2E PRN, 0th-order Doppler
  b.u8(0xFD).u16(250);                               // +3 1st-order Doppler -3, Doppler window
  b.u16(1022).u8(19);                                // +6 code phase, code periods
  b.u8(2).u16(64);                                   // +9 bit number, code phase window
  b.u8(20).u8(45);                                   // +12 azimuth, elevation
  return b;                                          // 0x3C
}

Bytes receiver_time() {
  Bytes b;
  engine_header(b, 3, 9);
  b.u32(600000).u16(1501);           // 0x11 reference counter, week
  b.u32(345000).u32(f32(0.25f));     // 0x17 GPS ms, time bias
  b.u32(f32(1.5f)).u16(20);          // 0x1F time uncertainty, ms ambiguity
  b.u32(f32(-0.5f)).u32(f32(2.0f));  // 0x25 frequency bias, uncertainty
  return b;                          // 0x2D
}

Bytes search_results(std::uint8_t count = 1) {
  Bytes b;
  engine_header(b, 4, 10);
  b.u8(count).u32(700000);            // 0x11 SVs, reference counter
  b.u16(1502).u32(123456);            // 0x16 week, GPS ms
  b.u32(f32(0.75f));                  // 0x1C time bias
  b.u32(f32(3.0f)).u16(1);            // 0x20 time uncertainty, ms ambiguity
  b.u32(f32(1.25f)).u32(f32(0.5f));   // 0x26 frequency bias, uncertainty
  b.zeros(21);                        // 0x2E..0x42 not read
  b.u8(22).u8(3).u16(7);              // 0x43 PRN, search mode, status
  b.u16(457).u16(459);                // +4 C/N0, C/N0 in 1 Hz (shown /10, truncated)
  b.u32(f32(0.5f)).u32(400000);       // +8 sub-ms SV time, +12 SV time
  b.u32(f32(0.25f));                  // +16 SV time sigma
  b.u32(f32(-12.5f)).u32(f32(1.0f));  // +20 SV speed, sigma
  return b;                           // 0x5F
}

Bytes sv_time_differences() {
  Bytes b;
  engine_header(b, 5, 11);
  b.u8(2).u8(1).u8(14);               // 0x11 scheduling, demodulation, reference SV
  b.u32(800000).u8(1);                // 0x14 reference counter, 0x18 SVs
  b.zeros(8);                         // 0x19..0x20 not read
  b.u8(5).u8(1);                      // 0x21 PRN, processing flag
  b.u32(f32(0.125f)).u32(f32(0.5f));  // +2 SV time, uncertainty
  b.u32(f32(-3.0f)).u32(f32(0.25f));  // +10 speed, uncertainty
  return b;                           // 0x33
}

Bytes ephemeris(std::uint8_t type, std::uint8_t count, std::initializer_list<std::uint8_t> svs) {
  Bytes b;
  engine_header(b, type, type == 6 ? 12 : 13);
  b.u8(count).u32(type == 6 ? 900000 : 950000);  // 0x11 SVs, 0x12 ms of week
  b.zeros(8);                                    // 0x16..0x1D not read
  for (std::uint8_t v : svs) b.u8(v);            // 0x1E one (6) or two (7) bytes an SV
  return b;
}

struct EngineCase {
  const char* name;
  Bytes bytes;
  std::size_t needed;  // shortest payload decoded in full
  std::string details;
};

std::vector<EngineCase> engine_cases() {
  return {
      {"position fix", position_fix(), 0x122,
       kFixText + "\n.\nFix Info: 4, Num SVs: 5, Total SVs: 2"
                  "\nSV\tIODE\t1/Wgt\tResidual"
                  "\nPRN\t\t\t(m)"
                  "\n3\t40\t0.50\t-3.25"
                  "\n4\t41\t1.25\t0.75"},
      {"failed fix", position_fix(0x0043), 0xB2,
       kFixText.substr(0, kFixText.find("\n.\nPosition Flag")) + "\n.\nPosition Flag: 67, Failure Flag: 0" +
           kFixText.substr(kFixText.find("\n.\nWeek")) + "\n.\nFix Info: 4, Num SVs: 5, Total SVs: 2"},
      {"assistance", assistance(), 0x3C,
       "Log Type: 0x02, GPS Session Count: 8"
       "\n.\nAssist GPS: 5000 (ms), Delta Time: -20 (ms)"
       "\n.\nNumber SVs: 1, CDMA System Time: 9 "
       "\n.\nDoppler included: 1, Additional Doppler info included: 0 "
       "\n.\nCode Phase info included: 1, Reference PN: 300 "
       "\n.\nAzimuth and elevation included: 1 "
       "\n.\nSV PRN number: 12, 0th order Doppler: -1500, "
       "1st Order Doppler: -3, Doppler search window: 250"
       "\nGPS Code Phase: 1022, Number of Code periods since the last bit boundary: 19"
       "\nTwo least significant bits of bit number (within GPS frame) being transmitted: 2, Code Phase Search Window: "
       "64 "
       "\nAzimuth of SV: 20 , Elevation of SV: 45 "},
      {"receiver time", receiver_time(), 0x2D,
       "Log Type: 0x03, GPS Session Count: 9"
       "\n.\nReceiver's reference counter: 600000 (ms), Week Number for Receiver's reference counter: 1501 (weeks)"
       "\nGPS: 345000 (ms), Time Bias: 0.250000 (ms) "
       "\nTime uncertainty: 1.500000, Msec ambiguity: 20 (ms) "
       "\nFrequency bias (m/s): -0.500000, Frequency uncertainty: 2.000000 (m/s) "},
      {"search results", search_results(), 0x5F,
       "Log Type: 0x04, GPS Session Count: 10"
       "\n.\nNumber of SV's in search results: 1, Receiver's reference counter: 700000 (ms), "
       "Week Number: 1502, GPS: 123456 (ms) "
       "\nTime Bias: 0.750000 (ms), "
       "Time uncertainty: 3.000000, Msec ambiguity: 1 (ms) "
       "\nFrequency bias (m/s): 1.250000, Frequency uncertainty: 0.500000 (m/s) "
       "\n.\nSV PRN Number: 22, Search Mode: 3, "
       "Search results status: 7, Signal to Noise Ratio: 45 (0.1 dB/bit) "
       "\nSignal to Noise ratio in 1Hz bandwidth: 45 (0.1 dB/bit), Sub ms SV time: 0.500000 (ms) "
       "\nSV Time(ms of week): 400000 (ms), SV Time Uncertainty(sigma): 0.250000 (ms), "
       "SV Speed +ve for -ve doppler: -12.500000 (m/s), SV Speed Uncertainty(sigma): 1.000000 (m/s) "},
      {"SV time differences", sv_time_differences(), 0x33,
       "Log Type: 0x05, GPS Session Count: 11"
       "\n.\nScheduling Type: 2, Demodulate almanac, ephemeris, time: 1, Reference SV for SV time difference: 14 "
       "\n.\nReceiver's reference counter value for SV time difference: 800000 (ms), Number of SVs: 1 "
       "\n.\nSV PRN: 5, SV Processing flag: 1, "
       "SV time: 0.125000 (ms), 1 sided difference uncertainty: 0.500000 (ms) "
       "\nSV Speed: -3.000000 (m/s), 1 sided speed uncertainty: 0.250000 (m/s) "},
      {"missing ephemeris", ephemeris(6, 2, {7, 31}), 0x20,
       "Log Type: 0x06, GPS Session Count: 12"
       "\n.\nNumber of SVs in Database: 2, Msec of the GPS week for ephemeris data: 900000 (ms) "
       "\n.\nPRN of missing SV in ephemeris: 7 "
       "\n.\nPRN of missing SV in ephemeris: 31 "},
      {"ephemeris age", ephemeris(7, 1, {9, 8}), 0x20,
       "Log Type: 0x07, GPS Session Count: 13"
       "\n.\nNumber of SVs in this log: 1, Msec of the GPS week for ephemeris data: 950000 (ms) "
       "\n.\nSV PRN number: 9, Age of SV's ephemeris data: 8 (x15min) "},
  };
}

TEST(LocationEngine, EveryRecordTypeLineForLine) {
  for (const EngineCase& c : engine_cases()) {
    SCOPED_TRACE(c.name);
    const Decoded r(kEngine, 0x1154, c.bytes);
    EXPECT_EQ(r.msg.title, "Position Engine Full, Ver 2");
    EXPECT_EQ(r.msg.details, c.details);
    EXPECT_FALSE(r.msg.location());
    EXPECT_EQ(r.msg.category, 0);
  }
}

TEST(LocationEngine, TruncationSweepRefusesWholeRecords) {
  for (const EngineCase& c : engine_cases()) {
    const std::string first_line = c.details.substr(0, c.details.find('\n'));
    for (std::size_t len = 0; len < c.bytes.size(); ++len) {
      SCOPED_TRACE(testing::Message() << c.name << " at " << len);
      std::unique_ptr<Decoded> r;
      ASSERT_NO_THROW(r = std::make_unique<Decoded>(kEngine, 0x1154, c.bytes.vec(), len));
      if (len < 5) {
        EXPECT_EQ(r->msg.details, kFailure);
      } else if (len < c.needed) {
        EXPECT_EQ(r->msg.details, first_line + "\n" + kFailure);
        EXPECT_TRUE(r->st.sink.writes.empty());
      } else {
        EXPECT_EQ(r->msg.details, c.details);
      }
    }
  }
}

TEST(LocationEngine, DopIsWrittenForGoodFixesOnly) {
  const Decoded good(kEngine, 0x1154, position_fix());
  EXPECT_EQ(good.names(), (std::vector<std::string>{"ATTR_ID_GPSOne_DoP_Position", "ATTR_ID_GPSOne_DoP_Horizontal",
                                                    "ATTR_ID_GPSOne_DoP_Vertical"}));
  ASSERT_EQ(good.st.sink.writes.size(), 3u);
  EXPECT_EQ(good.st.sink.writes[0].value, 1.75);
  EXPECT_EQ(good.st.sink.writes[1].value, 1.25);
  EXPECT_EQ(good.st.sink.writes[2].value, 2.5);
  for (const Recorded& w : good.st.sink.writes) {
    EXPECT_EQ(w.op, WriteOp::kSetDouble);
    EXPECT_EQ(w.index, 0u);
  }

  EXPECT_TRUE(Decoded(kEngine, 0x1154, position_fix(0x0040)).st.sink.writes.empty());
  EXPECT_TRUE(Decoded(kEngine, 0x1154, position_fix(), nullptr, true).st.sink.writes.empty());
  // Only the low byte of the flag holds the failure bit.
  EXPECT_EQ(Decoded(kEngine, 0x1154, position_fix(0x4000)).st.sink.writes.size(), 3u);
  // Writes do not depend on the text being wanted.
  const Decoded quiet(kEngine, 0x1154, position_fix(), nullptr, false, false);
  EXPECT_EQ(quiet.st.sink.writes.size(), 3u);
  EXPECT_EQ(quiet.msg.details, "");
}

TEST(LocationEngine, RecordListsStopAtSixteen) {
  const Decoded fix(kEngine, 0x1154, position_fix(0x0003, 20));
  const std::string& d = fix.msg.details;
  EXPECT_NE(d.find("Total SVs: 20\nSV\tIODE"), std::string::npos);
  EXPECT_NE(d.find("\n18\t55\t11.75\t56.75"), std::string::npos);  // 16th row
  EXPECT_EQ(d.substr(d.rfind('\n')), "\n18\t55\t11.75\t56.75");

  // Twenty missing SVs announced, sixteen bytes present: the bound makes it complete.
  const Decoded missing(kEngine, 0x1154, ephemeris(6, 20, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}));
  EXPECT_NE(missing.msg.details.find("Number of SVs in Database: 20,"), std::string::npos);
  std::size_t lines = 0;
  for (std::size_t at = 0; (at = missing.msg.details.find("PRN of missing SV", at)) != std::string::npos; ++at) ++lines;
  EXPECT_EQ(lines, 16u);
  EXPECT_EQ(missing.msg.details.substr(missing.msg.details.rfind('\n')), "\nPRN of missing SV in ephemeris: 16 ");
}

TEST(LocationEngine, CountsPastThePayloadAreRefused) {
  const Decoded r(kEngine, 0x1154, search_results(2));  // two announced, one present
  EXPECT_EQ(r.msg.details, "Log Type: 0x04, GPS Session Count: 10\n" + kFailure);
  const Decoded a(kEngine, 0x1154, ephemeris(7, 3, {1, 2, 3, 4, 5}));  // the third age is missing
  EXPECT_EQ(a.msg.details, "Log Type: 0x07, GPS Session Count: 13\n" + kFailure);
}

TEST(LocationEngine, OtherRecordTypesStopAfterTheFirstLine) {
  Bytes b;
  engine_header(b, 9, 0xFFFFFFFF).zeros(0x200);
  EXPECT_EQ(Decoded(kEngine, 0x1154, b).msg.details, "Log Type: 0x09, GPS Session Count: 4294967295");
  Bytes z;
  engine_header(z, 0, 1);
  EXPECT_EQ(Decoded(kEngine, 0x1154, z).msg.details, "Log Type: 0x00, GPS Session Count: 1");
}

}  // namespace
