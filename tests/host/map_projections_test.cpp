// Map projections through PROJ, and the degree/minute/second split.
#include "host/map_projections.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Reference eastings/northings from an independent Krueger-series transverse
// Mercator (sixth order, sub-millimetre inside a zone) on the WGS 84 ellipsoid.
TEST(Projection, ForwardMatchesKnownGridCoordinatesAndInverseReturns) {
  struct Case {
    int epsg;
    double lon, lat, easting, northing;
  };
  const Case cases[] = {{32633, 15.0, 45.0, 500000.0, 4982950.4002},
                        {32633, 13.405, 52.52, 391779.2593, 5820072.1592},
                        {32718, -74.006, -40.7128, 583959.3723, 5492649.0018},
                        {4326, 13.0, 52.0, 13.0, 52.0}};
  for (const Case& c : cases) {  // longitude first, also for EPSG:4326
    SCOPED_TRACE(c.epsg);
    CCoordinateSystem system;
    ASSERT_TRUE(system.init(c.epsg));
    EXPECT_EQ(system.epsg(), c.epsg);
    double x = 0.0, y = 0.0, lon = 0.0, lat = 0.0;
    ASSERT_TRUE(system.forward(c.lon, c.lat, x, y));
    EXPECT_NEAR(x, c.easting, 0.01);
    EXPECT_NEAR(y, c.northing, 0.01);
    ASSERT_TRUE(system.inverse(x, y, lon, lat));
    EXPECT_NEAR(lon, c.lon, 1e-9);  // about 0.1 mm
    EXPECT_NEAR(lat, c.lat, 1e-9);
  }
}

TEST(Projection, RefusedCodesAndNonFinitePositionsLeaveTheOutputAlone) {
  CCoordinateSystem system;
  double x = 1.0, y = 2.0;
  ASSERT_TRUE(system.init(32633));
  EXPECT_FALSE(system.forward(kNaN, 52.0, x, y));
  EXPECT_FALSE(system.forward(13.0, kInf, x, y));
  for (const int code : {0, -5, 999999, 9001 /* a unit */, 4978 /* geocentric */, 5703 /* heights */}) {
    EXPECT_FALSE(system.init(code)) << code;  // also after a good one
    EXPECT_FALSE(system.valid());
    EXPECT_EQ(system.epsg(), 0);
  }
  EXPECT_FALSE(system.forward(13.0, 52.0, x, y));
  EXPECT_FALSE(system.inverse(13.0, 52.0, x, y));
  EXPECT_EQ(x, 1.0);
  EXPECT_EQ(y, 2.0);
}

TEST(Projection, RepeatedSetupIsCached) {
  // Building the transformation takes milliseconds; a second per packet would show.
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 2000; ++i) ASSERT_TRUE(CCoordinateSystem().init(32618));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

TEST(DegreeSplit, SplitsTheMagnitudeWithTheSignOnTheDegrees) {
  struct Case {
    double value;
    int degrees, minutes;
    double seconds;
  };
  // -0.5 has no whole degrees: callers take the hemisphere from the value's sign.
  const Case cases[] = {{45.5, 45, 30, 0.0},       {-0.5, 0, 30, 0.0},
                        {-73.9857, -73, 59, 8.52}, {-179.999999, -179, 59, 59.9964},
                        {kNaN, 0, 0, 0.0},         {kInf, 0, 0, 0.0}};
  for (const Case& c : cases) {
    EXPECT_EQ(CCoordinate::GetDegrees(c.value), c.degrees) << c.value;
    EXPECT_EQ(CCoordinate::GetMinutes(c.value), c.minutes) << c.value;
    EXPECT_NEAR(CCoordinate::GetSeconds(c.value), c.seconds, 1e-6) << c.value;
  }
  for (double v = -180.0; v <= 180.0; v += 0.001234567) {
    ASSERT_LT(CCoordinate::GetSeconds(v), 60.0) << v;
    ASSERT_LT(CCoordinate::GetMinutes(v), 60) << v;
  }
  EXPECT_EQ(CCoordinate::GetMinutes(std::nextafter(2.0, 0.0)), 59);
  EXPECT_LT(CCoordinate::GetSeconds(std::nextafter(2.0, 0.0)), 60.0);
  EXPECT_EQ(CCoordinate::GetDegrees(1e300), std::numeric_limits<int>::max());
  EXPECT_EQ(CCoordinate::GetDegrees(-1e300), -std::numeric_limits<int>::max());
}

}  // namespace
