#include "host/measurements.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "framework/attributes.h"

namespace cdmadiag {
namespace {

// How the writes of one packet to a measurement's attributes become its value.
enum class Combine : std::uint8_t {
  kLast,        // the packet's last write
  kMax,         // the largest write (the best pilot of a list)
  kPowerSum,    // dB values summed as powers: 10 log10(sum 10^(v/10))
  kCount,       // how many writes
  kIndexes,     // the writes' element indexes, as a list (the PNs of a per-PN list)
};

// Which writes count.
enum class Values : std::uint8_t {
  kNumbers,  // any finite number
  kDoubles,  // SetDouble only: where an attribute also carries raw integers
};

struct Rule {
  std::array<const std::uint32_t*, 3> attrs;  // ATTR_ID_... constants, resolved at load
  bool index0;                                // only element index 0
  Values values;
  Combine combine;
  double scale;  // attribute unit to the measurement's
};

struct Entry {
  Measurement m;
  Rule rule;
};

constexpr double kMphToKmh = 1.609344;

const std::array kEntries = {
    Entry{{"cdma_rx_power_dbm", "dBm", Tech::k1x, "1x receive power at the antenna connector",
           "ATTR_ID_CDMA_MOBILE_RX_POWER, index 0 (power control and AGC reports)", Shape::kNumber, PerSecond::kMean,
           true},
          {{&ATTR_ID_CDMA_MOBILE_RX_POWER, nullptr, nullptr}, true, Values::kNumbers, Combine::kLast, 1.0}},
    Entry{{"cdma_tx_power_dbm", "dBm", Tech::k1x, "1x transmit power",
           "ATTR_ID_CDMA_MOBILE_TX_POWER, index 0 (power control and AGC reports)", Shape::kNumber, PerSecond::kMean,
           true},
          {{&ATTR_ID_CDMA_MOBILE_TX_POWER, nullptr, nullptr}, true, Values::kNumbers, Combine::kLast, 1.0}},
    Entry{{"speed_kmh", "km/h", Tech::kAny, "speed over ground of the position fixes",
           "ATTR_ID_LOCATION_SPEED_MPH (mph x 1.609344), index 0 (location reports)", Shape::kNumber,
           PerSecond::kMean, false},
          {{&ATTR_ID_LOCATION_SPEED_MPH, nullptr, nullptr}, true, Values::kNumbers, Combine::kLast, kMphToKmh}},
};

std::optional<double> number_of(const WriteValue& w, Values values) {
  double v = 0.0;
  switch (w.op) {
    case WriteOp::kSetShort:
    case WriteOp::kSetInt:
    case WriteOp::kSetLong:
    case WriteOp::kSetInt64:
      if (values == Values::kDoubles) return std::nullopt;
      v = static_cast<double>(w.i);
      break;
    case WriteOp::kSetByte:
    case WriteOp::kSetUShort:
    case WriteOp::kSetUInt:
    case WriteOp::kSetULong:
    case WriteOp::kSetDWord:
    case WriteOp::kSetUInt64:
      if (values == Values::kDoubles) return std::nullopt;
      v = static_cast<double>(w.u);
      break;
    case WriteOp::kSetDouble: v = w.d; break;
    case WriteOp::kSetString:
    case WriteOp::kSetNoValue: return std::nullopt;
  }
  if (!std::isfinite(v)) return std::nullopt;
  return v;
}

}  // namespace

const char* tech_name(Tech t) {
  switch (t) {
    case Tech::k1x: return "1x";
    case Tech::kEvdo: return "evdo";
    case Tech::kAny: return "any";
  }
  return "any";
}

std::span<const Measurement> measurements() {
  static const std::array<Measurement, kEntries.size()> list = [] {
    std::array<Measurement, kEntries.size()> l{};
    for (std::size_t i = 0; i < kEntries.size(); ++i) l[i] = kEntries[i].m;
    return l;
  }();
  return list;
}

std::optional<std::size_t> measurement_index(std::string_view name) {
  for (std::size_t i = 0; i < kEntries.size(); ++i) {
    if (kEntries[i].m.name == name) return i;
  }
  return std::nullopt;
}

struct MeasurementReader::State {
  // Attribute id -> the entries that read it.
  std::vector<std::vector<std::size_t>> by_id;
  std::array<bool, kEntries.size()> has{};
  std::array<double, kEntries.size()> value{};
  std::array<double, kEntries.size()> sum{};  // kPowerSum: linear powers
  std::array<std::vector<std::uint32_t>, kEntries.size()> lists;
};

MeasurementReader::MeasurementReader() : state_(new State) {
  for (std::size_t i = 0; i < kEntries.size(); ++i) {
    for (const std::uint32_t* id : kEntries[i].rule.attrs) {
      if (id == nullptr) continue;
      if (*id >= state_->by_id.size()) state_->by_id.resize(std::size_t{*id} + 1);
      state_->by_id[*id].push_back(i);
    }
  }
}

MeasurementReader::~MeasurementReader() { delete state_; }

void MeasurementReader::begin(std::uint32_t /*code*/, bool /*response*/) {
  State& s = *state_;
  s.has.fill(false);
  s.sum.fill(0.0);
  for (auto& l : s.lists) l.clear();
}

void MeasurementReader::write(std::uint32_t id, std::uint32_t index, const WriteValue& v) {
  State& s = *state_;
  if (id >= s.by_id.size()) return;
  for (const std::size_t i : s.by_id[id]) {
    const Rule& r = kEntries[i].rule;
    if (r.index0 && index != 0) continue;
    const std::optional<double> n = number_of(v, r.values);
    if (!n) continue;
    const double x = *n * r.scale;
    switch (r.combine) {
      case Combine::kLast: s.value[i] = x; break;
      case Combine::kMax: s.value[i] = s.has[i] ? std::max(s.value[i], x) : x; break;
      case Combine::kPowerSum: s.sum[i] += std::pow(10.0, x / 10.0); break;
      case Combine::kCount: s.value[i] = s.has[i] ? s.value[i] + 1 : 1; break;
      case Combine::kIndexes: s.lists[i].push_back(index); break;
    }
    s.has[i] = true;
  }
}

void MeasurementReader::end() {
  State& s = *state_;
  for (std::size_t i = 0; i < kEntries.size(); ++i) {
    if (!s.has[i]) continue;
    if (kEntries[i].rule.combine == Combine::kPowerSum) s.value[i] = 10.0 * std::log10(s.sum[i]);
    if (kEntries[i].rule.combine == Combine::kIndexes) {
      std::sort(s.lists[i].begin(), s.lists[i].end());
      s.lists[i].erase(std::unique(s.lists[i].begin(), s.lists[i].end()), s.lists[i].end());
    }
  }
}

bool MeasurementReader::has(std::size_t i) const { return i < kEntries.size() && state_->has[i]; }
double MeasurementReader::value(std::size_t i) const { return state_->value[i]; }
const std::vector<std::uint32_t>& MeasurementReader::list(std::size_t i) const { return state_->lists[i]; }

}  // namespace cdmadiag
