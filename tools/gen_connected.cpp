#include "gen_connected.h"

#include <algorithm>
#include <cmath>

namespace cdmadiag::gen {

namespace {

constexpr std::uint8_t kReasonAtClose = 1;
constexpr std::uint8_t kSearcherState = 4;

}  // namespace

Bytes EvdoConnectionTermination(const Moment& m, std::uint64_t startTicks, ConnectionCounts& counts) {
  const auto callMs = static_cast<std::uint32_t>((m.ticks - startTicks) * 5 / 4);
  ++counts.terminations;
  counts.connectedMs += callMs;
  ByteWriter b;
  b.u8(1).at(3).u64(startTicks << 16);
  // The end stamp's top bytes are where the reason and the time since reset begin.
  b.u48(m.ticks << 16);
  b.u8(kReasonAtClose).u32(counts.connectedMs).u32(callMs);
  b.u16(counts.terminations);
  for (int k = 1; k < 14; ++k) b.u16(0);
  b.u16(0).u16(counts.terminations).u16(0).u16(0);  // closes received, sent; handdowns
  return b.take();
}

Bytes EvdoEqualizerData(const Moment& m, const EvdoLink& link, Rng& rng) {
  const std::size_t count = std::min<std::size_t>(link.asp.active.size(), 4);
  const Pilot* serving = link.asp.active.empty() ? nullptr : m.radio.find(link.asp.active.front());
  ByteWriter b;
  b.u8(1).u8(kSearcherState).u32(static_cast<std::uint32_t>(rng.range(0, 262143)));
  b.u16(static_cast<std::uint16_t>(rng.range(0, 16))).u8(1).u32(static_cast<std::uint32_t>(rng.range(0, 262143)));
  b.u8(static_cast<std::uint32_t>(count) | 0x10).u16(serving != nullptr ? serving->pn : 0).u8(0);
  for (std::size_t n = 0; n < count; ++n) {
    const Pilot* p = m.radio.find(link.asp.active[n]);
    const double db = p != nullptr ? p->sinrDb : -30.0;
    const auto c2i = static_cast<std::uint32_t>(std::lround(std::pow(10.0, db / 10.0) * 512.0));
    // Antenna n % 2, diversity on, index n, L-step 2, 16 taps; 2 passes, both used.
    b.u16(static_cast<std::uint32_t>((n % 2) | 1 << 1 | n << 2 | 2 << 6 | 16 << 10)).u16(2 | 2 << 2).u32(c2i);
  }
  return b.take();
}

}  // namespace cdmadiag::gen
