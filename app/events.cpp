#include "events.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "framework/attributes.h"

namespace cdmadiag {
namespace {

constexpr std::int64_t kConnectionSuccess = 15;
// Access attempt results: 1 ACAck received, 2 TCA received are success.
constexpr std::int64_t kAccessNoAck = 0;
constexpr std::int64_t kAccessProbeInterrupted = 3;

// Results, reasons and service options are small whole numbers; a value no 64-bit integer
// holds (a corrupt packet's) is none, never a cast out of range.
std::optional<std::int64_t> as_code(double v) {
  if (!(std::fabs(v) < 0x1p62)) return std::nullopt;
  return static_cast<std::int64_t>(v);
}

std::string pn_text(const std::vector<std::uint32_t>& pns) {
  std::string s;
  for (const std::uint32_t pn : pns) s += fmt::format("{}{}", s.empty() ? "" : " ", pn);
  return s;
}

}  // namespace

const char* event_kind_name(EventKind k) {
  switch (k) {
    case EventKind::kActiveSet: return "active_set";
    case EventKind::kConnectionAttempt: return "connection_attempt";
    case EventKind::kConnectionFailure: return "connection_failure";
    case EventKind::kRelease: return "release";
    case EventKind::kAccessFailure: return "access_failure";
    case EventKind::kSessionAttempt: return "session_attempt";
    case EventKind::kPage: return "page";
    case EventKind::kServiceOption: return "service_option";
  }
  return "";
}

EventDetector::EventDetector()
    : aset_1x_(measurement_index("cdma_active_set_pns")),
      aset_evdo_(measurement_index("evdo_active_set_pns")),
      service_option_(measurement_index("cdma_service_option")) {}

DriveEvent& EventDetector::add(const PacketView& p, Tech tech, EventKind kind) {
  DriveEvent& e = events_.emplace_back();
  e.device = p.device;
  e.seq = p.seq;
  e.time_ms = p.time_ms && !p.time_suspect ? p.time_ms : devices_[p.device].last_time_ms;
  if (p.fix != nullptr) e.fix = *p.fix;
  e.tech = tech;
  e.kind = kind;
  return e;
}

void EventDetector::active_set(const PacketView& p, Tech tech, const std::vector<std::uint32_t>& now,
                               std::optional<std::vector<std::uint32_t>>& before) {
  // An empty report says nothing of the set (no pilot acquired yet, or a packet that
  // lists none): it neither starts nor ends one.
  if (now.empty()) return;
  if (before && *before != now) {
    DriveEvent& e = add(p, tech, EventKind::kActiveSet);
    std::set_difference(now.begin(), now.end(), before->begin(), before->end(), std::back_inserter(e.added));
    std::set_difference(before->begin(), before->end(), now.begin(), now.end(), std::back_inserter(e.removed));
    e.details = fmt::format("active set {} to {}", pn_text(*before), pn_text(now));
  }
  before = now;
}

void EventDetector::packet(const PacketView& p, const MeasurementReader& reader) {
  if (devices_.size() <= p.device) devices_.resize(std::size_t{p.device} + 1);
  DeviceState& d = devices_[p.device];
  if (aset_1x_ && reader.has(*aset_1x_)) active_set(p, Tech::k1x, reader.list(*aset_1x_), d.aset_1x);
  if (aset_evdo_ && reader.has(*aset_evdo_)) active_set(p, Tech::kEvdo, reader.list(*aset_evdo_), d.aset_evdo);
  if (service_option_ && reader.has(*service_option_)) {
    const double so = reader.value(*service_option_);
    if (d.service_option && *d.service_option != so) {
      DriveEvent& e = add(p, Tech::k1x, EventKind::kServiceOption);
      e.code = as_code(so);
      e.details = fmt::format("service option {} to {}", *d.service_option, so);
    }
    d.service_option = so;
  }
  for (const WriteRecord& w : p.writes) {
    const std::optional<double> v = finite_number(w);
    const std::optional<std::int64_t> c = v ? as_code(*v) : std::nullopt;
    if (!c || w.index != 0) continue;
    const std::int64_t code = *c;
    if (w.id == ATTR_ID_EVDO_CONNECTIONATTEMPT_RESULT) {
      const bool ok = code == kConnectionSuccess;
      DriveEvent& e = add(p, Tech::kEvdo, ok ? EventKind::kConnectionAttempt : EventKind::kConnectionFailure);
      e.code = code;
      e.failure = !ok;
      e.details = ok ? "connection attempt: success" : fmt::format("connection attempt failed: result {}", code);
    } else if (w.id == ATTR_ID_EVDO_CONNECTIONRELEASE_REASON) {
      DriveEvent& e = add(p, Tech::kEvdo, EventKind::kRelease);
      e.code = code;
      e.details = fmt::format("connection released: reason {}", code);
    } else if (w.id == ATTR_ID_ConnStatsTerm_LastCallReleaseReason) {
      DriveEvent& e = add(p, Tech::kEvdo, EventKind::kRelease);
      e.code = code;
      e.details = fmt::format("connection terminated: reason {}", code);
    } else if (w.id == ATTR_ID_EVDO_ACCESSATTEMPT_RESULT &&
               (code == kAccessNoAck || code == kAccessProbeInterrupted)) {
      DriveEvent& e = add(p, Tech::kEvdo, EventKind::kAccessFailure);
      e.code = code;
      e.failure = true;
      e.details = code == kAccessNoAck ? "access attempt: no ACAck" : "access attempt: probe interrupted";
    } else if (w.id == ATTR_ID_EVDO_SESSIONATTEMPT_RESULT || w.id == ATTR_ID_EVDO_SESSIONATTEMPTVER2_RESULT) {
      DriveEvent& e = add(p, Tech::kEvdo, EventKind::kSessionAttempt);
      e.code = code;
      e.failure = code != 0;
      e.details = code == 0 ? "session attempt: UATI assigned" : fmt::format("session attempt failed: result {}", code);
    } else if (w.id == ATTR_ID_EVDO_PAGEMSG_PN) {
      DriveEvent& e = add(p, Tech::kEvdo, EventKind::kPage);
      e.code = code;
      e.details = fmt::format("page from PN {}", code);
    }
  }
  if (p.time_ms && !p.time_suspect) d.last_time_ms = p.time_ms;
}

}  // namespace cdmadiag
