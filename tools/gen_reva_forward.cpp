#include "gen_reva_forward.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace cdmadiag::gen {

namespace {

// Single-user DRCs: nominal slots and payload sizes, in packet order.
struct Drc {
  int slots;
  std::vector<int> bits;
};
const std::array<Drc, 15> kDrcs{{{16, {128, 256, 512, 1024}},
                                 {16, {128, 256, 512, 1024}},
                                 {8, {128, 256, 512, 1024}},
                                 {4, {128, 256, 512, 1024}},
                                 {2, {128, 256, 512, 1024}},
                                 {4, {512, 1024, 2048}},
                                 {1, {128, 256, 512, 1024}},
                                 {2, {512, 1024, 2048}},
                                 {2, {1024, 3072}},
                                 {1, {512, 1024, 2048}},
                                 {2, {4096}},
                                 {1, {1024, 3072}},
                                 {1, {4096}},
                                 {2, {5120}},
                                 {1, {5120}}}};

// Where a DRC's counters sit: good counters then bad from 1, histograms from 57.
struct DrcIndex {
  std::size_t good;
  std::size_t bad;
  std::size_t histogram;  // of its first format; the next follow every `slots`
};
std::array<DrcIndex, 15> Indices() {
  std::array<DrcIndex, 15> out{};
  std::size_t k = 1;
  std::size_t h = 57;
  for (std::size_t d = 0; d < kDrcs.size(); ++d) {
    out[d] = {k, k + kDrcs[d].bits.size(), h};
    k += kDrcs[d].bits.size() + 1;
    h += kDrcs[d].bits.size() * static_cast<std::size_t>(kDrcs[d].slots);
  }
  return out;
}

// Early termination: most packets decode before their last slot.
int DecodedIn(int slots, Rng& rng) { return std::min(slots, 1 + rng.range(0, slots - 1) / 2 + rng.range(0, 1)); }

Bytes Counters(const std::uint32_t* c, std::size_t n) {
  ByteWriter w;
  for (std::size_t k = 0; k < n; ++k) w.u32(c[k]);
  return w.take();
}

}  // namespace

Bytes RevASUFwdStats(const Moment& m, const EvdoLink& link, RevAForwardCounters& c, Rng& rng) {
  static const std::array<DrcIndex, 15> kIndex = Indices();
  double sinr = -10.0;
  for (std::size_t s : link.asp.active) {
    if (const Pilot* p = m.radio.find(s)) sinr = std::max(sinr, p->sinrDb);
  }
  auto& su = c.su;
  ++su[0];
  // The requested rate follows the C/I, a DRC step about every 1.5 dB above -12 dB.
  const int top = std::clamp(static_cast<int>((sinr + 12.0) / 1.5), 0, 14);
  const int packets = rng.range(20, 90);
  for (int i = 0; i < packets; ++i) {
    const auto d = static_cast<std::size_t>(std::clamp(top - rng.range(0, 2), 0, 14));
    const Drc& drc = kDrcs[d];
    const auto f = static_cast<std::size_t>(rng.range(0, static_cast<int>(drc.bits.size()) - 1));
    if (rng.uniform() < 0.03 + (sinr < 0 ? 0.05 : 0.0)) {
      ++su[kIndex[d].bad];
      continue;
    }
    ++su[kIndex[d].good + f];
    const int j = DecodedIn(drc.slots, rng);
    ++su[kIndex[d].histogram + f * static_cast<std::size_t>(drc.slots) + static_cast<std::size_t>(j - 1)];
  }
  // Control channel: a few short and 38.4 K packets a second.
  for (int i = rng.range(1, 4); i > 0; --i) {
    const auto f = static_cast<std::size_t>(rng.range(0, 2));
    ++su[278 + f];
    ++su[286 + 4 * f + static_cast<std::size_t>(DecodedIn(4, rng) - 1)];
  }
  if (rng.uniform() < 0.5) {
    ++su[282];
    ++su[298 + static_cast<std::size_t>(DecodedIn(16, rng) - 1)];
  } else if (rng.uniform() < 0.1) {
    ++su[283];
  }
  return Counters(su.data(), su.size());
}

Bytes RevAMUFwdStats(RevAForwardCounters& c, Rng& rng) {
  // Good counter, bad counter, first histogram counter and slots of each multi-user format.
  struct Format {
    std::size_t good, bad, histogram;
    int slots;
  };
  static constexpr std::array<Format, 8> kFormats{{{1, 5, 14, 4},
                                                   {2, 5, 18, 4},
                                                   {3, 5, 22, 4},
                                                   {4, 5, 26, 4},
                                                   {6, 7, 30, 4},
                                                   {8, 9, 34, 2},
                                                   {10, 11, 36, 2},
                                                   {12, 13, 38, 2}}};
  auto& mu = c.mu;
  mu[0] += 2;  // one report every two seconds
  for (int i = rng.range(0, 12); i > 0; --i) {
    const Format& f = kFormats[static_cast<std::size_t>(rng.range(0, 7))];
    if (rng.uniform() < 0.04) {
      ++mu[f.bad];
    } else {
      ++mu[f.good];
      ++mu[f.histogram + static_cast<std::size_t>(DecodedIn(f.slots, rng) - 1)];
    }
  }
  return Counters(mu.data(), mu.size());
}

Bytes RevAMUPUserStats(RevAForwardCounters& c, Rng& rng) {
  c.mupSeq += 2;
  for (std::size_t size = 0; size < c.mup.size(); ++size) {
    const int packets = rng.range(0, 3);
    if (packets == 0) continue;
    c.mup[size][static_cast<std::size_t>(rng.range(0, 7))] += static_cast<std::uint32_t>(packets);
    c.mup[size][8] += static_cast<std::uint32_t>(packets * rng.range(4, 40));
  }
  ByteWriter w;
  w.u8(1).u32(c.mupSeq);
  for (const auto& size : c.mup) {
    for (const std::uint32_t v : size) w.u32(v);
  }
  return w.take();
}

}  // namespace cdmadiag::gen
