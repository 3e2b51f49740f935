#pragma once
// A drive as the report and the map formats see it: the chosen measurements binned per
// second of packet time, the route (one position per second), events and the counts of
// the summary, collected from the packets of one run.
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "output_sink.h"

namespace cdmadiag {

enum class Measure : std::uint8_t {
  kEcIo,        // 1x best-pilot Ec/Io, dB
  kActiveSet,   // 1x active set size
  kRx,          // 1x receive power, dBm
  kTx,          // 1x transmit power, dBm
  kFer,         // 1x forward FCH FER, %
  kSinr,        // EV-DO best active-pilot SINR, dB
  kPer,         // EV-DO forward PER, %
  kDrc,         // EV-DO requested DRC rate, kbps
  kThroughput,  // EV-DO forward traffic throughput, kbps
  kRlp,         // EV-DO RLP receive throughput, kbps
  kDoRx,        // EV-DO receive power, dBm
  kDoTx,        // EV-DO total transmit power, dBm
};
inline constexpr std::size_t kMeasureCount = 12;

struct MeasureInfo {
  Measure m;
  const char* key;    // property name in GeoJSON/KML, --colour-by value
  const char* label;  // for people
  const char* unit;
  std::array<const std::uint32_t*, 2> attrs;  // written by the decoders; index 0 only
  double scale;                               // attribute unit to `unit`
};
const std::array<MeasureInfo, kMeasureCount>& measures();
const MeasureInfo& info(Measure m);
std::optional<Measure> measure_by_key(std::string_view key);

enum class EventKind : std::uint8_t { kAttempt, kRelease, kHandoff, kFailure };
inline constexpr std::size_t kEventKindCount = 4;
const char* event_kind_name(EventKind k);

struct DriveEvent {
  double time = 0.0;  // seconds since 1970
  EventKind kind = EventKind::kAttempt;
  std::string text;
};

// One second of packet time.
struct SecondBin {
  std::array<double, kMeasureCount> sum{};
  std::array<std::uint32_t, kMeasureCount> count{};
  std::uint32_t packets_1x = 0;
  std::uint32_t packets_evdo = 0;
  bool have_fix = false;
  double latitude = 0.0;  // the last fix known within the second
  double longitude = 0.0;
  std::uint32_t seq = 0;  // last packet of the second
  int serving_pn_1x = -1;
  int serving_pn_evdo = -1;

  std::optional<double> mean(Measure m) const {
    const auto i = static_cast<std::size_t>(m);
    if (count[i] == 0) return std::nullopt;
    return sum[i] / count[i];
  }
  bool evdo_leg() const { return packets_evdo > packets_1x; }
};

struct CodeCount {
  std::string title;  // UTF-8
  std::uint64_t packets = 0;
};

struct DriveSummary {
  std::uint64_t packets = 0;
  std::uint64_t packets_1x = 0;  // log records of the 1x dispatcher
  std::uint64_t packets_evdo = 0;
  std::uint64_t responses = 0;
  std::uint64_t decoded = 0;  // known and taken by a written decoder (failures included)
  std::uint64_t not_decoded = 0;
  std::uint64_t unknown_codes = 0;  // log records or responses no dispatcher knows
  std::uint64_t decoder_errors = 0;
  std::uint64_t decode_failures = 0;  // kept by the EV-DO guards
  std::uint64_t framing_errors = 0;
  std::uint64_t without_time = 0;  // responses and stray stamps
  std::optional<double> first_time;
  std::optional<double> last_time;
  double distance_m = 0.0;
  // key: class ("1x", "evdo", "response") and code
  std::map<std::pair<std::string, std::uint32_t>, CodeCount> codes;
  std::vector<std::string> files;
};

// Great-circle distance on the mean earth sphere.
double distance_m(double lat1, double lon1, double lat2, double lon2);

class DriveCollector {
 public:
  DriveCollector();
  void packet(const PacketView& p);
  void framing_error() { ++summary_.framing_errors; }

  const std::map<std::int64_t, SecondBin>& seconds() const { return seconds_; }
  const std::vector<DriveEvent>& events() const { return events_; }
  const DriveSummary& summary() const { return summary_; }

 private:
  void measure(const PacketView& p, SecondBin* bin, double time);
  void event(std::optional<double> time, EventKind kind, std::string text);

  std::map<std::uint32_t, std::pair<Measure, double>> by_id_;  // attribute id -> measure, scale
  std::map<std::int64_t, SecondBin> seconds_;
  std::vector<DriveEvent> events_;
  DriveSummary summary_;
  std::optional<std::uint32_t> last_fix_seq_;
  double last_lat_ = 0.0;
  double last_lon_ = 0.0;
  std::optional<std::int64_t> aset_1x_;
  std::vector<std::uint32_t> aset_evdo_;
};

}  // namespace cdmadiag
