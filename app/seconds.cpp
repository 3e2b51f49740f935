#include "seconds.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace cdmadiag {

double distance_m(double lat1, double lon1, double lat2, double lon2) {
  constexpr double kRadius = 6371008.8;
  constexpr double kRad = std::numbers::pi / 180.0;
  const double dlat = (lat2 - lat1) * kRad;
  const double dlon = (lon2 - lon1) * kRad;
  const double a = std::sin(dlat / 2) * std::sin(dlat / 2) +
                   std::cos(lat1 * kRad) * std::cos(lat2 * kRad) * std::sin(dlon / 2) * std::sin(dlon / 2);
  return 2 * kRadius * std::asin(std::sqrt(std::min(1.0, a)));
}

std::optional<double> SecondRow::value(std::size_t i) const {
  const SecondStat& s = stats[i];
  if (s.count == 0) return std::nullopt;
  return measurements()[i].per_second == PerSecond::kLast ? s.last : s.sum / s.count;
}

std::optional<double> SecondRow::min(std::size_t i) const {
  if (stats[i].count == 0) return std::nullopt;
  return stats[i].min;
}

std::optional<double> SecondRow::max(std::size_t i) const {
  if (stats[i].count == 0) return std::nullopt;
  return stats[i].max;
}

SecondsTable::SecondsTable(const CellSiteTable* cells)
    : cells_(cells != nullptr && cells->size() > 0 ? cells : nullptr),
      serving_1x_(measurement_index("cdma_serving_pn")),
      serving_evdo_(measurement_index("evdo_serving_pn")) {
  for (const char* name : {"latitude_deg", "longitude_deg"}) {
    if (const auto i = measurement_index(name)) from_fix_.push_back(*i);
  }
}

SecondsTable::~SecondsTable() = default;

void SecondsTable::packet(const PacketView& p) {
  reader_.begin(p.code, p.response);
  for (const WriteRecord& w : p.writes) reader_.write(w.id, w.index, w);
  reader_.end();
  if (!p.time_ms || p.time_suspect) return;
  // Floor, so that times before 1970 still bin by whole seconds.
  const std::int64_t ms = *p.time_ms;
  const std::int64_t second = ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
  const auto [it, added] = open_.try_emplace({p.device, second});
  SecondRow& row = it->second;
  const std::span<const Measurement> catalogue = measurements();
  if (added) {
    row.device = p.device;
    row.second = second;
    row.stats.resize(catalogue.size());
    row.lists.resize(catalogue.size());
  }
  row.seq = p.seq;
  if (p.known) (p.cls == PacketClass::kEvdo ? row.packets_evdo : row.packets_1x)++;
  if (p.fix != nullptr && p.fix->age_ms.value_or(0) <= kFixPlacesMs) row.fix = *p.fix;
  for (std::size_t i = 0; i < catalogue.size(); ++i) {
    if (!reader_.has(i)) continue;
    if (catalogue[i].shape == Shape::kList) {
      row.lists[i] = reader_.list(i);
      continue;
    }
    const double v = reader_.value(i);
    SecondStat& s = row.stats[i];
    s.min = s.count == 0 ? v : std::min(s.min, v);
    s.max = s.count == 0 ? v : std::max(s.max, v);
    s.sum += v;
    s.last = v;
    ++s.count;
  }
}

const std::vector<SecondRow>& SecondsTable::finish() {
  rows_.reserve(open_.size());
  for (auto& entry : open_) {
    SecondRow& row = entry.second;
    if (row.fix) {
      const double coords[] = {row.fix->latitude, row.fix->longitude};
      for (std::size_t k = 0; k < from_fix_.size(); ++k) {
        SecondStat& s = row.stats[from_fix_[k]];
        s = SecondStat{1, coords[k], coords[k], coords[k], coords[k]};
      }
    }
    const auto serve = [&](const std::optional<std::size_t>& index, Serving& out) {
      if (!index) return;
      const std::optional<double> pn = row.value(*index);
      if (!pn || *pn < 0 || *pn > 511) return;
      out.pn = static_cast<int>(*pn);
      if (cells_ == nullptr || !row.fix) return;
      const double x = row.fix->map ? row.fix->map->x : row.fix->longitude;
      const double y = row.fix->map ? row.fix->map->y : row.fix->latitude;
      if (const std::optional<CellMatch> m = cells_->nearest(static_cast<unsigned>(out.pn), x, y)) {
        out.cell = m->cell;
        out.distance_m = m->distance_m;
      }
    };
    serve(serving_1x_, row.serving_1x);
    serve(serving_evdo_, row.serving_evdo);
    rows_.push_back(std::move(row));
  }
  open_.clear();
  return rows_;
}

}  // namespace cdmadiag
