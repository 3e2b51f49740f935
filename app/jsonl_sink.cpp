// One JSON object per packet and line; a framing error is {"seq": null, "error": ...}.
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
    fmt::format_to(it, "{{\"seq\": {}, \"time\": ", p.seq);
    if (p.time) {
      append_json_number(out, *p.time);
    } else {
      append(out, "null");
    }
    fmt::format_to(it, ", \"code\": {}, \"class\": \"{}\", \"title\": ", p.code, class_name(p.cls));
    append_json_string(out, p.msg->title);
    append(out, ", \"details\": ");
    append_json_string(out, p.msg->details);
    fmt::format_to(it, ", \"category\": {}, \"location\": ", p.msg->category);
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
      append_json_string(out, attribute_name(w.id, scratch_));
      fmt::format_to(it, ", \"op\": \"{}\", \"index\": {}, \"value\": ", write_op_name(w.op), w.index);
      switch (value_kind(w.op)) {
        case ValueKind::kSigned: fmt::format_to(it, "{}", w.i); break;
        case ValueKind::kUnsigned: fmt::format_to(it, "{}", w.u); break;
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
    append(out, "}\n");
    file_.flush_if_full();
  }

  void framing_error(std::string_view text) override {
    fmt::memory_buffer& out = file_.buffer();
    append(out, "{\"seq\": null, \"error\": ");
    append_json_string(out, text, Encoding::kUtf8);
    append(out, "}\n");
    file_.flush_if_full();
  }
};

}  // namespace

std::unique_ptr<OutputSink> make_jsonl_sink(const std::string& path) { return std::make_unique<JsonlSink>(path); }

}  // namespace cdmadiag
