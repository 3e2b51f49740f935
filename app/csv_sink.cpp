// One row per attribute write: seq,time,code,name,op,index,value.
#include "output_file.h"
#include "sinks.h"

namespace cdmadiag {
namespace {

class CsvSink final : public StreamSink {
 public:
  explicit CsvSink(const std::string& path) : StreamSink(path) {
    append(file_.buffer(), "seq,time,code,name,op,index,value\n");
  }

  void packet(const PacketView& p) override {
    fmt::memory_buffer& out = file_.buffer();
    auto it = std::back_inserter(out);
    fmt::memory_buffer prefix;
    fmt::format_to(std::back_inserter(prefix), "{},", p.seq);
    if (p.time) fmt::format_to(std::back_inserter(prefix), "{}", *p.time);
    fmt::format_to(std::back_inserter(prefix), ",{},", p.code);
    for (const WriteRecord& w : p.writes) {
      out.append(prefix.data(), prefix.data() + prefix.size());
      fmt::format_to(it, "{},{},{},", attribute_name(w.id, scratch_), write_op_name(w.op), w.index);
      if (w.op == WriteOp::kSetString) {
        append_csv_field(out, cp1252_to_utf8(p.text_of(w)));
      } else {
        append_plain_value(out, p, w);
      }
      out.push_back('\n');
    }
    file_.flush_if_full();
  }

  // Rows are attribute writes; framing errors are left to the summary and standard error.
  void framing_error(std::string_view) override {}
};

}  // namespace

std::unique_ptr<OutputSink> make_csv_sink(const std::string& path) { return std::make_unique<CsvSink>(path); }

}  // namespace cdmadiag
