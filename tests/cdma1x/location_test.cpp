// Location records: the fixed-column GPS and dead-reckoning texts and the
// position-engine log packet.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/failure_texts.h"
#include "support/decoder_case.h"

namespace {

using cdmadiag::test::Bytes;
using Accessor = IProObjectPropertiesConnectedAccessor;

const std::string kFailure = cdmadiag::kNotQualcommStandard;
constexpr auto kNpos = std::string::npos;

std::uint32_t f32(float v) { return std::bit_cast<std::uint32_t>(v); }
std::uint64_t f64(double v) { return std::bit_cast<std::uint64_t>(v); }

// Column text with '~' standing for a NUL byte.
std::string nuls(std::string s) {
  std::replace(s.begin(), s.end(), '~', '\0');
  return s;
}

// One coordinate of the map line: degree sign, acute accent and double quote (Windows-1252).
std::string dms(const std::string& degrees, const std::string& minutes, const std::string& seconds) {
  return degrees + "\xB0" + minutes + "\xB4" + seconds + "\"";
}

// One packet on a fresh data state, decoded on construction; no accessor unless given.
struct Decoded : cdmadiag::test::DecoderCase {
  Decoded(std::uint32_t code, const Bytes& b, Accessor* props = nullptr, bool ro = false, bool want = true) {
    accessor = props;
    read_only = ro;
    title_wanted = details_wanted = want;
    run(code, b);
  }
  double x() const { return msg.location()->x; }
  double y() const { return msg.location()->y; }
};

constexpr std::uint32_t kGps = 0x1014, k3dGps = 0x1FEE, kCait = 0x1FF1, kEtak = 0x100D, kEngine = 0x1154;

// ---------------------------------------------------------------- text records

// 0 not read, 6 longitude (9 chars, 1e-5 deg), 15 latitude (8), 23 heading, 26 speed, 29 source digit, 30 unused.
Bytes gps(const std::string& lon, const std::string& lat, const std::string& source = "3") {
  return Bytes{}.text(nuls("HEADER" + lon + lat + "090045" + source + "*"), false);
}
// 0 time, 10 longitude, 19 latitude, 27 altitude, 35 heading, 38 speed; 41 source, 42 satellites binary.
Bytes gps3d(const std::string& lon = "-07350000", const std::string& lat = "04075000") {
  return Bytes{}.text(nuls("1234567.89" + lon + lat + "   123.4270055"), false).u8(200).u8(7);
}
// 0 time (its column stops at the NUL), 10 longitude, 19 latitude, 27 heading, 30 speed; 33 source, 34 satellites.
Bytes cait() { return Bytes{}.text("0000012.5").text("-0735000004075000180  9", false).u8(1).u8(11); }
// 0 hemisphere letter, 1 longitude (10 chars, deg), 11 letter, 12 latitude, 22 speed (5 chars).
Bytes etak(const std::string& west, const std::string& lon, const std::string& south, const std::string& lat) {
  return Bytes{}.text(nuls(west + lon + south + lat + "035.5"), false);
}

std::string gps_writes(int heading, int speed, const char* source) {
  return cdmadiag::formatf("LOCATION_HEADING Double[0] %d\nLOCATION_SPEED_MPH Double[0] %d\nGPS_SOURCE %s\n", heading,
                           speed, source);
}

struct TextCase {
  std::uint32_t code;
  Bytes bytes;
  std::string title, details;
  double x, y;
  int category;
  std::string writes;
};

std::vector<TextCase> text_cases() {
  // -123.45678 = 123 deg 27 min 24.408 s; 45.12345 = 45 deg 07 min 24.42 s
  return {
      {kGps, gps("-12345678", "04512345"), "GPS info",
       "Map " + dms("-123", "27", "24.41") + " Lon. " + dms(" 45", "07", "24.42") + " Lat.", -123.45678, 45.12345, 0,
       gps_writes(90, 45, "Byte[0] 3")},
      // The binary source byte is widened unsigned.
      {k3dGps, gps3d(), "3D GPS info",
       "Time: 1234567.890, Longtitude: -73.50000 (deg.), Latitude: 40.75000 (deg.), Altitude: 123.4 (m), Head: 270.0 "
       "(deg.), Speed: 55.0 (mph),\nSource: 200, Satellites: 7",
       -73.5, 40.75, 164, gps_writes(270, 55, "Long[0] 200")},
      {kCait, cait(), "CAIT GPS info",
       "Time: 12.500, Longtitude: -73.50000 (deg.), Latitude: 40.75000 (deg.), Head: 180.0 (deg.), Speed: 9.0 "
       "(mph),\nSource: 1, Satellites: 11",
       -73.5, 40.75, 164, gps_writes(180, 9, "Long[0] 1")},
      {kEtak, etak("W", "73.5000000", "N", "40.7500000"), "ETAK info",
       "Map " + dms(" -73", "30", "00.00") + " Lon. " + dms(" 40", "45", "00.00") + " Lat.", -73.5, 40.75, 0,
       "LOCATION_SPEED_MPH Double[0] 35.5\n"},
  };
}

TEST(LocationText, HandBuiltRecordsLocateWriteAndPrint) {
  for (const TextCase& c : text_cases()) {
    SCOPED_TRACE(c.title);
    const Decoded r(c.code, c.bytes);
    EXPECT_EQ(r.msg.title, c.title);
    EXPECT_EQ(r.msg.details, c.details);
    EXPECT_EQ(r.msg.category, c.category);
    ASSERT_TRUE(r.msg.location());
    EXPECT_DOUBLE_EQ(r.x(), c.x);
    EXPECT_DOUBLE_EQ(r.y(), c.y);
    EXPECT_EQ(r.msg.location_precision(), 100);
    EXPECT_EQ(r.writes(), c.writes);
    // Text records write even into a read-only state, and format nothing for nobody.
    const Decoded quiet(c.code, c.bytes, nullptr, true, false);
    EXPECT_EQ(quiet.msg.title + quiet.msg.details, "");
    EXPECT_EQ(quiet.msg.category, c.category);
    EXPECT_TRUE(quiet.msg.location());
    EXPECT_EQ(quiet.writes(), c.writes);
  }
}

TEST(LocationText, ColumnRules) {
  const struct {
    const char* rule;
    std::uint32_t code;
    Bytes bytes;
    double lon, lat;
  } cases[] = {
      {"latitude NULs at positions 6-7 read as zeros", kGps, gps("012345678", "045123~~"), 123.45678, 45.123},
      {"latitude NULs before position 6 are skipped", kGps, gps("012345678", "4~512~~7"), 123.45678, 4.51207},
      {"longitude stops at its first NUL", kGps, gps("-12~45678", "04512345"), -0.00012, 45.12345},
      {"longitude NULs are never zeros", kGps, gps("1234567~~", "04512345"), 12.34567, 45.12345},
      {"W and S negate", kEtak, etak("W", "73.5000000", "S", "33.2500000"), -73.5, -33.25},
      {"lower-case letters are not hemispheres", kEtak, etak("w", "73.5000000", "s", "33.2500000"), 73.5, 33.25},
      {"NULs at positions 7-9 read as zeros", kEtak, etak("E", "0000012~~~", "N", "0000034~~~"), 12000.0, 34000.0},
      {"NULs before position 7 are skipped", kEtak, etak("E", "1~2.5~000~", "N", "~~3.2500~~"), 12.5, 3.25},
      {"a NUL letter is no hemisphere", kEtak, etak("~", "73.5000000", "~", "33.2500000"), 73.5, 33.25},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rule);
    const Decoded r(c.code, c.bytes);
    ASSERT_TRUE(r.msg.location());
    EXPECT_NEAR(r.x(), c.lon, 1e-9);
    EXPECT_NEAR(r.y(), c.lat, 1e-9);
  }
  for (const auto& [column, want] : std::vector<std::pair<std::string, double>>{{"7", 7}, {" ", 0}, {"A", 0}}) {
    EXPECT_EQ(Decoded(kGps, gps("-12345678", "04512345", column)).of("ATTR_ID_GPS_SOURCE").at(0).value, want);
  }
}

// The degree/minute/second split of the map line, through ETAK (which never projects).
TEST(LocationText, MapLineAtSignsAndRoundingEdges) {
  const struct {
    std::string west, lon, want;
  } cases[] = {
      {"W", "0.50000000", dms("  -0", "30", "00.00")},    // below one degree west keeps its sign
      {"E", "10.4999986", dms("  10", "29", "59.99")},    // seconds just under .995 stay
      {"E", "10.4999987", dms("  10", "30", "00.00")},    // seconds rounding to 60 carry a minute
      {"E", "10.9999999", dms("  11", "00", "00.00")},    // minutes reaching 60 carry a degree
      {"W", "10.9999999", dms(" -11", "00", "00.00")},    // the carry goes away from zero
      {"W", "12.3456789", dms(" -12", "20", "44.44")},    // seconds stay positive
      {"W", "10000.0000", dms("-10000", "00", "00.00")},  // wider than the field
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.west + c.lon);
    const Decoded r(kEtak, etak(c.west, c.lon, "S", "33.2500000"));
    EXPECT_EQ(r.msg.details, "Map " + c.want + " Lon. " + dms("-33", "15", "00.00") + " Lat.");
  }
}

// Short records read the missing columns as empty: always located, always written.
TEST(LocationText, TruncationSweep) {
  for (const TextCase& c : text_cases()) {
    cdmadiag::test::sweep_truncations(c.code, c.bytes, [&](const cdmadiag::test::DecoderCase& t, std::size_t) {
      EXPECT_TRUE(t.msg.location());
      EXPECT_EQ(std::ranges::count(t.writes(), '\n'), std::ranges::count(c.writes, '\n'));
    });
  }
  const Decoded g(kGps, gps("-12345678", "04512345").prefix(18));  // latitude cut after "045"
  EXPECT_DOUBLE_EQ(g.x(), -123.45678);
  EXPECT_DOUBLE_EQ(g.y(), 0.00045);
  EXPECT_EQ(g.of("ATTR_ID_GPS_SOURCE").at(0).value, 0.0);
  const Decoded d(k3dGps, gps3d().prefix(41));  // without its two binary bytes
  EXPECT_NE(d.msg.details.find("Source: 0, Satellites: 0"), kNpos);
}

constexpr int kUtm33N = 32633;  // WGS 84 / UTM zone 33N, central meridian 15 E

TEST(LocationText, FixesAreProjectedWhenTheHostKnowsTheProjection) {
  ObjectProperties utm, none, unknown;
  utm.set_projection_epsg(kUtm33N);
  unknown.set_projection_epsg(999999);
  const Decoded on(kGps, gps("001500000", "05200000"), &utm);  // on the central meridian: the false easting
  EXPECT_NEAR(on.x(), 500000.0, 1e-6);
  EXPECT_NEAR(on.y(), 5761038.2, 1.0);
  const Decoded r(k3dGps, gps3d("001500000"), &utm);  // the text shows the projected figures
  EXPECT_NE(r.msg.details.find("Longtitude: 500000.00000 (deg.), Latitude: 4511005.29"), kNpos);
  for (Accessor* p :
       {static_cast<Accessor*>(&none), static_cast<Accessor*>(&unknown), static_cast<Accessor*>(nullptr)}) {
    const Decoded c(kCait, cait(), p);
    EXPECT_DOUBLE_EQ(c.x(), -73.5);
    EXPECT_DOUBLE_EQ(c.y(), 40.75);
  }
  const Decoded d(kEtak, etak("E", "16.5000000", "N", "52.0000000"), &utm);  // never projected
  EXPECT_DOUBLE_EQ(d.x(), 16.5);
  EXPECT_DOUBLE_EQ(d.y(), 52.0);
}

TEST(LocationText, MissingFixIsNeverProjected) {
  ObjectProperties utm;
  utm.set_projection_epsg(kUtm33N);
  const Decoded lon(k3dGps, gps3d("-1e9~~~~~"), &utm);
  EXPECT_EQ(lon.x(), -10000.0);
  EXPECT_DOUBLE_EQ(lon.y(), 40.75);
  // The same when only the latitude is missing.
  const Decoded lat(k3dGps, gps3d("001650000", "-1e9~~~~"), &utm);
  EXPECT_DOUBLE_EQ(lat.x(), 16.5);
  EXPECT_EQ(lat.y(), -10000.0);
}

// ---------------------------------------------------------------- position engine

Bytes engine(std::uint8_t type, std::uint32_t session) { return Bytes{}.u8(type).u32(session).zeros(12); }

Bytes position_fix(std::uint16_t flag = 0x0003, std::uint8_t total_svs = 2) {
  Bytes b = engine(1, 7);
  b.u16(flag).u16(0).u16(1500).u32(86400000).u32(86386000).u32(1234).u32(2);  // 0x11 flags .. positions count
  // 0x27 initial, unfiltered, filtered latitude, longitude, altitude
  for (double v : {0.5, -1.25, 100.0, 0.25, -0.75, 50.5, 0.125, -2.0, 12.0}) b.u64(f64(v));
  // 0x6F velocity E/N/U, five uncertainties, clock bias and drift, filtered alt, sigma, magnetic, three DoPs
  for (float v :
       {1.5f, -2.5f, 0.25f, 10.f, 3.f, 4.f, 5.f, 0.5f, -7.25f, 0.125f, 11.5f, 2.25f, -3.5f, 1.75f, 1.25f, 2.5f})
    b.u32(f32(v));
  b.u8(4).u8(5).u8(total_svs).zeros(8);                        // 0xAF fix info, SVs, total SVs
  for (int i = 0; i < 16; ++i) b.u8(3 + i);                    // 0xBA PRN
  for (int i = 0; i < 16; ++i) b.u8(40 + i);                   // 0xCA IODE
  for (int i = 0; i < 16; ++i) b.u32(f32(0.5f + i * 0.75f));   // 0xDA 1/weight
  for (int i = 0; i < 16; ++i) b.u32(f32(-3.25f + i * 4.0f));  // 0x11A residual
  return b;
}

std::string fix_text(const std::string& flag) {
  return "Log Type: 0x01, GPS Session Count: 7\n.\nPosition Flag: " + flag +
         ", Failure Flag: 0"
         "\n.\nWeek Number: 1500, Fix Time into Week: 86400000 (ms), Time Adjusted for Leap Seconds: 86386000 (ms)"
         "\n.\nRx Ref. Count: 1234, Positions Count: 2"
         "\n.\nInitial Latitude: 0.500000 (rad), Initial Longitude: -1.250000 (rad.), Initial Altitude: 100.000000 (m)"
         "\nUnfiltered Latitude: 0.250000 (rad), Unfiltered Longitude: -0.750000 (rad.), Unfiltered Altitude: "
         "50.500000 (m)"
         "\nFiltered Latitude: 0.125000 (rad), Filtered Longitude: -2.000000 (rad.), Filtered Altitude: 12.000000 (m)"
         "\n.\nVelocity East: 1.500000 (m/s), Velocity North: -2.500000 (m/s), Velocity Up: 0.250000 (m/s)"
         "\n.\nPosition Uncertainty: 10.000000 (m), Latitude Uncertainty: 3.000000 (m), Longitude Uncertainty: "
         "4.000000 (m), Vertical Uncertainty: 5.000000 (m), Velocity Uncertainty: 0.500000 (m/s)"
         "\n.\nRx Clock Bias: -7.250000 (m), Rx Clock Drift Rate: 0.125000 (m/s)"
         "\n.\nFiltered Alt: 11.500000 (m), Alt Sigma: 2.250000 (m), Magnetic Deviation from true North: -3.500000 "
         "(deg)"
         "\n.\nPosition DoP: 1.750000, Horizontal DoP: 1.250000, Vertical DoP: 2.500000"
         "\n.\nFix Info: 4, Num SVs: 5, Total SVs: 2";
}

Bytes assistance() {
  Bytes b = engine(2, 8).u32(5000).u32(static_cast<std::uint32_t>(-20));  // 0x11 assist GPS ms, delta time
  b.u8(1).u8(9).u8(1).u8(0).u8(1).u16(300).u8(1).zeros(13);               // 0x19 SVs, system time, flags, ref PN, az/el
  b.u8(12).u16(static_cast<std::uint16_t>(-1500)).u8(0xFD);               // 0x2E PRN, 0th- and 1st-order Doppler
  return b.u16(250).u16(1022).u8(19).u8(2).u16(64).u8(20).u8(45);  // window, code phase, periods, bit, window, az, el
}

// 0x11 reference counter, week, GPS ms, bias, uncertainty, ambiguity, frequency bias and its sigma.
Bytes receiver_time() {
  Bytes b = engine(3, 9).u32(600000).u16(1501).u32(345000).u32(f32(0.25f));
  return b.u32(f32(1.5f)).u16(20).u32(f32(-0.5f)).u32(f32(2.0f));
}

Bytes search_results(std::uint8_t count = 1) {
  Bytes b = engine(4, 10).u8(count).u32(700000).u16(1502).u32(123456);     // 0x11 SVs, ref counter, week, GPS ms
  b.u32(f32(0.75f)).u32(f32(3.0f)).u16(1).u32(f32(1.25f)).u32(f32(0.5f));  // 0x1C bias, sigma, ambiguity, frequency
  b.zeros(21).u8(22).u8(3).u16(7).u16(457).u16(459);  // 0x43 PRN, mode, status, C/N0 and in 1 Hz (shown /10, cut)
  return b.u32(f32(0.5f)).u32(400000).u32(f32(0.25f)).u32(f32(-12.5f)).u32(f32(1.0f));  // SV time, speed, sigmas
}

// 0x11 scheduling, demodulation, reference SV, counter, SVs; 0x21 PRN, flag, time, sigma, speed, sigma.
Bytes sv_time_differences() {
  Bytes b = engine(5, 11).u8(2).u8(1).u8(14).u32(800000).u8(1).zeros(8).u8(5).u8(1);
  return b.u32(f32(0.125f)).u32(f32(0.5f)).u32(f32(-3.0f)).u32(f32(0.25f));
}

// 0x11 SVs, 0x12 ms of week, 0x1E one (type 6) or two (type 7) bytes an SV.
Bytes ephemeris(std::uint8_t type, std::uint8_t count, std::initializer_list<std::uint8_t> svs) {
  Bytes b = engine(type, type == 6 ? 12 : 13).u8(count).u32(type == 6 ? 900000 : 950000).zeros(8);
  for (std::uint8_t v : svs) b.u8(v);
  return b;
}

struct EngineCase {
  Bytes bytes;
  std::size_t needed;  // shortest payload decoded in full
  std::string details;
};

std::vector<EngineCase> engine_cases() {
  return {
      {position_fix(), 0x122,
       fix_text("3") + "\nSV\tIODE\t1/Wgt\tResidual\nPRN\t\t\t(m)\n3\t40\t0.50\t-3.25\n4\t41\t1.25\t0.75"},
      {position_fix(0x0043), 0xB2, fix_text("67")},  // a failed fix lists no SV
      {assistance(), 0x3C,
       "Log Type: 0x02, GPS Session Count: 8\n.\nAssist GPS: 5000 (ms), Delta Time: -20 (ms)\n.\nNumber SVs: 1, CDMA "
       "System Time: 9 \n.\nDoppler included: 1, Additional Doppler info included: 0 \n.\nCode Phase info included: "
       "1, Reference PN: 300 \n.\nAzimuth and elevation included: 1 \n.\nSV PRN number: 12, 0th order Doppler: -1500, "
       "1st Order Doppler: -3, Doppler search window: 250\nGPS Code Phase: 1022, Number of Code periods since the last "
       "bit boundary: 19\nTwo least significant bits of bit number (within GPS frame) being transmitted: 2, Code "
       "Phase Search Window: 64 \nAzimuth of SV: 20 , Elevation of SV: 45 "},
      {receiver_time(), 0x2D,
       "Log Type: 0x03, GPS Session Count: 9\n.\nReceiver's reference counter: 600000 (ms), Week Number for "
       "Receiver's reference counter: 1501 (weeks)\nGPS: 345000 (ms), Time Bias: 0.250000 (ms) \nTime uncertainty: "
       "1.500000, Msec ambiguity: 20 (ms) \nFrequency bias (m/s): -0.500000, Frequency uncertainty: 2.000000 (m/s) "},
      {search_results(), 0x5F,
       "Log Type: 0x04, GPS Session Count: 10\n.\nNumber of SV's in search results: 1, Receiver's reference counter: "
       "700000 (ms), Week Number: 1502, GPS: 123456 (ms) \nTime Bias: 0.750000 (ms), Time uncertainty: 3.000000, Msec "
       "ambiguity: 1 (ms) \nFrequency bias (m/s): 1.250000, Frequency uncertainty: 0.500000 (m/s) \n.\nSV PRN Number: "
       "22, Search Mode: 3, Search results status: 7, Signal to Noise Ratio: 45 (0.1 dB/bit) \nSignal to Noise ratio "
       "in 1Hz bandwidth: 45 (0.1 dB/bit), Sub ms SV time: 0.500000 (ms) \nSV Time(ms of week): 400000 (ms), SV Time "
       "Uncertainty(sigma): 0.250000 (ms), SV Speed +ve for -ve doppler: -12.500000 (m/s), SV Speed "
       "Uncertainty(sigma): 1.000000 (m/s) "},
      {sv_time_differences(), 0x33,
       "Log Type: 0x05, GPS Session Count: 11\n.\nScheduling Type: 2, Demodulate almanac, ephemeris, time: 1, "
       "Reference SV for SV time difference: 14 \n.\nReceiver's reference counter value for SV time difference: "
       "800000 (ms), Number of SVs: 1 \n.\nSV PRN: 5, SV Processing flag: 1, SV time: 0.125000 (ms), 1 sided "
       "difference uncertainty: 0.500000 (ms) \nSV Speed: -3.000000 (m/s), 1 sided speed uncertainty: 0.250000 (m/s) "},
      {ephemeris(6, 2, {7, 31}), 0x20,
       "Log Type: 0x06, GPS Session Count: 12\n.\nNumber of SVs in Database: 2, Msec of the GPS week for ephemeris "
       "data: 900000 (ms) \n.\nPRN of missing SV in ephemeris: 7 \n.\nPRN of missing SV in ephemeris: 31 "},
      {ephemeris(7, 1, {9, 8}), 0x20,
       "Log Type: 0x07, GPS Session Count: 13\n.\nNumber of SVs in this log: 1, Msec of the GPS week for ephemeris "
       "data: 950000 (ms) \n.\nSV PRN number: 9, Age of SV's ephemeris data: 8 (x15min) "},
  };
}

// Every record type line for line, and every shorter payload refused as a whole record.
TEST(LocationEngine, EveryRecordTypeAndItsTruncations) {
  for (const EngineCase& c : engine_cases()) {
    const std::string first_line = c.details.substr(0, c.details.find('\n'));
    SCOPED_TRACE(first_line);
    const Decoded r(kEngine, c.bytes);
    EXPECT_EQ(r.msg.title, "Position Engine Full, Ver 2");
    EXPECT_EQ(r.msg.details, c.details);
    EXPECT_FALSE(r.msg.location());
    cdmadiag::test::sweep_truncations(kEngine, c.bytes, [&](const cdmadiag::test::DecoderCase& t, std::size_t len) {
      if (len < 5) {
        EXPECT_EQ(t.msg.details, kFailure);
      } else if (len < c.needed) {
        EXPECT_EQ(t.msg.details, first_line + "\n" + kFailure);
        EXPECT_EQ(t.writes(), "");
      } else {
        EXPECT_EQ(t.msg.details, c.details);
      }
    });
  }
  // Other record types stop after the first line.
  EXPECT_EQ(Decoded(kEngine, engine(9, 0xFFFFFFFF).zeros(0x200)).msg.details,
            "Log Type: 0x09, GPS Session Count: 4294967295");
}

TEST(LocationEngine, DopIsWrittenForGoodFixesOnly) {
  const std::string dop =
      "GPSOne_DoP_Position Double[0] 1.75\nGPSOne_DoP_Horizontal Double[0] 1.25\nGPSOne_DoP_Vertical Double[0] 2.5\n";
  EXPECT_EQ(Decoded(kEngine, position_fix()).writes(), dop);
  EXPECT_EQ(Decoded(kEngine, position_fix(0x4000)).writes(), dop);  // the failure bit is in the low byte only
  const Decoded quiet(kEngine, position_fix(), nullptr, false, false);
  EXPECT_EQ(quiet.writes(), dop);
  EXPECT_EQ(quiet.msg.title + quiet.msg.details, "");
  EXPECT_EQ(Decoded(kEngine, position_fix(0x0040)).writes(), "");
  EXPECT_EQ(Decoded(kEngine, position_fix(), nullptr, true).writes(), "");
}

TEST(LocationEngine, RecordListsStopAtSixteenAndCountsPastThePayloadAreRefused) {
  const std::string fix = Decoded(kEngine, position_fix(0x0003, 20)).msg.details;
  EXPECT_NE(fix.find("Total SVs: 20\nSV\tIODE"), kNpos);
  EXPECT_EQ(fix.substr(fix.rfind('\n')), "\n18\t55\t11.75\t56.75");  // the 16th row
  EXPECT_EQ(std::count(fix.begin(), fix.end(), '\n'), 40);
  // Twenty missing SVs announced, sixteen bytes present: the bound makes it complete.
  const std::string missing =
      Decoded(kEngine, ephemeris(6, 20, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16})).msg.details;
  EXPECT_NE(missing.find("Number of SVs in Database: 20,"), kNpos);
  EXPECT_EQ(missing.substr(missing.rfind(".\n")), ".\nPRN of missing SV in ephemeris: 16 ");
  EXPECT_EQ(std::count(missing.begin(), missing.end(), '\n'), 34);
  EXPECT_EQ(Decoded(kEngine, search_results(2)).msg.details, "Log Type: 0x04, GPS Session Count: 10\n" + kFailure);
  EXPECT_EQ(Decoded(kEngine, ephemeris(7, 3, {1, 2, 3, 4, 5})).msg.details,
            "Log Type: 0x07, GPS Session Count: 13\n" + kFailure);
}

}  // namespace
