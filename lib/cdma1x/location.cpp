// Location text records: GPS receiver and dead-reckoning positions that the logging
// equipment writes as fixed-column ASCII. They place every message on the map.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "framework/attributes.h"
#include "framework/decoder_1x.h"
#include "framework/payload_reader.h"
#include "framework/text.h"
#include "host/cdma_utils.h"
#include "host/map_projections.h"

using F = COrbDecodeMsgCDMAQualcommFrame;

namespace {

using cdmadiag::AttrWriter;
using cdmadiag::PayloadReader;

// A coordinate that holds this has no fix; it is located as it stands, never projected.
constexpr double kNoFix = -10000.0;
constexpr int kLocationPrecision = 100;
// Text columns count longitude and latitude in 1e-5 degree.
constexpr double kCoordinateUnit = 1e-5;
constexpr int kCategoryGpsInfo = 164;

// Windows-1252: degree sign, acute accent (minutes), double quote (seconds).
constexpr char kDegreeSign = '\xB0';
constexpr char kMinuteSign = '\xB4';
constexpr char kSecondSign = '"';

// The characters of a column up to its first NUL. A record shorter than its columns
// reads the part past its end as empty (the equipment never promised the length).
std::string column(const PayloadReader& r, std::size_t off, std::size_t n) {
  const PayloadReader rest = r.tail(off);
  return rest.chars(0, std::min(n, rest.size()));
}

// A column the equipment pads with NULs where trailing digits belong: a NUL at
// position zero_from or later stands for '0', any other NUL is skipped.
std::string padded_column(const PayloadReader& r, std::size_t off, std::size_t n, std::size_t zero_from) {
  const PayloadReader rest = r.tail(off);
  const std::size_t count = std::min(n, rest.size());
  std::string s;
  for (std::size_t i = 0; i < count; ++i) {
    const char c = static_cast<char>(rest.u8(i));
    if (c != '\0') {
      s.push_back(c);
    } else if (i >= zero_from) {
      s.push_back('0');
    }
  }
  return s;
}

double number(const std::string& text) { return std::atof(text.c_str()); }

std::uint8_t byte_or_zero(const PayloadReader& r, std::size_t off) { return r.has(off, 1) ? r.u8(off) : 0; }

// Projects (longitude, latitude) in place when the host has a projection set up and
// the position is a fix, then locates the message there.
void locate(IProObjectPropertiesConnectedAccessor* accessor, COrbExpandedMessage& msg, double& lon, double& lat) {
  const bool fix = lon != kNoFix && lat != kNoFix;
  if (fix) msg.SetGeographic(lon, lat);
  const int projection = CDMACommonUtils::GetProjectionSettings(accessor);
  if (projection > 0 && fix) {
    CCoordinateSystem system;
    if (CDMACommonUtils::InitCoordinateSystem(projection, system)) CDMACommonUtils::TransformGPS(lat, lon, system);
  }
  msg.SetLocation(lon, lat, kLocationPrecision);
}

struct Dms {
  double degrees;
  double minutes;
  double seconds;
};

// Beyond this the whole-degree split no longer fits an int; such values (garbled
// columns, overflowed conversions) are shown as plain degrees.
constexpr double kSplittable = 1e9;

// Degree/minute/second parts as the map line prints them. Seconds that would print as
// "60.00" carry into the minutes, and those into the degrees, so 10.9999999 reads
// 11 00 00.00 and not 10 59 60.00; a value between -1 and 0 keeps its sign on the
// (zero) degrees, which the whole-degree split alone would lose.
Dms split(double value) {
  if (!(std::fabs(value) < kSplittable)) return Dms{value, 0.0, 0.0};
  int degrees = CCoordinate::GetDegrees(value);
  int minutes = std::abs(CCoordinate::GetMinutes(value));
  double seconds = std::fabs(CCoordinate::GetSeconds(value));
  if (std::round(seconds * 100.0) >= 6000.0) {
    seconds = 0.0;
    ++minutes;
  }
  if (minutes >= 60) {
    minutes -= 60;
    degrees += value < 0 ? -1 : 1;
  }
  const double shown = degrees == 0 && value < 0 ? -0.0 : static_cast<double>(degrees);
  return Dms{shown, static_cast<double>(minutes), seconds};
}

void append_map_line(std::string& out, double lon, double lat) {
  const CCoordinate where(lon, lat, 0.0, 4);
  const Dms x = split(where.GetX());
  const Dms y = split(where.GetY());
  cdmadiag::appendf(out, "Map %4.0f%c%02.0f%c%05.2f%c Lon. %3.0f%c%02.0f%c%05.2f%c Lat.", x.degrees, kDegreeSign,
                    x.minutes, kMinuteSign, x.seconds, kSecondSign, y.degrees, kDegreeSign, y.minutes, kMinuteSign,
                    y.seconds, kSecondSign);
}

// Column layout of the two GPS records that share one decoder.
struct GpsInfoLayout {
  std::size_t lon, lat;
  bool has_altitude;
  std::size_t alt, heading, speed, source, satellites;
};

// 3D GPS record:
//  +off  type     name        unit
//   +0   char[10] time        s
//  +10   char[9]  longitude   1e-5 deg
//  +19   char[8]  latitude    1e-5 deg
//  +27   char[8]  altitude    m
//  +35   char[3]  heading     deg
//  +38   char[3]  speed       mph
//  +41   u8       source
//  +42   u8       satellites
constexpr GpsInfoLayout k3dGps{10, 19, true, 27, 35, 38, 41, 42};
// CAIT GPS record: as above without the altitude, so heading at +27, speed +30,
// source +33, satellites +34.
constexpr GpsInfoLayout kCaitGps{10, 19, false, 0, 27, 30, 33, 34};
constexpr std::size_t kTimeOff = 0, kTimeLen = 10, kLonLen = 9, kLatLen = 8, kAltLen = 8, kHeadingLen = 3,
                      kSpeedLen = 3;

void decode_gps_info(const GpsInfoLayout& layout, const PayloadReader& r, IOrbDataState* ds,
                     IProObjectPropertiesConnectedAccessor* accessor, COrbExpandedMessage& msg) {
  msg.category = kCategoryGpsInfo;
  const double time = number(column(r, kTimeOff, kTimeLen));
  double lon = number(column(r, layout.lon, kLonLen)) * kCoordinateUnit;
  double lat = number(column(r, layout.lat, kLatLen)) * kCoordinateUnit;
  const double alt = layout.has_altitude ? number(column(r, layout.alt, kAltLen)) : 0.0;
  const double heading = number(column(r, layout.heading, kHeadingLen));
  const double speed = number(column(r, layout.speed, kSpeedLen));
  const std::uint8_t source = byte_or_zero(r, layout.source);
  const std::uint8_t satellites = byte_or_zero(r, layout.satellites);

  locate(accessor, msg, lon, lat);
  const AttrWriter w(ds, AttrWriter::kAlways);
  w.Double(ATTR_ID_LOCATION_HEADING, heading);
  w.Double(ATTR_ID_LOCATION_SPEED_MPH, speed);
  w.Long(ATTR_ID_GPS_SOURCE, source);

  if (!msg.detailsWanted) return;
  if (layout.has_altitude) {
    cdmadiag::appendf(msg.details,
                      "Time: %.3f, Longtitude: %.5f (deg.), Latitude: %.5f (deg.), Altitude: %.1f (m), Head: %.1f "
                      "(deg.), Speed: %.1f (mph),\n",
                      time, lon, lat, alt, heading, speed);
  } else {
    cdmadiag::appendf(msg.details,
                      "Time: %.3f, Longtitude: %.5f (deg.), Latitude: %.5f (deg.), Head: %.1f (deg.), Speed: %.1f "
                      "(mph),\n",
                      time, lon, lat, heading, speed);
  }
  cdmadiag::appendf(msg.details, "Source: %d, Satellites: %d", source, satellites);
}

}  // namespace

// GPS text record:
//  +off  type     name        unit
//   +0   char[6]  not read
//   +6   char[9]  longitude   1e-5 deg, as it stands
//  +15   char[8]  latitude    1e-5 deg, NULs at positions 6-7 read as '0'
//  +23   char[3]  heading     deg
//  +26   char[3]  speed       mph
//  +29   char     source      one decimal digit
// Location and attributes are written whether or not the data state is read-only.
void COrbDecodeMsgCDMAQualcommFrame::DecodeGPS(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  constexpr std::size_t kLon = 6, kLonLen = 9, kLat = 15, kLatLen = 8, kLatZeroFrom = 6, kHeading = 23, kSpeed = 26,
                        kShortLen = 3, kSource = 29, kSourceLen = 1;
  Begin(msg, &F::DecodeGPS);
  const PayloadReader r = payload();
  double lon = number(column(r, kLon, kLonLen)) * kCoordinateUnit;
  double lat = number(padded_column(r, kLat, kLatLen, kLatZeroFrom)) * kCoordinateUnit;
  const double heading = number(column(r, kHeading, kShortLen));
  const double speed = number(column(r, kSpeed, kShortLen));
  const int source = std::atoi(column(r, kSource, kSourceLen).c_str());

  locate(accessor(), msg, lon, lat);
  const AttrWriter w(ds, AttrWriter::kAlways);
  w.Double(ATTR_ID_LOCATION_HEADING, heading);
  w.Double(ATTR_ID_LOCATION_SPEED_MPH, speed);
  w.Byte(ATTR_ID_GPS_SOURCE, static_cast<std::uint8_t>(source));
  if (msg.detailsWanted) append_map_line(msg.details, lon, lat);
}

void COrbDecodeMsgCDMAQualcommFrame::Decode3DGPSInfo(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                     IDekCellRefs_Search*) {
  Begin(msg, &F::Decode3DGPSInfo);
  decode_gps_info(k3dGps, payload(), ds, accessor(), msg);
}

void COrbDecodeMsgCDMAQualcommFrame::DecodeGPSInfoCAIT(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                       IDekCellRefs_Search*) {
  Begin(msg, &F::DecodeGPSInfoCAIT);
  decode_gps_info(kCaitGps, payload(), ds, accessor(), msg);
}

// Dead-reckoning text record, degrees, never projected:
//  +off  type      name        unit
//   +0   char      west        'W': negative longitude
//   +1   char[10]  longitude   deg, NULs at positions 7-9 read as '0'
//  +11   char      south       'S': negative latitude
//  +12   char[10]  latitude    as the longitude
//  +22   char[5]   speed       mph
void COrbDecodeMsgCDMAQualcommFrame::DecodeETAK(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  constexpr std::size_t kWest = 0, kLon = 1, kSouth = 11, kLat = 12, kCoordLen = 10, kZeroFrom = 7, kSpeed = 22,
                        kSpeedLen = 5;
  Begin(msg, &F::DecodeETAK);
  const PayloadReader r = payload();
  double lon = number(padded_column(r, kLon, kCoordLen, kZeroFrom));
  double lat = number(padded_column(r, kLat, kCoordLen, kZeroFrom));
  if (byte_or_zero(r, kWest) == 'W') lon = -lon;
  if (byte_or_zero(r, kSouth) == 'S') lat = -lat;
  const double speed = number(column(r, kSpeed, kSpeedLen));

  msg.SetLocation(lon, lat, kLocationPrecision);
  msg.SetGeographic(lon, lat);
  if (msg.detailsWanted) append_map_line(msg.details, lon, lat);
  AttrWriter(ds, AttrWriter::kAlways).Double(ATTR_ID_LOCATION_SPEED_MPH, speed);
}
