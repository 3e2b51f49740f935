#include "gen_scanner.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace cdmadiag::gen {

namespace {

long Clamp(double v, long lo, long hi) { return std::clamp(std::lround(v), lo, hi); }

// The scanner's fixed set-up: cellular band, 1x, channel 283, 64 correlation taps.
constexpr std::int32_t kComm = 1;
constexpr std::int32_t kDeviceId = 7;
constexpr std::int32_t kBandCellular = 0;
constexpr std::int32_t kProtocol1x = 2;
constexpr std::uint32_t kChannel = 283;
constexpr std::int32_t kTaps = 64;
constexpr std::int32_t kChipWindow = 20;
constexpr std::int32_t kPnThresholdDb = -24;
constexpr double kHeardDb = -30.0;  // pilots weaker than this are not reported
constexpr std::size_t kMaxBlocks = 12;
constexpr std::uint32_t kDelaySpreadMode = 0x01;

// Path log integration: pregain code 1 (x4), 64 x 4 = 256 chips, one pass; an energy
// e reads as 10 log10(e) + kPathOffsetDb. Receive power = raw / 3 - 148.567 dBm.
constexpr std::uint8_t kPregainCode = 1;
constexpr std::uint8_t kIntegration = 64;
constexpr std::uint8_t kNonCoherent = 0;
const double kPathOffsetDb = 17.555 - 20.0 * std::log10(4.0 * kIntegration * 4.0);
constexpr double kRxBaseDbm = -148.567;
constexpr std::size_t kMaxPathPilots = 8;
constexpr std::uint32_t kPositionBase = 4096;  // 1/8 chip

}  // namespace

// Header: fifteen 32-bit words (comm, device, status, loop, scan, band, protocol, data
// mode, channel, channel style, taps, chip window, PN threshold, Io f32, block count);
// blocks of 40 bytes: PN s16, status s16, Ec/Io f32, time offset s16, aggregate, Eps,
// Ess, Epc f32, time slot u16 (+26), delay spread u8 (+30), SigInt f32 (+32).
Bytes ScannerTopN(const Moment& m, bool firstLayout, ScannerState& state, Rng& rng) {
  std::vector<const Pilot*> heard;
  for (const Pilot& p : m.radio.pilots) {
    if (p.ecIoDb > kHeardDb && heard.size() < kMaxBlocks) heard.push_back(&p);
  }
  ++state.scan;
  if (state.scan % 100 == 0) ++state.loop;
  const std::uint32_t mode = firstLayout && state.scan % 2 == 0 ? kDelaySpreadMode : 0;
  ByteWriter w;
  w.u32(kComm).u32(kDeviceId).u32(0).u32(static_cast<std::uint32_t>(state.loop));
  w.u32(static_cast<std::uint32_t>(state.scan)).u32(kBandCellular).u32(kProtocol1x).u32(mode).u32(kChannel).u32(0);
  w.u32(kTaps).u32(kChipWindow).u32(static_cast<std::uint32_t>(kPnThresholdDb));
  w.f32(static_cast<float>(m.radio.rxDbm + 0.3 * rng.normal())).u32(static_cast<std::uint32_t>(heard.size()));
  for (std::size_t i = 0; i < heard.size(); ++i) {
    const Pilot& p = *heard[i];
    const double ecio = p.ecIoDb + 0.4 * rng.normal();
    const double spread = 1.0 + p.rangeChips / 8.0 + rng.uniform();
    const std::size_t start = w.size();
    w.i16(p.pn).i16(ecio > kPnThresholdDb ? 0 : 1).f32(static_cast<float>(ecio));
    w.i16(static_cast<std::int32_t>(std::lround(p.rangeChips)));
    w.f32(static_cast<float>(ecio + 0.2 + 0.1 * spread)).f32(static_cast<float>(ecio - 0.3 * rng.uniform()));
    w.f32(static_cast<float>(ecio - 6.0 + 0.3 * rng.normal())).f32(static_cast<float>(ecio - 4.0 + 0.3 * rng.normal()));
    w.at(start + 26).u16(static_cast<std::uint32_t>((state.scan * kMaxBlocks + i) % 1000));
    w.at(start + 30).u8(static_cast<std::uint32_t>(Clamp(spread, 0, 255)));
    w.at(start + 32).f32(static_cast<float>(ecio + 16.0 + 0.5 * rng.normal())).zeros(4);
  }
  return w.take();
}

// Header: pregain, integration, non-coherent u8; active pilot word u16; count at 14;
// records of 24 bytes from 23: pilot word u16, 2 spare, four positions u16 (1/8 chip),
// four energies u16, 2 spare, receive AGC u8, 1 spare.
Bytes SearcherPathLog(const Moment& m, const PilotSets& sets, Rng& rng) {
  std::vector<std::pair<std::size_t, std::uint16_t>> searched;
  for (std::size_t s : sets.active) searched.emplace_back(s, set_bit::kActive);
  for (std::size_t s : sets.candidate) searched.emplace_back(s, set_bit::kCandidate);
  for (std::size_t s : sets.neighbor) searched.emplace_back(s, set_bit::kNeighbor);
  if (searched.size() > kMaxPathPilots) searched.resize(kMaxPathPilots);
  const std::uint16_t activePn = sets.active.empty() ? 0 : m.radio.find(sets.active.front())->pn;
  const auto rxRaw = static_cast<std::uint32_t>(Clamp((m.radio.rxDbm - kRxBaseDbm) * 3.0, 0, 255));

  ByteWriter w;
  w.u8(kPregainCode).u8(kIntegration).u8(kNonCoherent).u16(activePn).at(14);
  w.u8(static_cast<std::uint32_t>(searched.size())).at(23);
  for (const auto& [sector, bits] : searched) {
    const Pilot* p = m.radio.find(sector);
    w.u16(static_cast<std::uint16_t>((p->pn & 0x3FF) | bits)).zeros(2);
    // The direct path, then echoes 1 to 6 chips later and 5 to 12 dB weaker; the last
    // one is often lost in the noise.
    const double base = kPositionBase + 8.0 * p->rangeChips;
    std::vector<double> db = {p->ecIoDb + 0.5 * rng.normal()};
    std::vector<double> chips = {0.0};
    for (int k = 1; k < 4; ++k) {
      db.push_back(db.front() - 5.0 - 7.0 * rng.uniform() - 2.0 * k);
      chips.push_back(chips.back() + 1.0 + 2.0 * rng.uniform());
    }
    for (double c : chips) w.u16(static_cast<std::uint32_t>(Clamp(base + 8.0 * c, 0, 65535)));
    for (double d : db) w.u16(static_cast<std::uint32_t>(Clamp(std::pow(10.0, (d - kPathOffsetDb) / 10.0), 0, 65535)));
    w.zeros(2).u8(rxRaw).zeros(1);
  }
  return w.take();
}

}  // namespace cdmadiag::gen
