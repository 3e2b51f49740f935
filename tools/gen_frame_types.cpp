#include "gen_frame_types.h"

#include <algorithm>
#include <cmath>

namespace cdmadiag::gen {

namespace {

constexpr std::uint8_t kFrameOffset = 3;
constexpr std::uint16_t kServiceOption = 33;  // packet data
constexpr std::uint8_t kRadioConfigs = 0x33;  // FCH and SCH0 in RC 3; SCH1 and DCCH unused
constexpr std::uint8_t kFchAndSch0 = 0x03;
constexpr std::uint16_t kFrames = 25;
constexpr std::uint8_t kFrameLength = 2;

// FCH byte: low nibble the frame type, high nibble the rate code.
constexpr std::uint8_t Fch(std::uint8_t type, std::uint8_t rate) {
  return static_cast<std::uint8_t>((rate << 4) | type);
}
constexpr std::uint8_t kPayloadOnly = 0;
constexpr std::uint8_t kDimAndBurst = 1;
constexpr std::uint8_t kErasure = 0;
constexpr std::uint8_t kEighth = 1;
constexpr std::uint8_t kHalf = 3;
constexpr std::uint8_t kFull = 4;
// SCH0 rate codes.
constexpr std::uint8_t kSchFull = 0;
constexpr std::uint8_t kSchBlank = 1;
constexpr std::uint8_t kSchErasure = 2;

void Header(ByteWriter& w) {
  w.u8(kFrameOffset).u16(kServiceOption).u8(kRadioConfigs).u8(0).u8(1);
  w.u8(kFchAndSch0).u16(kFrames).u8(kFrameLength);
}

}  // namespace

// Erasures stay near 1% down to -10 dB and climb steeply below it, as the outer loop
// runs out of forward power.
double ForwardErasureChance(const Moment& m, const PilotSets& sets) {
  double linear = 0;
  for (std::size_t s : sets.active) {
    if (const Pilot* p = m.radio.find(s)) linear += std::pow(10.0, p->ecIoDb / 10.0);
  }
  const double ecIoDb = linear > 0 ? 10.0 * std::log10(linear) : -30.0;
  return std::clamp(0.01 + 0.5 / (1.0 + std::exp((ecIoDb + 13.0) / 1.5)), 0.0, 0.6);
}

// Header: frame offset, service option, RC nibbles (FCH, SCH0 | SCH1, DCCH), one
// record; record: FCH and SCH0 active, 25 frames of 2 bytes (FCH byte, SCH0 rate).
Bytes ForwardFrameType(const Moment& m, const PilotSets& sets, Rng& rng) {
  const double erasure = ForwardErasureChance(m, sets);
  ByteWriter w;
  Header(w);
  for (int f = 0; f < kFrames; ++f) {
    const bool fchErased = rng.uniform() < erasure;
    const std::uint8_t type = rng.uniform() < 0.03 ? kDimAndBurst : kPayloadOnly;
    w.u8(fchErased ? Fch(kPayloadOnly, kErasure) : Fch(type, kFull));
    // The supplemental channel runs at higher rate with less margin; idle frames go blank.
    const double u = rng.uniform();
    w.u8(u < 0.1 ? kSchBlank : u < 0.1 + std::min(0.9, 1.5 * erasure) ? kSchErasure : kSchFull);
  }
  return w.take();
}

// The handset's own frames: mostly full rate, some half and eighth rate; the
// supplemental channel transmits in bursts.
Bytes ReverseFrameType(Rng& rng) {
  ByteWriter w;
  Header(w);
  for (int f = 0; f < kFrames; ++f) {
    const double u = rng.uniform();
    w.u8(Fch(kPayloadOnly, u < 0.7 ? kFull : u < 0.85 ? kHalf : kEighth));
    w.u8(rng.uniform() < 0.6 ? kSchFull : kSchBlank);
  }
  return w.take();
}

// Count, then per frame: expected category << 4 | decoded category, bit errors. The
// Markov source picks full (0), 1/2 (5), 1/4 (6) or 1/8 (7) rate; a bad frame is erased
// (9) or, less often, decoded at another rate.
Bytes MarkovStats(const Moment& m, const PilotSets& sets, Rng& rng) {
  constexpr int kMarkovFrames = 50;
  constexpr std::uint8_t kErased = 9;
  const double bad = ForwardErasureChance(m, sets);
  ByteWriter w;
  w.u8(kMarkovFrames);
  for (int f = 0; f < kMarkovFrames; ++f) {
    const double u = rng.uniform();
    const std::uint8_t expected = u < 0.55 ? 0 : u < 0.7 ? 5 : u < 0.8 ? 6 : 7;
    std::uint8_t decoded = expected;
    std::uint8_t bits = 0;
    const double v = rng.uniform();
    if (v < bad * 0.8) {
      decoded = kErased;
    } else if (v < bad) {
      decoded = expected == 0 ? 5 : 0;
    } else if (expected == 0 && rng.uniform() < bad) {
      bits = static_cast<std::uint8_t>(rng.range(1, 4));
    }
    w.u8(static_cast<std::uint32_t>((expected << 4) | decoded)).u8(bits);
  }
  return w.take();
}

}  // namespace cdmadiag::gen
