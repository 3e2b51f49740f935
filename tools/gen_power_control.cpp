#include "gen_power_control.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace cdmadiag::gen {

namespace {

long Clamp(double v, long lo, long hi) { return std::clamp(std::lround(v), lo, hi); }

// Cellular band: RX = raw / 3 - 63.248 dBm, gain adjust -0.5 dB steps, TX = gain
// adjust - (RX + 73) dBm up to the limit, AGC transmit power raw x 0.33332 - 52.25 dBm.
constexpr double kRxBaseDbm = -63.248;
constexpr double kTurnaroundDb = 73.0;
constexpr double kMaxTxDbm = 23.0;
constexpr double kTxAgcStepDb = 4 * 0.08333;
constexpr double kTxAgcBaseDbm = -52.25;
constexpr int kSparseSamples = 100;
constexpr std::uint8_t kCellularBand = 0;
constexpr std::uint8_t kFchRc = 3;
constexpr std::uint8_t kContinuous = 0;
constexpr std::uint8_t kStepSize = 1;  // dB
constexpr std::uint8_t kFchActive = 1;
constexpr int kFrames = 4;
constexpr std::uint8_t kFrameBytes = 7;  // decision history, RX, TX AGC, gain adjust, FCH gain
constexpr double kFchGainDb = 3.75;      // traffic over pilot

struct Sample {
  long rx, gain, txAgc;
};

// One AGC reading: the loop's gain adjust drifts around what the link needs.
Sample Measure(const Moment& m, PowerLoop& loop, Rng& rng) {
  loop.gainAdjustDb = std::clamp(loop.gainAdjustDb + 0.25 * rng.normal(), -8.0, 8.0);
  const long rx = Clamp((m.radio.rxDbm + 0.8 * rng.normal() - kRxBaseDbm) * 3.0, -128, 127);
  const long gain = Clamp(-2.0 * loop.gainAdjustDb, -128, 127);
  const double tx = std::min(-0.5 * gain - (rx / 3.0 + kRxBaseDbm + kTurnaroundDb), kMaxTxDbm);
  return {rx, gain, Clamp((tx - kTxAgcBaseDbm) / kTxAgcStepDb, 0, 255)};
}

}  // namespace

// Two bytes not read, the transmit power limit, then 100 receive AGC (s8), 100 gain
// adjust (s8) and 100 transmit AGC (u8) samples.
Bytes SparseAgcReport(const Moment& m, PowerLoop& loop, Rng& rng) {
  std::array<Sample, kSparseSamples> s{};
  for (Sample& x : s) x = Measure(m, loop, rng);
  ByteWriter w;
  w.u8(0).u8(0).u8(static_cast<std::uint32_t>(kMaxTxDbm));
  for (const Sample& x : s) w.u8(static_cast<std::uint8_t>(x.rx));
  for (const Sample& x : s) w.u8(static_cast<std::uint8_t>(x.gain));
  for (const Sample& x : s) w.u8(static_cast<std::uint32_t>(x.txAgc));
  return w.take();
}

// Header: frame offset, band class, reverse RCs (FCH, SCH0 | SCH1, DCCH), gated rate,
// step size, one record; the record: channels, u16 frame count, bytes per frame; each
// frame: u16 decisions (0 = up), RX (s8), TX AGC (u8), gain adjust (s8), FCH gain (s16, 1/8 dB).
Bytes RevPowerControlReport(const Moment& m, PowerLoop& loop, Rng& rng) {
  ByteWriter w;
  w.u8(static_cast<std::uint32_t>(rng.range(0, 15))).u8(kCellularBand).u8(kFchRc).u8(0);
  w.u8(kContinuous).u8(kStepSize).u8(1);
  w.u8(kFchActive).u16(kFrames).u8(kFrameBytes);
  for (int f = 0; f < kFrames; ++f) {
    const double before = loop.gainAdjustDb;
    const Sample x = Measure(m, loop, rng);
    // The loop's drift over the frame shows as the share of up commands.
    const double up = std::clamp(0.5 + (loop.gainAdjustDb - before), 0.0, 1.0);
    std::uint32_t decisions = 0;
    for (int g = 0; g < 16; ++g) {
      if (rng.uniform() >= up) decisions |= 1u << g;
    }
    w.u16(decisions).u8(static_cast<std::uint8_t>(x.rx)).u8(static_cast<std::uint32_t>(x.txAgc));
    w.u8(static_cast<std::uint8_t>(x.gain)).i16(static_cast<std::int32_t>(std::lround(kFchGainDb * 8)));
  }
  return w.take();
}

}  // namespace cdmadiag::gen
