#pragma once
// One emitter per packet family: each turns the state of the drive at one moment
// into the payload of its log packet (or the bytes of a command response,
// command byte first). To add a family, add a code, an emitter and a line in the
// drive's schedule (gen_capture.cpp).
#include <cstdint>
#include <vector>

#include "gen_bytes.h"
#include "gen_drive.h"

namespace cdmadiag::gen {

namespace code {
inline constexpr std::uint16_t kFinger = 0x100B;
inline constexpr std::uint16_t kEtak = 0x100D;
inline constexpr std::uint16_t kSearcher = 0x100F;
inline constexpr std::uint16_t kGps = 0x1014;
inline constexpr std::uint16_t kEvdoAirLinkSummary = 0x1068;
inline constexpr std::uint16_t kEvdoPower = 0x1069;
inline constexpr std::uint16_t kPositionEngine = 0x1154;
inline constexpr std::uint16_t kGps3D = 0x1FEE;
inline constexpr std::uint16_t kGpsCait = 0x1FF1;
}  // namespace code

namespace cmd {
inline constexpr std::uint8_t kVersionNumber = 0x00;
inline constexpr std::uint8_t kTimeStamp = 0x1D;
inline constexpr std::uint8_t kPilotSets = 0x40;
inline constexpr std::uint8_t kStatusSnapshot = 0x63;
inline constexpr std::uint8_t kExtBuildId = 0x7C;
}  // namespace cmd

inline constexpr std::uint16_t kPilotIncrement = 4;

// The drive at one moment, as every emitter sees it.
struct Moment {
  std::uint64_t ticks;  // 1.25 ms units since 1980-01-06 00:00:00
  double unixSeconds;
  double elapsed;  // seconds since the drive began
  Route::Fix fix;
  double speedMph;
  double altitudeM;
  int satellites;
  const RadioSnapshot& radio;
  const std::vector<Sector>& sectors;
};

// Set bits of the searcher's pilot set word.
namespace set_bit {
inline constexpr std::uint16_t kNotRefPilot = 1u << 10;
inline constexpr std::uint16_t kRemaining = 1u << 12;
inline constexpr std::uint16_t kNeighbor = 1u << 13;
inline constexpr std::uint16_t kCandidate = 1u << 14;
inline constexpr std::uint16_t kActive = 1u << 15;
}  // namespace set_bit

// 1x pilot reports.
Bytes FingerReport(const Moment& m, const PilotSets& sets, Rng& rng);
// pn and ecIoDb of the searched pilot; a pilot of no sector has only noise (ecIoDb -inf).
Bytes SearcherReport(std::uint16_t pn, double ecIoDb, double rangeChips, std::uint16_t setBits, Rng& rng);

// EV-DO link state carried from packet to packet.
struct EvdoLink {
  PilotSets asp;  // active-set pilots in the order they joined
  std::uint16_t perSequence = 0;
  double closedLoopDb = 0;
  bool diversity = true;
};
Bytes EvdoPower(const Moment& m, EvdoLink& link, Rng& rng);
Bytes EvdoAirLinkSummary(const Moment& m, EvdoLink& link, Rng& rng);
// The DRC index the handset asks for at a C/I (dB), and the forward packet error
// rate (a fraction) at that C/I.
std::uint8_t DrcFor(double sinrDb);
double PacketErrorRate(double sinrDb);

// Location records.
Bytes Gps3D(const Moment& m);
Bytes GpsInfo(const Moment& m);
Bytes GpsCait(const Moment& m);
Bytes Etak(const Moment& m);
struct PositionEngineState {
  std::uint32_t session = 1;
  std::uint32_t positions = 0;
};
Bytes PositionEngineFix(const Moment& m, PositionEngineState& pe, bool failed, Rng& rng);

// Command responses.
Bytes VersionNumberResponse();
Bytes ExtBuildIdResponse();
Bytes StatusSnapshotResponse(bool evdo);
Bytes TimeStampResponse(const Moment& m, std::uint16_t subCount);
Bytes PilotSetsResponse(const Moment& m, const PilotSets& sets);

}  // namespace cdmadiag::gen
