#include "gen_capture.h"

#include <cassert>
#include <cmath>
#include <optional>
#include <vector>

#include "gen_evdo_rev.h"
#include "gen_packets.h"

namespace cdmadiag::gen {

std::uint16_t Crc16(std::span<const std::uint8_t> bytes) {
  std::uint16_t crc = 0xFFFF;
  for (std::uint8_t b : bytes) {
    crc ^= b;
    for (int i = 0; i < 8; ++i) crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0x8408) : crc >> 1;
  }
  return static_cast<std::uint16_t>(~crc);
}

void AppendHdlcFrame(Bytes& out, std::span<const std::uint8_t> frame) {
  const std::uint16_t crc = Crc16(frame);
  const auto put = [&out](std::uint8_t b) {
    if (b == kFrameEnd || b == kEscape) {
      out.push_back(kEscape);
      out.push_back(b ^ kEscapeXor);
    } else {
      out.push_back(b);
    }
  };
  for (std::uint8_t b : frame) put(b);
  put(static_cast<std::uint8_t>(crc));
  put(static_cast<std::uint8_t>(crc >> 8));
  out.push_back(kFrameEnd);
}

Bytes LogRecord(std::uint16_t code, std::uint64_t ticks, std::uint16_t subCount,
                std::span<const std::uint8_t> payload) {
  ByteWriter w;
  w.u16(static_cast<std::uint16_t>(kLogHeaderBytes + payload.size())).u16(code).u16(subCount).u48(ticks);
  w.bytes(payload);
  return w.take();
}

void CaptureWriter::log(std::uint16_t code, std::uint64_t ticks, std::uint16_t subCount,
                        std::span<const std::uint8_t> payload) {
  assert(kLogHeaderBytes + payload.size() <= 0xFFFF);
  ++summary_.logCodes[code];
  const Bytes record = LogRecord(code, ticks, subCount, payload);
  if (log_) log_->write(record);
  if (hdlc_) {
    ByteWriter frame;
    frame.u8(kLogFrame).u8(0).u16(static_cast<std::uint16_t>(record.size())).bytes(record);
    scratch_.clear();
    AppendHdlcFrame(scratch_, frame.view());
    hdlc_->write(scratch_);
  }
}

void CaptureWriter::response(std::span<const std::uint8_t> bytes) {
  assert(!bytes.empty());
  ++summary_.commands[bytes[0]];
  if (hdlc_) {
    scratch_.clear();
    AppendHdlcFrame(scratch_, bytes);
    hdlc_->write(scratch_);
  }
}

Route SampleRoute() { return Route(SampleLoop(), LocalFrame(SampleOrigin())); }

namespace {

constexpr int kStepsPerSecond = 20;  // the car moves and packets fall on 50 ms steps
constexpr std::uint64_t kTicksPerStep = 40;
constexpr std::int64_t kUnixAtGpsEpoch = 315964800;
constexpr std::uint64_t kTicksPerSecond = 800;
constexpr int kSubCountRange = 49152;  // 1/32 chips in 1.25 ms
constexpr std::size_t kMax1xActive = 3;

// The whole simulation: world, car, handset state and the two outputs.
class Drive {
 public:
  Drive(const DriveOptions& options, CaptureWriter& out)
      : options_(options),
        out_(out),
        world_(options.seed),
        car_(options.seed + 1),
        noise_(options.seed + 2),
        sectors_(SampleSectors()),
        route_(SampleRoute()),
        radio_(sectors_, route_.frame(), world_),
        vehicle_(route_, car_),
        t0_(static_cast<std::uint64_t>(options.startUnix - kUnixAtGpsEpoch) * kTicksPerSecond) {}

  void run() {
    const auto steps = static_cast<std::int64_t>(std::llround(options_.minutes * 60.0 * kStepsPerSecond));
    for (std::int64_t step = 0; step < steps; ++step) {
      second_ = static_cast<int>(step / kStepsPerSecond);
      slot_ = static_cast<int>(step % kStepsPerSecond);
      ticks_ = t0_ + static_cast<std::uint64_t>(step) * kTicksPerStep;
      radioValid_ = false;
      schedule();
      vehicle_.advance(1.0 / kStepsPerSecond);
    }
  }
  double driven() const { return vehicle_.along(); }

 private:
  // What is logged in each 50 ms slot of a second. The location records run all
  // the time; the 1x pilot reports during 1x legs (and an idle wake-up every
  // 5 s during EV-DO legs); the EV-DO reports during EV-DO legs.
  void schedule() {
    const int s = second_;
    const bool evdo = (s / options_.legSeconds) % 2 == 1;
    const bool legStart = s % options_.legSeconds == 0;
    switch (slot_) {
      case 0: log(code::kGps3D, Gps3D(moment())); break;
      case 1:
        if (s % 10 == 2) log(code::kGps, GpsInfo(moment()));
        if (s % 10 == 7) log(code::kGpsCait, GpsCait(moment()));
        if (s % 30 == 15) log(code::kEtak, Etak(moment()));
        // Every twelfth fix fails, as under a bridge or among tall buildings.
        if (s % 10 == 4) log(code::kPositionEngine, PositionEngineFix(moment(), pe_, (s / 10) % 12 == 6, noise_));
        break;
      case 2:
        if (s == 0) {
          out_.response(VersionNumberResponse());
          out_.response(ExtBuildIdResponse());
        }
        if (legStart) out_.response(StatusSnapshotResponse(evdo));
        if (s % 60 == 0) out_.response(TimeStampResponse(moment(), subCount()));
        break;
      default: break;
    }
    if (evdo) {
      evdoSlot(s);
    } else {
      oneXSlot(s);
    }
  }

  void oneXSlot(int s) {
    if (slot_ == 3 || slot_ == 13) {
      if (slot_ == 3) sets_.update(moment().radio, kMax1xActive);
      log(code::kFinger, FingerReport(moment(), sets_, noise_));
    } else if (slot_ >= 5 && slot_ <= 10) {
      searcher(s, static_cast<std::size_t>(slot_ - 5));
    } else if (slot_ == 18 && s % 30 == 10) {
      out_.response(PilotSetsResponse(moment(), sets_));
    }
  }

  // One searched pilot per slot: the active set, the first candidate, one
  // neighbour in turn, and every tenth second a pilot of the remaining set.
  void searcher(int s, std::size_t n) {
    std::vector<std::pair<std::size_t, std::uint16_t>> plan;
    for (std::size_t i = 0; i < sets_.active.size(); ++i)
      plan.emplace_back(sets_.active[i], set_bit::kActive | (i == 0 ? 0 : set_bit::kNotRefPilot));
    if (!sets_.candidate.empty())
      plan.emplace_back(sets_.candidate.front(), set_bit::kCandidate | set_bit::kNotRefPilot);
    if (!sets_.neighbor.empty())
      plan.emplace_back(sets_.neighbor[static_cast<std::size_t>(s) % sets_.neighbor.size()],
                        set_bit::kNeighbor | set_bit::kNotRefPilot);
    if (n < plan.size()) {
      const Pilot* p = moment().radio.find(plan[n].first);
      log(code::kSearcher, SearcherReport(p->pn, p->ecIoDb, p->rangeChips, plan[n].second, noise_));
    } else if (n == plan.size() && s % 10 == 9) {
      log(code::kSearcher,
          SearcherReport(unusedPn(s), -INFINITY, 0.0, set_bit::kRemaining | set_bit::kNotRefPilot, noise_));
    }
  }

  // A PN offset that no sector of the drive uses.
  std::uint16_t unusedPn(int s) const {
    auto pn = static_cast<std::uint16_t>(kPilotIncrement * (1 + (s / 10) % 127));
    for (;;) {
      bool used = false;
      for (const Sector& sec : sectors_) used = used || sec.pn == pn;
      if (!used) return pn;
      pn = static_cast<std::uint16_t>((pn + kPilotIncrement) % 512);
    }
  }

  void evdoSlot(int s) {
    link_.diversity = s % options_.legSeconds >= 10;  // the second receive chain comes up late
    switch (slot_) {
      case 4: log(code::kEvdoPower, EvdoPower(moment(), link_, noise_)); break;
      case 6:
      case 16: log(code::kEvdoAirLinkSummary, EvdoAirLinkSummary(moment(), link_, noise_)); break;
      case 8: log(code::kEvdoRevLinkPacketSummary, EvdoRevLinkPacketSummary(moment(), link_, noise_)); break;
      case 12: log(code::kEvdoReversePowerCtrl, EvdoReversePowerCtrl(moment(), link_, noise_)); break;
      case 10:
        if (s % 5 == 0) {
          sets_.update(moment().radio, kMax1xActive);
          log(code::kFinger, FingerReport(moment(), sets_, noise_));
        }
        break;
      default: break;
    }
  }

  const Moment& moment() {
    if (!radioValid_) {
      const Route::Fix fix = vehicle_.fix();
      snapshot_ = radio_.measure(fix.x, fix.y, noise_);
      const double along = vehicle_.along();
      const double altitude = 268.0 + 9.0 * std::sin(along / 900.0) + 4.0 * std::sin(along / 260.0);
      moment_.emplace(Moment{ticks_, static_cast<double>(options_.startUnix) + second_ + slot_ * 0.05,
                             second_ + slot_ * 0.05, fix, vehicle_.speedMph(), altitude, 8 + (second_ / 45) % 4,
                             snapshot_, sectors_});
      radioValid_ = true;
    }
    return *moment_;
  }

  std::uint16_t subCount() { return static_cast<std::uint16_t>(noise_.range(0, kSubCountRange - 1)); }

  void log(std::uint16_t code, const Bytes& payload) { out_.log(code, ticks_, subCount(), payload); }

  const DriveOptions& options_;
  CaptureWriter& out_;
  Rng world_, car_, noise_;
  std::vector<Sector> sectors_;
  Route route_;
  RadioModel radio_;
  Vehicle vehicle_;
  std::uint64_t t0_;
  PilotSets sets_;
  EvdoLink link_;
  PositionEngineState pe_;
  int second_ = 0, slot_ = 0;
  std::uint64_t ticks_ = 0;
  bool radioValid_ = false;
  RadioSnapshot snapshot_;
  std::optional<Moment> moment_;
};

}  // namespace

DriveSummary GenerateDrive(const DriveOptions& options, ByteSink* log, ByteSink* hdlc) {
  DriveSummary summary;
  CaptureWriter out(log, hdlc, summary);
  Drive drive(options, out);
  drive.run();
  summary.routeMetres = SampleRoute().length();
  summary.drivenMetres = drive.driven();
  return summary;
}

}  // namespace cdmadiag::gen
