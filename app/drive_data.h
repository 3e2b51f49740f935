#pragma once
// A drive as the report and the map formats see it: the per-second table and the events
// of each device, and the counts of the summary, collected from the packets of one run.
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "events.h"
#include "output_sink.h"
#include "seconds.h"

namespace cdmadiag {

// Colour classes of a measurement on the map: four cuts make five classes, worst first.
struct Scale {
  std::array<double, 4> cuts{};
  bool higher_better = true;
};

// A measurement the report charts, with its short key (a --colour-by alias) and scale.
struct ChartedMeasure {
  const char* key;   // "ecio"
  const char* name;  // the catalogue's name
  const char* label;  // for people
  Scale scale;
};
const std::vector<ChartedMeasure>& charted_measures();

// A catalogue index by short key or catalogue name; none for anything else.
std::optional<std::size_t> measure_by_key(std::string_view key);
// The label and unit a chart or legend shows for a catalogue index.
std::string measure_label(std::size_t i);
std::string_view measure_unit(std::size_t i);

struct CodeCount {
  std::string title;  // UTF-8
  std::uint64_t packets = 0;
};

struct DeviceSummary {
  std::optional<double> first_time;  // UTC seconds of the first and last packet with a good time
  std::optional<double> last_time;
  double distance_m = 0.0;  // along the device's fixes
  std::vector<std::uint32_t> files;
};

struct DriveSummary {
  std::uint64_t packets = 0;
  std::uint64_t packets_1x = 0;  // of known code
  std::uint64_t packets_evdo = 0;
  std::uint64_t responses = 0;
  std::uint64_t decoded = 0;  // known and taken by a written decoder (failures included)
  std::uint64_t not_decoded = 0;
  std::uint64_t unknown_codes = 0;  // log records or responses no dispatcher knows
  std::uint64_t decoder_errors = 0;
  std::uint64_t decode_failures = 0;  // kept by the EV-DO guards
  std::uint64_t framing_errors = 0;
  std::uint64_t without_time = 0;  // responses and stray stamps
  // The run's span, over every device.
  std::optional<double> first_time;
  std::optional<double> last_time;
  // key: class ("1x", "evdo", "response", "unknown") and code
  std::map<std::pair<std::string, std::uint32_t>, CodeCount> codes;
  std::vector<std::string> files;
  std::vector<DeviceSummary> devices;

  double distance_m() const;  // every device's, added
};

class DriveCollector {
 public:
  explicit DriveCollector(const CellSiteTable* cells = nullptr);
  void packet(const PacketView& p);
  void framing_error() { ++summary_.framing_errors; }
  // Completes the per-second table (serving sectors); call once after the last packet.
  void finish();

  const std::vector<SecondRow>& seconds() const { return seconds_.rows(); }
  const std::vector<DriveEvent>& events() const { return events_.events(); }
  const DriveSummary& summary() const { return summary_; }

 private:
  SecondsTable seconds_;
  EventDetector events_;
  DriveSummary summary_;
  struct LastFix {
    std::uint32_t seq = 0;
    double lat = 0.0;
    double lon = 0.0;
  };
  std::vector<std::optional<LastFix>> last_fix_;  // by device
};

}  // namespace cdmadiag
