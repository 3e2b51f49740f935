// Shared EV-DO pieces: DRC rates, the SINR ranking, the DRC election, conversions.
#include "evdo/evdo_common.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <stdexcept>
#include <vector>

namespace cdmadiag::evdo {
namespace {

TEST(EvdoCommon, DrcRateIsTheLeadingNumberOfItsName) {
  EXPECT_EQ(drc_rate_bps(0), 0.0);
  EXPECT_EQ(drc_rate_bps(1), 38400.0);
  EXPECT_EQ(drc_rate_bps(10), 1228800.0);  // "1228800(L)"
  EXPECT_EQ(drc_rate_bps(14), 3072000.0);
  EXPECT_EQ(drc_rate_bps(15), 0.0);  // "DRC Channel is Off"
  EXPECT_EQ(drc_rate_bps(16), 0.0);
  EXPECT_STREQ(drc_rate_name(16), "");
  static_assert(drc_rate_bps(5) == 307200.0);
}

std::vector<std::uint32_t> ranked_pns(std::vector<RankedAsp> v, int count) {
  RankAspBySinr(v.data(), count);
  std::vector<std::uint32_t> out;
  for (const auto& e : v) out.push_back(e.pn);
  return out;
}

TEST(EvdoCommon, RankingPutsStrongestFirstTiesInOrderAndMarkedEntriesLast) {
  EXPECT_EQ(ranked_pns({{1, 3.0f}, {2, kUnrankedSinr}, {3, 10.0f}, {4, 3.0f}, {5, -2.5f}, {6, 3.0f}}, 6),
            (std::vector<std::uint32_t>{3, 1, 4, 6, 5, 2}));
  // A real pilot above 999 dB still ranks before the marker.
  EXPECT_EQ(ranked_pns({{1, kUnrankedSinr}, {2, 1000.0f}}, 2), (std::vector<std::uint32_t>{2, 1}));
  // Only the first count entries take part.
  EXPECT_EQ(ranked_pns({{1, 1.0f}, {2, 2.0f}, {3, 9.0f}}, 2), (std::vector<std::uint32_t>{2, 1, 3}));
  EXPECT_EQ(ranked_pns({{1, 1.0f}, {2, 2.0f}}, 0), (std::vector<std::uint32_t>{1, 2}));
  EXPECT_EQ(ranked_pns({{1, 1.0f}, {2, 2.0f}}, -3), (std::vector<std::uint32_t>{1, 2}));
  RankAspBySinr(nullptr, 4);
}

TEST(EvdoCommon, ElectionTakesTheMostFrequentHighestOnTie) {
  std::array<std::uint32_t, 16> h{};
  EXPECT_FALSE(elect_drc(h).has_value());
  h[2] = 5;
  h[7] = 5;
  h[9] = 4;
  EXPECT_EQ(elect_drc(h), 7u);
  h[0] = 6;
  EXPECT_EQ(elect_drc(h), 0u);
  h[15] = 6;
  EXPECT_EQ(elect_drc(h), 15u);
}

TEST(EvdoCommon, ConversionsNeverProduceInfinity) {
  EXPECT_FALSE(db_from_512ths(0).has_value());
  EXPECT_DOUBLE_EQ(*db_from_512ths(512), 0.0);
  EXPECT_DOUBLE_EQ(*db_from_512ths(5120), 10.0);
  EXPECT_TRUE(std::isfinite(*db_from_512ths(1)));
  EXPECT_DOUBLE_EQ(db_from_256ths(-384), -1.5);
  EXPECT_DOUBLE_EQ(db_from_256ths(static_cast<std::int16_t>(0xC033)), -16333 / 256.0);
}

TEST(EvdoCommon, FailurePolicyHelpers) {
  const std::array<std::uint8_t, 4> b{};
  const PayloadReader r(b);
  COrbExpandedMessage msg;
  EXPECT_TRUE(require_or_report(r, 4, msg));
  EXPECT_TRUE(msg.details.empty());
  EXPECT_FALSE(require_or_report(r, 5, msg));
  EXPECT_EQ(msg.details, "Message Buffer does not conforms to Qualcomm Standard.");
  msg.details.clear();
  msg.detailsWanted = false;
  EXPECT_FALSE(require_or_report(r, 5, msg));
  EXPECT_TRUE(msg.details.empty());
  EXPECT_NO_THROW(require_or_throw(r, 4));
  EXPECT_THROW(require_or_throw(r, 5), std::invalid_argument);
}

}  // namespace
}  // namespace cdmadiag::evdo
