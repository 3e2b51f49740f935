#include "attrs_listing.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "framework/attributes.h"
#include "text_convert.h"

namespace cdmadiag {
namespace {

constexpr std::size_t kColumns = 5;
using Row = std::array<std::string_view, kColumns>;

constexpr Row kHeader = {"name", "operations", "unit", "index", "meaning"};
// Stands for an empty field in the aligned text, where a blank would read as a gap.
constexpr std::string_view kEmpty = "-";
constexpr std::size_t kGap = 2;

Row row_of(const AttributeEntry& a) { return {a.name, a.doc.ops, a.doc.unit, a.doc.index, a.doc.meaning}; }

void append_csv_row(fmt::memory_buffer& out, const Row& row) {
  for (std::size_t c = 0; c < kColumns; ++c) {
    if (c > 0) out.push_back(',');
    append_csv_field(out, row[c]);
  }
  out.push_back('\n');
}

void append_csv(fmt::memory_buffer& out) {
  append_csv_row(out, kHeader);
  for (const AttributeEntry& a : all_attributes()) append_csv_row(out, row_of(a));
}

void append_text(fmt::memory_buffer& out) {
  std::array<std::size_t, kColumns> width{};
  const auto widen = [&](const Row& row) {
    for (std::size_t c = 0; c < kColumns; ++c) width[c] = std::max({width[c], row[c].size(), kEmpty.size()});
  };
  const auto line = [&](const Row& row) {
    for (std::size_t c = 0; c + 1 < kColumns; ++c) {
      fmt::format_to(std::back_inserter(out), "{:<{}}", row[c].empty() ? kEmpty : row[c], width[c] + kGap);
    }
    append(out, row[kColumns - 1].empty() ? kEmpty : row[kColumns - 1]);
    out.push_back('\n');
  };
  widen(kHeader);
  for (const AttributeEntry& a : all_attributes()) widen(row_of(a));
  line(kHeader);
  for (const AttributeEntry& a : all_attributes()) line(row_of(a));
}

}  // namespace

bool print_attributes(std::FILE* out, AttrsFormat format) {
  fmt::memory_buffer buf;
  switch (format) {
    case AttrsFormat::kText: append_text(buf); break;
    case AttrsFormat::kCsv: append_csv(buf); break;
  }
  const bool written = std::fwrite(buf.data(), 1, buf.size(), out) == buf.size();
  return std::fflush(out) == 0 && written;
}

}  // namespace cdmadiag
