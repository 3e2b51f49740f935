#include "gen_generalized_searcher.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace cdmadiag::gen {

namespace {

double DbToLinear(double db) { return std::pow(10.0, db / 10.0); }

long Clamp(double v, long lo, long hi) { return std::clamp(std::lround(v), lo, hi); }

std::vector<const Pilot*> ActiveStrongestFirst(const Moment& m, const PilotSets& sets) {
  std::vector<const Pilot*> active;
  for (std::size_t s : sets.active) active.push_back(m.radio.find(s));
  std::stable_sort(active.begin(), active.end(), [](const Pilot* a, const Pilot* b) { return a->ecIoDb > b->ecIoDb; });
  return active;
}

// Searcher4 peaks: truncation 0 (8), K 8, L 2048, so a raw energy e reads as
// 10 log10(e / 36864 - 1 / 2048) dB.
constexpr unsigned kS4NonCoherent = 8;
constexpr unsigned kS4Coherent = 2048;
std::uint16_t Searcher4Energy(double ecIoDb) {
  return static_cast<std::uint16_t>(Clamp((DbToLinear(ecIoDb) + 1.0 / kS4Coherent) * 36864.0, 0, 65535));
}

// Searcher1 peaks: K 4, L 256, so e reads as 10 log10(e / 4608 - 1 / 256) dB.
constexpr unsigned kS1NonCoherent = 4;
constexpr unsigned kS1Coherent = 256;
std::uint16_t Searcher1Energy(double ecIoDb) {
  return static_cast<std::uint16_t>(Clamp((DbToLinear(ecIoDb) + 1.0 / kS1Coherent) * 4608.0, 0, 65535));
}

// Finger RSSI with no pilot filter gain term: r reads as 10 log10(r / 73728) dB.
std::uint16_t FingerRssi(double ecIoDb) {
  return static_cast<std::uint16_t>(Clamp(DbToLinear(ecIoDb) * 73728.0, 1, 65535));
}

// Subpacket: id u8, version u8, size u16 (header included), body.
void Subpacket(ByteWriter& w, std::uint8_t id, const Bytes& body) {
  w.u8(id).u8(1).u16(static_cast<std::uint32_t>(body.size() + 4)).bytes(body);
}

constexpr std::uint8_t kCellularBand = 0;
constexpr std::uint16_t kChannel = 384;
constexpr std::uint8_t kTrafficState = 8;

}  // namespace

// Technology 1x, two peaks a task, HPQ0; per task a 10-byte header (task word with the
// pilot index in bits 7-15, K, a spare byte, coherent word, PN position, window size)
// and two 6-byte peaks (high position bits, low position in 1/16 chip, energy).
Bytes Searcher4Report(const Moment& m, const PilotSets& sets, Rng& rng) {
  std::vector<const Pilot*> active = ActiveStrongestFirst(m, sets);
  if (active.size() > 4) active.resize(4);
  ByteWriter w;
  w.u8(2).u8(0).u8(static_cast<std::uint32_t>(active.size())).u8(static_cast<std::uint32_t>(rng.range(0, 255)));
  const auto agc = static_cast<std::uint32_t>(Clamp((m.radio.rxDbm + 63.248) * 3.0, 0, 255));
  w.u8(agc).u8(agc);
  for (std::size_t i = 0; i < active.size(); ++i) {
    const Pilot* p = active[i];
    w.u16(static_cast<std::uint32_t>(i) << 7 | (i == 0 ? 2u : 0u) << 5).u8(kS4NonCoherent).u8(0);
    w.u16(kS4Coherent).u16(static_cast<std::uint32_t>(p->pn) * 64).u16(60);
    const auto position = static_cast<std::uint32_t>(std::lround((p->pn * 64.0 + p->rangeChips) * 16.0));
    w.u16((position >> 16) << 8).u16(position & 0xFFFF).u16(Searcher4Energy(p->ecIoDb + 0.5 * rng.normal()));
    const std::uint32_t echo = position + static_cast<std::uint32_t>(rng.range(32, 80));
    w.u16((echo >> 16) << 8).u16(echo & 0xFFFF).u16(Searcher4Energy(p->ecIoDb - 8.0 + rng.normal()));
  }
  return w.take();
}

// Container: version, count, 2 spare. Active Info: count, spare, reference PN, PNs.
// Finger Info: gain term (1/65536) u16, antenna config u8, fingers u8, forward
// channels u32, then 16-byte fingers (PN, sector, status, RSSI and per-chain RSSI,
// position 1/8 chip, TD mode and power).
Bytes TngFingerStatus(const Moment& m, const PilotSets& sets, Rng& rng) {
  std::vector<const Pilot*> active = ActiveStrongestFirst(m, sets);
  if (active.size() > 6) active.resize(6);
  const std::uint16_t reference = active.empty() ? 0 : active.front()->pn;
  ByteWriter info;
  info.u8(static_cast<std::uint32_t>(active.size())).u8(0).u16(reference);
  for (const Pilot* p : active) info.u16(p->pn);

  ByteWriter fingers;
  fingers.u16(0).u8(2).u8(static_cast<std::uint32_t>(active.size())).u32(1);
  for (std::size_t i = 0; i < active.size(); ++i) {
    const Pilot* p = active[i];
    const double rx0 = p->ecIoDb + rng.normal() - 3.0;
    const double rx1 = p->ecIoDb + rng.normal() - 3.0;
    const std::uint32_t status = 0x3D | (i == 0 ? 0x02u : 0u);  // enabled, assigned, locked on both chains
    fingers.u16(p->pn).u8(static_cast<std::uint32_t>(p->sector % 3 + 1)).u8(status);
    fingers.u16(FingerRssi(10.0 * std::log10(DbToLinear(rx0) + DbToLinear(rx1))))
        .u16(FingerRssi(rx0))
        .u16(FingerRssi(rx1));
    fingers.u32(static_cast<std::uint32_t>(std::lround((p->pn * 64.0 + p->rangeChips) * 8.0))).u8(0).u8(3);
  }

  ByteWriter w;
  w.u8(1).u8(2).u16(0);
  Subpacket(w, 3, info.view());
  Subpacket(w, 4, fingers.view());
  return w.take();
}

// Searcher Status: state u8, spare, forward RC u16. RF: band classes u8 x 2 (RX1 off),
// channels u16 x 2, AGC s8 x 2, TX power s16 (0.1 dBm), gain adjust u8 (-0.5 dB), TX
// power limit u8 (raw / 3 - 52.33 dBm). Searcher1: peaks, record type, K, pregain, L
// u16, PN u16, set mask, 3 spare, window position and size u16, then (position in 1/2
// chip, energy) peaks.
Bytes Tng1XSearcher(const Moment& m, std::size_t searched, std::uint8_t setMask, Rng& rng) {
  const Pilot* p = m.radio.find(searched);
  ByteWriter status;
  status.u8(kTrafficState).u8(0).u16(3);

  ByteWriter rf;
  const double rx = m.radio.rxDbm + 0.5 * rng.normal();
  const double gainAdjust = -0.5 * rng.range(0, 20);
  const double tx = gainAdjust - (rx + 73.0);
  rf.u8(kCellularBand).u8(0xFF).u16(kChannel).u16(0);
  rf.u8(static_cast<std::uint32_t>(static_cast<std::int8_t>(Clamp((rx + 63.248) * 3.0, -128, 127)) & 0xFF)).u8(0);
  rf.i16(static_cast<std::int32_t>(Clamp(tx * 10.0, -32768, 32767)));
  rf.u8(static_cast<std::uint32_t>(Clamp(gainAdjust / -0.5, 0, 255)))
      .u8(static_cast<std::uint32_t>((23.0 + 52.33) * 3.0));

  ByteWriter s1;
  s1.u8(3).u8(0).u8(kS1NonCoherent).u8(1).u16(kS1Coherent).u16(p->pn).u8(setMask).u8(0).u8(0).u8(0);
  const auto window = static_cast<std::uint32_t>(std::lround(p->rangeChips * 2.0)) + 40;
  s1.u16(window).u16(80);
  s1.u16(window).u16(Searcher1Energy(p->ecIoDb + 0.5 * rng.normal()));
  s1.u16(window + static_cast<std::uint32_t>(rng.range(4, 10))).u16(Searcher1Energy(p->ecIoDb - 7.0 + rng.normal()));
  s1.u16(window + static_cast<std::uint32_t>(rng.range(12, 30))).u16(Searcher1Energy(-25.0 + rng.normal()));

  ByteWriter w;
  w.u8(1).u8(3).u16(0);
  Subpacket(w, 1, status.view());
  Subpacket(w, 2, rf.view());
  Subpacket(w, 6, s1.view());
  return w.take();
}

}  // namespace cdmadiag::gen
