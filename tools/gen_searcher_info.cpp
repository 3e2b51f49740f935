#include "gen_searcher_info.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "gen_searcher_common.h"

namespace cdmadiag::gen {

using namespace searcher;

namespace {

constexpr std::uint8_t kPilotTypeInfo = 0;
constexpr std::size_t kEntries = 16;        // half a chip apart
constexpr std::uint16_t kWindowSize = 64;   // 1/8 chip: the entries span 8 chips
constexpr std::uint8_t kForwardRcs = 0x03;  // FCH on RC 3, no supplemental or control channel
constexpr std::uint8_t kChannelSet = 0x01;  // FCH active
constexpr std::uint8_t kDiversityMinus3Db = 2, kDiversityOtd = 0, kNoDiversity = 0xFF;
constexpr double kVer2LimitBaseDbm = -52.33;  // the Ver2 limit reads raw / 3 - 52.33 dBm

// What both layouts carry, in the order of the first.
struct Report {
  std::uint16_t setWord = 0;
  std::uint32_t windowPosition = 0;  // 1/8 chip, the last entry's position
  std::vector<std::uint16_t> energy;
  std::vector<Finger> fingers;
  std::int8_t rxRaw = 0, gainRaw = 0;
  std::uint8_t agcRaw = 0;
};

Report Build(const Moment& m, const PilotSets& sets, std::size_t searched, std::uint16_t setBits,
             SearcherInfoLoop& loop, Rng& rng) {
  Report out;
  const Pilot* pilot = m.radio.find(searched);
  out.energy.resize(kEntries);
  for (std::uint16_t& e : out.energy)
    e = static_cast<std::uint16_t>(Clamp(-kNoiseEnergy * std::log(1.0 - rng.uniform()), 0, 65535));
  const double peak = DbToLinear(pilot->ecIoDb + 0.7 * rng.normal() - kEnergyOffsetDb);
  const std::size_t centre = kEntries / 2;  // the direct path, half-chip pulse spilling either side
  for (const auto& [k, share] : {std::pair{centre, 1.0}, std::pair{centre - 1, 0.35}, std::pair{centre + 1, 0.35}}) {
    out.energy[k] = static_cast<std::uint16_t>(Clamp(out.energy[k] + share * peak, 0, 65535));
  }
  out.setWord = static_cast<std::uint16_t>((pilot->pn & 0x1FF) | setBits);
  out.windowPosition = Eighths(pilot->rangeChips) + 4 * (kEntries - 1 - centre);

  std::vector<const Pilot*> active;
  for (std::size_t s : sets.active) active.push_back(m.radio.find(s));
  std::stable_sort(active.begin(), active.end(), [](const Pilot* a, const Pilot* b) { return a->ecIoDb > b->ecIoDb; });
  for (const Pilot* p : active) {
    if (out.fingers.size() == kFingers - 1) break;
    out.fingers.push_back({p->pn, SectorNumber(m, *p), p->rangeChips, p->ecIoDb});
  }
  if (!active.empty()) {  // a spare finger on a later path of the strongest pilot
    const Pilot* best = active.front();
    out.fingers.push_back(
        {best->pn, SectorNumber(m, *best), best->rangeChips + 1.5 + 2.0 * rng.uniform(), best->ecIoDb - 7.0});
  }
  out.fingers.resize(kFingers);

  loop.gainAdjustDb = std::clamp(loop.gainAdjustDb + 0.5 * rng.normal(), -10.0, 10.0);
  out.rxRaw = static_cast<std::int8_t>(Clamp((m.radio.rxDbm - kRxBaseDbm) * 3.0, -128, 127));
  out.gainRaw = static_cast<std::int8_t>(Clamp(-2.0 * loop.gainAdjustDb, -128, 127));
  const double tx = std::min(-0.5 * out.gainRaw - (out.rxRaw / 3.0 + kRxBaseDbm + kTurnaroundDb), kMaxTxDbm);
  out.agcRaw = static_cast<std::uint8_t>(Clamp((tx - kTxAgcBaseDbm) / kTxAgcStepDb, 0, 255));
  return out;
}

std::uint8_t RssiOf(const Finger& f, Rng& rng) {
  return std::isinf(f.ecIoDb) ? 0 : FingerRssi(f.ecIoDb + rng.normal());
}
std::uint32_t PositionOf(const Finger& f) { return std::isinf(f.ecIoDb) ? 0 : Eighths(f.chips); }

}  // namespace

// Pilot type, band class, pregain, integration, non-coherent u8; pilot set word u16;
// window position u32 and size u16 (1/8 chip); the 5-byte power trailer; forward RCs
// (two nibble pairs), channel set; N, F; N x (position, energy) u16; F x 10-byte fingers
// (PN u16, sector u8, RSSI u8, position u32, two spare bytes).
Bytes GenSearcherFingerInfo(const Moment& m, const PilotSets& sets, std::size_t searched, std::uint16_t setBits,
                            SearcherInfoLoop& loop, Rng& rng) {
  const Report rep = Build(m, sets, searched, setBits, loop, rng);
  ByteWriter w;
  w.u8(kPilotTypeInfo).u8(kCellularBand).u8(kPregainCode).u8(kIntegration).u8(kNonCoherent).u16(rep.setWord);
  w.u32(rep.windowPosition).u16(kWindowSize);
  w.u8(static_cast<std::uint8_t>(rep.rxRaw)).u8(rep.agcRaw).u8(static_cast<std::uint8_t>(rep.gainRaw));
  w.u8(static_cast<std::uint32_t>(kMaxTxDbm)).u8(kTrafficState);
  w.u8(kForwardRcs).u8(0).u8(kChannelSet).u8(kEntries).u8(kFingers);
  for (std::size_t k = 0; k < kEntries; ++k) {
    w.u16(static_cast<std::uint16_t>(rep.windowPosition - 4 * (kEntries - 1 - k))).u16(rep.energy[k]);
  }
  for (const Finger& f : rep.fingers) w.u16(f.pn).u8(f.sector).u8(RssiOf(f, rng)).u32(PositionOf(f)).zeros(2);
  return w.take();
}

// Band class, pregain, integration, non-coherent u8; pilot set word u16; window size
// u16 and position i32 (1/8 chip); the power trailer (limit raw / 3 - 52.33 dBm);
// diversity flag, N, F; with diversity its power level and mode; N x (position,
// energy) u16; F x 12-byte fingers (channel u8, spare, PN u16, sector u8, RSSI u8, two
// spare bytes, position i32).
Bytes GenSearcherFingerInfoVer2(const Moment& m, const PilotSets& sets, std::size_t searched, std::uint16_t setBits,
                                bool diversity, SearcherInfoLoop& loop, Rng& rng) {
  const Report rep = Build(m, sets, searched, setBits, loop, rng);
  ByteWriter w;
  w.u8(kCellularBand).u8(kPregainCode).u8(kIntegration).u8(kNonCoherent).u16(rep.setWord);
  w.u16(kWindowSize).u32(rep.windowPosition);
  w.u8(static_cast<std::uint8_t>(rep.rxRaw)).u8(rep.agcRaw).u8(static_cast<std::uint8_t>(rep.gainRaw));
  w.u8(static_cast<std::uint32_t>(Clamp((kMaxTxDbm - kVer2LimitBaseDbm) * 3.0, 0, 255))).u8(kTrafficState);
  w.u8(diversity ? 0 : kNoDiversity).u8(kEntries).u8(kFingers);
  if (diversity) w.u8(kDiversityMinus3Db).u8(kDiversityOtd);
  for (std::size_t k = 0; k < kEntries; ++k) {
    w.u16(static_cast<std::uint16_t>(rep.windowPosition - 4 * (kEntries - 1 - k))).u16(rep.energy[k]);
  }
  std::uint8_t channel = 0;
  for (const Finger& f : rep.fingers) {
    w.u8(channel++).u8(0).u16(f.pn).u8(f.sector).u8(RssiOf(f, rng)).zeros(2).u32(PositionOf(f));
  }
  return w.take();
}

}  // namespace cdmadiag::gen
