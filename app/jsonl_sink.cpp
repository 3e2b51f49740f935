// One JSON object per packet and line; a framing error is {"seq": null, "error": ...,
// "kind": "framing_error", "file": ..., "file_name": ..., "offset": ...}.
// Fields added later come after the first ones (seq ... attrs, error), so a line read
// as far as "attrs" is what it always was: kind, command (null for a log), file and
// file_name, time_ms and time_iso (UTC; null without a stamp), fix (null before the
// device's first fix), cells, decoded, diagnostic, time_suspect and device.
#include <fmt/compile.h>

#include "output_file.h"
#include "sinks.h"

namespace cdmadiag {
namespace {

class JsonlSink final : public StreamSink {
 public:
  explicit JsonlSink(const std::string& path) : StreamSink(path) {}

  void packet(const PacketView& p) override {
    fmt::memory_buffer& out = file_.buffer();
    auto it = std::back_inserter(out);
    fmt::format_to(it, FMT_COMPILE("{{\"seq\": {}, \"time\": "), p.seq);
    if (p.time) {
      append_json_number(out, *p.time);
    } else {
      append(out, "null");
    }
    fmt::format_to(it, FMT_COMPILE(", \"code\": {}, \"class\": \"{}\", \"title\": "), p.code, class_name(p.cls));
    append_json_string(out, p.msg->title);
    append(out, ", \"details\": ");
    append_json_string(out, p.msg->details);
    fmt::format_to(it, FMT_COMPILE(", \"category\": {}, \"location\": "), p.msg->category);
    if (const auto& loc = p.msg->location()) {
      append(out, "{\"x\": ");
      append_json_number(out, loc->x);
      append(out, ", \"y\": ");
      append_json_number(out, loc->y);
      append(out, "}");
    } else {
      append(out, "null");
    }
    append(out, ", \"attrs\": [");
    bool first = true;
    for (const WriteRecord& w : p.writes) {
      if (!first) append(out, ", ");
      first = false;
      append(out, "{\"name\": ");
      append_json_string(out, names_(w.id));
      fmt::format_to(it, FMT_COMPILE(", \"op\": \"{}\", \"index\": {}, \"value\": "), write_op_name(w.op), w.index);
      switch (value_kind(w.op)) {
        case ValueKind::kSigned: fmt::format_to(it, FMT_COMPILE("{}"), w.i); break;
        case ValueKind::kUnsigned: fmt::format_to(it, FMT_COMPILE("{}"), w.u); break;
        case ValueKind::kDouble: append_json_number(out, w.d); break;
        case ValueKind::kString: append_json_string(out, p.text_of(w)); break;
        case ValueKind::kNone: append(out, "null"); break;
      }
      append(out, "}");
    }
    append(out, "]");
    if (p.error != nullptr) {
      append(out, ", \"error\": ");
      append_json_string(out, *p.error);
    }
    append_added_fields(out, p);
    append(out, "}\n");
    file_.flush_if_full();
  }

  static void append_added_fields(fmt::memory_buffer& out, const PacketView& p) {
    auto it = std::back_inserter(out);
    fmt::format_to(it, FMT_COMPILE(", \"kind\": \"{}\", \"command\": "), kind_name(p.response));
    if (p.response) {
      fmt::format_to(it, FMT_COMPILE("{}"), p.command);
    } else {
      append(out, "null");
    }
    fmt::format_to(it, FMT_COMPILE(", \"file\": {}, \"file_name\": "), p.file);
    append_json_string(out, p.file_name, Encoding::kUtf8);
    if (p.time_ms) {
      fmt::format_to(it, FMT_COMPILE(", \"time_ms\": {}, \"time_iso\": \""), *p.time_ms);
      append_iso_time(out, *p.time_ms);
      out.push_back('"');
    } else {
      append(out, ", \"time_ms\": null, \"time_iso\": null");
    }
    append(out, ", \"fix\": ");
    if (p.fix != nullptr) {
      const Fix rounded = rounded_fix(*p.fix);
      const Fix* f = &rounded;
      append(out, "{\"lat\": ");
      append_json_number(out, f->latitude);
      append(out, ", \"lon\": ");
      append_json_number(out, f->longitude);
      if (f->map) {
        append(out, ", \"x\": ");
        append_json_number(out, f->map->x);
        append(out, ", \"y\": ");
        append_json_number(out, f->map->y);
      }
      append(out, ", \"age_ms\": ");
      if (f->age_ms) {
        fmt::format_to(it, FMT_COMPILE("{}}}"), *f->age_ms);
      } else {
        append(out, "null}");
      }
    } else {
      append(out, "null");
    }
    append(out, ", \"cells\": [");
    bool first = true;
    for (const CellLookup& c : p.cells) {
      if (c.cell == nullptr) continue;
      if (!first) append(out, ", ");
      first = false;
      fmt::format_to(it, FMT_COMPILE("{{\"pn\": {}, \"sector_id\": "), c.pn);
      append_json_string(out, c.cell->sector_id, Encoding::kUtf8);
      append(out, ", \"site_name\": ");
      append_json_string(out, c.cell->site_name, Encoding::kUtf8);
      append(out, ", \"lat\": ");
      append_json_number(out, c.cell->latitude);
      append(out, ", \"lon\": ");
      append_json_number(out, c.cell->longitude);
      append(out, ", \"distance_m\": ");
      append_json_number(out, rounded_distance(c.distance_m));
      append(out, "}");
    }
    fmt::format_to(it, FMT_COMPILE("], \"decoded\": {}, \"diagnostic\": "), p.decoded());
    if (p.diagnostic().empty()) {
      append(out, "null");
    } else {
      append_json_string(out, p.diagnostic());
    }
    fmt::format_to(it, FMT_COMPILE(", \"time_suspect\": {}, \"device\": {}"), p.time_suspect, p.device);
  }

  void framing_error(std::string_view text) override {
    fmt::memory_buffer& out = file_.buffer();
    append(out, "{\"seq\": null, \"error\": ");
    append_json_string(out, text, Encoding::kUtf8);
    append(out, "}\n");
    file_.flush_if_full();
  }

  // The packet lines' fields that a stretch of bad framing has: what it is, the input,
  // and the byte offset.
  void framing_error_at(std::string_view text, const FramingErrorAt& at) override {
    fmt::memory_buffer& out = file_.buffer();
    append(out, "{\"seq\": null, \"error\": ");
    append_json_string(out, text, Encoding::kUtf8);
    fmt::format_to(std::back_inserter(out), FMT_COMPILE(", \"kind\": \"framing_error\", \"file\": {}, \"file_name\": "),
                   at.file);
    append_json_string(out, at.file_name, Encoding::kUtf8);
    fmt::format_to(std::back_inserter(out), FMT_COMPILE(", \"offset\": {}}}\n"), at.offset);
    file_.flush_if_full();
  }

 private:
  AttributeNames names_;
};

}  // namespace

std::unique_ptr<OutputSink> make_jsonl_sink(const std::string& path) { return std::make_unique<JsonlSink>(path); }

}  // namespace cdmadiag
