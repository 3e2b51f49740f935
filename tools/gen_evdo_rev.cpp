#include "gen_evdo_rev.h"

#include <algorithm>
#include <cmath>

namespace cdmadiag::gen {

namespace {

// The reverse power budget, as the power report models it: open-loop estimate from
// the received power, the closed-loop adjust on top, the data channel above the pilot.
constexpr double kOpenLoopConstantDb = -73.0;
constexpr double kMaxTxDbm = 23.0;
constexpr double kDataOverPilotDb = 3.75;  // at 9.6 kbps; each doubling of the rate takes 3 dB more
constexpr double kDbPerRateStep = 3.0;
constexpr int kMaxRri = 5;             // 153.6 kbps
constexpr double kPilotGain = 1024.0;  // linear gains are relative to this pilot gain
constexpr double kDrcOverPilotDb = -3.0;
constexpr double kAckOverPilotDb = 0.0;
constexpr int kPowerRecords = 4;

std::int32_t Q8(double db) { return static_cast<std::int32_t>(std::clamp(std::lround(db * 256.0), -32768L, 32767L)); }

std::int32_t Gain(double dbOverPilot) {
  return static_cast<std::int32_t>(
      std::clamp(std::lround(kPilotGain * std::pow(10.0, dbOverPilot / 20.0)), 1L, 32767L));
}

double PilotDbm(const Moment& m, const EvdoLink& link) {
  return kOpenLoopConstantDb - m.radio.rxDbm + link.closedLoopDb;
}

// The highest reverse rate index whose data channel still fits under the power limit.
int PowerLimitedRri(double pilotDbm) {
  const double headroom = kMaxTxDbm - pilotDbm - kDataOverPilotDb;
  return std::clamp(1 + static_cast<int>(std::floor(headroom / kDbPerRateStep)), 1, kMaxRri);
}

double DataOverPilotDb(int rri) { return kDataOverPilotDb + kDbPerRateStep * (rri - 1); }

}  // namespace

// Reverse link packet summary, 15 bytes: rate limit u8, current rate u8, busy bit u8,
// random variable u32, transition probability u32 (1/10000), PA max u8, predicted
// RRI u8, RRI used u8, pad bytes u8.
Bytes EvdoRevLinkPacketSummary(const Moment& m, const EvdoLink& link, Rng& rng) {
  const bool busy = rng.uniform() < 0.2;
  const int limit = busy ? kMaxRri - 1 : kMaxRri;
  const int paMax = PowerLimitedRri(PilotDbm(m, link));
  const int predicted = std::min(limit, paMax);
  const int used = std::max(1, predicted - (rng.uniform() < 0.25 ? 1 : 0));
  ByteWriter w;
  w.u8(static_cast<std::uint32_t>(limit)).u8(static_cast<std::uint32_t>(used)).u8(busy ? 1 : 0);
  w.u32(static_cast<std::uint32_t>(rng.next())).u32(busy ? 2500 : 7500);
  w.u8(static_cast<std::uint32_t>(paMax))
      .u8(static_cast<std::uint32_t>(predicted))
      .u8(static_cast<std::uint32_t>(used));
  w.u8(static_cast<std::uint32_t>(rng.range(0, 12)));
  return w.take();
}

// Reverse power control: record count u8, then 19-byte records: Rx AGC, Tx total,
// Tx adjust (s16, 1/256 dB), RPC history s16, Tx pilot (1/256 dB), DRC, ACK, data and
// pilot gains (s16 linear), MaxTxPwrRRI bits 0-3 with the DRC lock period in 4-7.
// The ACK channel is off in records without a packet to acknowledge.
Bytes EvdoReversePowerCtrl(const Moment& m, const EvdoLink& link, Rng& rng) {
  ByteWriter w;
  w.u8(kPowerRecords);
  for (int r = 0; r < kPowerRecords; ++r) {
    const double rx = m.radio.rxDbm + 0.5 * rng.normal();
    const double adjust = link.closedLoopDb + 0.25 * rng.normal();
    const double pilot = kOpenLoopConstantDb - rx + adjust;
    const int rri = PowerLimitedRri(pilot);
    const double total =
        std::min(pilot + 10.0 * std::log10(1.0 + std::pow(10.0, DataOverPilotDb(rri) / 10.0)), kMaxTxDbm);
    w.i16(Q8(rx)).i16(Q8(total)).i16(Q8(adjust)).i16(rng.range(0, 255)).i16(Q8(pilot));
    w.i16(Gain(kDrcOverPilotDb)).i16(rng.uniform() < 0.4 ? 0 : Gain(kAckOverPilotDb)).i16(Gain(DataOverPilotDb(rri)));
    w.i16(static_cast<std::int32_t>(kPilotGain)).u8(static_cast<std::uint32_t>(rri) | (1u << 4));
  }
  return w.take();
}

}  // namespace cdmadiag::gen
