#include "gen_multicarrier.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace cdmadiag::gen {

namespace {

// The two carriers of the connection: demod id, channel (band class 0), and how far
// the second carrier's C/I sits from the first (its own fading on another frequency).
struct McCarrier {
  std::uint8_t demod;
  std::uint16_t channel;
  double sinrOffsetDb;
};
constexpr std::array<McCarrier, 2> kCarriers{{{0, 283, 0.0}, {1, 242, -1.5}}};

constexpr double kOpenLoopConstantDb = -73.0;  // 800 MHz band
constexpr double kMaxCarrierTxDbm = 20.0;      // two carriers share the amplifier
constexpr double kDataOverPilotDb = 3.75;
constexpr std::size_t kAspSlots = 6;
constexpr std::uint16_t kNoAsp = 0xFFFF;

std::int16_t Q8(double db) { return static_cast<std::int16_t>(std::clamp(std::lround(db * 256.0), -32768L, 32767L)); }
std::uint32_t Linear512(double db) {
  return static_cast<std::uint32_t>(std::clamp(std::lround(std::pow(10.0, db / 10.0) * 512.0), 1L, 65535L));
}

// The active-set pilots, or the strongest pilot before the first active-set update.
std::vector<const Pilot*> AspPilots(const Moment& m, const EvdoLink& link) {
  std::vector<const Pilot*> asps;
  for (std::size_t s : link.asp.active) {
    if (asps.size() < kAspSlots) asps.push_back(m.radio.find(s));
  }
  if (asps.empty()) asps.push_back(&m.radio.pilots.front());
  return asps;
}

}  // namespace

// Version 1: LNA state, PA on, u16 HSTR, s16 total power (1/256 dBm), carrier count;
// per carrier 16 bytes: demod id, u16 channel/band, flags (0 ratchet, 1 enabled), six
// s16 in 1/256 dB: open loop, closed-loop adjust, pilot, total, Rx AGC0, Rx AGC1.
Bytes MultiCarrierPower(const Moment& m, const EvdoLink& link) {
  Rng rng(m.ticks * 2654435761u + 0x129C);
  ByteWriter carriers;
  double totalMw = 0.0;
  for (const McCarrier& c : kCarriers) {
    const double rx0 = m.radio.rxDbm + 0.5 * rng.normal();
    const double open = kOpenLoopConstantDb - rx0;
    const double closed = link.closedLoopDb + 0.3 * rng.normal();
    const double pilot = open + closed;
    const double wanted = pilot + kDataOverPilotDb;
    const double total = std::min(wanted, kMaxCarrierTxDbm);
    totalMw += std::pow(10.0, total / 10.0);
    carriers.u8(c.demod).u16(c.channel).u8((wanted > kMaxCarrierTxDbm ? 1u : 0u) | 2u);
    carriers.i16(Q8(open)).i16(Q8(closed)).i16(Q8(pilot)).i16(Q8(total)).i16(Q8(rx0));
    carriers.i16(Q8(rx0 - 1.0 + 1.5 * rng.normal()));
  }
  ByteWriter w;
  w.u8(1).u8(static_cast<std::uint32_t>(rng.range(0, 3))).u8(1).u16(static_cast<std::uint16_t>(m.ticks * 3 / 2));
  w.i16(Q8(10.0 * std::log10(totalMw))).u8(kCarriers.size());
  return w.bytes(carriers.take()).take();
}

// Version 1, carrier count, slot time reference, reference sub-active set; per carrier
// 132 bytes: demod id, u16 channel/band, 16 x (predicted DRC, u32 best-ASP SINR in
// 1/512), 6 x (u16 SINR 1/512, u16 PN or 0xFFFF, s16 RPC, RPC cell), best ASP
// predicted (bits 0-3) and last change slot (4-7), u16 bad packets at +130.
Bytes MCAirLinkSummary(const Moment& m, const EvdoLink& link) {
  Rng rng(m.ticks * 2654435761u + 0x1296);
  const std::vector<const Pilot*> asps = AspPilots(m, link);
  std::size_t best = 0;
  for (std::size_t i = 1; i < asps.size(); ++i)
    if (asps[i]->sinrDb > asps[best]->sinrDb) best = i;
  ByteWriter w;
  w.u8(1).u8(kCarriers.size()).u8(static_cast<std::uint32_t>(rng.range(0, 15))).u8(0);
  for (const McCarrier& c : kCarriers) {
    const std::size_t base = w.size();
    w.u8(c.demod).u16(c.channel);
    int bad = 0;
    for (int s = 0; s < 16; ++s) {
      const double db = asps[best]->sinrDb + c.sinrOffsetDb + 2.0 * rng.normal();
      w.u8(DrcFor(db - 1.0)).u32(Linear512(db));
      bad += rng.uniform() < PacketErrorRate(db) ? 1 : 0;
    }
    for (std::size_t i = 0; i < kAspSlots; ++i) {
      if (i < asps.size()) {
        const double db = asps[i]->sinrDb + c.sinrOffsetDb + 0.5 * rng.normal();
        w.u16(Linear512(db)).u16(asps[i]->pn).i16(rng.uniform() < 0.5 ? 16384 : -16384).u8(0);
      } else {
        w.u16(0).u16(kNoAsp).i16(0).u8(0);
      }
    }
    w.u8(static_cast<std::uint32_t>(best) | static_cast<std::uint32_t>(rng.range(0, 15)) << 4);
    w.at(base + 130).u16(static_cast<std::uint32_t>(bad));
  }
  return w.take();
}

}  // namespace cdmadiag::gen
