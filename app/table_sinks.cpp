// `cdmadiag seconds` and `cdmadiag events`: the per-second table or the events of the
// drive as CSV, written once the last packet is in (a second's row is complete only then).
#include <cmath>

#include "output_file.h"
#include "sinks.h"
#include "tables.h"

namespace cdmadiag {
namespace {

void append_cells(fmt::memory_buffer& out, const std::vector<Cell>& cells) {
  for (std::size_t c = 0; c < cells.size(); ++c) {
    if (c > 0) out.push_back(',');
    if (const auto* n = std::get_if<std::int64_t>(&cells[c])) {
      fmt::format_to(std::back_inserter(out), "{}", *n);
    } else if (const auto* d = std::get_if<double>(&cells[c])) {
      fmt::format_to(std::back_inserter(out), "{}", *d);
    } else if (const auto* t = std::get_if<std::string>(&cells[c])) {
      append_csv_text(out, *t);
    } else if (const auto* l = std::get_if<PnList>(&cells[c])) {
      for (std::size_t k = 0; k < l->size(); ++k) fmt::format_to(std::back_inserter(out), "{}{}", k ? " " : "", (*l)[k]);
    }
  }
  out.push_back('\n');
}

void append_header(fmt::memory_buffer& out, const std::vector<Column>& columns) {
  for (std::size_t c = 0; c < columns.size(); ++c) {
    if (c > 0) out.push_back(',');
    append(out, columns[c].name);
  }
  out.push_back('\n');
}

class TableSink final : public OutputSink {
 public:
  TableSink(const std::string& path, TableKind kind, const CellSiteTable* cells)
      : file_(path), kind_(kind), seconds_(cells) {}

  void packet(const PacketView& p) override {
    seconds_.packet(p);
    if (kind_ == TableKind::kEvents) events_.packet(p, seconds_.last_packet());
  }
  void framing_error(std::string_view) override {}
  void finish() override {
    fmt::memory_buffer& out = file_.buffer();
    std::vector<Cell> cells;
    if (kind_ == TableKind::kSeconds) {
      append_header(out, seconds_columns());
      for (const SecondRow& row : seconds_.finish()) {
        seconds_cells(row, cells);
        append_cells(out, cells);
        file_.flush_if_full();
      }
    } else {
      append_header(out, event_columns());
      for (const DriveEvent& e : events_.events()) {
        event_cells(e, cells);
        append_cells(out, cells);
        file_.flush_if_full();
      }
    }
    file_.close();
  }

 private:
  OutputFile file_;
  TableKind kind_;
  SecondsTable seconds_;
  EventDetector events_;
};

}  // namespace

std::unique_ptr<OutputSink> make_table_sink(TableKind kind, const std::string& path, const CellSiteTable* cells) {
  return std::make_unique<TableSink>(path, kind, cells);
}

}  // namespace cdmadiag
