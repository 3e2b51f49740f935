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
#include "framework/payload_cursor.h"
#include "framework/text.h"
#include "host/cdma_utils.h"
#include "host/map_projections.h"

using F = COrbDecodeMsgCDMAQualcommFrame;

namespace {

using cdmadiag::AttrWriter;
using cdmadiag::Cursor;

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

// The characters of the next column of n, up to its first NUL. A record shorter than
// its columns reads the part it holds, and the columns past its end as empty (the
// equipment never promised the length); a byte past it reads 0.
std::string column(Cursor& c, std::size_t n) {
  const std::size_t held = std::min(n, c.left());
  std::string s = c.chars(held);
  c.skip(n - held);
  return s;
}

// A column the equipment pads with NULs where trailing digits belong: a NUL at
// position zero_from or later stands for '0', any other NUL is skipped.
std::string padded_column(Cursor& c, std::size_t n, std::size_t zero_from) {
  const std::size_t held = std::min(n, c.left());
  std::string s;
  for (std::size_t i = 0; i < held; ++i) {
    const char ch = static_cast<char>(c.u8());
    if (ch != '\0') {
      s.push_back(ch);
    } else if (i >= zero_from) {
      s.push_back('0');
    }
  }
  c.skip(n - held);
  return s;
}

double number(const std::string& text) { return std::atof(text.c_str()); }

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
// CAIT GPS record: as above without the altitude, so heading at +27, speed +30,
// source +33, satellites +34.
constexpr std::size_t kTimeLen = 10, kLonLen = 9, kLatLen = 8, kAltLen = 8, kHeadingLen = 3, kSpeedLen = 3;

void decode_gps_info(bool has_altitude, Cursor c, IOrbDataState* ds, IProObjectPropertiesConnectedAccessor* accessor,
                     COrbExpandedMessage& msg) {
  msg.category = kCategoryGpsInfo;
  const double time = number(column(c, kTimeLen));
  double lon = number(column(c, kLonLen)) * kCoordinateUnit;
  double lat = number(column(c, kLatLen)) * kCoordinateUnit;
  const double alt = has_altitude ? number(column(c, kAltLen)) : 0.0;
  const double heading = number(column(c, kHeadingLen));
  const double speed = number(column(c, kSpeedLen));
  const std::uint8_t source = c.u8();
  const std::uint8_t satellites = c.u8();

  locate(accessor, msg, lon, lat);
  const AttrWriter w(ds, AttrWriter::kAlways);
  w.Double(ATTR_ID_LOCATION_HEADING, heading);
  w.Double(ATTR_ID_LOCATION_SPEED_MPH, speed);
  w.Long(ATTR_ID_GPS_SOURCE, source);

  if (!msg.detailsWanted) return;
  if (has_altitude) {
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
  cdmadiag::appendf(msg.details, "Source: %d, Satellites: %d", int{source}, int{satellites});
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
  constexpr std::size_t kUnread = 6, kLonLen = 9, kLatLen = 8, kLatZeroFrom = 6, kShortLen = 3, kSourceLen = 1;
  Begin(msg, &F::DecodeGPS);
  Cursor c(payload());
  c.skip(kUnread);
  double lon = number(column(c, kLonLen)) * kCoordinateUnit;
  double lat = number(padded_column(c, kLatLen, kLatZeroFrom)) * kCoordinateUnit;
  const double heading = number(column(c, kShortLen));
  const double speed = number(column(c, kShortLen));
  const int source = std::atoi(column(c, kSourceLen).c_str());

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
  decode_gps_info(true, Cursor(payload()), ds, accessor(), msg);
}

void COrbDecodeMsgCDMAQualcommFrame::DecodeGPSInfoCAIT(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                       IDekCellRefs_Search*) {
  Begin(msg, &F::DecodeGPSInfoCAIT);
  decode_gps_info(false, Cursor(payload()), ds, accessor(), msg);
}

// Dead-reckoning text record, degrees, never projected:
//  +off  type      name        unit
//   +0   char      west        'W': negative longitude
//   +1   char[10]  longitude   deg, NULs at positions 7-9 read as '0'
//  +11   char      south       'S': negative latitude
//  +12   char[10]  latitude    as the longitude
//  +22   char[5]   speed       mph
void COrbDecodeMsgCDMAQualcommFrame::DecodeETAK(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  constexpr std::size_t kCoordLen = 10, kZeroFrom = 7, kSpeedLen = 5;
  Begin(msg, &F::DecodeETAK);
  Cursor c(payload());
  const std::uint8_t west = c.u8();
  double lon = number(padded_column(c, kCoordLen, kZeroFrom));
  const std::uint8_t south = c.u8();
  double lat = number(padded_column(c, kCoordLen, kZeroFrom));
  if (west == 'W') lon = -lon;
  if (south == 'S') lat = -lat;
  const double speed = number(column(c, kSpeedLen));

  msg.SetLocation(lon, lat, kLocationPrecision);
  msg.SetGeographic(lon, lat);
  if (msg.detailsWanted) append_map_line(msg.details, lon, lat);
  AttrWriter(ds, AttrWriter::kAlways).Double(ATTR_ID_LOCATION_SPEED_MPH, speed);
}
