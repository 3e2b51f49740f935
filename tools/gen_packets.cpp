#include "gen_packets.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

namespace cdmadiag::gen {

namespace {

constexpr double kUnixAtGpsEpoch = 315964800.0;
constexpr double kLeapSeconds = 18.0;  // GPS time ahead of UTC throughout 2026
constexpr double kMetresPerSecondPerMph = 0.44704;

double DbToLinear(double db) { return std::pow(10.0, db / 10.0); }

long Round(double v) { return std::lround(v); }

std::int32_t Clamp(long v, long lo, long hi) { return static_cast<std::int32_t>(std::clamp(v, lo, hi)); }

// Powers in 1/256 dB as signed 16 bits.
std::int32_t Q8(double db) { return Clamp(Round(db * 256.0), -32768, 32767); }

// Linear SINR in 1/512 units; 0 is reserved for "no value".
std::uint16_t Sinr512(double db) { return static_cast<std::uint16_t>(Clamp(Round(DbToLinear(db) * 512.0), 1, 65535)); }

// --- 1x pilot reports ---

// A finger RSSI r reads as 10 log10(r) - 30.61 dB.
std::uint8_t FingerRssi(double ecIoDb) {
  return static_cast<std::uint8_t>(Clamp(Round(DbToLinear(ecIoDb + 30.61)), 1, 255));
}

// Searcher integration chosen for every report: pregain code 1 (x4), 64 x 4 =
// 256 chips coherent, one non-coherent pass. An energy e then reads as
// 10 log10(e) + kSearcherOffsetDb.
constexpr std::uint8_t kPregainCode = 1;
constexpr std::uint8_t kIntegration = 64;
constexpr std::uint8_t kNonCoherent = 0;
const double kSearcherOffsetDb = 17.555 - 20.0 * std::log10(4.0 * kIntegration * 4.0);
constexpr int kWindowEntries = 32;  // half-chip steps, 15.5 chips
constexpr int kWindowHalfEighths = 2 * (kWindowEntries - 1);
constexpr double kNoiseEnergy = 12.0;          // mean searcher energy of an empty window position
constexpr std::uint16_t kPositionBase = 4096;  // 1/8 chip reference of finger and window positions

std::uint16_t Eighths(double chips) { return static_cast<std::uint16_t>(kPositionBase + Round(chips * 8.0)); }

// --- EV-DO ---

// Lowest C/I (dB) at which the handset asks for each DRC index.
struct DrcStep {
  double minSinrDb;
  std::uint8_t drc;
};
constexpr DrcStep kDrcSteps[] = {{9.5, 12}, {7.5, 11}, {4.0, 10}, {2.0, 8},  {0.0, 6},
                                 {-3.0, 4}, {-6.0, 3}, {-9.0, 2}, {-12.0, 1}};

}  // namespace

std::uint8_t DrcFor(double sinrDb) {
  for (const DrcStep& s : kDrcSteps)
    if (sinrDb >= s.minSinrDb) return s.drc;
  return 0;
}

double PacketErrorRate(double sinrDb) { return 0.005 + 0.25 / (1.0 + std::exp((sinrDb + 4.0) / 1.5)); }

namespace {

constexpr double kOpenLoopConstantDb = -73.0;  // 800 MHz band
constexpr double kMaxTxDbm = 23.0;
constexpr double kDataOverPilotDb = 3.75;
constexpr std::size_t kAspSlots = 6;
constexpr std::uint16_t kNoAsp = 0xFFFF;
constexpr int kSlotsPerFrame = 16;

// --- location ---

double SecondsOfDay(double unix) { return std::fmod(unix, 86400.0); }

std::string Lon5(const Moment& m) { return Format("%09ld", Round(m.fix.at.lon * 1e5)); }
std::string Lat5(const Moment& m) { return Format("%08ld", Round(m.fix.at.lat * 1e5)); }
std::string Heading3(const Moment& m) { return Format("%03ld", Round(m.fix.headingDeg) % 360); }
std::string Speed3(const Moment& m) { return Format("%03ld", Round(m.speedMph)); }

constexpr std::uint8_t kGpsSource = 1;

double Rad(double deg) { return deg * std::numbers::pi / 180.0; }

// --- responses ---

// Three decimal digits in the over-the-air form: each digit 0 counts as 10, minus 111.
std::uint32_t Encode3(int digits) {
  const int d1 = digits / 100 == 0 ? 10 : digits / 100;
  const int d2 = digits / 10 % 10 == 0 ? 10 : digits / 10 % 10;
  const int d3 = digits % 10 == 0 ? 10 : digits % 10;
  return static_cast<std::uint32_t>(100 * d1 + 10 * d2 + d3 - 111);
}
std::uint32_t Encode2(int digits) {
  const int d1 = digits / 10 == 0 ? 10 : digits / 10;
  const int d2 = digits % 10 == 0 ? 10 : digits % 10;
  return static_cast<std::uint32_t>(10 * d1 + d2 - 11);
}
std::uint32_t Encode1(int digit) { return digit == 0 ? 10u : static_cast<std::uint32_t>(digit); }

// The handset's identity: MIN 608 555 0142 on home network 310/00.
constexpr int kAreaCode = 608;
constexpr int kExchange = 555;
constexpr int kLine = 142;
constexpr int kMcc = 310;
constexpr int kMnc = 0;
constexpr std::uint32_t kEsn = 0x9F3A21C4;
constexpr std::uint16_t kSid = 4156;
constexpr std::uint16_t kNid = 1;
constexpr std::uint16_t kChannel = 384;
constexpr std::uint8_t kPrev = 6;
constexpr std::uint8_t kModel = 77;

}  // namespace

// Finger report, 15 bytes: PN[3] u16, position[3] u16 (1/8 chip), RSSI[3] u8 (0 = unlocked).
// The strongest pilot gets a second finger on a later multipath component when
// there are fingers to spare, as a rake receiver does.
Bytes FingerReport(const Moment& m, const PilotSets& sets, Rng& rng) {
  struct Finger {
    std::uint16_t pn = 0;
    double chips = 0;
    double ecIoDb = -INFINITY;
  };
  std::vector<const Pilot*> active;
  for (std::size_t s : sets.active) active.push_back(m.radio.find(s));
  std::stable_sort(active.begin(), active.end(), [](const Pilot* a, const Pilot* b) { return a->ecIoDb > b->ecIoDb; });
  std::vector<Finger> fingers;
  const double mainShare = active.size() >= 3 ? 1.0 : 0.7;
  for (const Pilot* p : active) {
    if (fingers.size() == 3) break;
    const double share = fingers.empty() ? mainShare : 1.0;
    fingers.push_back({p->pn, p->rangeChips, p->ecIoDb + 10.0 * std::log10(share)});
  }
  if (fingers.size() < 3 && !active.empty()) {
    const Pilot* best = active.front();
    fingers.push_back(
        {best->pn, best->rangeChips + 1.5 + 2.0 * rng.uniform(), best->ecIoDb + 10.0 * std::log10(1.0 - mainShare)});
  }
  fingers.resize(3);
  ByteWriter w;
  for (const Finger& f : fingers) w.u16(f.pn);
  for (const Finger& f : fingers) w.u16(std::isinf(f.ecIoDb) ? 0 : Eighths(f.chips));
  for (const Finger& f : fingers) w.u8(std::isinf(f.ecIoDb) ? 0 : FingerRssi(f.ecIoDb + rng.normal()));
  return w.take();
}

// Searcher report: pregain u8, integration u8, non-coherent u8, pilot set word u16,
// window end u16, window centre u16 (1/8 chip), 2 spare, N u16, N energies u16.
// Entry k lies at (end - centre + 4 (k - (N - 1))) / 8 chips: with end - centre =
// 2 (N - 1) the window is centred, and the direct path sits in entry N / 2.
Bytes SearcherReport(std::uint16_t pn, double ecIoDb, double rangeChips, std::uint16_t setBits, Rng& rng) {
  std::vector<double> energy(kWindowEntries);
  for (double& e : energy) e = -kNoiseEnergy * std::log(1.0 - rng.uniform());
  if (!std::isinf(ecIoDb)) {
    const double peak = DbToLinear(ecIoDb - kSearcherOffsetDb);
    const int k0 = kWindowEntries / 2;
    const int k1 = k0 + rng.range(4, 10);  // a reflection 2 to 5 chips later
    const double echo = 0.1 + 0.2 * rng.uniform();
    energy[k0] += peak;
    energy[k0 - 1] += 0.35 * peak;  // the chip pulse spills into the next half chips
    energy[k0 + 1] += 0.35 * peak;
    energy[k1] += echo * peak;
    energy[k1 - 1] += 0.35 * echo * peak;
    if (k1 + 1 < kWindowEntries) energy[k1 + 1] += 0.35 * echo * peak;
  }
  const std::uint16_t centre = Eighths(rangeChips);
  ByteWriter w;
  w.u8(kPregainCode).u8(kIntegration).u8(kNonCoherent);
  w.u16(static_cast<std::uint16_t>((pn & 0x3FF) | setBits));
  w.u16(static_cast<std::uint16_t>(centre + kWindowHalfEighths)).u16(centre);
  w.zeros(2).u16(kWindowEntries);
  for (double e : energy) w.u16(static_cast<std::uint16_t>(Clamp(Round(e), 0, 65535)));
  return w.take();
}

// Power report: two 13-byte frames. Byte 0: AT type bits 0-3, ratchet bit 4,
// PA bit 5; then s16 open-loop, closed-loop adjust, pilot, total Tx, Rx AGC0,
// Rx AGC1, all in 1/256 dB(m); Rx AGC1 0xC033 when the second chain is off.
Bytes EvdoPower(const Moment& m, EvdoLink& link, Rng& rng) {
  constexpr std::uint8_t kAtType = 2;
  constexpr std::uint16_t kNoRx1 = 0xC033;
  ByteWriter w;
  for (int frame = 0; frame < 2; ++frame) {
    link.closedLoopDb = std::clamp(link.closedLoopDb + 0.5 * rng.normal(), -8.0, 8.0);
    const double rx0 = m.radio.rxDbm + 0.5 * rng.normal();
    const double open = kOpenLoopConstantDb - rx0;
    const double pilot = open + link.closedLoopDb;
    const double wanted = pilot + kDataOverPilotDb;
    const bool ratchet = wanted > kMaxTxDbm;
    const double total = std::min(wanted, kMaxTxDbm);
    w.u8(kAtType | (ratchet ? 0x10 : 0) | 0x20);
    w.i16(Q8(open)).i16(Q8(link.closedLoopDb)).i16(Q8(pilot)).i16(Q8(total)).i16(Q8(rx0));
    if (link.diversity) {
      w.i16(Q8(rx0 - 1.0 + 1.5 * rng.normal()));
    } else {
      w.u16(kNoRx1);
    }
  }
  return w.take();
}

// Air-link summary: two 89-byte frames (PN rolls of 16 slots). Per frame: DRC
// nibbles [8], best-ASP SINR u16[16] (1/512 linear), flags u8 (best ASP 1-6 in
// bits 0-2), ASP filtered SINR u16[6], ASP PN u16[6] (0xFFFF empty), RPC s16[6],
// PER u16 (1/16384), PER sequence u16, half-slot count u16, RPC cell index u8[6].
Bytes EvdoAirLinkSummary(const Moment& m, EvdoLink& link, Rng& rng) {
  link.asp.update(m.radio, 4);
  std::vector<const Pilot*> asps;
  for (std::size_t s : link.asp.active) asps.push_back(m.radio.find(s));
  std::size_t best = 0;
  for (std::size_t i = 1; i < asps.size(); ++i)
    if (asps[i]->sinrDb > asps[best]->sinrDb) best = i;
  // Sectors of one site share a reverse power control cell.
  std::vector<int> sites;
  std::vector<std::uint8_t> cellIndex;
  for (const Pilot* p : asps) {
    const int site = m.sectors[p->sector].site;
    auto it = std::find(sites.begin(), sites.end(), site);
    if (it == sites.end()) it = sites.insert(sites.end(), site);
    cellIndex.push_back(static_cast<std::uint8_t>(it - sites.begin()));
  }
  const auto halfSlots = static_cast<std::uint16_t>(m.ticks * 3 / 2);  // 1.25 ms is 1.5 half slots
  ByteWriter w;
  for (int frame = 0; frame < 2; ++frame) {
    const std::size_t base = 89 * static_cast<std::size_t>(frame);
    std::uint8_t drc[kSlotsPerFrame];
    std::uint16_t sinr[kSlotsPerFrame];
    for (int s = 0; s < kSlotsPerFrame; ++s) {
      const double db = asps[best]->sinrDb + 2.0 * rng.normal();
      drc[s] = DrcFor(db - 1.0);  // a dB of margin
      sinr[s] = Sinr512(db);
    }
    w.at(base);
    for (int k = 0; k < kSlotsPerFrame / 2; ++k) w.u8(drc[2 * k] | (drc[2 * k + 1] << 4));
    for (std::uint16_t v : sinr) w.u16(v);
    w.u8(static_cast<std::uint8_t>(best + 1));
    for (std::size_t i = 0; i < kAspSlots; ++i)
      w.u16(i < asps.size() ? Sinr512(asps[i]->sinrDb + 0.5 * rng.normal()) : 0);
    for (std::size_t i = 0; i < kAspSlots; ++i) w.u16(i < asps.size() ? asps[i]->pn : kNoAsp);
    for (std::size_t i = 0; i < kAspSlots; ++i) w.i16(i < asps.size() ? (rng.uniform() < 0.5 ? 1 : -1) : 0);
    const double per = std::clamp(PacketErrorRate(asps[best]->sinrDb) * (0.8 + 0.4 * rng.uniform()), 0.0, 1.0);
    w.u16(static_cast<std::uint16_t>(Round(per * 16384.0)));
    w.u16(link.perSequence++);
    w.u16(static_cast<std::uint16_t>(halfSlots + 32 * frame));
    for (std::size_t i = 0; i < kAspSlots; ++i) w.u8(i < asps.size() ? cellIndex[i] : 0);
  }
  return w.take();
}

// 3D GPS text record: time (10, seconds of the UTC day), longitude (9) and
// latitude (8) in 1e-5 degree, altitude (8, m), heading (3), speed (3, mph),
// then source and satellite count as bytes.
Bytes Gps3D(const Moment& m) {
  ByteWriter w;
  w.text(Format("%10.3f", SecondsOfDay(m.unixSeconds)), 10).text(Lon5(m), 9).text(Lat5(m), 8);
  w.text(Format("%8.1f", m.altitudeM), 8).text(Heading3(m), 3).text(Speed3(m), 3);
  w.u8(kGpsSource).u8(static_cast<std::uint8_t>(m.satellites));
  return w.take();
}

// GPS text record: hhmmss (6), longitude (9), latitude (8), heading (3), speed (3),
// source digit, one spare.
Bytes GpsInfo(const Moment& m) {
  const long day = Round(std::floor(SecondsOfDay(m.unixSeconds)));
  ByteWriter w;
  w.text(Format("%02ld%02ld%02ld", day / 3600, day / 60 % 60, day % 60), 6).text(Lon5(m), 9).text(Lat5(m), 8);
  w.text(Heading3(m), 3).text(Speed3(m), 3).u8('0' + kGpsSource).u8(' ');
  return w.take();
}

// Air-interface tester GPS record: as the 3D record without the altitude.
Bytes GpsCait(const Moment& m) {
  ByteWriter w;
  w.text(Format("%10.3f", SecondsOfDay(m.unixSeconds)), 10).text(Lon5(m), 9).text(Lat5(m), 8);
  w.text(Heading3(m), 3).text(Speed3(m), 3);
  w.u8(kGpsSource).u8(static_cast<std::uint8_t>(m.satellites));
  return w.take();
}

// Dead-reckoning record: E/W, |longitude| (10, degrees), N/S, |latitude| (10), speed (5, mph).
Bytes Etak(const Moment& m) {
  ByteWriter w;
  w.u8(m.fix.at.lon < 0 ? 'W' : 'E').text(Format("%010.6f", std::fabs(m.fix.at.lon)), 10);
  w.u8(m.fix.at.lat < 0 ? 'S' : 'N').text(Format("%010.6f", std::fabs(m.fix.at.lat)), 10);
  w.text(Format("%5.1f", m.speedMph), 5);
  return w.take();
}

// Position engine record type 1 (position fix), 0x15A bytes; offsets as laid out below.
Bytes PositionEngineFix(const Moment& m, PositionEngineState& pe, bool failed, Rng& rng) {
  constexpr std::uint8_t kFixRecord = 1;
  constexpr std::uint16_t kFixValid = 0x0003;
  constexpr std::uint16_t kFixFailed = 0x0040;
  constexpr int kMaxSv = 16;
  const double gps = m.unixSeconds - kUnixAtGpsEpoch + kLeapSeconds;
  const auto week = static_cast<std::uint16_t>(gps / 604800.0);
  const auto msOfWeek = static_cast<std::uint32_t>(Round((gps - week * 604800.0) * 1000.0));
  const double lat = Rad(m.fix.at.lat), lon = Rad(m.fix.at.lon);
  const double radPerMetre = 1.0 / 6371000.0;
  const double v = m.speedMph * kMetresPerSecondPerMph;
  const int used = std::min(m.satellites, kMaxSv);
  const int total = std::min(used + 2, kMaxSv);
  ++pe.positions;

  ByteWriter w;
  w.u8(kFixRecord).u32(pe.session);
  w.at(0x11).u16(failed ? kFixFailed : kFixValid).u16(failed ? 1 : 0);
  w.at(0x15).u16(week).u32(msOfWeek).u32(msOfWeek - static_cast<std::uint32_t>(kLeapSeconds * 1000.0));
  w.at(0x1F).u32(static_cast<std::uint32_t>(Round(m.elapsed * 1000.0))).u32(pe.positions);
  w.at(0x27).f64(lat + 8.0 * radPerMetre * rng.normal()).f64(lon + 8.0 * radPerMetre * rng.normal());
  w.f64(m.altitudeM + 10.0 * rng.normal());
  w.at(0x3F).f64(lat + 3.0 * radPerMetre * rng.normal()).f64(lon + 3.0 * radPerMetre * rng.normal());
  w.f64(m.altitudeM + 4.0 * rng.normal());
  w.at(0x57).f64(lat).f64(lon).f64(m.altitudeM);
  const double h = Rad(m.fix.headingDeg);
  w.at(0x6F).f32(static_cast<float>(v * std::sin(h))).f32(static_cast<float>(v * std::cos(h))).f32(0.0f);
  w.at(0x7B).f32(6.5f).f32(4.2f).f32(4.9f).f32(9.1f).f32(0.4f);
  w.at(0x8F).f32(static_cast<float>(12345.6 + 0.3 * m.elapsed)).f32(0.3f);
  w.at(0x97).f32(static_cast<float>(m.altitudeM)).f32(8.0f).f32(-2.9f);
  const double hdop = 0.8 + 0.4 * rng.uniform();
  const double vdop = 1.2 + 0.6 * rng.uniform();
  w.at(0xA3)
      .f32(static_cast<float>(std::hypot(hdop, vdop)))
      .f32(static_cast<float>(hdop))
      .f32(static_cast<float>(vdop));
  w.at(0xAF).u8(3).u8(static_cast<std::uint8_t>(used)).u8(static_cast<std::uint8_t>(total));
  static constexpr std::uint8_t kPrns[kMaxSv] = {2, 5, 7, 9, 13, 15, 18, 20, 21, 24, 26, 29, 30, 31, 4, 11};
  w.at(0xBA);
  for (int i = 0; i < kMaxSv; ++i) w.u8(i < total ? kPrns[i] : 0);
  w.at(0xCA);
  for (int i = 0; i < kMaxSv; ++i) w.u8(i < total ? 40 + 3 * i : 0);
  w.at(0xDA);
  for (int i = 0; i < kMaxSv; ++i) w.f32(i < total ? static_cast<float>(0.8 + 2.0 * rng.uniform()) : 0.0f);
  w.at(0x11A);
  for (int i = 0; i < kMaxSv; ++i) w.f32(i < total ? static_cast<float>(3.0 * rng.normal()) : 0.0f);
  return w.take();
}

// Version number response (54 bytes after the command): compile date (11) and
// time (8), release date (11) and time (8), version directory (8), SCM, CAI
// revision, model, firmware revision u16, slot cycle index, MSM version u16.
Bytes VersionNumberResponse() {
  ByteWriter w;
  w.u8(cmd::kVersionNumber);
  w.text("Apr 28 2026", 11).text("14:02:11", 8).text("Apr 30 2026", 11).text("09:30:00", 8).text("DRV-0412", 8);
  w.u8(0x2A).u8(kPrev).u8(kModel).u16(1042).u8(2).u16(52);
  return w.take();
}

// Extended build id: version u8, 2 spare, MSM revision u32, model number u32,
// software revision and model name as NUL-terminated texts.
Bytes ExtBuildIdResponse() {
  ByteWriter w;
  w.u8(cmd::kExtBuildId).u8(2).zeros(2).u32(0x000051A1).u32(kModel);
  w.cstr("DRV-0412-2026.04.30").cstr("Drive test handset DT-77");
  return w.take();
}

// Status snapshot (35 bytes after the command): ESN, IMSI parts in their coded
// form, MCC, SID, NID, protocol revisions, band class, channel, modes.
Bytes StatusSnapshotResponse(bool evdo) {
  constexpr std::uint8_t kBandClass = 0;  // 800 MHz cellular
  constexpr std::uint8_t kModeCdma = 1;
  constexpr std::uint8_t kModeHdr = 6;
  constexpr std::uint8_t kMcTraffic = 4;
  const std::uint32_t s1 = (Encode3(kExchange) << 14) | (Encode1(kLine / 1000) << 10) | Encode3(kLine % 1000);
  const std::uint32_t s2 = Encode3(kAreaCode);
  ByteWriter w;
  w.u8(cmd::kStatusSnapshot);
  w.u32(kEsn).u32(s1).u16(s2).u64((static_cast<std::uint64_t>(s2) << 24) | s1).u8(Encode2(kMnc));
  w.u16(Encode3(kMcc)).u8(0).u16(kSid).u16(kNid);
  w.u8(kPrev).u8(kPrev).u8(kPrev).u8(kBandClass).u16(kChannel);
  w.u8(evdo ? kModeHdr : kModeCdma).u8(kMcTraffic).u8(0);
  return w.take();
}

// Time stamp response: u64 of the 1.25 ms count shifted up 16 bits over a
// sub-count in 1/32 chip.
Bytes TimeStampResponse(const Moment& m, std::uint16_t subCount) {
  ByteWriter w;
  w.u8(cmd::kTimeStamp).u64((m.ticks << 16) | subCount);
  return w.take();
}

// Pilot sets response: pilot increment u16, active, candidate and neighbour
// counts u8, then 4-byte records (PN u16, strength u8 in -1/2 dB, spare).
Bytes PilotSetsResponse(const Moment& m, const PilotSets& sets) {
  ByteWriter w;
  w.u8(cmd::kPilotSets).u16(kPilotIncrement);
  w.u8(static_cast<std::uint8_t>(sets.active.size()));
  w.u8(static_cast<std::uint8_t>(sets.candidate.size()));
  w.u8(static_cast<std::uint8_t>(sets.neighbor.size()));
  for (const auto* list : {&sets.active, &sets.candidate, &sets.neighbor}) {
    for (std::size_t s : *list) {
      const Pilot* p = m.radio.find(s);
      w.u16(p->pn).u8(static_cast<std::uint8_t>(Clamp(Round(-2.0 * p->ecIoDb), 0, 63))).u8(0);
    }
  }
  return w.take();
}

}  // namespace cdmadiag::gen
