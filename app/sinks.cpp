#include "sinks.h"

#include <cmath>

#include "host/schema.h"
#include "report.h"

namespace cdmadiag {

std::unique_ptr<OutputSink> make_sink(OutputFormat format, const std::string& path) {
  switch (format) {
    case OutputFormat::kText: return make_text_sink(path);
    case OutputFormat::kJsonl: return make_jsonl_sink(path);
    case OutputFormat::kCsv: return make_csv_sink(path);
    case OutputFormat::kSqlite: return make_sqlite_sink(path);
    case OutputFormat::kGeojson: return make_geojson_sink(path);
    case OutputFormat::kKml: return make_kml_sink(path);
  }
  return nullptr;
}

std::string_view attribute_name(std::uint32_t id, std::string& scratch) {
  const std::string_view name = GetSchemaDefsDynamic()->name_of(id);
  if (!name.empty()) return name;
  scratch = fmt::format("#{}", id);
  return scratch;
}

void append_plain_value(fmt::memory_buffer& out, const PacketView& p, const WriteRecord& w) {
  auto it = std::back_inserter(out);
  switch (value_kind(w.op)) {
    case ValueKind::kSigned: fmt::format_to(it, "{}", w.i); break;
    case ValueKind::kUnsigned: fmt::format_to(it, "{}", w.u); break;
    case ValueKind::kDouble:
      if (std::isnan(w.d)) {
        append(out, "nan");
      } else {
        fmt::format_to(it, "{}", w.d);
      }
      break;
    case ValueKind::kString: append_cp1252_as_utf8(out, p.text_of(w)); break;
    case ValueKind::kNone: break;
  }
}

}  // namespace cdmadiag
