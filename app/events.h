#pragma once
// The events of a drive, as the decoded packets show them: active-set changes (PNs added
// and removed, so a same-size swap counts), connection attempts and their results,
// releases with their reason, access and session attempts, pages. SQLite's `events`,
// `cdmadiag events`, Python's events() and the report read them.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/measurements.h"
#include "packet.h"

namespace cdmadiag {

enum class EventKind : std::uint8_t {
  kActiveSet,          // the active set's PNs changed
  kConnectionAttempt,  // EV-DO connection attempt, successful
  kConnectionFailure,  // EV-DO connection attempt that failed
  kRelease,            // EV-DO connection released or terminated
  kAccessFailure,      // EV-DO access attempt without success
  kSessionAttempt,     // EV-DO session (UATI) attempt
  kPage,               // EV-DO page received
  kServiceOption,      // 1x service option changed (a call set up or changed)
};
inline constexpr std::size_t kEventKindCount = 8;
const char* event_kind_name(EventKind k);  // "active_set", "connection_attempt", ...

struct DriveEvent {
  std::uint32_t device = 0;
  std::uint32_t seq = 0;
  std::optional<std::int64_t> time_ms;  // UTC; the last good time for a packet without one
  std::optional<Fix> fix;
  Tech tech = Tech::k1x;
  EventKind kind = EventKind::kActiveSet;
  std::vector<std::uint32_t> added;    // PNs that joined the active set
  std::vector<std::uint32_t> removed;  // PNs that left it
  std::optional<std::int64_t> code;    // result, reason or service option
  std::string details;                 // for people: "PN 12 added, PN 36 removed"
  bool failure = false;                // the event is a failure (failed attempt, access failure)
};

class EventDetector {
 public:
  EventDetector();
  // reader: what the catalogue read of this packet (SecondsTable::last_packet()).
  void packet(const PacketView& p, const MeasurementReader& reader);
  const std::vector<DriveEvent>& events() const { return events_; }

 private:
  struct DeviceState {
    std::optional<std::vector<std::uint32_t>> aset_1x;
    std::optional<std::vector<std::uint32_t>> aset_evdo;
    std::optional<double> service_option;
    std::optional<std::int64_t> last_time_ms;
  };
  DriveEvent& add(const PacketView& p, Tech tech, EventKind kind);
  void active_set(const PacketView& p, Tech tech, const std::vector<std::uint32_t>& now,
                  std::optional<std::vector<std::uint32_t>>& before);

  std::vector<DriveEvent> events_;
  std::vector<DeviceState> devices_;
  std::optional<std::size_t> aset_1x_, aset_evdo_, service_option_;
};

}  // namespace cdmadiag
