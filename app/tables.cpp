#include "tables.h"

#include <fmt/format.h>

#include <cmath>

#include "sinks.h"

namespace cdmadiag {
namespace {

std::string iso(std::int64_t ms) {
  fmt::memory_buffer b;
  append_iso_time(b, ms);
  return fmt::to_string(b);
}

Cell number(std::optional<double> v) {
  if (!v || !std::isfinite(*v)) return {};
  return *v;
}

void fix_cells(const std::optional<Fix>& fix, std::vector<Cell>& out, bool projected) {
  if (!fix) {
    out.insert(out.end(), projected ? 4 : 2, Cell{});
    return;
  }
  const Fix f = rounded_fix(*fix);
  out.emplace_back(f.latitude);
  out.emplace_back(f.longitude);
  if (!projected) return;
  out.push_back(f.map ? Cell(f.map->x) : Cell());
  out.push_back(f.map ? Cell(f.map->y) : Cell());
}

constexpr std::array<const char*, 2> kServingTech = {"cdma", "evdo"};

// PNs, band, channel, service option: whole numbers without a unit, the second's last value.
bool identity(const Measurement& m) { return m.unit.empty() && m.per_second == PerSecond::kLast && !m.range; }

}  // namespace

const std::vector<Column>& seconds_columns() {
  static const std::vector<Column> columns = [] {
    std::vector<Column> c = {{"device", ColumnType::kInteger},  {"second", ColumnType::kInteger},
                             {"time_ms", ColumnType::kInteger}, {"time_iso", ColumnType::kText},
                             {"seq", ColumnType::kInteger},     {"packets_1x", ColumnType::kInteger},
                             {"packets_evdo", ColumnType::kInteger}, {"fix_lat", ColumnType::kReal},
                             {"fix_lon", ColumnType::kReal},    {"fix_x", ColumnType::kReal},
                             {"fix_y", ColumnType::kReal}};
    for (const Measurement& m : measurements()) {
      if (m.shape == Shape::kList) {
        c.push_back({std::string(m.name), ColumnType::kList});
        continue;
      }
      c.push_back({std::string(m.name), identity(m) ? ColumnType::kInteger : ColumnType::kReal});
      if (m.range) {
        c.push_back({std::string(m.name) + "_min", ColumnType::kReal});
        c.push_back({std::string(m.name) + "_max", ColumnType::kReal});
      }
    }
    for (const char* tech : kServingTech) {
      c.push_back({fmt::format("{}_serving_sector", tech), ColumnType::kText});
      c.push_back({fmt::format("{}_serving_site", tech), ColumnType::kText});
      c.push_back({fmt::format("{}_serving_distance_m", tech), ColumnType::kReal});
    }
    return c;
  }();
  return columns;
}

void seconds_cells(const SecondRow& row, std::vector<Cell>& out) {
  out.clear();
  out.emplace_back(std::int64_t{row.device});
  out.emplace_back(row.second);
  out.emplace_back(row.second * 1000);
  out.emplace_back(iso(row.second * 1000));
  out.emplace_back(std::int64_t{row.seq});
  out.emplace_back(std::int64_t{row.packets_1x});
  out.emplace_back(std::int64_t{row.packets_evdo});
  fix_cells(row.fix, out, true);
  const std::span<const Measurement> catalogue = measurements();
  for (std::size_t i = 0; i < catalogue.size(); ++i) {
    if (catalogue[i].shape == Shape::kList) {
      out.push_back(row.lists[i].empty() ? Cell() : Cell(row.lists[i]));
      continue;
    }
    if (identity(catalogue[i])) {
      const std::optional<double> v = row.value(i);
      out.push_back(v ? Cell(std::llround(*v)) : Cell());
      continue;
    }
    out.push_back(number(row.value(i)));
    if (catalogue[i].range) {
      out.push_back(number(row.min(i)));
      out.push_back(number(row.max(i)));
    }
  }
  for (const Serving* s : {&row.serving_1x, &row.serving_evdo}) {
    if (s->cell == nullptr) {
      out.insert(out.end(), 3, Cell{});
      continue;
    }
    out.emplace_back(std::string(s->cell->sector_id));
    out.emplace_back(std::string(s->cell->site_name));
    out.emplace_back(rounded_distance(s->distance_m));
  }
}

const std::vector<Column>& event_columns() {
  static const std::vector<Column> columns = {
      {"device", ColumnType::kInteger},   {"seq", ColumnType::kInteger},      {"time_ms", ColumnType::kInteger},
      {"time_iso", ColumnType::kText},    {"fix_lat", ColumnType::kReal},     {"fix_lon", ColumnType::kReal},
      {"technology", ColumnType::kText},  {"kind", ColumnType::kText},        {"failure", ColumnType::kInteger},
      {"code", ColumnType::kInteger},     {"pns_added", ColumnType::kList},   {"pns_removed", ColumnType::kList},
      {"details", ColumnType::kText}};
  return columns;
}

void event_cells(const DriveEvent& e, std::vector<Cell>& out) {
  out.clear();
  out.emplace_back(std::int64_t{e.device});
  out.emplace_back(std::int64_t{e.seq});
  out.push_back(e.time_ms ? Cell(*e.time_ms) : Cell());
  out.push_back(e.time_ms ? Cell(iso(*e.time_ms)) : Cell());
  fix_cells(e.fix, out, false);
  out.emplace_back(std::string(tech_name(e.tech)));
  out.emplace_back(std::string(event_kind_name(e.kind)));
  out.emplace_back(std::int64_t{e.failure ? 1 : 0});
  out.push_back(e.code ? Cell(*e.code) : Cell());
  out.push_back(e.added.empty() ? Cell() : Cell(e.added));
  out.push_back(e.removed.empty() ? Cell() : Cell(e.removed));
  out.emplace_back(e.details);
}

}  // namespace cdmadiag
