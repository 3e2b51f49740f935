#include "drive_data.h"

#include <fmt/format.h>

#include <algorithm>

#include "text_convert.h"

namespace cdmadiag {
namespace {

// The measurements the report charts and the map formats colour by, with the classes
// an RF engineer reads them in.
const std::vector<ChartedMeasure> kCharted = {
    {"ecio", "cdma_best_active_ecio_db", "1x best Ec/Io", {{-15, -12, -9, -6}, true}},
    {"aset", "cdma_active_set_size", "1x active set", {{1.5, 2.5, 3.5, 4.5}, true}},
    {"rx", "cdma_rx_power_dbm", "1x Rx power", {{-105, -95, -85, -75}, true}},
    {"tx", "cdma_tx_power_dbm", "1x Tx power", {{23, 15, 5, -5}, false}},
    {"fer", "cdma_fch_fer_pct", "1x FCH FER", {{10, 5, 2, 1}, false}},
    {"sinr", "evdo_best_sinr_db", "EV-DO best SINR", {{0, 3, 6, 9}, true}},
    {"per", "evdo_per_pct", "EV-DO PER", {{10, 5, 2, 1}, false}},
    {"drc", "evdo_drc_rate_kbps", "EV-DO DRC rate", {{100, 300, 600, 1200}, true}},
    {"tput", "evdo_fwd_tput_kbps", "EV-DO forward throughput", {{100, 300, 600, 1200}, true}},
    {"rlp", "evdo_rlp_rx_kbps", "EV-DO RLP Rx throughput", {{100, 300, 600, 1200}, true}},
    {"dorx", "evdo_rx_power_c0_dbm", "EV-DO Rx power", {{-105, -95, -85, -75}, true}},
    {"dotx", "evdo_tx_power_dbm", "EV-DO Tx power", {{23, 15, 5, -5}, false}},
};

const ChartedMeasure* charted(std::size_t i) {
  const std::string_view name = measurements()[i].name;
  for (const ChartedMeasure& c : kCharted) {
    if (name == c.name) return &c;
  }
  return nullptr;
}

}  // namespace

const std::vector<ChartedMeasure>& charted_measures() { return kCharted; }

std::optional<std::size_t> measure_by_key(std::string_view key) {
  for (const ChartedMeasure& c : kCharted) {
    if (key == c.key) return measurement_index(c.name);
  }
  return measurement_index(key);
}

std::string measure_label(std::size_t i) {
  if (const ChartedMeasure* c = charted(i)) return c->label;
  return std::string(measurements()[i].name);
}

std::string_view measure_unit(std::size_t i) { return measurements()[i].unit; }

double DriveSummary::distance_m() const {
  double d = 0.0;
  for (const DeviceSummary& s : devices) d += s.distance_m;
  return d;
}

DriveCollector::DriveCollector(const CellSiteTable* cells) : seconds_(cells) {}

void DriveCollector::finish() { seconds_.finish(); }

void DriveCollector::packet(const PacketView& p) {
  seconds_.packet(p);
  events_.packet(p, seconds_.last_packet());

  DriveSummary& s = summary_;
  const char* cls = !p.known ? "unknown" : p.response ? "response" : class_name(p.cls);
  const std::uint32_t code = p.response ? p.command : p.code;
  CodeCount& cc = s.codes[{cls, code}];
  if (cc.packets++ == 0) cc.title = cp1252_to_utf8(p.msg->title);
  if (s.files.size() <= p.file) s.files.resize(p.file + 1);
  if (s.files[p.file].empty()) s.files[p.file] = std::string(p.file_name);

  if (s.devices.size() <= p.device) {
    s.devices.resize(std::size_t{p.device} + 1);
    last_fix_.resize(std::size_t{p.device} + 1);
  }
  DeviceSummary& d = s.devices[p.device];
  if (d.files.empty() || d.files.back() != p.file) d.files.push_back(p.file);
  // Distance over every fix of the device, before any thinning.
  std::optional<LastFix>& last = last_fix_[p.device];
  if (p.fix != nullptr && (!last || last->seq != p.fix->seq)) {
    if (last) d.distance_m += distance_m(last->lat, last->lon, p.fix->latitude, p.fix->longitude);
    last = LastFix{p.fix->seq, p.fix->latitude, p.fix->longitude};
  }
  // A stray stamp would stretch the drive over years: such packets count, but place nothing in time.
  if (p.time_ms && !p.time_suspect) {
    const double t = static_cast<double>(*p.time_ms) / 1000.0;
    for (std::optional<double>* first : {&s.first_time, &d.first_time}) *first = std::min(first->value_or(t), t);
    for (std::optional<double>* end : {&s.last_time, &d.last_time}) *end = std::max(end->value_or(t), t);
  }
}

}  // namespace cdmadiag
