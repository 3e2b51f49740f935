// Map projections through PROJ, and the degree/minute/second split.
#include "host/map_projections.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <thread>

namespace {

// Reference eastings/northings from an independent Krueger-series transverse
// Mercator (sixth order, sub-millimetre inside a zone) on the WGS 84 ellipsoid.
struct UtmCase {
  int epsg;
  double lon;
  double lat;
  double easting;
  double northing;
};

class Projection : public ::testing::TestWithParam<UtmCase> {};

TEST_P(Projection, ForwardMatchesKnownGridCoordinatesAndInverseReturns) {
  const UtmCase& c = GetParam();
  CCoordinateSystem system;
  ASSERT_TRUE(system.init(c.epsg));
  EXPECT_TRUE(system.valid());
  EXPECT_EQ(system.epsg(), c.epsg);
  double x = 0.0;
  double y = 0.0;
  ASSERT_TRUE(system.forward(c.lon, c.lat, x, y));
  EXPECT_NEAR(x, c.easting, 0.01);
  EXPECT_NEAR(y, c.northing, 0.01);
  double lon = 0.0;
  double lat = 0.0;
  ASSERT_TRUE(system.inverse(x, y, lon, lat));
  EXPECT_NEAR(lon, c.lon, 1e-9);  // about 0.1 mm
  EXPECT_NEAR(lat, c.lat, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Utm, Projection,
                         ::testing::Values(UtmCase{32633, 15.0, 0.0, 500000.0, 0.0},  // zone origin
                                           UtmCase{32633, 15.0, 45.0, 500000.0, 4982950.4002},
                                           UtmCase{32633, 13.405, 52.52, 391779.2593, 5820072.1592},
                                           UtmCase{32618, -74.006, 40.7128, 583959.3723, 4507350.9982},
                                           UtmCase{32718, -74.006, -40.7128, 583959.3723, 5492649.0018}));

TEST(ProjectionSetup, UnknownCodesAreRefused) {
  CCoordinateSystem system;
  EXPECT_FALSE(system.valid());
  for (const int code : {0, -5, 1, 999999, 9001 /* a unit */, 4978 /* geocentric */, 5703 /* heights */}) {
    EXPECT_FALSE(system.init(code)) << code;
    EXPECT_FALSE(system.valid());
    EXPECT_EQ(system.epsg(), 0);
  }
  double x = 1.0;
  double y = 2.0;
  EXPECT_FALSE(system.forward(13.0, 52.0, x, y));
  EXPECT_FALSE(system.inverse(13.0, 52.0, x, y));
  EXPECT_EQ(x, 1.0);
  EXPECT_EQ(y, 2.0);
  // A refused code does not spoil a later good one.
  EXPECT_TRUE(system.init(32633));
  EXPECT_FALSE(system.init(999999));
  EXPECT_FALSE(system.valid());
}

TEST(ProjectionSetup, InputIsLongitudeFirst) {
  CCoordinateSystem system;
  ASSERT_TRUE(system.init(4326));
  double x = 0.0;
  double y = 0.0;
  ASSERT_TRUE(system.forward(13.0, 52.0, x, y));
  EXPECT_NEAR(x, 13.0, 1e-12);
  EXPECT_NEAR(y, 52.0, 1e-12);
}

TEST(ProjectionSetup, RejectsNonFinitePositions) {
  CCoordinateSystem system;
  ASSERT_TRUE(system.init(32633));
  double x = 1.0;
  double y = 2.0;
  EXPECT_FALSE(system.forward(std::numeric_limits<double>::quiet_NaN(), 52.0, x, y));
  EXPECT_FALSE(system.forward(13.0, std::numeric_limits<double>::infinity(), x, y));
  EXPECT_EQ(x, 1.0);
  EXPECT_EQ(y, 2.0);
}

TEST(ProjectionSetup, RepeatedSetupIsCached) {
  {
    CCoordinateSystem warm;
    ASSERT_TRUE(warm.init(32618));
  }
  // Building the transformation takes milliseconds; a second per packet would show.
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 2000; ++i) {
    CCoordinateSystem system;
    ASSERT_TRUE(system.init(32618));
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

TEST(ProjectionSetup, WorksOnAnotherThread) {
  double x = 0.0;
  double y = 0.0;
  bool ok = false;
  std::thread worker([&] {
    CCoordinateSystem system;
    ok = system.init(32633) && system.forward(15.0, 45.0, x, y);
  });
  worker.join();
  EXPECT_TRUE(ok);
  EXPECT_NEAR(y, 4982950.4002, 0.01);
}

// ---- Degrees, minutes, seconds ----

struct DmsCase {
  double value;
  int degrees;
  int minutes;
  double seconds;
};

class DegreeSplit : public ::testing::TestWithParam<DmsCase> {};

TEST_P(DegreeSplit, SplitsTheMagnitudeWithTheSignOnTheDegrees) {
  const DmsCase& c = GetParam();
  EXPECT_EQ(CCoordinate::GetDegrees(c.value), c.degrees) << c.value;
  EXPECT_EQ(CCoordinate::GetMinutes(c.value), c.minutes) << c.value;
  EXPECT_NEAR(CCoordinate::GetSeconds(c.value), c.seconds, 1e-6) << c.value;
}

INSTANTIATE_TEST_SUITE_P(Values, DegreeSplit,
                         ::testing::Values(DmsCase{0.0, 0, 0, 0.0}, DmsCase{45.5, 45, 30, 0.0},
                                           DmsCase{10.25, 10, 15, 0.0}, DmsCase{-10.0, -10, 0, 0.0},
                                           DmsCase{-0.5, 0, 30, 0.0},  // hemisphere from the value's sign
                                           DmsCase{-73.9857, -73, 59, 8.52}, DmsCase{52.52, 52, 31, 12.0},
                                           DmsCase{-179.999999, -179, 59, 59.9964},
                                           DmsCase{1.0 + 59.9999999 / 60.0, 1, 59, 59.999994},
                                           DmsCase{std::numeric_limits<double>::quiet_NaN(), 0, 0, 0.0},
                                           DmsCase{std::numeric_limits<double>::infinity(), 0, 0, 0.0}));

TEST(DegreeSplit, SecondsStayBelowSixtyAndMinutesBelowSixty) {
  for (double v = -180.0; v <= 180.0; v += 0.001234567) {
    const double s = CCoordinate::GetSeconds(v);
    ASSERT_GE(s, 0.0) << v;
    ASSERT_LT(s, 60.0) << v;
    ASSERT_GE(CCoordinate::GetMinutes(v), 0) << v;
    ASSERT_LT(CCoordinate::GetMinutes(v), 60) << v;
  }
  EXPECT_LT(CCoordinate::GetSeconds(std::nextafter(2.0, 0.0)), 60.0);
  EXPECT_EQ(CCoordinate::GetMinutes(std::nextafter(2.0, 0.0)), 59);
}

TEST(DegreeSplit, HugeValuesDoNotOverflow) {
  EXPECT_EQ(CCoordinate::GetDegrees(1e300), std::numeric_limits<int>::max());
  EXPECT_EQ(CCoordinate::GetDegrees(-1e300), -std::numeric_limits<int>::max());
}

TEST(Coordinate, KeepsItsComponents) {
  const CCoordinate c(391779.25, 5820072.5, 34.0, 32633);
  EXPECT_EQ(c.GetX(), 391779.25);
  EXPECT_EQ(c.GetY(), 5820072.5);
  EXPECT_EQ(c.GetZ(), 34.0);
  EXPECT_EQ(c.system(), 32633);
}

}  // namespace
