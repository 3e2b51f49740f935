#include "gen_evdo_fwd.h"

#include <algorithm>
#include <cmath>

namespace cdmadiag::gen {

namespace {

constexpr int kSlotsPerSecond = 600;   // 1.67 ms slots
constexpr double kServedShare = 0.55;  // the sector's scheduler shares its slots among users
constexpr std::size_t kCcRates = 2;
constexpr std::size_t kTrafficRates = 12;

// Nominal slots of a traffic packet, by traffic rate (DRC index - 1).
constexpr std::uint32_t kTrafficSlots[kTrafficRates] = {16, 8, 4, 2, 4, 1, 2, 2, 1, 2, 1, 1};
constexpr std::uint32_t kCcSlots[kCcRates] = {16, 8};

constexpr std::size_t TrafficHistogram(std::size_t rate) {
  std::size_t at = 0;
  for (std::size_t r = 0; r < rate; ++r) at += kTrafficSlots[r];
  return at;
}
constexpr std::size_t kCcHistogram = TrafficHistogram(kTrafficRates);

std::uint32_t Count(double v) { return static_cast<std::uint32_t>(std::max(0L, std::lround(v))); }

}  // namespace

Bytes EvdoForwardStatsSummary(const Moment& m, const EvdoLink& link, ForwardStats& stats, Rng& rng) {
  double best = -20.0;
  for (std::size_t s : link.asp.active) best = std::max(best, m.radio.find(s)->sinrDb);
  const double per = PacketErrorRate(best);

  // Traffic: every served slot carries a packet of the rate the DRC asked for.
  const std::uint8_t drc = DrcFor(best - 1.0 + 0.8 * rng.normal());
  if (drc >= 1 && drc <= kTrafficRates) {
    const std::size_t rate = drc - 1u;
    const std::uint32_t slots = kTrafficSlots[rate];
    const std::uint32_t packets = Count(kSlotsPerSecond * kServedShare / slots * (0.9 + 0.2 * rng.uniform()));
    const std::uint32_t bad = std::min(packets, Count(packets * per * (0.7 + 0.6 * rng.uniform())));
    const std::uint32_t good = packets - bad;
    stats.good[kCcRates + rate] += good;
    stats.bad[kCcRates + rate] += bad;
    // A strong pilot lets more packets decode before their last slot.
    const std::size_t h = TrafficHistogram(rate);
    const std::uint32_t early = slots > 1 ? Count(good * std::clamp(0.1 + 0.04 * best, 0.0, 0.6)) : 0;
    stats.histogram[h + slots - 1] += good - early;
    if (early > 0) stats.histogram[h + slots - 2] += early;
  }

  // Control channel: a synchronous capsule every 426 ms at 38.4k, now and then one at 76.8k.
  const std::uint32_t capsules = stats.sequence % 3 == 2 ? 3 : 2;
  const std::uint32_t lostCapsules = rng.uniform() < per ? 1 : 0;
  stats.good[0] += capsules - lostCapsules;
  stats.bad[0] += lostCapsules;
  const auto ccSlots = static_cast<std::uint32_t>(std::clamp(15.0 - best / 2.0, 4.0, 15.0));
  stats.histogram[kCcHistogram + ccSlots] += capsules - lostCapsules;
  if (rng.uniform() < 0.2) {
    ++stats.good[1];
    ++stats.histogram[kCcHistogram + kCcSlots[0] + std::min(ccSlots / 2, kCcSlots[1] - 1)];
  }
  ++stats.sequence;

  ByteWriter w;
  for (std::size_t i = 0; i < stats.good.size(); ++i) w.u32(stats.good[i]).u32(stats.bad[i]);
  for (std::uint32_t b : stats.histogram) w.u32(b);
  w.u32(stats.sequence);
  return w.take();
}

}  // namespace cdmadiag::gen
