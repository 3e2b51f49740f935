#include "gen_rlp_1x.h"

#include <algorithm>
#include <cmath>

namespace cdmadiag::gen {

namespace {

constexpr std::uint8_t kServiceId = 1;
constexpr std::uint16_t kFchRate = 96;   // 9.6 kbit/s, in 100 bit/s
constexpr int kFramesPerSecond = 50;     // 20 ms frames
constexpr double kRlpEfficiency = 0.92;  // headers and idle fill take the rest
constexpr std::uint64_t kTicksPerSecond = 800;

// Forward supplemental rate (100 bit/s) the base station grants at the best active Ec/Io.
std::uint16_t SupplementalRate(double ecIoDb) {
  if (ecIoDb >= -7.0) return 1536;
  if (ecIoDb >= -9.0) return 768;
  if (ecIoDb >= -11.0) return 384;
  if (ecIoDb >= -13.0) return 192;
  return 0;
}

double FrameErrorRate(double ecIoDb) { return std::clamp(0.01 + 0.015 * std::max(0.0, -ecIoDb - 6.0), 0.01, 0.25); }

std::uint32_t Count(double v) { return static_cast<std::uint32_t>(std::max(0L, std::lround(v))); }

}  // namespace

void OpenRlpSession(const Moment& m, RlpSession& s) {
  if (s.open) return;
  s = RlpSession{};
  s.open = true;
  // The counters reset as the traffic channel came up, a second before the first
  // report, which then covers one second of data.
  s.resetTicks = m.ticks - kTicksPerSecond;
}

Bytes RlpStatistics(const Moment& m, const PilotSets& sets, RlpSession& s) {
  Rng rng(m.ticks * 2654435761u + code::kRlpStats);
  double best = -30.0;
  for (std::size_t a : sets.active) best = std::max(best, m.radio.find(a)->ecIoDb);
  const double fer = std::clamp(FrameErrorRate(best) * (0.7 + 0.6 * rng.uniform()), 0.0, 0.5);
  const std::uint16_t sch = SupplementalRate(best + 0.5 * rng.normal());
  s.forwardRate = static_cast<std::uint16_t>(kFchRate + sch);
  s.reverseRate = kFchRate;

  // Forward: the fundamental channel and, when granted, the supplemental channel.
  const std::uint32_t frames = sch > 0 ? 2 * kFramesPerSecond : kFramesPerSecond;
  const std::uint32_t erased = Count(frames * fer);
  const std::uint32_t good = frames - erased;
  s.newRx += good;
  s.fundamentalRx += Count(kFramesPerSecond * (1.0 - fer));
  s.muxErasures += erased;
  s.rlpErasures += Count(erased * 0.8);
  s.largestErasure = std::max<std::uint16_t>(s.largestErasure, static_cast<std::uint16_t>(std::min(erased, 6u)));
  s.rexmitRx += Count(erased * 0.9);
  s.notFound += rng.uniform() < fer ? 1 : 0;
  s.bytesRx += Count(s.forwardRate * 100.0 / 8.0 * (1.0 - fer) * kRlpEfficiency);
  s.idleRx += Count(kFramesPerSecond * 0.05);
  s.blankRx += Count(kFramesPerSecond * 0.02 * rng.uniform());
  s.nullRx += rng.range(0, 2);
  s.naksTx[0] += Count(erased * 0.8);
  s.naksTx[1] += Count(erased * 0.8 * fer * 2.0);
  s.naksTx[2] += rng.uniform() < fer * fer ? 1 : 0;
  if (rng.uniform() < fer * fer * fer) ++s.nakAborts;

  // Reverse: acknowledgements and requests on the fundamental channel only.
  const std::uint32_t sent = Count(kFramesPerSecond * (0.3 + 0.2 * rng.uniform()));
  s.newTx += sent;
  s.fundamentalTx += sent;
  s.idleTx += kFramesPerSecond - sent;
  s.bytesTx += Count(sent * 20.0 * kRlpEfficiency);
  s.naksRx += rng.uniform() < 0.05 ? 1 : 0;
  s.rexmitTx += s.naksRx > 0 && rng.uniform() < 0.05 ? 1 : 0;

  ByteWriter w;
  w.u8(kServiceId).u16(0).u48(s.resetTicks);
  w.u32(s.naksRx).u32(s.notFound).u16(s.largestErasure).u8(0).u8(s.nakAborts);
  w.u32(static_cast<std::uint32_t>(120 + 40 * fer)).u8(3);  // round trip in frames; RTT and NAK scheme agreed
  w.u32(s.rexmitRx).u32(s.idleRx).u32(s.fillRx).u32(s.blankRx).u32(s.nullRx).u32(s.newRx).u32(s.fundamentalRx);
  w.u32(s.bytesRx).u32(s.rlpErasures).u32(s.muxErasures);
  w.u32(s.rexmitTx).u32(s.idleTx).u32(s.newTx).u32(s.fundamentalTx).u32(s.bytesTx);
  w.u8(3);
  for (std::uint32_t n : s.naksTx) w.u32(n);
  return w.take();
}

// Two 20 ms frame times; in each the supplemental frame, when granted, comes first
// and the fundamental frame shares its time, so the frames that start a frame time
// carry the highest rate of the second.
Bytes RlpFrames(const Moment& m, const RlpSession& s, bool forward) {
  Rng rng(m.ticks * 2654435761u + (forward ? code::kRlpRxFrames : code::kRlpTxFrames));
  const std::uint16_t sch = static_cast<std::uint16_t>((forward ? s.forwardRate : s.reverseRate) - kFchRate);
  constexpr std::uint16_t kNewFrameTime = 1u << 14;
  constexpr int kFrameTimes = 2;
  ByteWriter w;
  w.u8(kServiceId).u8(sch > 0 ? 2 * kFrameTimes : kFrameTimes);
  const auto frame = [&](std::uint8_t channel, std::uint16_t rate, bool newTime) {
    w.u8(channel | 1u << 4);  // multiplex PDU 2
    w.u16(rate | (newTime ? kNewFrameTime : 0));
    w.u16(static_cast<std::uint16_t>(rate * 2));  // bits in a 20 ms frame
    w.u8(static_cast<std::uint32_t>(rng.range(0, 255)));
  };
  for (int t = 0; t < kFrameTimes; ++t) {
    if (sch > 0) frame(2, sch, true);
    frame(0, kFchRate, sch == 0);
  }
  return w.take();
}

}  // namespace cdmadiag::gen
