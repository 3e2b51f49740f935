// CDMA utility routines: PN arithmetic, ranking, band-class frequencies, time,
// settings behind the object-properties accessor.
#include "host/cdma_utils.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <vector>

#include "framework/attributes.h"
#include "host/map_projections.h"
#include "host/memory_data_state.h"
#include "host/object_properties.h"
#include "support/bytes.h"

namespace {

using U = CDMACommonUtils;

TEST(CdmaPn, RoundsPhaseToTheNearestMultipleOfTheIncrementAndWraps) {
  EXPECT_TRUE(U::IsPNValid(511));
  EXPECT_FALSE(U::IsPNValid(512));
  struct Case {
    int phase, increment, pn;
  };
  // Half way rounds up, past the last PN wraps, no or a negative increment counts as 1.
  const Case cases[] = {{95, 1, 1},      {96, 1, 2},      {64 * 511 + 32, 1, 0}, {-64, 1, 511},
                        {-31, 1, 0},     {64 * 4, 3, 3},  {64 * 5, 3, 6},        {64 * 7, 0, 7},
                        {64 * 7, -2, 7}, {INT_MAX, 1, 0}, {INT_MIN, 1, 0},       {INT_MAX, INT_MAX, 0}};
  for (const Case& c : cases) {
    int pn = -99;
    U::ComputePN(c.phase, c.increment, pn);
    EXPECT_EQ(pn, c.pn) << "phase " << c.phase << " increment " << c.increment;
  }
}

TEST(CdmaRanking, RanksStrongestFirstWithinTheCountAndCountsLockedFingers) {
  const std::array<std::uint16_t, 6> strengths = {5, 9, 9, 1, 9, 400};
  std::array<int, 6> rank{};
  rank.fill(-1);
  U::ComputePilotRanking(strengths.data(), rank.data(), 5);
  EXPECT_EQ(rank, (std::array<int, 6>{1, 2, 4, 0, 3, -1}));  // ties keep index order
  U::ComputePilotRanking(strengths.data(), rank.data(), 0);
  EXPECT_EQ(rank[0], 1);
  const std::array<std::uint16_t, 5> fingers = {0, 3, 0, 0xFFFF, 0};
  EXPECT_EQ(U::NumLockedFingers(fingers.data(), 5), 2);
  EXPECT_EQ(U::NumLockedFingers(fingers.data(), 0), 0);
  const std::vector<std::uint16_t> many(300, 1);
  EXPECT_EQ(U::NumLockedFingers(many.data(), 300), 255);  // saturates, does not wrap
}

TEST(CdmaFrequency, MatchesThePublishedChannelRules) {
  struct Case {
    int band_class, channel;
    double forward_mhz, reverse_mhz;
  };
  const Case cases[] = {
      {0, 1, 870.03, 825.03},        {0, 799, 893.97, 848.97},      {0, 991, 869.04, 824.04},
      {0, 1023, 870.00, 825.00},     {0, 1024, 860.04, 815.04},     {1, 1199, 1989.95, 1909.95},
      {2, 1000, 959.9875, 914.9875}, {2, 1329, 917.0125, 872.0125}, {2, 2047, 934.9625, 889.9625},
      {4, 599, 1869.95, 1779.95},    {5, 1, 460.0, 450.0},          {6, 1199, 2169.95, 1979.95},
      {7, 359, 763.95, 793.95},      {8, 1499, 1879.95, 1784.95},   {9, 699, 959.95, 914.95},
      {10, 719, 868.975, 823.975},   {10, 720, 935.0, 896.0},       {14, 1299, 1994.95, 1914.95},
      {15, 899, 2154.95, 1754.95},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "BC" << c.band_class << " ch " << c.channel);
    const auto channel = static_cast<std::int16_t>(c.channel);
    const auto bc = static_cast<std::uint8_t>(c.band_class);
    EXPECT_DOUBLE_EQ(U::GetFrequency(channel, bc, 0), c.forward_mhz);
    EXPECT_DOUBLE_EQ(U::GetFrequency(channel, bc, 1), c.reverse_mhz);
  }
  const std::pair<int, int> unknown[] = {{0, 0},    {0, 800}, {0, 990}, {0, 1324}, {1, 1200}, {2, 1001},
                                         {2, 1328}, {3, 100}, {5, 0},   {5, 301},  {15, 900}, {255, 1}};
  for (const auto& [bc, channel] : unknown) {
    EXPECT_EQ(U::GetFrequency(static_cast<std::int16_t>(channel), static_cast<std::uint8_t>(bc), 0),
              U::kUnknownFrequency)
        << "BC" << bc << " ch " << channel;
  }
}

TEST(CdmaTime, StampCountsFromTheGpsEpochInQuarterFrames) {
  // 2024-01-01 00:00:00 UTC is 1388102400 s after the GPS epoch; bytes 0-1 are not read.
  const auto stamp = cdmadiag::test::Bytes().u16(0xFFFF).u48(1388102400ull * 800);
  EXPECT_EQ(U::CDMATime2UTC(stamp.data()), 1704067200.0);
}

TEST(CdmaSettings, PilotIncrementPrefersAUsableLoggedValue) {
  MemoryDataState ds;
  ObjectProperties props;
  ds.begin_message(1);
  EXPECT_EQ(U::GetPilotIncrement(&ds, nullptr), 1);
  props.set_pilot_increment(3);
  EXPECT_EQ(U::GetPilotIncrement(nullptr, &props), 3);
  ds.SetByte(ATTR_ID_PN_INC, 4, 0, IOrbDataState::kNoBound, 0);
  ds.begin_message(2);  // an earlier packet's value still counts
  EXPECT_EQ(U::GetPilotIncrement(&ds, &props), 4);
  for (const double unusable : {0.0, 512.0, 1e12}) {
    ds.SetDouble(ATTR_ID_PN_INC, unusable, 0, IOrbDataState::kNoBound, 0);
    EXPECT_EQ(U::GetPilotIncrement(&ds, &props), 3) << unusable;
  }
  ds.SetNoValue(ATTR_ID_PN_INC, 0, IOrbDataState::kNoBound, 0);
  props.set_pilot_increment(-1);
  EXPECT_EQ(U::GetPilotIncrement(&ds, &props), 1);
  EXPECT_EQ(props.references(), 0);  // reading settings takes no reference
}

TEST(CdmaSettings, PositionsAreProjectedIntoTheConfiguredSystemOrLeftAlone) {
  ObjectProperties props;
  EXPECT_EQ(U::GetProjectionSettings(nullptr), 0);
  for (const int epsg : {32633, 0}) {
    props.set_projection_epsg(epsg);
    CCoordinateSystem system;
    EXPECT_EQ(U::InitCoordinateSystem(U::GetProjectionSettings(&props), system), epsg != 0);
    double lat = 52.52;
    double lon = 13.405;
    U::TransformGPS(lat, lon, system);
    EXPECT_NEAR(lon, epsg != 0 ? 391779.2593 : 13.405, 0.01);  // x, easting
    EXPECT_NEAR(lat, epsg != 0 ? 5820072.1592 : 52.52, 0.01);  // y, northing
  }
}

}  // namespace
