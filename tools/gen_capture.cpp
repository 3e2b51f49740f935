#include "gen_capture.h"

#include <cassert>
#include <cmath>
#include <optional>
#include <vector>

#include "gen_active_set.h"
#include "gen_connected.h"
#include "gen_evdo_fwd.h"
#include "gen_evdo_pilots.h"
#include "gen_evdo_rev.h"
#include "gen_evdo_rlp.h"
#include "gen_evdo_session.h"
#include "gen_frame_types.h"
#include "gen_generalized_searcher.h"
#include "gen_mediaflo.h"
#include "gen_multicarrier.h"
#include "gen_packets.h"
#include "gen_power_control.h"
#include "gen_reva_forward.h"
#include "gen_reva_mac.h"
#include "gen_rlp_1x.h"
#include "gen_scanner.h"
#include "gen_searcher_info.h"
#include "gen_status_svc.h"
#include "gen_temporal_analyzer.h"

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
constexpr int kMfloSeconds = 6;  // the MediaFLO segment that closes the drive

// The whole simulation: world, car, handset state and the two outputs.
class Drive {
 public:
  Drive(const DriveOptions& options, CaptureWriter& out)
      : options_(options),
        out_(out),
        world_(options.seed),
        car_(options.seed + 1),
        noise_(options.seed + 2),
        mfloRng_(options.seed + 3),
        revaRng_(options.seed + 4),
        rlpRng_(options.seed + 25),
        powerRng_(options.seed + 5),
        frameRng_(options.seed + 0x1029),
        sectors_(SampleSectors()),
        route_(SampleRoute()),
        radio_(sectors_, route_.frame(), world_),
        vehicle_(route_, car_),
        t0_(static_cast<std::uint64_t>(options.startUnix - kUnixAtGpsEpoch) * kTicksPerSecond) {}

  void run() {
    const auto steps = static_cast<std::int64_t>(std::llround(options_.minutes * 60.0 * kStepsPerSecond));
    mfloFrom_ = static_cast<int>((steps - 1) / kStepsPerSecond) + 1 - kMfloSeconds;
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
      case 0:
        log(code::kGps3D, Gps3D(moment()));
        // The scanner runs all drive long, a first-layout scan every fifth second.
        scannerLog(s % 5 == 4 ? code::kScannerTopN : code::kScannerTopNV2,
                   ScannerTopN(moment(), s % 5 == 4, scanner_, scannerRng_));
        if (!evdo && s % 2 == 1) scannerLog(code::kSearcherPathLog, SearcherPathLog(moment(), sets_, scannerRng_));
        break;
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
          log(code::kStatusReport, StatusReport(moment(), moment().sectors.front().pn));
        }
        // Each 1x leg is a call: its service configuration comes with the traffic channel.
        if (legStart && !evdo) {
          log(code::kServiceConfigVer2, ServiceConfigVer2());
          log(code::kServiceConfig, ServiceConfig());
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
    if (s >= mfloFrom_) mfloSlot(s);
  }

  void oneXSlot(int s) {
    if (slot_ == 3 || slot_ == 13) {
      if (slot_ == 3) sets_.update(moment().radio, kMax1xActive);
      log(code::kFinger, FingerReport(moment(), sets_, noise_));
      if (slot_ == 3 && sets_.active != reportedActive_) {
        reportedActive_ = sets_.active;
        log(code::kActiveSetInfoVer2, ActiveSetInfoVer2(moment(), sets_));
      }
      rlp(s);
    } else if (slot_ >= 5 && slot_ <= 10) {
      searcher(s, static_cast<std::size_t>(slot_ - 5));
    } else if (slot_ == 18 && s % 30 == 10) {
      out_.response(PilotSetsResponse(moment(), sets_));
    } else if (slot_ == 15 || (slot_ == 17 && s % 5 == 0)) {
      temporalAnalyzer(s, slot_ == 17);
    } else if (slot_ == 11) {
      searcherInfo(s);
      frameTypes(s);
      if (s % 2 == 0) log(code::kSparseAgc, SparseAgcReport(moment(), power_, powerRng_));
    } else if (slot_ == 12) {
      log(code::kRevPowerControl, RevPowerControlReport(moment(), power_, powerRng_));
    } else if (slot_ == 19) {
      nextGenSearcher(s);
    }
  }

  // The searcher-and-finger information walks the active pilots, in the first layout on
  // even seconds and the second on odd ones (with transmit diversity every other time).
  void searcherInfo(int s) {
    if (sets_.active.empty()) return;
    const std::size_t i = static_cast<std::size_t>(s / 2) % sets_.active.size();
    const std::uint16_t bits = set_bit::kActive | (i == 0 ? 0 : set_bit::kNotRefPilot);
    if (s % 2 == 0) {
      log(code::kSearcherFingerInfo, GenSearcherFingerInfo(moment(), sets_, sets_.active[i], bits, info_, noise_));
    } else {
      log(code::kSearcherFingerInfoVer2,
          GenSearcherFingerInfoVer2(moment(), sets_, sets_.active[i], bits, s % 4 == 1, info_, noise_));
    }
  }

  // The next-generation finger and searcher reports alternate by second, the searcher
  // taking the active pilots in turn; every tenth second a Searcher4 report instead.
  void nextGenSearcher(int s) {
    if (sets_.active.empty()) return;
    if (s % 10 == 5) {
      log(code::kSearcher4_1X, Searcher4Report(moment(), sets_, noise_));
    } else if (s % 2 == 0) {
      log(code::kTngFingerStatus, TngFingerStatus(moment(), sets_, noise_));
    } else {
      const std::size_t sector = sets_.active[static_cast<std::size_t>(s / 2) % sets_.active.size()];
      log(code::kTng1XSearcher, Tng1XSearcher(moment(), sector, 1, noise_));
    }
  }

  // Half a second of traffic frames each second, forward and reverse in turn; every
  // tenth second a Markov test block.
  void frameTypes(int s) {
    if (s % 2 == 0) {
      log(code::kForwardFrameType, ForwardFrameType(moment(), sets_, frameRng_));
    } else {
      log(code::kReverseFrameType, ReverseFrameType(frameRng_));
    }
    if (s % 10 == 5) log(code::kMarkovStats, MarkovStats(moment(), sets_, frameRng_));
  }

  // A data session runs through the middle of each 1x leg: the statistics every
  // second after the finger report, the frame logs of the two directions in turn
  // half a second later. Their packets draw nothing from the drive's generators.
  void rlp(int s) {
    const int k = s % options_.legSeconds;
    const int margin = options_.legSeconds / 12;
    if (k < margin || k >= options_.legSeconds - margin) {
      rlp_.open = false;
      return;
    }
    const auto dataLog = [this](std::uint16_t code, const Bytes& payload) {
      out_.log(code, ticks_, static_cast<std::uint16_t>(ticks_ * 7919 % kSubCountRange), payload);
    };
    if (slot_ == 3) {
      OpenRlpSession(moment(), rlp_);
      dataLog(code::kRlpStats, RlpStatistics(moment(), sets_, rlp_));
    } else if (rlp_.open) {
      dataLog(s % 2 == 0 ? code::kRlpRxFrames : code::kRlpTxFrames, RlpFrames(moment(), rlp_, s % 2 == 0));
    }
  }

  // The temporal analyzer searches the active pilots in turn, and the first candidate
  // every fourth second; every fifth second a report carries the supplemental channels.
  void temporalAnalyzer(int s, bool supplemental) {
    if (sets_.active.empty()) return;
    std::size_t sector = sets_.active[static_cast<std::size_t>(s) % sets_.active.size()];
    std::uint16_t bits = set_bit::kActive;
    if (s % 4 == 3 && !sets_.candidate.empty()) {
      sector = sets_.candidate.front();
      bits = set_bit::kCandidate | set_bit::kNotRefPilot;
    }
    if (supplemental) {
      log(code::kGenTaSup, GenTaSupReport(moment(), sets_, sector, bits, ta_, 1 + (s / 5) % 2, noise_));
    } else {
      log(code::kGenTa, GenTaReport(moment(), sets_, sector, bits, ta_, noise_));
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
    if (s % options_.legSeconds == 0 && slot_ == 0) legTicks_ = ticks_;
    switch (slot_) {
      case 0:
        if (s % options_.legSeconds == 0) forward_ = {};  // a new connection starts its counters afresh
        break;
      case 4: log(code::kEvdoPower, EvdoPower(moment(), link_, noise_)); break;
      case 5:
        if (multicarrierLeg(s)) log(code::kMultiCarrierPower, MultiCarrierPower(moment(), link_));
        break;
      case 6:
      case 16: log(code::kEvdoAirLinkSummary, EvdoAirLinkSummary(moment(), link_, noise_)); break;
      case 7:
        if (multicarrierLeg(s)) log(code::kMCAirLinkSummary, MCAirLinkSummary(moment(), link_));
        break;
      case 8:
        log(code::kEvdoFinger2, EvdoFinger2(moment(), link_, noise_));
        log(code::kEvdoRevLinkPacketSummary, EvdoRevLinkPacketSummary(moment(), link_, noise_));
        break;
      case 10:
        if (s % 5 == 0) {
          sets_.update(moment().radio, kMax1xActive);
          log(code::kFinger, FingerReport(moment(), sets_, noise_));
          log(code::kQuickPagingVer2, QuickPagingInfoVer2(moment(), sets_, static_cast<std::uint16_t>(s / 5 % 2048)));
        }
        break;
      case 12:
        if (s % 2 == 0) log(code::kEvdoPilotSets2, EvdoPilotSets2(moment(), link_));
        log(code::kEvdoForwardStatsSummary, EvdoForwardStatsSummary(moment(), link_, forward_, noise_));
        log(code::kEvdoReversePowerCtrl, EvdoReversePowerCtrl(moment(), link_, noise_));
        break;
      case 14: log(code::kEvdoSearcherType2, EvdoSearcherType2(moment(), link_, noise_)); break;
      case 17: log(code::kRevARLGains, RevARLGains(moment(), link_)); break;
      case 18:
        revaLog(code::kRevASUFwdStats, RevASUFwdStats(moment(), link_, revaFwd_, revaRng_));
        if (s % 2 == 1) log(code::kEvdoEqualizerData, EvdoEqualizerData(moment(), link_, noise_));
        break;
      case 19:
        if (s % 2 == 1) {
          log(code::kRevARMAC3PacketInfo, RevARMAC3PacketInfo(moment()));
          revaLog(code::kRevAMUFwdStats, RevAMUFwdStats(revaFwd_, revaRng_));
        } else {
          revaLog(code::kRevAMUPUserStats, RevAMUPUserStats(revaFwd_, revaRng_));
        }
        evdoSignalling(s);
        // The connection opened at the leg's start closes at its end.
        if (s % options_.legSeconds == options_.legSeconds - 1)
          log(code::kEvdoConnectionTermination, EvdoConnectionTermination(moment(), legTicks_, connections_));
        break;
      default: break;
    }
    rlpSlot(s);
  }

  // The data session of an EV-DO leg, from its connection to its release: the RLP
  // statistics every second (in a slot whose moment is drawn anyway), a partial RLP
  // log every second (received and transmitted in turn), and the multi-flow
  // statistics and packet logs every five seconds.
  void rlpSlot(int s) {
    const int k = s % options_.legSeconds;
    if (k == 0 && slot_ == 0) ResetEvdoRlpSession(evdoRlp_, ticks_);
    if (k < 3 || k >= options_.legSeconds - 2) return;
    switch (slot_) {
      case 4: rlpLog(code::kEvdoRlpStatistics, EvdoRlpStatistics(moment(), link_, evdoRlp_, rlpRng_)); break;
      case 7:
        rlpLog(s % 2 == 0 ? code::kEvdoRxPartialRlp : code::kEvdoTxPartialRlp,
               EvdoPartialRlp(s % 2 == 0, evdoRlp_, rlpRng_));
        break;
      case 9:
        if (s % 5 == 1) rlpLog(code::kEnhMrlpFwdStats, EnhMrlpStats(true, evdoRlp_));
        if (s % 5 == 3) rlpLog(code::kEnhMrlpRevStats, EnhMrlpStats(false, evdoRlp_));
        break;
      case 13:
        if (s % 5 == 2) rlpLog(code::kEnhMrlpRxPkts, EnhMrlpPkts(evdoRlp_, rlpRng_));
        if (s % 5 == 4) rlpLog(code::kEnhMrlpTxPkts, EnhMrlpPkts(evdoRlp_, rlpRng_));
        break;
      default: break;
    }
  }

  // The RLP packets draw on their own generator, so the rest of the drive stays as it was.
  void rlpLog(std::uint16_t code, const Bytes& payload) {
    out_.log(code, ticks_, static_cast<std::uint16_t>(rlpRng_.range(0, kSubCountRange - 1)), payload);
  }

  // The first EV-DO leg's connection runs on two carriers.
  bool multicarrierLeg(int s) const { return s / options_.legSeconds == 1; }

  // Each EV-DO leg opens a session, connects (the first leg's first access attempt
  // goes unanswered) and closes the connection just before it hands back to 1x.
  void evdoSignalling(int s) {
    const int k = s % options_.legSeconds;
    if (k == 0) log(code::kEvdoSessionAttempt2, EvdoSessionAttempt2(moment(), link_, signalling_));
    if (k == 1 && s / options_.legSeconds == 1) {
      log(code::kEvdoAccessAttempt, EvdoAccessAttempt(moment(), link_, signalling_, false));
    }
    if (k == 2) {
      log(code::kEvdoAccessAttempt, EvdoAccessAttempt(moment(), link_, signalling_, true));
      log(code::kEvdoConnectionAttempt, EvdoConnectionAttempt(moment(), link_, signalling_));
    }
    if (k == options_.legSeconds - 2) log(code::kEvdoConnectionRelease, EvdoConnectionRelease(1));
  }

  // The Rev A statistics draw on their own generator, so the rest of the drive stays as it was.
  void revaLog(std::uint16_t code, const Bytes& payload) {
    out_.log(code, ticks_, static_cast<std::uint16_t>(revaRng_.range(0, kSubCountRange - 1)), payload);
  }

  // The scanner and the path log draw on their own generator, so the rest of the drive
  // stays as it was without them.
  void scannerLog(std::uint16_t code, const Bytes& payload) {
    out_.log(code, ticks_, static_cast<std::uint16_t>(scannerRng_.range(0, kSubCountRange - 1)), payload);
  }

  // The broadcast receiver draws on its own generator, so the rest of the drive
  // stays as it was without it.
  void mfloSlot(int s) {
    switch (slot_) {
      case 11:
        if (s == mfloFrom_) mfloLog(code::kMfloBoundStreams, MfloBoundStreams());
        break;
      case 12:
      case 17: mfloLog(code::kMfloRssi, MfloRssi(mflo_, mfloRng_)); break;
      case 14: mfloLog(code::kMfloOisPlpStats, MfloOisPlpStats(mflo_, mfloRng_)); break;
      case 15:
        for (std::size_t f = 0; f < kMfloFlows; ++f) {
          mfloLog(code::kMfloMlcPlpStatsPost, MfloMlcPlpStatsPost(mflo_, f, mfloRng_));
          mfloLog(code::kMfloStreamPlpStats, MfloStreamPlpStats(mflo_, f));
        }
        break;
      default: break;
    }
  }

  void mfloLog(std::uint16_t code, const Bytes& payload) {
    out_.log(code, ticks_, static_cast<std::uint16_t>(mfloRng_.range(0, kSubCountRange - 1)), payload);
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
  Rng world_, car_, noise_, mfloRng_, revaRng_, rlpRng_, powerRng_;
  Rng frameRng_;  // its own stream, so the frame reports leave the others' draws alone
  std::vector<Sector> sectors_;
  Route route_;
  RadioModel radio_;
  Vehicle vehicle_;
  std::uint64_t t0_;
  PilotSets sets_;
  std::vector<std::size_t> reportedActive_;  // the active set of the last active-set report
  EvdoLink link_;
  EvdoSignalling signalling_;
  RevAForwardCounters revaFwd_;
  ConnectionCounts connections_;
  std::uint64_t legTicks_ = 0;
  MfloLink mflo_;
  int mfloFrom_ = 0;
  ForwardStats forward_;
  RlpSession rlp_;
  EvdoRlpSession evdoRlp_;
  TaLoop ta_;
  SearcherInfoLoop info_;
  PowerLoop power_;
  PositionEngineState pe_;
  int second_ = 0, slot_ = 0;
  std::uint64_t ticks_ = 0;
  bool radioValid_ = false;
  Rng scannerRng_{options_.seed + 16};
  ScannerState scanner_;
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
