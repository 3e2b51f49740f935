// Shared EV-DO pieces: DRC rates, the SINR ranking, the DRC election, conversions,
// and the conversions.
#include "evdo/evdo_common.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace cdmadiag::evdo {
namespace {

TEST(EvdoCommon, DrcRateIsTheLeadingNumberOfItsName) {
  EXPECT_EQ(drc_rate_bps(10), 1228800.0);  // "1228800(L)"
  EXPECT_EQ(drc_rate_bps(15), 0.0);        // "DRC Channel is Off"
  EXPECT_EQ(drc_rate_bps(16), 0.0);
}

std::vector<std::uint32_t> ranked_pns(std::vector<RankedAsp> v, int count) {
  RankAspBySinr(v.data(), count);
  std::vector<std::uint32_t> out;
  for (const auto& e : v) out.push_back(e.pn);
  return out;
}

TEST(EvdoCommon, RankingPutsStrongestFirstTiesInOrderAndMarkedEntriesLast) {
  using Pns = std::vector<std::uint32_t>;
  EXPECT_EQ(ranked_pns({{1, 3.0f}, {2, kUnrankedSinr}, {3, 10.0f}, {4, 3.0f}, {5, 1000.0f}, {6, 3.0f}}, 6),
            (Pns{5, 3, 1, 4, 6, 2}));
  EXPECT_EQ(ranked_pns({{1, 1.0f}, {2, 2.0f}, {3, 9.0f}}, 2), (Pns{2, 1, 3}));  // only the first count entries
  EXPECT_EQ(ranked_pns({{1, 1.0f}, {2, 2.0f}}, -3), (Pns{1, 2}));
  RankAspBySinr(nullptr, 4);
}

TEST(EvdoCommon, ElectionTakesTheMostFrequentHighestOnTie) {
  std::array<std::uint32_t, 16> h{};
  EXPECT_FALSE(elect_drc(h).has_value());
  h[0] = h[7] = 5;
  h[9] = 4;
  EXPECT_EQ(elect_drc(h), 7u);
}

TEST(EvdoCommon, Conversions) {
  EXPECT_FALSE(db_from_512ths(0).has_value());  // no logarithm of 0
  EXPECT_DOUBLE_EQ(*db_from_512ths(5120), 10.0);
  EXPECT_DOUBLE_EQ(db_from_256ths(-384), -1.5);
}

}  // namespace
}  // namespace cdmadiag::evdo
