#include "sinks.h"

#include <fmt/compile.h>

#include <array>
#include <cmath>

#include "host/schema.h"
#include "report.h"

namespace cdmadiag {

namespace {
constexpr std::array<FormatInfo, 6> kFormats = {{
    {"text", OutputFormat::kText, false, ".txt"},
    {"jsonl", OutputFormat::kJsonl, false, ".jsonl"},
    {"csv", OutputFormat::kCsv, false, ".csv"},
    {"sqlite", OutputFormat::kSqlite, true, ".db"},
    {"geojson", OutputFormat::kGeojson, false, ".geojson"},
    {"kml", OutputFormat::kKml, false, ".kml"},
}};
}  // namespace

std::span<const FormatInfo> output_formats() { return kFormats; }

const FormatInfo* format_by_name(std::string_view name) {
  for (const FormatInfo& f : kFormats) {
    if (name == f.name) return &f;
  }
  return nullptr;
}

std::unique_ptr<OutputSink> make_sink(OutputFormat format, const std::string& path, const RunInfo& run) {
  switch (format) {
    case OutputFormat::kText: return make_text_sink(path, run);
    case OutputFormat::kJsonl: return make_jsonl_sink(path);
    case OutputFormat::kCsv: return make_csv_sink(path);
    case OutputFormat::kSqlite: return make_sqlite_sink(path, run);
    case OutputFormat::kGeojson: return make_geojson_sink(path, run.cells);
    case OutputFormat::kKml: return make_kml_sink(path, run.cells);
  }
  return nullptr;
}

std::string_view attribute_name(std::uint32_t id, std::string& scratch) {
  const std::string_view name = GetSchemaDefsDynamic()->name_of(id);
  if (!name.empty()) return name;
  scratch = fmt::format("#{}", id);
  return scratch;
}

std::string_view AttributeNames::operator()(std::uint32_t id) {
  // Ids come dense from the schema; a stray large one is answered without keeping it.
  constexpr std::uint32_t kKept = 1u << 20;
  if (id < known_.size() && !known_[id].empty()) return known_[id];
  const std::string_view name = attribute_name(id, scratch_);
  // A number for an id not given out yet is not kept: the schema may give it out later.
  if (id >= kKept || name.data() == scratch_.data()) return name;
  if (id >= known_.size()) known_.resize(std::size_t{id} + 1);
  known_[id] = name;
  return name;
}

void append_plain_value(fmt::memory_buffer& out, const PacketView& p, const WriteRecord& w) {
  auto it = std::back_inserter(out);
  switch (value_kind(w.op)) {
    case ValueKind::kSigned: fmt::format_to(it, FMT_COMPILE("{}"), w.i); break;
    case ValueKind::kUnsigned: fmt::format_to(it, FMT_COMPILE("{}"), w.u); break;
    case ValueKind::kDouble:
      if (std::isnan(w.d)) {
        append(out, "nan");
      } else {
        fmt::format_to(it, FMT_COMPILE("{}"), w.d);
      }
      break;
    case ValueKind::kString: append_cp1252_as_utf8(out, p.text_of(w)); break;
    case ValueKind::kNone: break;
  }
}

void append_iso_time(fmt::memory_buffer& out, std::int64_t ms) {
  // Days to a proleptic Gregorian date (eras of 400 years), exact for any day count.
  constexpr std::int64_t kMsPerDay = 86400000;
  std::int64_t days = ms / kMsPerDay;
  std::int64_t in_day = ms % kMsPerDay;
  if (in_day < 0) {
    in_day += kMsPerDay;
    --days;
  }
  const std::int64_t z = days + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const std::int64_t day = doy - (153 * mp + 2) / 5 + 1;
  const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
  const std::int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  fmt::format_to(std::back_inserter(out), FMT_COMPILE("{:04}-{:02}-{:02}T{:02}:{:02}:{:02}.{:03}Z"), year, month, day,
                 in_day / 3600000, in_day / 60000 % 60, in_day / 1000 % 60, in_day % 1000);
}

double rounded_distance(double metres) { return std::round(metres * 10.0) / 10.0; }

Fix rounded_fix(const Fix& fix) {
  Fix r = fix;
  r.latitude = std::round(fix.latitude * 1e7) / 1e7;
  r.longitude = std::round(fix.longitude * 1e7) / 1e7;
  if (fix.map) r.map = MapPoint{std::round(fix.map->x * 1e3) / 1e3, std::round(fix.map->y * 1e3) / 1e3};
  return r;
}

}  // namespace cdmadiag
