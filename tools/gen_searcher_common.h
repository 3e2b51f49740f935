#pragma once
// What the temporal analyzer and the searcher-and-finger information packets of the
// sample drive share: the searcher integration, finger positions and strengths, and
// the cellular power trailer.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "gen_packets.h"

namespace cdmadiag::gen::searcher {

inline double DbToLinear(double db) { return std::pow(10.0, db / 10.0); }

inline long Clamp(double v, long lo, long hi) { return std::clamp(std::lround(v), lo, hi); }

// Searcher integration: pregain code 1 (x4), 64 x 4 = 256 chips coherent, one
// non-coherent pass. An energy e reads as 10 log10(e) + kEnergyOffsetDb.
inline constexpr std::uint8_t kPregainCode = 1;
inline constexpr std::uint8_t kIntegration = 64;
inline constexpr std::uint8_t kNonCoherent = 0;
inline const double kEnergyOffsetDb = 17.555 - 20.0 * std::log10(4.0 * kIntegration * 4.0);
inline constexpr double kNoiseEnergy = 12.0;
inline constexpr std::uint8_t kCellularBand = 0;
inline constexpr std::size_t kFingers = 4;
inline constexpr std::uint32_t kPositionBase = 4096;  // 1/8 chip reference of window and finger positions

// The sector of the cell, the number after the dash of its id ("101-2" gives 2).
inline std::uint8_t SectorNumber(const Moment& m, const Pilot& p) {
  const std::string& id = m.sectors[p.sector].sectorId;
  const std::size_t dash = id.find('-');
  return dash == std::string::npos ? 0 : static_cast<std::uint8_t>(std::atoi(id.c_str() + dash + 1));
}

inline std::uint32_t Eighths(double chips) {
  return static_cast<std::uint32_t>(kPositionBase + std::lround(chips * 8.0));
}

// A finger RSSI r reads as 10 log10(r) - 24.6 dB.
inline std::uint8_t FingerRssi(double ecIoDb) {
  return static_cast<std::uint8_t>(Clamp(DbToLinear(ecIoDb + 24.6), 1, 255));
}

// Power trailer, cellular band: RX = raw / 3 - 63.248 dBm, gain adjust -0.5 dB steps,
// TX = gain adjust - (RX + 73) dBm, AGC transmit power raw x 0.33332 - 52.25 dBm.
inline constexpr double kRxBaseDbm = -63.248;
inline constexpr double kTurnaroundDb = 73.0;
inline constexpr double kMaxTxDbm = 23.0;
inline constexpr double kTxAgcStepDb = 4 * 0.08333;
inline constexpr double kTxAgcBaseDbm = -52.25;
inline constexpr std::uint8_t kTrafficState = 8;

// One rake finger as the reports carry it; an unlocked finger has no strength.
struct Finger {
  std::uint16_t pn = 0;
  std::uint8_t sector = 0;
  double chips = 0;
  double ecIoDb = -INFINITY;
};

}  // namespace cdmadiag::gen::searcher
