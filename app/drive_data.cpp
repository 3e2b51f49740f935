#include "drive_data.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "framework/attributes.h"
#include "record_reader.h"
#include "text_convert.h"

namespace cdmadiag {
namespace {

const std::array<MeasureInfo, kMeasureCount> kMeasures = {{
    {Measure::kEcIo, "ecio", "1x best Ec/Io", "dB", {&ATTR_ID_1ST_PILOT_EcIo, nullptr}, 1.0},
    {Measure::kActiveSet, "aset", "1x active set", "pilots", {&ATTR_ID_NUM_ACTIVE_PILOTS, nullptr}, 1.0},
    {Measure::kRx, "rx", "1x Rx power", "dBm", {&ATTR_ID_CDMA_MOBILE_RX_POWER, nullptr}, 1.0},
    {Measure::kTx, "tx", "1x Tx power", "dBm", {&ATTR_ID_CDMA_MOBILE_TX_POWER, nullptr}, 1.0},
    {Measure::kFer, "fer", "1x FCH FER", "%", {&ATTR_ID_ForwardFER_FCH, nullptr}, 1.0},
    // Rank 0 of the filtered active-set SINRs: the best pilot, single or multicarrier.
    {Measure::kSinr,
     "sinr",
     "EV-DO best SINR",
     "dB",
     {&ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL1_BEST_ASP_FILTERED_SINR_FOR_PN,
      &ATTR_ID_EVDO_MCAIRLINKSUMMARY_BEST_ASP_SINR_C1},
     1.0},
    {Measure::kPer,
     "per",
     "EV-DO PER",
     "%",
     {&ATTR_ID_EVDO_AIRLINKSUMMARY_AVG_PER_INST, &ATTR_ID_RevASUFwdStats_TC_PacketErrorRateInstantaneous},
     1.0},
    {Measure::kDrc,
     "drc",
     "EV-DO DRC rate",
     "kbps",
     {&ATTR_ID_EVDO_AIRLINKSUMMARY_DATA_RATE_REQ_SHORT_TERM_LAST, nullptr},
     0.001},
    {Measure::kThroughput,
     "tput",
     "EV-DO forward throughput",
     "kbps",
     {&ATTR_ID_EVDO_FWDSTATSUMMARY_TCH_AVGTPUT_INST, &ATTR_ID_RevASUFwdStats_TC_Rx_Throughput_Instantaneous},
     1.0},
    {Measure::kRlp,
     "rlp",
     "EV-DO RLP Rx throughput",
     "kbps",
     {&ATTR_ID_EVDO_RLP_Rx_Throughput_Instantaneous, nullptr},
     1.0},
    {Measure::kDoRx, "dorx", "EV-DO Rx power", "dBm", {&ATTR_ID_EVDO_POWER_RXAGC0, nullptr}, 1.0},
    {Measure::kDoTx, "dotx", "EV-DO Tx power", "dBm", {&ATTR_ID_EVDO_POWER_TXTOTAL_POWER, nullptr}, 1.0},
}};

constexpr std::uint8_t kConnectionSuccess = 15;

std::string pn_list(const std::vector<std::uint32_t>& pns) {
  std::string s;
  for (const std::uint32_t pn : pns) s += (s.empty() ? "" : " ") + std::to_string(pn);
  return s.empty() ? "none" : s;
}

}  // namespace

const std::array<MeasureInfo, kMeasureCount>& measures() { return kMeasures; }

const MeasureInfo& info(Measure m) { return kMeasures[static_cast<std::size_t>(m)]; }

std::optional<Measure> measure_by_key(std::string_view key) {
  for (const MeasureInfo& i : kMeasures) {
    if (key == i.key) return i.m;
  }
  return std::nullopt;
}

const char* event_kind_name(EventKind k) {
  switch (k) {
    case EventKind::kAttempt: return "attempt";
    case EventKind::kRelease: return "release";
    case EventKind::kHandoff: return "handoff";
    case EventKind::kFailure: return "failure";
  }
  return "";
}

double distance_m(double lat1, double lon1, double lat2, double lon2) {
  constexpr double kRadius = 6371008.8;
  constexpr double kRad = std::numbers::pi / 180.0;
  const double dlat = (lat2 - lat1) * kRad;
  const double dlon = (lon2 - lon1) * kRad;
  const double a = std::sin(dlat / 2) * std::sin(dlat / 2) +
                   std::cos(lat1 * kRad) * std::cos(lat2 * kRad) * std::sin(dlon / 2) * std::sin(dlon / 2);
  return 2 * kRadius * std::asin(std::sqrt(std::min(1.0, a)));
}

DriveCollector::DriveCollector() {
  for (const MeasureInfo& i : kMeasures) {
    for (const std::uint32_t* id : i.attrs) {
      if (id != nullptr) by_id_[*id] = {i.m, i.scale};
    }
  }
}

void DriveCollector::event(std::optional<double> time, EventKind kind, std::string text) {
  if (time) events_.push_back({*time, kind, std::move(text)});
}

void DriveCollector::packet(const PacketView& p) {
  DriveSummary& s = summary_;
  ++s.packets;
  const char* cls = p.response ? "response" : class_name(p.cls);
  if (!p.known) {
    ++s.unknown_codes;
  } else if (p.response) {
    ++s.responses;
  } else if (p.cls == PacketClass::kEvdo) {
    ++s.packets_evdo;
  } else {
    ++s.packets_1x;
  }
  if (p.known && p.msg->notDecoded) ++s.not_decoded;
  if (p.error != nullptr) ++s.decoder_errors;
  if (!p.diagnostic().empty()) ++s.decode_failures;
  if (p.decoded()) ++s.decoded;
  const std::uint32_t code = p.response ? p.command : p.code;
  CodeCount& cc = s.codes[{cls, code}];
  if (cc.packets++ == 0) cc.title = cp1252_to_utf8(p.msg->title);
  if (s.files.size() <= p.file) s.files.resize(p.file + 1);
  if (s.files[p.file].empty()) s.files[p.file] = std::string(p.file_name);

  // Distance over every fix, before any thinning.
  if (p.fix != nullptr && (!last_fix_seq_ || *last_fix_seq_ != p.fix->seq)) {
    if (last_fix_seq_) s.distance_m += distance_m(last_lat_, last_lon_, p.fix->latitude, p.fix->longitude);
    last_fix_seq_ = p.fix->seq;
    last_lat_ = p.fix->latitude;
    last_lon_ = p.fix->longitude;
  }

  SecondBin* bin = nullptr;
  std::optional<double> time;
  // A stray stamp would stretch the drive over years: such packets count, but place nothing in time.
  if (p.time_ms && !p.time_suspect) {
    time = static_cast<double>(*p.time_ms) / 1000.0;
    s.first_time = std::min(s.first_time.value_or(*time), *time);
    s.last_time = std::max(s.last_time.value_or(*time), *time);
    // Floor, so that times before 1970 still bin by whole seconds.
    const std::int64_t ms = *p.time_ms;
    const std::int64_t sec = ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
    bin = &seconds_[sec];
    (p.cls == PacketClass::kEvdo ? bin->packets_evdo : bin->packets_1x)++;
    bin->seq = p.seq;
    // A stale fix (over 10 s old) does not place the second.
    if (p.fix != nullptr && p.fix->age_ms.value_or(0) <= 10000) {
      bin->have_fix = true;
      bin->latitude = p.fix->latitude;
      bin->longitude = p.fix->longitude;
    }
  } else {
    ++s.without_time;
  }
  measure(p, bin, time.value_or(0.0));
}

void DriveCollector::measure(const PacketView& p, SecondBin* bin, double time) {
  const std::optional<double> t = bin != nullptr ? std::optional<double>(time) : std::nullopt;
  std::vector<std::uint32_t> evdo_active;
  bool evdo_sets = false;
  for (const WriteRecord& w : p.writes) {
    if (w.id == ATTR_ID_EVDO_PILOTSETSVER2_ACTIVE_PILOTS_ECIO_FOR_PN) {
      evdo_sets = true;
      if (w.op != WriteOp::kSetNoValue) evdo_active.push_back(w.index);
      continue;
    }
    const std::optional<double> v = finite_number(w);
    if (!v) continue;
    if (w.id == ATTR_ID_EVDO_CONNECTIONATTEMPT_RESULT) {
      event(t, EventKind::kAttempt, "EV-DO connection attempt");
      if (*v != kConnectionSuccess)
        event(t, EventKind::kFailure, fmt::format("EV-DO connection attempt failed (result {})", *v));
    } else if (w.id == ATTR_ID_EVDO_CONNECTIONRELEASE_REASON) {
      event(t, EventKind::kRelease, fmt::format("EV-DO connection release (reason {})", *v));
    } else if (w.id == ATTR_ID_ConnStatsTerm_LastCallReleaseReason) {
      event(t, EventKind::kRelease, fmt::format("EV-DO connection termination (reason {})", *v));
    } else if (w.id == ATTR_ID_EVDO_ACCESSATTEMPT_FAILED && *v != 0) {
      event(t, EventKind::kFailure, "EV-DO access attempt failed");
    } else if (w.id == ATTR_ID_NUM_ACTIVE_PILOTS) {
      const auto n = static_cast<std::int64_t>(*v);
      if (aset_1x_ && *aset_1x_ != n)
        event(t, EventKind::kHandoff, fmt::format("1x active set {} to {} pilots", *aset_1x_, n));
      aset_1x_ = n;
    } else if (bin != nullptr && w.index == 0 && w.id == ATTR_ID_1ST_PILOT_PN) {
      bin->serving_pn_1x = static_cast<int>(*v);
    } else if (bin != nullptr && w.index == 0 &&
               (w.id == ATTR_ID_EVDO_FINGERDATAVER2_PN_FOR_BEST_CTOI ||
                w.id == ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL1_PN_FOR_BEST_ASP_FILTERED_SINR)) {
      bin->serving_pn_evdo = static_cast<int>(*v);
    }
    if (bin == nullptr || w.index != 0) continue;
    const auto it = by_id_.find(w.id);
    if (it == by_id_.end()) continue;
    const auto i = static_cast<std::size_t>(it->second.first);
    bin->sum[i] += *v * it->second.second;
    ++bin->count[i];
  }
  if (evdo_sets) {
    std::sort(evdo_active.begin(), evdo_active.end());
    if (!aset_evdo_.empty() && !evdo_active.empty() && evdo_active != aset_evdo_) {
      event(t, EventKind::kHandoff,
            fmt::format("EV-DO active set {} to {}", pn_list(aset_evdo_), pn_list(evdo_active)));
    }
    if (!evdo_active.empty()) aset_evdo_ = std::move(evdo_active);
  }
}

}  // namespace cdmadiag
