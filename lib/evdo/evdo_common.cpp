#include "evdo/evdo_common.h"

#include <algorithm>
#include <cmath>

namespace cdmadiag::evdo {

std::optional<std::uint32_t> elect_drc(std::span<const std::uint32_t, 16> histogram) {
  std::uint32_t best = 0;
  std::uint32_t best_count = 0;
  for (std::uint32_t d = 0; d < histogram.size(); ++d) {
    if (histogram[d] >= best_count) {
      best = d;
      best_count = histogram[d];
    }
  }
  if (best_count == 0) return std::nullopt;
  return best;
}

void RankAspBySinr(RankedAsp* entries, int count) {
  if (entries == nullptr || count <= 0) return;
  // A stable sort rather than a quicksort: ties then keep the active-set order
  // instead of an order that changes with the library.
  std::stable_sort(entries, entries + count, [](const RankedAsp& a, const RankedAsp& b) {
    if (a.sinr_db == kUnrankedSinr) return false;
    if (b.sinr_db == kUnrankedSinr) return true;
    return a.sinr_db > b.sinr_db;
  });
}

std::optional<double> db_from_512ths(std::uint32_t raw) {
  if (raw == 0) return std::nullopt;
  return 10.0 * std::log10(raw / 512.0);
}

}  // namespace cdmadiag::evdo
