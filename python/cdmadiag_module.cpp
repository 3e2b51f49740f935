// The _cdmadiag extension: packets of one capture as Python dicts, and one capture
// decoded to a file with a summary of the drive, for the fleet's tasks.
#include <fmt/format.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "decode_run.h"
#include "host/map_projections.h"
#include "interrupt.h"
#include "output_file.h"
#include "host/schema.h"
#include "output_sink.h"
#include "sinks.h"
#include "text_convert.h"
#include "version.h"

namespace py = pybind11;

namespace cdmadiag {
namespace {

// The searcher decoders share process-wide working arrays: two decodes at once, from
// two Python threads, would overwrite each other's. Taken only with the GIL released,
// so a holder waiting for the GIL never waits on a thread that waits for the lock.
std::mutex g_decode_mutex;

const std::map<std::string, OutputFormat> kFormats = {{"text", OutputFormat::kText},
                                                      {"jsonl", OutputFormat::kJsonl},
                                                      {"csv", OutputFormat::kCsv},
                                                      {"sqlite", OutputFormat::kSqlite}};

// Paths come as the system names them (os.fsencode): not always UTF-8. Messages that
// hold them read as os.fsdecode would.
[[noreturn]] void raise_error(PyObject* type, const std::string& text) {
  PyObject* message = PyUnicode_DecodeFSDefaultAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
  if (message != nullptr) {
    PyErr_SetObject(type, message);
    Py_DECREF(message);
  }
  throw py::error_already_set();
}

InputFormat input_format(const std::optional<std::string>& input) {
  if (!input || input->empty()) return InputFormat::kAuto;
  if (*input == "log") return InputFormat::kLog;
  if (*input == "hdlc") return InputFormat::kHdlc;
  throw py::value_error("input must be None, 'log' or 'hdlc', not '" + *input + "'");
}

// What a run needs besides its options: cell sites, the projection and the settings
// the decoders consult. Kept at one address for the run's lifetime.
struct Setting {
  ObjectProperties properties;
  CCoordinateSystem system;
  CellSiteTable cells;

  Setting(const std::optional<std::string>& cells_path, std::optional<int> projection) {
    if (projection && *projection > 0) {
      if (!system.init(*projection)) {
        throw py::value_error("projection " + std::to_string(*projection) + ": not a projection this build knows");
      }
      properties.set_projection_epsg(*projection);
      cells.set_projection(&system);
    }
    if (cells_path && !cells_path->empty()) {
      std::string error;
      if (!cells.load_csv(*cells_path, error)) raise_error(PyExc_ValueError, "cells " + *cells_path + ": " + error);
    }
  }
};

DecodeOptions make_options(bool details, const std::optional<std::string>& input) {
  DecodeOptions o;
  o.details = details;
  o.input = input_format(input);
  return o;
}

std::unique_ptr<ByteStream> open_input(const std::string& path) {
  std::string error;
  std::unique_ptr<ByteStream> in = ByteStream::open(path, error);
  if (!in) {
    raise_error(PyExc_OSError, path + ": " + error);
  }
  return in;
}

// SIGINT and SIGTERM stop a long decode as they stop the command, after the packet at
// hand; Python's handlers are put back and see the signal after the run. Signals reach
// Python only on its main thread, so only a decode there takes them, and only while it
// holds the decode lock (a stop would end another thread's iterator early).
bool on_main_thread() {
  const py::module_ threading = py::module_::import("threading");
  return threading.attr("current_thread")().is(threading.attr("main_thread")());
}

// After a run a signal stopped: Python's handler has seen it (KeyboardInterrupt for
// SIGINT); raised as that, or as KeyboardInterrupt when the handler let it pass.
void raise_stop() {
  clear_stop();
  if (PyErr_CheckSignals() != 0) throw py::error_already_set();
  PyErr_SetNone(PyExc_KeyboardInterrupt);
  throw py::error_already_set();
}

[[noreturn]] void not_diag(const std::string& name) {
  raise_error(PyExc_ValueError, name + ": not a DIAG log (no plausible log record or good frame in it)");
}

// A read failure or an input with no DIAG record in it, after a whole stream.
void check_end(const std::string& path, const ByteStream& in, StreamEnd end) {
  if (!in.error().empty()) {
    raise_error(PyExc_OSError, path + ": read failed at byte " + std::to_string(in.offset()) + ": " + in.error());
  }
  if (end == StreamEnd::kNotDiag) not_diag(path);
}

py::dict counters_dict(const RunCounters& c) {
  py::dict d;
  d["packets"] = c.packets;
  d["packets_1x"] = c.packets_1x;
  d["packets_evdo"] = c.packets_evdo;
  d["responses"] = c.responses;
  d["not_decoded"] = c.not_decoded;
  d["unknown_codes"] = c.unknown_codes;
  d["framing_errors"] = c.framing_errors;
  d["decoder_errors"] = c.decoder_errors;
  d["bytes"] = c.bytes;
  return d;
}

py::str utf8_of_cp1252(std::string_view text) {
  const std::string utf8 = cp1252_to_utf8(text);
  return py::str(utf8.data(), utf8.size());
}

py::object write_value(const PacketView& p, const WriteRecord& w) {
  switch (value_kind(w.op)) {
    case ValueKind::kSigned: return py::int_(w.i);
    case ValueKind::kUnsigned: return py::int_(w.u);
    case ValueKind::kDouble: return py::float_(w.d);
    case ValueKind::kString: return utf8_of_cp1252(p.text_of(w));
    case ValueKind::kNone: return py::none();
  }
  return py::none();
}

py::dict packet_dict(const PacketView& p) {
  py::dict d;
  d["seq"] = p.seq;
  d["time"] = p.time ? py::object(py::float_(*p.time)) : py::object(py::none());
  d["code"] = p.code;
  d["class"] = class_name(p.cls);
  d["title"] = utf8_of_cp1252(p.msg->title);
  d["details"] = utf8_of_cp1252(p.msg->details);
  d["category"] = p.msg->category;
  d["kind"] = kind_name(p.response);
  d["command"] = p.response ? py::object(py::int_(p.command)) : py::object(py::none());
  if (p.fix != nullptr) {
    py::dict fix;
    fix["lat"] = p.fix->latitude;
    fix["lon"] = p.fix->longitude;
    if (p.fix->map) {
      fix["x"] = p.fix->map->x;
      fix["y"] = p.fix->map->y;
    }
    fix["age_ms"] = p.fix->age_ms ? py::object(py::int_(*p.fix->age_ms)) : py::object(py::none());
    d["fix"] = std::move(fix);
  } else {
    d["fix"] = py::none();
  }
  if (const auto& loc = p.msg->location()) {
    d["position"] = py::make_tuple(loc->x, loc->y);
  } else {
    d["position"] = py::none();
  }
  py::list writes(p.writes.size());
  std::string scratch;
  std::size_t i = 0;
  for (const WriteRecord& w : p.writes) {
    const std::string_view name = attribute_name(w.id, scratch);
    writes[i++] = py::make_tuple(py::str(name.data(), name.size()), write_op_name(w.op), w.index, write_value(p, w));
  }
  d["writes"] = std::move(writes);
  d["error"] = p.error != nullptr ? py::object(py::str(*p.error)) : py::object(py::none());
  return d;
}

// Keeps the packet just decoded; its view stays valid until the run decodes another.
class LastPacket final : public OutputSink {
 public:
  void packet(const PacketView& p) override {
    last = p;
    ready = true;
  }
  void framing_error(std::string_view text) override { framing_errors.emplace_back(text); }
  void finish() override {}

  PacketView last;
  bool ready = false;
  std::vector<std::string> framing_errors;
};

// Iterates the packets of one capture, decoding one record per step, so a capture of
// any size is never held whole.
class Packets {
 public:
  Packets(const std::string& path, const std::optional<std::string>& cells, std::optional<int> projection,
          bool details, const std::optional<std::set<std::uint32_t>>& codes, const std::optional<std::string>& input)
      : name_(path),
        setting_(std::make_unique<Setting>(cells, projection)),
        codes_(codes),
        in_(open_input(path)),
        run_(std::make_unique<DecodeRun>(make_options(details, input), sink_, &setting_->cells,
                                         &setting_->properties)),
        reader_(make_reader(make_options(details, input).input, *in_)) {}

  py::dict next() {
    std::unique_lock lock(g_decode_mutex, std::defer_lock);
    {
      const py::gil_scoped_release release;
      lock.lock();
      step();
    }
    if (!sink_.ready) {
      lock.unlock();
      if (!in_->error().empty()) {
        raise_error(PyExc_OSError, name_ + ": read failed: " + in_->error());
      }
      if (!found_ && !waiting_.empty()) not_diag(name_);
      throw py::stop_iteration();
    }
    return packet_dict(sink_.last);
  }

  py::dict counters() const {
    py::dict d = counters_dict(run_->counters());
    d["bytes"] = in_->offset();  // the run counts them only at the end of a whole stream
    return d;
  }
  const std::vector<std::string>& framing_errors() const { return sink_.framing_errors; }

 private:
  // Reads on until a wanted packet is decoded or the input ends; framing errors before
  // the first record wait, as the command's do, so noise is not reported as damage.
  void step() {
    sink_.ready = false;
    if (done_) return;
    Record record;
    FramingError error;
    for (;;) {
      const ReadStatus status = reader_->next(record, error);
      if (status == ReadStatus::kEnd) {
        done_ = true;
        return;
      }
      if (status == ReadStatus::kError) {
        if (found_) {
          run_->framing_error(name_, error);
        } else {
          waiting_.push_back(error);
        }
        continue;
      }
      if (!found_) {
        found_ = true;
        for (const FramingError& e : waiting_) run_->framing_error(name_, e);
        waiting_.clear();
      }
      run_->decode(record);
      if (!codes_ || codes_->contains(sink_.last.code)) return;
      sink_.ready = false;
    }
  }

  std::string name_;
  std::unique_ptr<Setting> setting_;
  std::optional<std::set<std::uint32_t>> codes_;
  LastPacket sink_;
  std::unique_ptr<ByteStream> in_;
  std::unique_ptr<DecodeRun> run_;
  std::unique_ptr<RecordReader> reader_;
  std::vector<FramingError> waiting_;
  bool found_ = false;
  bool done_ = false;
};

// Columns of the messages and the writes, for the DataFrames: built in one pass without
// a Python object per write.
class ColumnSink final : public OutputSink {
 public:
  explicit ColumnSink(const std::optional<std::set<std::uint32_t>>& codes) : codes_(codes) {}

  void packet(const PacketView& p) override {
    if (codes_ && !codes_->contains(p.code)) return;
    seq.push_back(p.seq);
    time.push_back(p.time.value_or(std::numeric_limits<double>::quiet_NaN()));
    code.push_back(p.code);
    cls.push_back(static_cast<std::uint8_t>(p.cls));
    category.push_back(p.msg->category);
    title.push_back(cp1252_to_utf8(p.msg->title));
    details.push_back(cp1252_to_utf8(p.msg->details));
    const auto& loc = p.msg->location();
    x.push_back(loc ? loc->x : std::numeric_limits<double>::quiet_NaN());
    y.push_back(loc ? loc->y : std::numeric_limits<double>::quiet_NaN());
    if (p.error != nullptr) errors.emplace_back(seq.size() - 1, *p.error);
    for (const WriteRecord& w : p.writes) {
      const auto [it, added] = name_code.try_emplace(w.id, static_cast<std::int32_t>(names.size()));
      if (added) names.emplace_back(attribute_name(w.id, scratch_));
      wseq.push_back(p.seq);
      wname.push_back(it->second);
      wop.push_back(static_cast<std::int8_t>(w.op));
      windex.push_back(w.index);
      double v = std::numeric_limits<double>::quiet_NaN();
      switch (value_kind(w.op)) {
        case ValueKind::kSigned: v = static_cast<double>(w.i); break;
        case ValueKind::kUnsigned: v = static_cast<double>(w.u); break;
        case ValueKind::kDouble: v = w.d; break;
        case ValueKind::kString: texts.emplace_back(wseq.size() - 1, cp1252_to_utf8(p.text_of(w))); break;
        case ValueKind::kNone: break;
      }
      wvalue.push_back(v);
    }
  }
  void framing_error(std::string_view text) override { framing_errors.emplace_back(text); }
  void finish() override {}

  std::vector<std::uint32_t> seq, code, windex, wseq;
  std::vector<double> time, x, y, wvalue;
  std::vector<std::uint8_t> cls;
  std::vector<std::int32_t> category, wname;
  std::vector<std::int8_t> wop;
  std::vector<std::string> title, details, names, framing_errors;
  std::vector<std::pair<std::size_t, std::string>> errors, texts;
  std::unordered_map<std::uint32_t, std::int32_t> name_code;

 private:
  std::optional<std::set<std::uint32_t>> codes_;
  std::string scratch_;
};

template <typename T>
py::array_t<T> to_array(const std::vector<T>& v) {
  return py::array_t<T>(static_cast<py::ssize_t>(v.size()), v.data());
}

py::list to_list(const std::vector<std::string>& v) {
  py::list l(v.size());
  for (std::size_t i = 0; i < v.size(); ++i) l[i] = py::str(v[i]);
  return l;
}

py::list sparse_list(std::size_t size, const std::vector<std::pair<std::size_t, std::string>>& set) {
  py::list l(size);
  for (std::size_t i = 0; i < size; ++i) l[i] = py::none();
  for (const auto& [i, text] : set) l[i] = py::str(text);
  return l;
}

py::dict columns(const std::string& path, const std::optional<std::string>& cells, std::optional<int> projection,
                 bool details, const std::optional<std::set<std::uint32_t>>& codes,
                 const std::optional<std::string>& input) {
  Setting setting(cells, projection);
  const DecodeOptions options = make_options(details, input);
  std::unique_ptr<ByteStream> in = open_input(path);
  ColumnSink sink(codes);
  StreamEnd end = StreamEnd::kEnd;
  RunCounters counters;
  const bool take_signals = on_main_thread();
  std::optional<InterruptGuard> interrupts;
  {
    const py::gil_scoped_release release;
    const std::lock_guard lock(g_decode_mutex);
    if (take_signals) interrupts.emplace(true);
    DecodeRun run(options, sink, &setting.cells, &setting.properties);
    end = run.decode_stream(*in, path);
    counters = run.counters();
    interrupts.reset();
  }
  if (end == StreamEnd::kStopped) raise_stop();
  check_end(path, *in, end);
  py::list ops;
  for (int op = 0; op <= static_cast<int>(WriteOp::kSetNoValue); ++op) ops.append(write_op_name(static_cast<WriteOp>(op)));
  py::dict m;
  m["seq"] = to_array(sink.seq);
  m["time"] = to_array(sink.time);
  m["code"] = to_array(sink.code);
  m["class"] = to_array(sink.cls);
  m["title"] = to_list(sink.title);
  m["details"] = to_list(sink.details);
  m["category"] = to_array(sink.category);
  m["x"] = to_array(sink.x);
  m["y"] = to_array(sink.y);
  m["error"] = sparse_list(sink.seq.size(), sink.errors);
  py::dict w;
  w["seq"] = to_array(sink.wseq);
  w["name"] = to_array(sink.wname);
  w["op"] = to_array(sink.wop);
  w["index"] = to_array(sink.windex);
  w["value"] = to_array(sink.wvalue);
  w["text"] = sparse_list(sink.wseq.size(), sink.texts);
  py::dict d;
  d["messages"] = m;
  d["writes"] = w;
  d["names"] = to_list(sink.names);
  d["ops"] = ops;
  d["classes"] = py::make_tuple(class_name(PacketClass::k1x), class_name(PacketClass::kEvdo));
  d["counters"] = counters_dict(counters);
  d["framing_errors"] = to_list(sink.framing_errors);
  return d;
}

constexpr double kEarthRadiusKm = 6371.0088;  // mean radius

double haversine_km(double lon1, double lat1, double lon2, double lat2) {
  constexpr double kRad = 3.14159265358979323846 / 180.0;
  const double dlat = (lat2 - lat1) * kRad;
  const double dlon = (lon2 - lon1) * kRad;
  const double a = std::sin(dlat / 2) * std::sin(dlat / 2) +
                   std::cos(lat1 * kRad) * std::cos(lat2 * kRad) * std::sin(dlon / 2) * std::sin(dlon / 2);
  return 2.0 * kEarthRadiusKm * std::asin(std::min(1.0, std::sqrt(a)));
}

// Passes every packet on to the file's sink and sums up the drive on the way: time
// span, distance along the fixes, distinct codes, means of chosen attributes at index 0.
class SummarySink final : public OutputSink {
 public:
  SummarySink(OutputSink& out, const std::map<std::string, std::vector<std::string>>& kpis) : out_(out) {
    for (const auto& [column, names] : kpis) {
      const std::size_t k = means_.size();
      means_.push_back({column, 0.0, 0});
      for (const std::string& name : names) kpi_of_id_[GetSchemaDefsDynamic()->GetAttributeId(name.c_str())].push_back(k);
    }
  }

  void packet(const PacketView& p) override {
    out_.packet(p);
    if (p.time) {
      first_time_ = std::min(first_time_.value_or(*p.time), *p.time);
      last_time_ = std::max(last_time_.value_or(*p.time), *p.time);
    }
    codes_.insert(p.code);
    // The run's fix in WGS 84, taken where a packet brought a new one.
    if (p.fix != nullptr && p.fix->seq == p.seq) add_fix(p.fix->longitude, p.fix->latitude);
    for (const WriteRecord& w : p.writes) {
      if (w.index != 0) continue;
      const auto it = kpi_of_id_.find(w.id);
      if (it == kpi_of_id_.end()) continue;
      const std::optional<double> v = finite_number(w);
      if (!v) continue;
      for (const std::size_t k : it->second) {
        means_[k].sum += *v;
        ++means_[k].count;
      }
    }
  }
  void framing_error(std::string_view text) override { out_.framing_error(text); }
  void framing_error_at(std::string_view text, const FramingErrorAt& at) override { out_.framing_error_at(text, at); }
  void finish() override { out_.finish(); }

  void fill(py::dict& d) const {
    d["first_time"] = first_time_ ? py::object(py::float_(*first_time_)) : py::object(py::none());
    d["last_time"] = last_time_ ? py::object(py::float_(*last_time_)) : py::object(py::none());
    d["duration_s"] = first_time_ ? *last_time_ - *first_time_ : 0.0;
    d["distance_km"] = distance_km_;
    d["fixes"] = fixes_;
    d["codes"] = codes_.size();
    py::dict means;
    for (const Mean& m : means_) {
      means[py::str(m.column)] = m.count > 0 ? py::object(py::float_(m.sum / static_cast<double>(m.count)))
                                             : py::object(py::none());
    }
    d["kpis"] = means;
  }

 private:
  struct Mean {
    std::string column;
    double sum;
    std::uint64_t count;
  };

  void add_fix(double lon, double lat) {
    if (fixes_ > 0) distance_km_ += haversine_km(last_lon_, last_lat_, lon, lat);
    last_lon_ = lon;
    last_lat_ = lat;
    ++fixes_;
  }

  OutputSink& out_;
  std::map<std::uint32_t, std::vector<std::size_t>> kpi_of_id_;
  std::vector<Mean> means_;
  std::optional<double> first_time_;
  std::optional<double> last_time_;
  std::set<std::uint32_t> codes_;
  double distance_km_ = 0.0;
  double last_lon_ = 0.0;
  double last_lat_ = 0.0;
  std::uint64_t fixes_ = 0;
};

py::dict decode_to_file(const std::string& path, const std::string& out, const std::string& format,
                        const std::optional<std::string>& cells, std::optional<int> projection, bool details,
                        const std::optional<std::string>& input,
                        const std::map<std::string, std::vector<std::string>>& kpis) {
  const auto f = kFormats.find(format);
  if (f == kFormats.end()) throw py::value_error("format must be text, jsonl, csv or sqlite, not '" + format + "'");
  if (out.empty() || out == "-") throw py::value_error("decode_to_file needs an output file");
  std::vector<std::string> read = {path};
  if (cells && !cells->empty()) read.push_back(*cells);
  if (const std::string input = output_clash(out, read); !input.empty()) raise_error(PyExc_ValueError, clash_message(out, input));
  Setting setting(cells, projection);
  const DecodeOptions options = make_options(details, input);
  std::unique_ptr<ByteStream> in = open_input(path);

  StreamEnd end = StreamEnd::kEnd;
  RunCounters counters;
  std::string output_error;
  std::unique_ptr<SummarySink> summary;
  bool written = false;
  const bool take_signals = on_main_thread();
  std::optional<InterruptGuard> interrupts;
  {
    const py::gil_scoped_release release;
    const std::lock_guard lock(g_decode_mutex);
    if (take_signals) interrupts.emplace(true);
    try {
      RunInfo info;
      info.version = version_text();
      info.inputs = {path};
      info.options = fmt::format("python decode_to_file format={} details={}{}", format, details ? "on" : "off",
                                 cells ? " cells=" + *cells : std::string());
      info.epsg = projection.value_or(0);
      const std::unique_ptr<OutputSink> sink = make_sink(f->second, out, info);
      summary = std::make_unique<SummarySink>(*sink, kpis);
      DecodeRun run(options, *summary, &setting.cells, &setting.properties);
      end = run.decode_stream(*in, path);
      counters = run.counters();
      // The command's rule, but a stop leaves the old file: the exception it becomes
      // returns nothing that would tell how far the output went.
      const bool failed = !in->error().empty() || end == StreamEnd::kNotDiag;
      if (end != StreamEnd::kStopped && finishes_output(out, counters.packets, failed, false)) {
        summary->finish();
        written = true;
      }
    } catch (const OutputError& e) {
      output_error = e.what();
    }
    // The sink went with its block, and a temporary file not renamed into place with it.
    interrupts.reset();
  }
  if (end == StreamEnd::kStopped) raise_stop();
  clear_stop();  // a signal while the output was finished: Python sees it next
  if (!output_error.empty()) {
    raise_error(PyExc_OSError, out + ": " + output_error);
  }
  check_end(path, *in, end);
  py::dict d = counters_dict(counters);
  summary->fill(d);
  d["written"] = written;
  return d;
}

}  // namespace
}  // namespace cdmadiag

PYBIND11_MODULE(_cdmadiag, m) {
  using namespace cdmadiag;
  m.doc() = "CDMA DIAG log decoding (the cdmadiag library)";

  py::class_<Packets>(m, "Packets", "The packets of one capture, decoded in order, as dicts")
      .def(py::init<const std::string&, const std::optional<std::string>&, std::optional<int>, bool,
                    const std::optional<std::set<std::uint32_t>>&, const std::optional<std::string>&>(),
           py::arg("path"), py::arg("cells") = py::none(), py::arg("projection") = py::none(),
           py::arg("details") = true, py::arg("codes") = py::none(), py::arg("input") = py::none())
      .def("__iter__", [](Packets& self) -> Packets& { return self; }, py::return_value_policy::reference_internal)
      .def("__next__", &Packets::next)
      .def_property_readonly("counters", &Packets::counters, "The run's counters so far")
      .def_property_readonly("framing_errors", &Packets::framing_errors, "Framing error texts so far");

  m.def("columns", &columns, py::arg("path"), py::arg("cells") = py::none(), py::arg("projection") = py::none(),
        py::arg("details") = true, py::arg("codes") = py::none(), py::arg("input") = py::none(),
        "Messages and writes of one capture as column arrays (what to_frames builds its frames from)");

  m.def("decode_to_file", &decode_to_file, py::arg("path"), py::arg("out"), py::arg("format") = "sqlite",
        py::arg("cells") = py::none(), py::arg("projection") = py::none(), py::arg("details") = true,
        py::arg("input") = py::none(), py::arg("kpis") = std::map<std::string, std::vector<std::string>>{},
        "Decodes one capture into a file, as the command does; returns its counters and drive summary");
}
