#include "gen_reva_mac.h"

#include <algorithm>
#include <cmath>

namespace cdmadiag::gen {

namespace {

constexpr int kSubframes = 4;
constexpr double kOpenLoopConstantDb = -73.0;
constexpr double kMaxTxDbm = 23.0;
constexpr std::uint16_t kPilotGain = 1024;

std::int16_t Q(double v, double unit) {
  return static_cast<std::int16_t>(std::clamp(std::lround(v / unit), -32768L, 32767L));
}
std::uint16_t Gain(double overPilotDb) {
  return static_cast<std::uint16_t>(
      std::clamp(std::lround(kPilotGain * std::pow(10.0, overPilotDb / 20.0)), 0L, 65535L));
}

}  // namespace

// Version 0, n subframes of 29 bytes: subframe, u16 flags (12 throttle, 11 max,
// 10 min, 9-8 RPC, 7 PA, 6 mode, 5-4 subpacket, 3-0 packet size), eight u16 gains
// (pilot HS0, ACK HS0, pilot, RRI, DSC, DRC, data, aux HS1), four s16 powers in
// 1/256 dB and the PA headroom in 1/4 dB.
Bytes RevARLGains(const Moment& m, const EvdoLink& link) {
  Rng rng(m.ticks * 2654435761u + 0x127D);
  ByteWriter w;
  w.u8(0).u8(kSubframes);
  for (int i = 0; i < kSubframes; ++i) {
    const int size = rng.range(0, 12);
    const int subpacket = size == 0 ? 0 : rng.range(0, 3);
    const int rpc = rng.range(0, 2);
    const double open = kOpenLoopConstantDb - m.radio.rxDbm + 0.3 * rng.normal();
    const double pilot = open + link.closedLoopDb;
    const double total = std::min(pilot + 2.0 + size * 0.8, kMaxTxDbm);
    const std::uint16_t flags =
        static_cast<std::uint16_t>((total >= kMaxTxDbm ? 1u << 11 : 0u) | (rpc << 8) | (1u << 7) |
                                   (rng.range(0, 1) << 6) | (subpacket << 4) | size);
    w.u8(static_cast<std::uint32_t>(i)).u16(flags);
    w.u16(kPilotGain).u16(Gain(3.0)).u16(kPilotGain).u16(Gain(-6.0)).u16(Gain(-9.0)).u16(Gain(-3.0));
    w.u16(size == 0 ? 0 : Gain(2.0 + 0.5 * size)).u16(size >= 9 ? Gain(-12.0) : 0);
    w.i16(Q(open, 1.0 / 256)).i16(Q(total, 1.0 / 256)).i16(Q(pilot, 1.0 / 256)).i16(Q(link.closedLoopDb, 1.0 / 256));
    w.i16(Q(kMaxTxDbm - total, 0.25));
  }
  return w.take();
}

// Version 0 (short header): subframe count, u16 candidate packet sizes, then
// 3-0 packet size and 4 mode, u16 maximum T2P (dB << 2), u16 quantum, flow count,
// and 21-byte flows (u32 queue, u32 potential T2P outflow in 1/1024, u32 queue
// outflow, u16 suggested and actual allocation, MAC flow id, non-empty, eligible,
// two reserved bytes).
Bytes RevARMAC3PacketInfo(const Moment& m) {
  Rng rng(m.ticks * 2654435761u + 0x1280);
  constexpr int kFlows = 2;
  const int size = rng.range(1, 12);
  ByteWriter w;
  w.u8(0).u8(rng.range(1, 4)).u16((1u << size) - 1);
  w.u8(static_cast<std::uint32_t>(size - 1) | (rng.range(0, 1) << 4)).u16(24u << 2).u16(8).u8(kFlows);
  for (int f = 0; f < kFlows; ++f) {
    const auto queue = static_cast<std::uint32_t>(rng.range(0, 20000));
    const auto alloc = static_cast<std::uint32_t>(std::min<std::uint32_t>(queue, 1536));
    w.u32(queue).u32(static_cast<std::uint32_t>(rng.range(256, 8192))).u32(alloc);
    w.u16(alloc).u16(alloc).u8(static_cast<std::uint32_t>(f + 1)).u8(queue > 0 ? 1 : 0).u8(1).u16(0);
  }
  return w.take();
}

}  // namespace cdmadiag::gen
