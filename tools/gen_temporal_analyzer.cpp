#include "gen_temporal_analyzer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "gen_searcher_common.h"

namespace cdmadiag::gen {

using namespace searcher;

// Record: pregain, integration, non-coherent u8; pilot set word u16; window position
// u32 and centre u16 (1/8 chip); band class u8, a spare byte, four spare u16; four
// energies u16 (the last at the window position, 4/8 chip apart); finger PN[4] u16,
// sector[4] u8, RSSI[4] u8, position[4] u32; then the 5-byte power trailer.
Bytes GenTaReport(const Moment& m, const PilotSets& sets, std::size_t searched, std::uint16_t setBits, TaLoop& loop,
                  Rng& rng) {
  const Pilot* pilot = m.radio.find(searched);
  std::vector<double> energy(4);
  for (double& e : energy) e = -kNoiseEnergy * std::log(1.0 - rng.uniform());
  const double peak = DbToLinear(pilot->ecIoDb + 0.7 * rng.normal() - kEnergyOffsetDb);
  energy[2] += peak;  // the direct path, half-chip pulse spilling either side
  energy[1] += 0.35 * peak;
  energy[3] += 0.35 * peak;
  const std::uint32_t centre = Eighths(pilot->rangeChips);

  std::vector<const Pilot*> active;
  for (std::size_t s : sets.active) active.push_back(m.radio.find(s));
  std::stable_sort(active.begin(), active.end(), [](const Pilot* a, const Pilot* b) { return a->ecIoDb > b->ecIoDb; });
  std::vector<Finger> fingers;
  for (const Pilot* p : active) {
    if (fingers.size() == kFingers - 1) break;
    fingers.push_back({p->pn, SectorNumber(m, *p), p->rangeChips, p->ecIoDb});
  }
  if (!active.empty()) {  // a spare finger on a later path of the strongest pilot
    const Pilot* best = active.front();
    fingers.push_back(
        {best->pn, SectorNumber(m, *best), best->rangeChips + 1.5 + 2.0 * rng.uniform(), best->ecIoDb - 7.0});
  }
  fingers.resize(kFingers);

  ByteWriter w;
  w.u8(kPregainCode).u8(kIntegration).u8(kNonCoherent).u16(static_cast<std::uint16_t>((pilot->pn & 0x3FF) | setBits));
  w.u32(centre + 4).u16(static_cast<std::uint16_t>(centre)).u8(kCellularBand).zeros(1 + 8);
  for (double e : energy) w.u16(static_cast<std::uint32_t>(Clamp(e, 0, 65535)));
  for (const Finger& f : fingers) w.u16(f.pn);
  for (const Finger& f : fingers) w.u8(f.sector);
  for (const Finger& f : fingers) w.u8(std::isinf(f.ecIoDb) ? 0 : FingerRssi(f.ecIoDb + rng.normal()));
  for (const Finger& f : fingers) w.u32(std::isinf(f.ecIoDb) ? 0 : Eighths(f.chips));

  loop.gainAdjustDb = std::clamp(loop.gainAdjustDb + 0.5 * rng.normal(), -10.0, 10.0);
  const long rxRaw = Clamp((m.radio.rxDbm - kRxBaseDbm) * 3.0, -128, 127);
  const long gainRaw = Clamp(-2.0 * loop.gainAdjustDb, -128, 127);
  const double tx = std::min(-0.5 * gainRaw - (rxRaw / 3.0 + kRxBaseDbm + kTurnaroundDb), kMaxTxDbm);
  w.u8(static_cast<std::uint8_t>(rxRaw))
      .u8(static_cast<std::uint32_t>(Clamp((tx - kTxAgcBaseDbm) / kTxAgcStepDb, 0, 255)));
  w.u8(static_cast<std::uint8_t>(gainRaw)).u8(static_cast<std::uint32_t>(kMaxTxDbm)).u8(kTrafficState);
  return w.take();
}

Bytes GenTaSupReport(const Moment& m, const PilotSets& sets, std::size_t searched, std::uint16_t setBits, TaLoop& loop,
                     int supChannels, Rng& rng) {
  ByteWriter w;
  w.bytes(GenTaReport(m, sets, searched, setBits, loop, rng)).u8(static_cast<std::uint32_t>(supChannels));
  for (int k = 0; k < 8; ++k) w.u16(k < supChannels ? static_cast<std::uint32_t>(2 + 4 * k) : 0u);
  return w.take();
}

}  // namespace cdmadiag::gen
