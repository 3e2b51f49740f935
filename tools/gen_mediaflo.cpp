#include "gen_mediaflo.h"

#include <algorithm>
#include <cmath>

namespace cdmadiag::gen {

namespace {

constexpr std::uint8_t kInterruptMlcDecoded = 2;
constexpr std::uint8_t kWideArea = 0;
constexpr std::uint8_t kStaticBinding = 1;
constexpr std::uint32_t kFirstFlowId = 0x3001;
constexpr std::uint8_t kFirstMlc = 3;
constexpr std::uint8_t kStream = 1;

// Each MLC sends 4 code blocks a superframe, each of 16 PLPs of which the
// Reed-Solomon (16,12) outer code recovers up to 4 erasures.
constexpr int kCodeBlocks = 4;
constexpr int kPlpsPerBlock = 16;
constexpr int kRecoverable = 4;
constexpr int kOisPlps = 14;
// The broadcast tower is far off: the receiver sits near the enhanced layer's threshold.
constexpr double kMeanRssiDbm = -92.0;

// Chance that one PLP is erased at the receive level: half at the layer's
// threshold, falling off by e every 1.5 dB above it.
double ErasureChance(double rssiDbm, double thresholdDbm) {
  return 1.0 / (1.0 + std::exp((rssiDbm - thresholdDbm) / 1.5));
}

struct LayerCount {
  std::uint32_t goodPlps = 0, erasedPlps = 0, goodBlocks = 0, erasedBlocks = 0;
};

// PLPs after the outer code: a block with too many erasures loses all its PLPs.
LayerCount DecodeLayer(double chance, Rng& rng) {
  LayerCount c;
  for (int b = 0; b < kCodeBlocks; ++b) {
    int erased = 0;
    for (int p = 0; p < kPlpsPerBlock; ++p) erased += rng.uniform() < chance ? 1 : 0;
    if (erased > kRecoverable) {
      ++c.erasedBlocks;
      c.erasedPlps += kPlpsPerBlock;
    } else {
      ++c.goodBlocks;
      c.goodPlps += kPlpsPerBlock;
    }
  }
  return c;
}

}  // namespace

Bytes MfloBoundStreams() {
  ByteWriter w;
  w.u8(kInterruptMlcDecoded).u8(kMfloFlows);
  for (std::size_t i = 0; i < kMfloFlows; ++i) {
    const auto n = static_cast<std::uint32_t>(i);
    w.u8(kFirstMlc + n).u8(kStream).u32(kFirstFlowId + n).u8(1).u8(0).u8(kStaticBinding).u8(n);
  }
  return w.take();
}

Bytes MfloRssi(MfloLink& link, Rng& rng) {
  link.rssiDbm = std::clamp(link.rssiDbm + 0.3 * (kMeanRssiDbm - link.rssiDbm) + 2.0 * rng.normal(), -110.0, -40.0);
  const long hundredths = std::lround(std::fabs(link.rssiDbm) * 100.0);
  ByteWriter w;
  w.u8(kInterruptMlcDecoded).at(4).i16(static_cast<std::int32_t>(hundredths / 100));
  return w.u8(static_cast<std::uint32_t>(hundredths % 100)).u8(link.rssiDbm < 0 ? 0 : 1).take();
}

Bytes MfloOisPlpStats(MfloLink& link, Rng& rng) {
  ++link.superframe;
  // The OIS is sent at the most robust mode: its threshold sits well below the MLCs'.
  const double chance = ErasureChance(link.rssiDbm, -106.0);
  for (int p = 0; p < kOisPlps; ++p) ++(rng.uniform() < chance ? link.oisErased : link.oisGood);
  ByteWriter w;
  return w.u32(link.superframe).u32(link.oisGood).u32(link.oisErased).u8(kWideArea).take();
}

Bytes MfloMlcPlpStatsPost(MfloLink& link, std::size_t flow, Rng& rng) {
  const LayerCount base = DecodeLayer(ErasureChance(link.rssiDbm, -99.0), rng);
  const LayerCount enhanced = DecodeLayer(ErasureChance(link.rssiDbm, -93.0), rng);
  MfloLink::Flow& f = link.flows[flow];
  f.baseGood += base.goodPlps;
  f.baseErased += base.erasedPlps;
  f.enhancedGood += enhanced.goodPlps;
  f.enhancedErased += enhanced.erasedPlps;
  ByteWriter w;
  w.u32(link.superframe).u8(kFirstMlc + static_cast<std::uint32_t>(flow)).u8(static_cast<std::uint32_t>(flow)).at(8);
  w.u32(base.goodPlps).u32(base.erasedPlps).u32(enhanced.goodPlps).u32(enhanced.erasedPlps);
  w.u32(base.goodBlocks).u32(base.erasedBlocks).u32(enhanced.goodBlocks).u32(enhanced.erasedBlocks);
  return w.take();
}

Bytes MfloStreamPlpStats(const MfloLink& link, std::size_t flow) {
  const MfloLink::Flow& f = link.flows[flow];
  ByteWriter w;
  w.u32(link.superframe).u32(kFirstFlowId + static_cast<std::uint32_t>(flow));
  return w.u32(f.baseGood).u32(f.enhancedGood).u32(f.baseErased).u32(f.enhancedErased).take();
}

}  // namespace cdmadiag::gen
