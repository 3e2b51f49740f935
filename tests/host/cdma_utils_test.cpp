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

using cdmadiag::test::Bytes;
constexpr double kUnknown = CDMACommonUtils::kUnknownFrequency;

TEST(CdmaPn, ValidOffsetsAreZeroTo511) {
  EXPECT_TRUE(CDMACommonUtils::IsPNValid(0));
  EXPECT_TRUE(CDMACommonUtils::IsPNValid(511));
  EXPECT_FALSE(CDMACommonUtils::IsPNValid(512));
  EXPECT_FALSE(CDMACommonUtils::IsPNValid(0xFFFF));
}

struct PnCase {
  int phase;
  int increment;
  int pn;
};

class CdmaComputePn : public ::testing::TestWithParam<PnCase> {};

TEST_P(CdmaComputePn, RoundsToTheNearestMultipleOfTheIncrement) {
  int pn = -99;
  CDMACommonUtils::ComputePN(GetParam().phase, GetParam().increment, pn);
  EXPECT_EQ(pn, GetParam().pn) << "phase " << GetParam().phase << " increment " << GetParam().increment;
}

INSTANTIATE_TEST_SUITE_P(Phases, CdmaComputePn,
                         ::testing::Values(PnCase{0, 1, 0}, PnCase{64, 1, 1}, PnCase{95, 1, 1},
                                           PnCase{96, 1, 2},  // half way rounds up
                                           PnCase{64 * 511, 1, 511}, PnCase{64 * 511 + 31, 1, 511},
                                           PnCase{64 * 511 + 32, 1, 0},  // wraps past the last PN
                                           PnCase{64 * 512, 1, 0}, PnCase{-64, 1, 511}, PnCase{-31, 1, 0},
                                           PnCase{64 * 3 + 10, 3, 3}, PnCase{64 * 4, 3, 3}, PnCase{64 * 5, 3, 6},
                                           PnCase{64 * 6, 4, 8}, PnCase{64 * 5 + 63, 4, 4},
                                           PnCase{64 * 7, 0, 7},   // no increment counts as 1
                                           PnCase{64 * 7, -2, 7},  // so does a negative one
                                           PnCase{INT_MAX, 1, 0}, PnCase{INT_MIN, 1, 0}, PnCase{INT_MAX, INT_MAX, 0}));

TEST(CdmaRanking, RanksStrongestFirstAndKeepsTiesInIndexOrder) {
  const std::array<std::uint16_t, 5> strengths = {5, 9, 9, 1, 9};
  std::array<int, 5> rank{};
  CDMACommonUtils::ComputePilotRanking(strengths.data(), rank.data(), 5);
  EXPECT_EQ(rank, (std::array<int, 5>{1, 2, 4, 0, 3}));
}

TEST(CdmaRanking, RanksOnlyTheCountGiven) {
  const std::array<std::uint16_t, 4> strengths = {1, 2, 3, 400};
  std::array<int, 4> rank = {-1, -1, -1, -1};
  CDMACommonUtils::ComputePilotRanking(strengths.data(), rank.data(), 3);
  EXPECT_EQ(rank, (std::array<int, 4>{2, 1, 0, -1}));
  CDMACommonUtils::ComputePilotRanking(strengths.data(), rank.data(), 0);
  EXPECT_EQ(rank[0], 2);
}

TEST(CdmaRanking, CountsLockedFingers) {
  const std::array<std::uint16_t, 10> fingers = {0, 3, 0, 7, 0xFFFF, 0, 0, 1, 0, 0};
  EXPECT_EQ(CDMACommonUtils::NumLockedFingers(fingers.data(), 10), 4);
  EXPECT_EQ(CDMACommonUtils::NumLockedFingers(fingers.data(), 3), 1);
  EXPECT_EQ(CDMACommonUtils::NumLockedFingers(fingers.data(), 0), 0);
  const std::vector<std::uint16_t> many(300, 1);
  EXPECT_EQ(CDMACommonUtils::NumLockedFingers(many.data(), 300), 255);  // saturates, does not wrap
}

// ---- Band-class frequencies ----

struct FrequencyCase {
  int band_class;
  int channel;
  double forward_mhz;
  double reverse_mhz;
};

class CdmaFrequency : public ::testing::TestWithParam<FrequencyCase> {};

TEST_P(CdmaFrequency, MatchesThePublishedChannelRule) {
  const FrequencyCase& c = GetParam();
  const auto channel = static_cast<std::int16_t>(c.channel);
  const auto bc = static_cast<std::uint8_t>(c.band_class);
  EXPECT_DOUBLE_EQ(CDMACommonUtils::GetFrequency(channel, bc, 0), c.forward_mhz)
      << "BC" << c.band_class << " ch " << c.channel;
  EXPECT_DOUBLE_EQ(CDMACommonUtils::GetFrequency(channel, bc, 1), c.reverse_mhz)
      << "BC" << c.band_class << " ch " << c.channel;
}

INSTANTIATE_TEST_SUITE_P(BandClasses, CdmaFrequency,
                         ::testing::Values(
                             // 800 MHz cellular, 45 MHz duplex; 991-1023 lie below channel 1.
                             FrequencyCase{0, 283, 878.49, 833.49}, FrequencyCase{0, 1013, 869.70, 824.70},
                             FrequencyCase{0, 1, 870.03, 825.03}, FrequencyCase{0, 799, 893.97, 848.97},
                             FrequencyCase{0, 991, 869.04, 824.04}, FrequencyCase{0, 1023, 870.00, 825.00},
                             FrequencyCase{0, 1024, 860.04, 815.04},
                             // 1900 MHz PCS, 80 MHz duplex.
                             FrequencyCase{1, 25, 1931.25, 1851.25}, FrequencyCase{1, 0, 1930.0, 1850.0},
                             FrequencyCase{1, 1199, 1989.95, 1909.95},
                             // TACS, 25 kHz channels, extended channels counted down from 2048.
                             FrequencyCase{2, 1, 935.0125, 890.0125}, FrequencyCase{2, 1000, 959.9875, 914.9875},
                             FrequencyCase{2, 1329, 917.0125, 872.0125}, FrequencyCase{2, 2047, 934.9625, 889.9625},
                             // Korean PCS.
                             FrequencyCase{4, 0, 1840.0, 1750.0}, FrequencyCase{4, 599, 1869.95, 1779.95},
                             // 450 MHz block A.
                             FrequencyCase{5, 1, 460.0, 450.0}, FrequencyCase{5, 300, 467.475, 457.475},
                             // IMT-2000.
                             FrequencyCase{6, 0, 2110.0, 1920.0}, FrequencyCase{6, 1199, 2169.95, 1979.95},
                             // Upper 700 MHz: the mobile transmits above its receive band.
                             FrequencyCase{7, 0, 746.0, 776.0}, FrequencyCase{7, 359, 763.95, 793.95},
                             FrequencyCase{8, 0, 1805.0, 1710.0}, FrequencyCase{8, 1499, 1879.95, 1784.95},
                             FrequencyCase{9, 0, 925.0, 880.0}, FrequencyCase{9, 699, 959.95, 914.95},
                             // Secondary 800 MHz, two ranges.
                             FrequencyCase{10, 0, 851.0, 806.0}, FrequencyCase{10, 719, 868.975, 823.975},
                             FrequencyCase{10, 720, 935.0, 896.0}, FrequencyCase{10, 919, 939.975, 900.975},
                             FrequencyCase{14, 1299, 1994.95, 1914.95}, FrequencyCase{15, 0, 2110.0, 1710.0},
                             FrequencyCase{15, 899, 2154.95, 1754.95}));

struct UnknownCase {
  int band_class;
  int channel;
};

class CdmaFrequencyUnknown : public ::testing::TestWithParam<UnknownCase> {};

TEST_P(CdmaFrequencyUnknown, GivesTheSentinel) {
  EXPECT_EQ(CDMACommonUtils::GetFrequency(static_cast<std::int16_t>(GetParam().channel),
                                          static_cast<std::uint8_t>(GetParam().band_class), 0),
            kUnknown);
}

INSTANTIATE_TEST_SUITE_P(OutOfRange, CdmaFrequencyUnknown,
                         ::testing::Values(UnknownCase{0, 0}, UnknownCase{0, 800}, UnknownCase{0, 990},
                                           UnknownCase{0, 1324}, UnknownCase{0, -1}, UnknownCase{1, 1200},
                                           UnknownCase{1, -32768}, UnknownCase{2, 1001}, UnknownCase{2, 1328},
                                           UnknownCase{3, 100},  // JTACS: no rule kept
                                           UnknownCase{4, 600}, UnknownCase{5, 0}, UnknownCase{5, 301},
                                           UnknownCase{7, 360}, UnknownCase{10, 920}, UnknownCase{14, 1300},
                                           UnknownCase{15, 900}, UnknownCase{11, 100}, UnknownCase{255, 1}));

// ---- Time ----

TEST(CdmaTime, StampCountsFromTheGpsEpochInQuarterFrames) {
  const Bytes zero = Bytes().zeros(8);
  EXPECT_EQ(CDMACommonUtils::CDMATime2UTC(zero.data()), 315964800.0);
  const Bytes one_second = Bytes().u16(0xFFFF).u48(800);
  EXPECT_EQ(CDMACommonUtils::CDMATime2UTC(one_second.data()), 315964801.0);
  // 2024-01-01 00:00:00 UTC is 1388102400 s after the GPS epoch.
  const Bytes later = Bytes().u16(0).u48(1388102400ull * 800);
  EXPECT_EQ(CDMACommonUtils::CDMATime2UTC(later.data()), 1704067200.0);
}

// ---- Settings behind the accessor ----

class CdmaSettings : public ::testing::Test {
 protected:
  void SetUp() override { ds.begin_message(1); }
  MemoryDataState ds;
  ObjectProperties props;
};

TEST_F(CdmaSettings, PilotIncrementPrefersTheLoggedValue) {
  EXPECT_EQ(CDMACommonUtils::GetPilotIncrement(&ds, nullptr), 1);
  EXPECT_EQ(CDMACommonUtils::GetPilotIncrement(nullptr, nullptr), 1);
  props.set_pilot_increment(3);
  EXPECT_EQ(CDMACommonUtils::GetPilotIncrement(&ds, &props), 3);
  EXPECT_EQ(CDMACommonUtils::GetPilotIncrement(nullptr, &props), 3);

  ds.SetByte(ATTR_ID_PN_INC, 4, 0, IOrbDataState::kNoBound, 0);
  ds.begin_message(2);  // an earlier packet's value still counts
  EXPECT_EQ(CDMACommonUtils::GetPilotIncrement(&ds, &props), 4);
  EXPECT_EQ(CDMACommonUtils::GetPilotIncrement(&ds, nullptr), 4);
}

TEST_F(CdmaSettings, PilotIncrementIgnoresUnusableValues) {
  props.set_pilot_increment(2);
  ds.SetByte(ATTR_ID_PN_INC, 0, 0, IOrbDataState::kNoBound, 0);
  EXPECT_EQ(CDMACommonUtils::GetPilotIncrement(&ds, &props), 2);
  ds.SetDouble(ATTR_ID_PN_INC, 1e12, 0, IOrbDataState::kNoBound, 0);
  EXPECT_EQ(CDMACommonUtils::GetPilotIncrement(&ds, &props), 2);
  ds.SetNoValue(ATTR_ID_PN_INC, 0, IOrbDataState::kNoBound, 0);
  EXPECT_EQ(CDMACommonUtils::GetPilotIncrement(&ds, &props), 2);
  props.set_pilot_increment(-1);
  EXPECT_EQ(CDMACommonUtils::GetPilotIncrement(&ds, &props), 1);
}

TEST_F(CdmaSettings, ProjectionSettingComesFromTheAccessor) {
  EXPECT_EQ(CDMACommonUtils::GetProjectionSettings(nullptr), 0);
  EXPECT_EQ(CDMACommonUtils::GetProjectionSettings(&props), 0);
  props.set_projection_epsg(32633);
  EXPECT_EQ(CDMACommonUtils::GetProjectionSettings(&props), 32633);
}

TEST_F(CdmaSettings, AccessorCountsReferences) {
  EXPECT_EQ(props.references(), 0);
  EXPECT_EQ(props.AddRef(), 1);
  EXPECT_EQ(props.AddRef(), 2);
  EXPECT_EQ(props.Release(), 1);
  EXPECT_EQ(props.Release(), 0);
  // Reading settings takes no reference.
  props.set_projection_epsg(32618);
  CDMACommonUtils::GetProjectionSettings(&props);
  CDMACommonUtils::GetPilotIncrement(&ds, &props);
  EXPECT_EQ(props.references(), 0);
}

// ---- Projection as the location decoders run it ----

TEST(CdmaTransformGps, ProjectsIntoTheConfiguredSystem) {
  ObjectProperties props;
  props.set_projection_epsg(32633);
  CCoordinateSystem system;
  ASSERT_TRUE(CDMACommonUtils::InitCoordinateSystem(CDMACommonUtils::GetProjectionSettings(&props), system));
  double lat = 52.52;
  double lon = 13.405;
  CDMACommonUtils::TransformGPS(lat, lon, system);
  EXPECT_NEAR(lon, 391779.2593, 0.01);   // x, easting
  EXPECT_NEAR(lat, 5820072.1592, 0.01);  // y, northing
}

TEST(CdmaTransformGps, LeavesThePositionAloneWithoutASystem) {
  CCoordinateSystem system;
  EXPECT_FALSE(CDMACommonUtils::InitCoordinateSystem(0, system));
  double lat = 52.52;
  double lon = 13.405;
  CDMACommonUtils::TransformGPS(lat, lon, system);
  EXPECT_EQ(lat, 52.52);
  EXPECT_EQ(lon, 13.405);
}

}  // namespace
