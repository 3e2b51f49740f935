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

// What the run's counters (the session's) do not hold: span, codes, files, devices.
struct DriveSummary {
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
