// One row per attribute write: seq,time,code,name,op,index,value, then the columns added
// later, at the end so that the first ones keep their places: kind, command (empty for
// a log), file (index of the input, from 0: its name once per write would cost a tenth
// of the file), time_ms, time_iso, the run's last fix (fix_lat, fix_lon, fix_x, fix_y
// when projected, fix_age_ms; empty before the first fix), the likely cells of the
// packet as lists separated by ';' (cell_pns, cell_sectors, cell_sites,
// cell_distances_m), then decoded (1 or 0), diagnostic, time_suspect (1 or 0) and device.
//
// Text from outside (decoded strings, cell names) cannot become a spreadsheet formula:
// a field starting with = + - @ (or a tab or carriage return) that is not a number
// gets a leading apostrophe. In the lists a ';' or '\' inside an item is escaped with
// a '\'.
#include <fmt/compile.h>

#include "output_file.h"
#include "sinks.h"

namespace cdmadiag {
namespace {

void append_list_item(fmt::memory_buffer& out, std::string_view item) {
  for (const char c : item) {
    if (c == ';' || c == '\\') out.push_back('\\');
    out.push_back(c);
  }
}

constexpr std::string_view kHeader =
    "seq,time,code,name,op,index,value,kind,command,file,time_ms,time_iso,fix_lat,fix_lon,fix_x,fix_y,"
    "fix_age_ms,cell_pns,cell_sectors,cell_sites,cell_distances_m,decoded,diagnostic,time_suspect,device\n";

class CsvSink final : public StreamSink {
 public:
  explicit CsvSink(const std::string& path) : StreamSink(path) { append(file_.buffer(), kHeader); }

  void packet(const PacketView& p) override {
    if (p.writes.empty()) return;
    fmt::memory_buffer& out = file_.buffer();
    auto it = std::back_inserter(out);
    prefix_.clear();
    fmt::format_to(std::back_inserter(prefix_), FMT_COMPILE("{},"), p.seq);
    if (p.time) fmt::format_to(std::back_inserter(prefix_), FMT_COMPILE("{}"), *p.time);
    fmt::format_to(std::back_inserter(prefix_), FMT_COMPILE(",{},"), p.code);
    make_suffix(p);
    for (const WriteRecord& w : p.writes) {
      out.append(prefix_.data(), prefix_.data() + prefix_.size());
      fmt::format_to(it, FMT_COMPILE("{},{},{},"), names_(w.id), write_op_name(w.op), w.index);
      if (w.op == WriteOp::kSetString) {
        append_csv_text(out, cp1252_to_utf8(p.text_of(w)));
      } else {
        append_plain_value(out, p, w);
      }
      out.append(suffix_.data(), suffix_.data() + suffix_.size());
    }
    file_.flush_if_full();
  }

  // Rows are attribute writes; framing errors are left to the summary and standard error.
  void framing_error(std::string_view) override {}

 private:
  AttributeNames names_;

  // The packet's columns after the write's, line end included.
  void make_suffix(const PacketView& p) {
    fmt::memory_buffer& s = suffix_;
    auto it = std::back_inserter(s);
    s.clear();
    fmt::format_to(it, FMT_COMPILE(",{},"), kind_name(p.response));
    if (p.response) fmt::format_to(it, FMT_COMPILE("{}"), p.command);
    fmt::format_to(it, FMT_COMPILE(",{},"), p.file);
    if (p.time_ms) {
      fmt::format_to(it, FMT_COMPILE("{},"), *p.time_ms);
      append_iso_time(s, *p.time_ms);
    } else {
      s.push_back(',');
    }
    if (p.fix != nullptr) {
      const Fix rounded = rounded_fix(*p.fix);
      const Fix* f = &rounded;
      fmt::format_to(it, FMT_COMPILE(",{},{},"), f->latitude, f->longitude);
      if (f->map) {
        fmt::format_to(it, FMT_COMPILE("{},{}"), f->map->x, f->map->y);
      } else {
        s.push_back(',');
      }
      s.push_back(',');
      if (f->age_ms) fmt::format_to(it, FMT_COMPILE("{}"), *f->age_ms);
    } else {
      append(s, ",,,,,");
    }
    const auto list = [&](auto&& field) {
      s.push_back(',');
      fmt::memory_buffer items;
      bool first = true;
      for (const CellLookup& c : p.cells) {
        if (c.cell == nullptr) continue;
        if (!first) items.push_back(';');
        first = false;
        field(items, c);
      }
      append_csv_text(s, std::string_view(items.data(), items.size()));
    };
    list([](fmt::memory_buffer& b, const CellLookup& c) {
      fmt::format_to(std::back_inserter(b), FMT_COMPILE("{}"), c.pn);
    });
    list([](fmt::memory_buffer& b, const CellLookup& c) { append_list_item(b, c.cell->sector_id); });
    list([](fmt::memory_buffer& b, const CellLookup& c) { append_list_item(b, c.cell->site_name); });
    list([](fmt::memory_buffer& b, const CellLookup& c) {
      fmt::format_to(std::back_inserter(b), FMT_COMPILE("{}"), rounded_distance(c.distance_m));
    });
    fmt::format_to(it, FMT_COMPILE(",{},"), p.decoded() ? 1 : 0);
    if (!p.diagnostic().empty()) append_csv_text(s, cp1252_to_utf8(p.diagnostic()));
    fmt::format_to(it, FMT_COMPILE(",{},{}\n"), p.time_suspect ? 1 : 0, p.device);
  }

  fmt::memory_buffer prefix_, suffix_;
};

}  // namespace

std::unique_ptr<OutputSink> make_csv_sink(const std::string& path) { return std::make_unique<CsvSink>(path); }

}  // namespace cdmadiag
