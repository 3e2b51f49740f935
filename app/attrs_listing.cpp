#include "attrs_listing.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

#include "framework/attributes.h"
#include "host/measurements.h"
#include "text_convert.h"

namespace cdmadiag {
namespace {

constexpr std::size_t kColumns = 5;
using Row = std::array<std::string_view, kColumns>;

// Stands for an empty field in the aligned text, where a blank would read as a gap.
constexpr std::string_view kEmpty = "-";
constexpr std::size_t kGap = 2;

void append_csv_row(fmt::memory_buffer& out, const Row& row) {
  for (std::size_t c = 0; c < kColumns; ++c) {
    if (c > 0) out.push_back(',');
    append_csv_field(out, row[c]);
  }
  out.push_back('\n');
}

// The rows under a header: aligned columns, the last one left ragged, or CSV.
bool print_rows(std::FILE* out, const Row& header, const std::vector<Row>& rows, AttrsFormat format) {
  fmt::memory_buffer buf;
  if (format == AttrsFormat::kCsv) {
    append_csv_row(buf, header);
    for (const Row& r : rows) append_csv_row(buf, r);
  } else {
    std::array<std::size_t, kColumns> width{};
    const auto widen = [&](const Row& row) {
      for (std::size_t c = 0; c < kColumns; ++c) width[c] = std::max({width[c], row[c].size(), kEmpty.size()});
    };
    const auto line = [&](const Row& row) {
      for (std::size_t c = 0; c + 1 < kColumns; ++c) {
        fmt::format_to(std::back_inserter(buf), "{:<{}}", row[c].empty() ? kEmpty : row[c], width[c] + kGap);
      }
      append(buf, row[kColumns - 1].empty() ? kEmpty : row[kColumns - 1]);
      buf.push_back('\n');
    };
    widen(header);
    for (const Row& r : rows) widen(r);
    line(header);
    for (const Row& r : rows) line(r);
  }
  const bool written = std::fwrite(buf.data(), 1, buf.size(), out) == buf.size();
  return std::fflush(out) == 0 && written;
}

}  // namespace

bool print_attributes(std::FILE* out, AttrsFormat format) {
  std::vector<Row> rows;
  for (const AttributeEntry& a : all_attributes()) rows.push_back({a.name, a.doc.ops, a.doc.unit, a.doc.index, a.doc.meaning});
  return print_rows(out, {"name", "operations", "unit", "index", "meaning"}, rows, format);
}

bool print_measurements(std::FILE* out, AttrsFormat format) {
  std::vector<Row> rows;
  for (const Measurement& m : measurements()) rows.push_back({m.name, m.unit, tech_name(m.tech), m.meaning, m.source});
  return print_rows(out, {"name", "unit", "technology", "meaning", "source"}, rows, format);
}

}  // namespace cdmadiag
