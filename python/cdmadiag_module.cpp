// The _cdmadiag extension: packets of one capture as Python dicts, and one capture
// decoded to a file with a summary of the drive, for the fleet's tasks.
#include <fmt/format.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "drive_data.h"
#include "framework/attributes.h"
#include "session.h"
#include "tables.h"
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

std::string format_list() {
  std::string names;
  for (const FormatInfo& f : output_formats()) names += (names.empty() ? "" : ", ") + std::string(f.name);
  return names;
}

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

[[noreturn]] void raise_os_error(const std::string& text) { raise_error(PyExc_OSError, text); }

// SIGINT and SIGTERM stop a long decode as they stop the command, after the packet at
// hand; Python's handlers are put back and see the signal after the run. Signals reach
// Python only on its main thread, so only a decode there takes them.
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

// The run settings of keyword arguments, as the command's options would set them.
RunSettings make_settings(const std::optional<std::string>& cells, std::optional<int> projection, bool details,
                          const std::optional<std::set<std::uint32_t>>& codes, const std::optional<std::string>& input) {
  RunSettings s;
  s.details = details;
  s.cells = cells.value_or("");
  s.projection = projection.value_or(0);
  const std::optional<InputFormat> format = input_format_by_name(input.value_or(""));
  if (!format) throw py::value_error("input must be None, 'log' or 'hdlc', not '" + *input + "'");
  s.input = *format;
  if (codes) {
    // A packet of another code is still decoded: later packets read what it wrote.
    for (const std::uint32_t c : *codes) s.filters.codes += fmt::format("{}{:X}", s.filters.codes.empty() ? "" : ",", c);
    if (codes->empty()) s.filters.codes = "10000";  // no log code: keeps nothing
  }
  return s;
}

std::unique_ptr<DecodeSession> open_session(const std::string& path, const RunSettings& settings) {
  std::unique_ptr<DecodeSession> session;
  try {
    session = std::make_unique<DecodeSession>(settings);
  } catch (const SettingsError& e) {
    raise_error(PyExc_ValueError, e.what());
  }
  // Opened now: a missing file is an error of the call, not of the first step.
  std::string error;
  std::unique_ptr<ByteStream> in = ByteStream::open(path, error);
  if (!in) raise_os_error(path + ": " + error);
  session->add_input(std::move(in), path);
  return session;
}

// Raises for an input that could not be read or is no DIAG log; Python names it as the
// command does.
void check_input(const InputResult& r) {
  switch (r.end) {
    case InputEnd::kEnd:
    case InputEnd::kStopped:
    case InputEnd::kEmpty: return;
    case InputEnd::kUnreadable: raise_os_error(r.name + ": " + r.error);
    case InputEnd::kReadFailed: raise_os_error(r.name + ": read failed at byte " + std::to_string(r.bytes) + ": " + r.error);
    case InputEnd::kNotDiag:
      raise_error(PyExc_ValueError, r.name + ": not a DIAG log (no plausible log record or good frame in it)");
  }
}

// Decodes the whole session into a sink with the GIL released, taking SIGINT and SIGTERM
// on the main thread; raises KeyboardInterrupt after a stop.
RunCounters run_into(DecodeSession& session, OutputSink& sink, std::optional<InputResult>& result) {
  const bool take_signals = on_main_thread();
  {
    const py::gil_scoped_release release;
    std::optional<InterruptGuard> interrupts;
    if (take_signals) interrupts.emplace(true);
    drain(session, sink, [&](const InputResult& r) { result = r; });
  }
  if (result && result->end == InputEnd::kStopped) raise_stop();
  return session.counters();
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
  d["decode_failures"] = c.decode_failures;
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
  d["time_ms"] = p.time_ms ? py::object(py::int_(*p.time_ms)) : py::object(py::none());
  d["time_suspect"] = p.time_suspect;
  d["decoded"] = p.decoded();
  d["diagnostic"] = p.diagnostic().empty() ? py::object(py::none()) : py::object(utf8_of_cp1252(p.diagnostic()));
  d["file"] = p.file;
  d["device"] = p.device;
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

// Iterates the packets of one capture, decoding one record per step, so a capture of
// any size is never held whole. Each step releases the GIL while it decodes.
class Packets {
 public:
  Packets(const std::string& path, const std::optional<std::string>& cells, std::optional<int> projection,
          bool details, const std::optional<std::set<std::uint32_t>>& codes, const std::optional<std::string>& input)
      : session_(open_session(path, make_settings(cells, projection, details, codes, input))) {}

  py::dict next() {
    if (done_) throw py::stop_iteration();
    DecodeSession::Event event = DecodeSession::Event::kEnd;
    {
      const py::gil_scoped_release release;
      for (;;) {
        event = session_->next();
        if (event == DecodeSession::Event::kFramingError) {
          framing_errors_.emplace_back(session_->framing_error());
          continue;
        }
        if (event == DecodeSession::Event::kInputDone) {
          result_ = session_->input_result();
          continue;
        }
        break;
      }
    }
    if (event == DecodeSession::Event::kPacket) return packet_dict(session_->packet());
    done_ = true;
    if (result_) check_input(*result_);
    throw py::stop_iteration();
  }

  py::dict counters() const {
    py::dict d = counters_dict(session_->counters());
    d["bytes"] = session_->counters().bytes + session_->input_offset();  // the input at hand counts at its end
    return d;
  }
  const std::vector<std::string>& framing_errors() const { return framing_errors_; }

 private:
  std::unique_ptr<DecodeSession> session_;
  std::vector<std::string> framing_errors_;
  std::optional<InputResult> result_;
  bool done_ = false;
};

// Columns of the messages and the writes, for the DataFrames: built in one pass without
// a Python object per write.
class ColumnSink final : public OutputSink {
 public:
  void packet(const PacketView& p) override {
    seq.push_back(p.seq);
    time_ms.push_back(p.time_ms.value_or(std::numeric_limits<std::int64_t>::min()));
    time_suspect.push_back(p.time_suspect);
    decoded.push_back(p.decoded());
    device.push_back(p.device);
    if (!p.diagnostic().empty()) diagnostics.emplace_back(seq.size() - 1, cp1252_to_utf8(p.diagnostic()));
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

  std::vector<std::uint32_t> seq, code, windex, wseq, device;
  std::vector<std::int64_t> time_ms;
  std::vector<bool> time_suspect, decoded;
  std::vector<double> x, y, wvalue;
  std::vector<std::uint8_t> cls;
  std::vector<std::int32_t> category, wname;
  std::vector<std::int8_t> wop;
  std::vector<std::string> title, details, names, framing_errors;
  std::vector<std::pair<std::size_t, std::string>> errors, diagnostics, texts;
  std::unordered_map<std::uint32_t, std::int32_t> name_code;

 private:
  std::string scratch_;
};

template <typename T>
py::array_t<T> to_array(const std::vector<T>& v) {
  return py::array_t<T>(static_cast<py::ssize_t>(v.size()), v.data());
}

py::array_t<bool> to_bool_array(const std::vector<bool>& v) {
  py::array_t<bool> a(static_cast<py::ssize_t>(v.size()));
  auto m = a.mutable_unchecked<1>();
  for (std::size_t i = 0; i < v.size(); ++i) m(static_cast<py::ssize_t>(i)) = v[i];
  return a;
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

// The messages and writes of the packets a sink collected, as arrays and lists.
py::dict column_dict(const ColumnSink& sink, const RunCounters& counters) {
  py::list ops;
  for (int op = 0; op <= static_cast<int>(WriteOp::kSetNoValue); ++op) ops.append(write_op_name(static_cast<WriteOp>(op)));
  py::dict m;
  m["seq"] = to_array(sink.seq);
  m["time_ms"] = to_array(sink.time_ms);
  m["time_suspect"] = to_bool_array(sink.time_suspect);
  m["decoded"] = to_bool_array(sink.decoded);
  m["device"] = to_array(sink.device);
  m["diagnostic"] = sparse_list(sink.seq.size(), sink.diagnostics);
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

py::dict columns(const std::string& path, const std::optional<std::string>& cells, std::optional<int> projection,
                 bool details, const std::optional<std::set<std::uint32_t>>& codes,
                 const std::optional<std::string>& input) {
  const std::unique_ptr<DecodeSession> session = open_session(path, make_settings(cells, projection, details, codes, input));
  ColumnSink sink;
  std::optional<InputResult> result;
  const RunCounters counters = run_into(*session, sink, result);
  if (result) check_input(*result);
  return column_dict(sink, counters);
}

// Each catalogue number's mean over the seconds that have a value (of one device, or all).
py::dict seconds_means(const std::vector<SecondRow>& rows, std::optional<std::uint32_t> device) {
  const std::span<const Measurement> catalogue = measurements();
  py::dict means;
  for (std::size_t i = 0; i < catalogue.size(); ++i) {
    if (catalogue[i].shape != Shape::kNumber) continue;
    double sum = 0.0;
    std::size_t n = 0;
    for (const SecondRow& r : rows) {
      if (device && r.device != *device) continue;
      if (const auto v = r.value(i)) {
        sum += *v;
        ++n;
      }
    }
    means[py::str(std::string(catalogue[i].name))] =
        n > 0 ? py::object(py::float_(sum / static_cast<double>(n))) : py::object(py::none());
  }
  return means;
}

// Passes every packet on to the file's sink and sums the drive up on the way, as the
// report does: span and distance per device, codes, and the mean over the seconds of
// each catalogue measurement.
class SummarySink final : public OutputSink {
 public:
  SummarySink(OutputSink& out, const CellSiteTable* cells) : out_(out), drive_(cells) {}

  void packet(const PacketView& p) override {
    out_.packet(p);
    drive_.packet(p);
    codes_.insert(p.code);
  }
  void framing_error(std::string_view text) override { out_.framing_error(text); }
  void framing_error_at(std::string_view text, const FramingErrorAt& at) override { out_.framing_error_at(text, at); }
  void finish() override { out_.finish(); }

  void fill(py::dict& d) {
    drive_.finish();
    const DriveSummary& s = drive_.summary();
    d["first_time"] = s.first_time ? py::object(py::float_(*s.first_time)) : py::object(py::none());
    d["last_time"] = s.last_time ? py::object(py::float_(*s.last_time)) : py::object(py::none());
    d["duration_s"] = s.first_time ? *s.last_time - *s.first_time : 0.0;
    d["distance_km"] = s.distance_m() / 1000.0;
    d["devices"] = s.devices.size();
    d["codes"] = codes_.size();
    d["means"] = seconds_means(drive_.seconds(), std::nullopt);
  }

 private:
  OutputSink& out_;
  DriveCollector drive_;
  std::set<std::uint32_t> codes_;
};

py::dict decode_to_file(const std::string& path, const std::string& out, const std::string& format,
                        const std::optional<std::string>& cells, std::optional<int> projection, bool details,
                        const std::optional<std::string>& input) {
  const FormatInfo* f = format_by_name(format);
  if (f == nullptr) throw py::value_error("format must be one of " + format_list() + ", not '" + format + "'");
  if (out.empty() || out == "-") throw py::value_error("decode_to_file needs an output file");
  std::vector<std::string> read = {path};
  if (cells && !cells->empty()) read.push_back(*cells);
  if (const std::string clash = output_clash(out, read); !clash.empty()) {
    raise_error(PyExc_ValueError, clash_message(out, clash));
  }
  const std::unique_ptr<DecodeSession> session = open_session(path, make_settings(cells, projection, details, {}, input));

  RunCounters counters;
  std::optional<InputResult> result;
  std::string output_error;
  std::unique_ptr<SummarySink> summary;
  bool written = false;
  const bool take_signals = on_main_thread();
  {
    const py::gil_scoped_release release;
    std::optional<InterruptGuard> interrupts;
    if (take_signals) interrupts.emplace(true);
    try {
      RunInfo info;
      info.version = version_text();
      info.inputs = {path};
      info.options = fmt::format("python decode_to_file format={} details={}{}", format, details ? "on" : "off",
                                 cells ? " cells=" + *cells : std::string());
      info.epsg = projection.value_or(0);
      info.cells = &session->cells();
      const std::unique_ptr<OutputSink> sink = make_sink(f->format, out, info);
      summary = std::make_unique<SummarySink>(*sink, &session->cells());
      drain(*session, *summary, [&](const InputResult& r) { result = r; });
      counters = session->counters();
      // The command's rule, but a stop leaves the old file: the exception it becomes
      // returns nothing that would tell how far the output went.
      const InputEnd end = result ? result->end : InputEnd::kEnd;
      const bool failed = end == InputEnd::kNotDiag || end == InputEnd::kReadFailed || end == InputEnd::kUnreadable;
      if (end != InputEnd::kStopped && finishes_output(out, counters.packets, failed, false)) {
        summary->finish();
        written = true;
      }
    } catch (const OutputError& e) {
      output_error = e.what();
    }
    // The sink went with its block, and a temporary file not renamed into place with it.
  }
  if (result && result->end == InputEnd::kStopped) raise_stop();
  clear_stop();  // a signal while the output was finished: Python sees it next
  if (!output_error.empty()) raise_os_error(out + ": " + output_error);
  if (result) check_input(*result);
  py::dict d = counters_dict(counters);
  summary->fill(d);
  d["written"] = written;
  return d;
}

}  // namespace
}  // namespace cdmadiag

namespace cdmadiag {
namespace {

// Collects the per-second table or the events of one capture.
class TableCollector final : public OutputSink {
 public:
  TableCollector(TableKind kind, const CellSiteTable* cells) : kind_(kind), seconds_(cells) {}
  void packet(const PacketView& p) override {
    seconds_.packet(p);
    if (kind_ == TableKind::kEvents) events_.packet(p, seconds_.last_packet());
  }
  void framing_error(std::string_view) override {}
  void finish() override {}

  // Column name -> numpy array (reals, NaN for none) or list (integers and texts with
  // None, lists of PNs). Built column by column from the rows, never all cells at once.
  py::dict columns() {
    const std::vector<Column>& cols = kind_ == TableKind::kSeconds ? seconds_columns() : event_columns();
    const std::size_t n = kind_ == TableKind::kSeconds ? seconds_.finish().size() : events_.events().size();
    std::vector<py::object> out;
    std::vector<double*> reals(cols.size(), nullptr);
    for (std::size_t c = 0; c < cols.size(); ++c) {
      if (cols[c].type == ColumnType::kReal) {
        py::array_t<double> a(static_cast<py::ssize_t>(n));
        reals[c] = a.mutable_data();
        out.push_back(std::move(a));
      } else {
        out.push_back(py::list(n));
      }
    }
    std::vector<Cell> cells;
    for (std::size_t r = 0; r < n; ++r) {
      if (kind_ == TableKind::kSeconds) {
        seconds_cells(seconds_.rows()[r], cells);
      } else {
        event_cells(events_.events()[r], cells);
      }
      for (std::size_t c = 0; c < cols.size(); ++c) {
        const Cell& cell = cells[c];
        if (reals[c] != nullptr) {
          const auto* v = std::get_if<double>(&cell);
          reals[c][r] = v != nullptr ? *v : std::numeric_limits<double>::quiet_NaN();
          continue;
        }
        py::object value = py::none();
        if (const auto* i = std::get_if<std::int64_t>(&cell)) {
          value = py::int_(*i);
        } else if (const auto* t = std::get_if<std::string>(&cell)) {
          value = py::str(*t);
        } else if (const auto* pns = std::get_if<PnList>(&cell)) {
          value = py::cast(*pns);
        } else if (cols[c].type == ColumnType::kList) {
          value = py::list();  // [] for none, so a frame's explode() gives one row per PN
        }
        PyList_SET_ITEM(out[c].ptr(), static_cast<py::ssize_t>(r), value.release().ptr());
      }
    }
    py::dict d;
    for (std::size_t c = 0; c < cols.size(); ++c) d[py::str(cols[c].name)] = out[c];
    return d;
  }

 private:
  TableKind kind_;
  SecondsTable seconds_;
  EventDetector events_;
};

py::dict table(const std::string& path, const std::string& kind, const std::optional<std::string>& cells,
               std::optional<int> projection, const std::optional<std::string>& input) {
  if (kind != "seconds" && kind != "events") throw py::value_error("kind must be 'seconds' or 'events'");
  RunSettings settings = make_settings(cells, projection, false, {}, input);
  settings.title = false;  // the tables read writes only
  const std::unique_ptr<DecodeSession> session = open_session(path, settings);
  TableCollector sink(kind == "seconds" ? TableKind::kSeconds : TableKind::kEvents, &session->cells());
  std::optional<InputResult> result;
  run_into(*session, sink, result);
  if (result) check_input(*result);
  py::dict d;
  d["data"] = sink.columns();
  py::list integers;
  for (const Column& c : kind == "seconds" ? seconds_columns() : event_columns()) {
    if (c.type == ColumnType::kInteger) integers.append(c.name);
  }
  d["integers"] = integers;
  return d;
}

// to_frames in pieces: the columns of the next `size` packets at each step, so a
// capture of any size is never held whole.
class Chunks {
 public:
  Chunks(const std::string& path, const std::optional<std::string>& cells, std::optional<int> projection, bool details,
         const std::optional<std::set<std::uint32_t>>& codes, const std::optional<std::string>& input,
         std::size_t size)
      : session_(open_session(path, make_settings(cells, projection, details, codes, input))),
        size_(std::max<std::size_t>(1, size)) {}

  py::dict next() {
    if (done_) throw py::stop_iteration();
    auto sink = std::make_unique<ColumnSink>();
    {
      const py::gil_scoped_release release;
      while (sink->seq.size() < size_) {
        const DecodeSession::Event e = session_->next();
        if (e == DecodeSession::Event::kEnd) {
          done_ = true;
          break;
        }
        if (e == DecodeSession::Event::kPacket) sink->packet(session_->packet());
        if (e == DecodeSession::Event::kFramingError) sink->framing_error(session_->framing_error());
        if (e == DecodeSession::Event::kInputDone) result_ = session_->input_result();
      }
    }
    if (done_ && result_) check_input(*result_);
    if (sink->seq.empty()) throw py::stop_iteration();
    return column_dict(*sink, session_->counters());
  }

 private:
  std::unique_ptr<DecodeSession> session_;
  std::size_t size_;
  std::optional<InputResult> result_;
  bool done_ = false;
};

}  // namespace
}  // namespace cdmadiag

// The fleet's database: one capture decoded once into its summary per device, its
// per-second table and events and, when asked, its messages and attribute writes, handed
// over as PostgreSQL COPY text (a line per row, tab-separated, \N for none) once the
// database has given each device's drive its key.
namespace cdmadiag {
namespace {

// The PostgreSQL type of a column of the one definition. The ISO time is a timestamptz:
// GIS tools and date_trunc read it as a time, and it takes 8 bytes instead of 25.
std::string sql_type(const Column& c) {
  if (c.name == "time_iso") return "timestamptz";
  switch (c.type) {
    case ColumnType::kInteger: return "bigint";
    case ColumnType::kReal: return "double precision";
    case ColumnType::kText: return "text";
    case ColumnType::kList: return "integer[]";
  }
  return "text";
}

// The columns of the messages and the writes, in COPY order (SQLite's, but the file:
// a drive is one log).
const std::vector<std::pair<const char*, const char*>> kMessageColumns = {
    {"seq", "bigint"},         {"time_ms", "bigint"},     {"time_iso", "timestamptz"}, {"kind", "text"},
    {"code", "bigint"},        {"command", "integer"},    {"class", "text"},           {"title", "text"},
    {"details", "text"},       {"category", "integer"},   {"x", "double precision"},   {"y", "double precision"},
    {"fix_lat", "double precision"}, {"fix_lon", "double precision"}, {"fix_x", "double precision"},
    {"fix_y", "double precision"}, {"fix_age_ms", "bigint"}, {"error", "text"},        {"decoded", "boolean"},
    {"diagnostic", "text"},    {"time_suspect", "boolean"}, {"device", "integer"}};
const std::vector<std::pair<const char*, const char*>> kWriteColumns = {
    {"seq", "bigint"}, {"n", "integer"},  {"attr", "integer"}, {"idx", "bigint"},
    {"op", "text"},    {"value", "double precision"}, {"text", "text"}};

py::list sql_columns(const std::string& kind) {
  py::list l;
  if (kind == "seconds" || kind == "events") {
    for (const Column& c : kind == "seconds" ? seconds_columns() : event_columns()) l.append(py::make_tuple(c.name, sql_type(c)));
  } else if (kind == "messages" || kind == "writes") {
    for (const auto& [name, type] : kind == "messages" ? kMessageColumns : kWriteColumns) l.append(py::make_tuple(name, type));
  } else {
    throw py::value_error("kind must be 'seconds', 'events', 'messages' or 'writes', not '" + kind + "'");
  }
  return l;
}

void append_null(fmt::memory_buffer& out) { append(out, "\\N"); }

// An ASCII byte of a COPY text field. NUL, which no PostgreSQL text holds, reads as U+FFFD.
void append_copy_ascii(fmt::memory_buffer& out, unsigned char b) {
  switch (b) {
    case '\\': append(out, "\\\\"); break;
    case '\t': append(out, "\\t"); break;
    case '\n': append(out, "\\n"); break;
    case '\r': append(out, "\\r"); break;
    case 0: append_utf8(out, 0xFFFD); break;
    default: out.push_back(static_cast<char>(b)); break;
  }
}

// Text of the tables (cell names of a list that may be Latin-1): the database refuses
// a byte that is not UTF-8, so it reads as U+FFFD, as in JSON.
void append_copy_utf8(fmt::memory_buffer& out, std::string_view s) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
      append_copy_ascii(out, b);
    } else if (const std::size_t n = utf8_sequence(s, i); n > 0) {
      out.append(s.data() + i, s.data() + i + n);
      i += n - 1;
    } else {
      append_utf8(out, 0xFFFD);
    }
  }
}

// The library's texts (titles, details, decoded strings) are Windows-1252.
void append_copy_cp1252(fmt::memory_buffer& out, std::string_view s) {
  for (const char c : s) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      append_copy_ascii(out, b);
    } else {
      append_utf8(out, cp1252_code_point(b));
    }
  }
}

void append_copy_number(fmt::memory_buffer& out, double v) {
  if (std::isfinite(v)) {
    fmt::format_to(std::back_inserter(out), "{}", v);
  } else {
    append_null(out);
  }
}

void append_copy_cell(fmt::memory_buffer& out, const Cell& cell) {
  if (const auto* i = std::get_if<std::int64_t>(&cell)) {
    fmt::format_to(std::back_inserter(out), "{}", *i);
  } else if (const auto* d = std::get_if<double>(&cell)) {
    append_copy_number(out, *d);
  } else if (const auto* t = std::get_if<std::string>(&cell)) {
    append_copy_utf8(out, *t);
  } else if (const auto* pns = std::get_if<PnList>(&cell)) {
    out.push_back('{');
    for (std::size_t k = 0; k < pns->size(); ++k) fmt::format_to(std::back_inserter(out), "{}{}", k ? "," : "", (*pns)[k]);
    out.push_back('}');
  } else {
    append_null(out);
  }
}

// What the session counts for the run, per device.
struct DeviceCounts {
  std::uint64_t packets = 0;
  std::uint64_t packets_1x = 0;
  std::uint64_t packets_evdo = 0;
  std::uint64_t responses = 0;
  std::uint64_t unknown_codes = 0;
  std::uint64_t not_decoded = 0;
  std::uint64_t decoder_errors = 0;
  std::uint64_t decode_failures = 0;
  std::uint64_t time_suspect = 0;
  std::set<std::uint32_t> codes;
};

// A write kept for the database, its text already UTF-8 in the sink's text buffer.
struct KeptWrite {
  std::uint32_t device = 0;
  std::uint32_t seq = 0;
  std::uint32_t n = 0;
  std::int32_t name = 0;  // index into the names met
  std::uint32_t index = 0;
  WriteOp op = WriteOp::kSetNoValue;
  double value = 0.0;
  std::uint32_t text_offset = 0;
  std::uint32_t text_size = 0;
};

// Collects a capture for the database and passes every packet on to a file's sink, when
// there is one, so the file and the database come of one decode.
class DbSink final : public OutputSink {
 public:
  DbSink(const CellSiteTable* cells, bool messages) : drive_(cells), messages_(messages) {}

  void set_output(OutputSink* out) { out_ = out; }

  void packet(const PacketView& p) override {
    if (out_ != nullptr) out_->packet(p);
    drive_.packet(p);
    codes_.insert(p.code);
    if (counts_.size() <= p.device) counts_.resize(std::size_t{p.device} + 1);
    DeviceCounts& c = counts_[p.device];
    ++c.packets;
    if (!p.known) {
      ++c.unknown_codes;
    } else if (p.cls == PacketClass::kEvdo) {
      ++c.packets_evdo;
    } else {
      ++c.packets_1x;
      if (p.response) ++c.responses;
    }
    if (p.msg->notDecoded) ++c.not_decoded;
    if (p.error != nullptr) ++c.decoder_errors;
    if (!p.diagnostic().empty()) ++c.decode_failures;
    if (p.time_suspect) ++c.time_suspect;
    c.codes.insert(p.code);
    if (messages_) keep_message(p);
  }
  void framing_error(std::string_view text) override {
    if (out_ != nullptr) out_->framing_error(text);
  }
  void framing_error_at(std::string_view text, const FramingErrorAt& at) override {
    if (out_ != nullptr) out_->framing_error_at(text, at);
  }
  void finish() override {
    if (out_ != nullptr) out_->finish();
  }

  DriveCollector& drive() { return drive_; }
  const std::set<std::uint32_t>& codes() const { return codes_; }
  const std::vector<DeviceCounts>& counts() const { return counts_; }
  const std::vector<std::string>& names() const { return names_; }

  std::size_t message_count() const { return message_ends_.size(); }
  std::size_t write_count() const { return writes_.size(); }

  // The COPY lines of messages [first, end), each behind its drive's key.
  void copy_messages(fmt::memory_buffer& out, const std::vector<std::int64_t>& drives, std::size_t first,
                     std::size_t end) const {
    for (std::size_t m = first; m < end; ++m) {
      fmt::format_to(std::back_inserter(out), "{}\t", drives[message_devices_[m]]);
      out.append(lines_.data() + (m > 0 ? message_ends_[m - 1] : 0), lines_.data() + message_ends_[m]);
    }
  }

  // Writes [first, end); attrs: the database's key of each name met, in names() order.
  void copy_writes(fmt::memory_buffer& out, const std::vector<std::int64_t>& drives,
                   const std::vector<std::int64_t>& attrs, std::size_t first, std::size_t end) const {
    for (std::size_t i = first; i < end; ++i) {
      const KeptWrite& w = writes_[i];
      fmt::format_to(std::back_inserter(out), "{}\t{}\t{}\t{}\t{}\t{}\t", drives[w.device], w.seq, w.n,
                     attrs[static_cast<std::size_t>(w.name)], w.index, write_op_name(w.op));
      if (value_kind(w.op) == ValueKind::kString || value_kind(w.op) == ValueKind::kNone) {
        append_null(out);
      } else {
        append_copy_number(out, w.value);
      }
      out.push_back('\t');
      if (value_kind(w.op) == ValueKind::kString) {
        append_copy_utf8(out, std::string_view(texts_).substr(w.text_offset, w.text_size));
      } else {
        append_null(out);
      }
      out.push_back('\n');
    }
  }

 private:
  void keep_message(const PacketView& p) {
    fmt::memory_buffer& b = lines_;
    const auto field = [&b](const auto& v) { fmt::format_to(std::back_inserter(b), "{}\t", v); };
    const auto null = [&b] { append(b, "\\N\t"); };
    const auto number = [&b](std::optional<double> v) {
      append_copy_number(b, v.value_or(std::numeric_limits<double>::quiet_NaN()));
      b.push_back('\t');
    };
    const auto text = [&b](std::string_view t) {
      append_copy_cp1252(b, t);
      b.push_back('\t');
    };
    field(p.seq);
    if (p.time_ms) {
      field(*p.time_ms);
      append_iso_time(b, *p.time_ms);
      b.push_back('\t');
    } else {
      null();
      null();
    }
    field(kind_name(p.response));
    field(p.code);
    if (p.response) {
      field(int{p.command});
    } else {
      null();
    }
    field(class_name(p.cls));
    text(p.msg->title);
    text(p.msg->details);
    field(p.msg->category);
    const auto& loc = p.msg->location();
    number(loc ? std::optional(loc->x) : std::nullopt);
    number(loc ? std::optional(loc->y) : std::nullopt);
    if (p.fix != nullptr) {
      const Fix f = rounded_fix(*p.fix);
      number(f.latitude);
      number(f.longitude);
      number(f.map ? std::optional(f.map->x) : std::nullopt);
      number(f.map ? std::optional(f.map->y) : std::nullopt);
      if (f.age_ms) {
        field(*f.age_ms);
      } else {
        null();
      }
    } else {
      for (int k = 0; k < 5; ++k) null();
    }
    if (p.error != nullptr) {
      text(*p.error);
    } else {
      null();
    }
    field(p.decoded() ? 't' : 'f');
    if (p.diagnostic().empty()) {
      null();
    } else {
      text(p.diagnostic());
    }
    field(p.time_suspect ? 't' : 'f');
    fmt::format_to(std::back_inserter(b), "{}\n", p.device);
    message_ends_.push_back(b.size());
    message_devices_.push_back(p.device);

    std::uint32_t n = 0;
    for (const WriteRecord& r : p.writes) {
      const auto [it, added] = name_codes_.try_emplace(r.id, static_cast<std::int32_t>(names_.size()));
      if (added) names_.emplace_back(attribute_name(r.id, scratch_));
      KeptWrite w;
      w.device = p.device;
      w.seq = p.seq;
      w.n = n++;
      w.name = it->second;
      w.index = r.index;
      w.op = r.op;
      switch (value_kind(r.op)) {
        case ValueKind::kSigned: w.value = static_cast<double>(r.i); break;
        case ValueKind::kUnsigned: w.value = static_cast<double>(r.u); break;
        case ValueKind::kDouble: w.value = r.d; break;
        case ValueKind::kString: {
          const std::string utf8 = cp1252_to_utf8(p.text_of(r));
          w.text_offset = static_cast<std::uint32_t>(texts_.size());
          w.text_size = static_cast<std::uint32_t>(utf8.size());
          texts_ += utf8;
          break;
        }
        case ValueKind::kNone: break;
      }
      writes_.push_back(w);
    }
  }

  OutputSink* out_ = nullptr;
  DriveCollector drive_;
  bool messages_;
  std::set<std::uint32_t> codes_;
  std::vector<DeviceCounts> counts_;  // by device
  fmt::memory_buffer lines_;          // the messages' COPY lines, without the drive
  std::vector<std::size_t> message_ends_;
  std::vector<std::uint32_t> message_devices_;
  std::vector<KeptWrite> writes_;
  std::string texts_;
  std::vector<std::string> names_;
  std::unordered_map<std::uint32_t, std::int32_t> name_codes_;
  std::string scratch_;
};

// One capture decoded once for the database (and into a file on the way when out is
// given, by the rules of decode_to_file).
class DriveTables {
 public:
  DriveTables(const std::string& path, const std::optional<std::string>& out, const std::string& format,
              const std::optional<std::string>& cells, std::optional<int> projection, bool details,
              const std::optional<std::string>& input, bool messages) {
    const FormatInfo* f = nullptr;
    if (out) {
      f = format_by_name(format);
      if (f == nullptr) throw py::value_error("format must be one of " + format_list() + ", not '" + format + "'");
      if (out->empty() || *out == "-") throw py::value_error("out must name a file");
      std::vector<std::string> read = {path};
      if (cells && !cells->empty()) read.push_back(*cells);
      if (const std::string clash = output_clash(*out, read); !clash.empty()) {
        raise_error(PyExc_ValueError, clash_message(*out, clash));
      }
    }
    RunSettings settings = make_settings(cells, projection, details, {}, input);
    // The tables read writes only: texts are made for a file or kept messages alone.
    if (!out && !messages) {
      settings.title = false;
      settings.details = false;
    }
    session_ = open_session(path, settings);
    sink_ = std::make_unique<DbSink>(&session_->cells(), messages);

    std::optional<InputResult> result;
    std::string output_error;
    const bool take_signals = on_main_thread();
    {
      const py::gil_scoped_release release;
      std::optional<InterruptGuard> interrupts;
      if (take_signals) interrupts.emplace(true);
      try {
        std::unique_ptr<OutputSink> file;
        if (out) {
          RunInfo info;
          info.version = version_text();
          info.inputs = {path};
          info.options = fmt::format("python fleet database format={} details={}{}", format, details ? "on" : "off",
                                     cells ? " cells=" + *cells : std::string());
          info.epsg = projection.value_or(0);
          info.cells = &session_->cells();
          file = make_sink(f->format, *out, info);
        }
        sink_->set_output(file.get());
        drain(*session_, *sink_, [&](const InputResult& r) { result = r; });
        counters_ = session_->counters();
        const InputEnd end = result ? result->end : InputEnd::kEnd;
        const bool failed = end == InputEnd::kNotDiag || end == InputEnd::kReadFailed || end == InputEnd::kUnreadable;
        if (file && end != InputEnd::kStopped && finishes_output(*out, counters_.packets, failed, false)) {
          file->finish();
          written_ = true;
        }
      } catch (const OutputError& e) {
        output_error = e.what();
      }
      sink_->set_output(nullptr);
      sink_->drive().finish();
    }
    if (result && result->end == InputEnd::kStopped) raise_stop();
    clear_stop();
    if (!output_error.empty()) raise_os_error(*out + ": " + output_error);
    if (result) check_input(*result);
  }

  // The run's counters and drive summary as decode_to_file gives them, with devices: per
  // device its span, distance, counts, codes, rows and catalogue means.
  py::dict summary() const {
    py::dict d = counters_dict(counters_);
    const DriveSummary& s = sink_->drive().summary();
    d["first_time"] = s.first_time ? py::object(py::float_(*s.first_time)) : py::object(py::none());
    d["last_time"] = s.last_time ? py::object(py::float_(*s.last_time)) : py::object(py::none());
    d["duration_s"] = s.first_time ? *s.last_time - *s.first_time : 0.0;
    d["distance_km"] = s.distance_m() / 1000.0;
    d["codes"] = sink_->codes().size();
    const std::vector<SecondRow>& rows = sink_->drive().seconds();
    d["means"] = seconds_means(rows, std::nullopt);
    py::list devices;
    for (std::uint32_t i = 0; i < sink_->counts().size(); ++i) {
      const DeviceCounts& c = sink_->counts()[i];
      py::dict v;
      v["device"] = i;
      const DeviceSummary* ds = i < s.devices.size() ? &s.devices[i] : nullptr;
      const bool timed = ds != nullptr && ds->first_time;
      v["first_time"] = timed ? py::object(py::float_(*ds->first_time)) : py::object(py::none());
      v["last_time"] = timed ? py::object(py::float_(*ds->last_time)) : py::object(py::none());
      v["duration_s"] = timed ? *ds->last_time - *ds->first_time : 0.0;
      v["distance_km"] = ds != nullptr ? ds->distance_m / 1000.0 : 0.0;
      v["packets"] = c.packets;
      v["packets_1x"] = c.packets_1x;
      v["packets_evdo"] = c.packets_evdo;
      v["responses"] = c.responses;
      v["unknown_codes"] = c.unknown_codes;
      v["not_decoded"] = c.not_decoded;
      v["decoder_errors"] = c.decoder_errors;
      v["decode_failures"] = c.decode_failures;
      v["time_suspect"] = c.time_suspect;
      v["codes"] = c.codes.size();
      v["seconds"] = std::count_if(rows.begin(), rows.end(), [i](const SecondRow& r) { return r.device == i; });
      const std::vector<DriveEvent>& events = sink_->drive().events();
      v["events"] = std::count_if(events.begin(), events.end(), [i](const DriveEvent& e) { return e.device == i; });
      v["means"] = seconds_means(rows, i);
      devices.append(v);
    }
    d["devices"] = devices;
    d["written"] = written_;
    return d;
  }

  const std::vector<std::string>& attribute_names() const { return sink_->names(); }

  // The COPY text of rows [first, first + rows) of one table (empty past its end), each
  // row behind its device's drive key; attrs: the database's key of each of
  // attribute_names(), for the writes. In pieces, a large drive's writes never stand
  // twice in memory as text.
  py::bytes copy(const std::string& kind, const std::vector<std::int64_t>& drives,
                 const std::optional<std::vector<std::int64_t>>& attrs, std::size_t first,
                 std::optional<std::size_t> rows) const {
    if (drives.size() < sink_->counts().size()) {
      throw py::value_error(fmt::format("{} drive keys for {} devices", drives.size(), sink_->counts().size()));
    }
    if (kind == "writes" && (!attrs || attrs->size() != sink_->names().size())) {
      throw py::value_error(fmt::format("the writes need a key for each of the {} attribute names", sink_->names().size()));
    }
    const std::vector<SecondRow>& seconds = sink_->drive().seconds();
    const std::vector<DriveEvent>& events = sink_->drive().events();
    std::size_t total = 0;
    if (kind == "seconds") {
      total = seconds.size();
    } else if (kind == "events") {
      total = events.size();
    } else if (kind == "messages") {
      total = sink_->message_count();
    } else if (kind == "writes") {
      total = sink_->write_count();
    } else {
      sql_columns(kind);  // raises, naming the kinds
    }
    const std::size_t begin = std::min(first, total);
    const std::size_t end = rows ? begin + std::min(*rows, total - begin) : total;
    fmt::memory_buffer out;
    {
      const py::gil_scoped_release release;
      std::vector<Cell> cells;
      const auto line = [&](std::uint32_t device) {
        fmt::format_to(std::back_inserter(out), "{}", drives[device]);
        for (const Cell& c : cells) {
          out.push_back('\t');
          append_copy_cell(out, c);
        }
        out.push_back('\n');
      };
      if (kind == "seconds") {
        for (std::size_t i = begin; i < end; ++i) {
          seconds_cells(seconds[i], cells);
          line(seconds[i].device);
        }
      } else if (kind == "events") {
        for (std::size_t i = begin; i < end; ++i) {
          event_cells(events[i], cells);
          line(events[i].device);
        }
      } else if (kind == "messages") {
        sink_->copy_messages(out, drives, begin, end);
      } else {
        sink_->copy_writes(out, drives, *attrs, begin, end);
      }
    }
    return py::bytes(out.data(), out.size());
  }

 private:
  std::unique_ptr<DecodeSession> session_;  // owns the cell table the serving sectors point into
  std::unique_ptr<DbSink> sink_;
  RunCounters counters_;
  bool written_ = false;
};

py::list attribute_list() {
  py::list l;
  for (const AttributeEntry& a : all_attributes()) {
    py::dict d;
    d["name"] = a.name;
    d["unit"] = a.doc.unit;
    d["meaning"] = a.doc.meaning;
    d["ops"] = a.doc.ops;
    d["idx"] = a.doc.index;
    l.append(d);
  }
  return l;
}

}  // namespace
}  // namespace cdmadiag

PYBIND11_MODULE(_cdmadiag, m) {
  using namespace cdmadiag;
  m.doc() = "CDMA DIAG log decoding (the cdmadiag library)";
  m.attr("__version__") = version_text();

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

  m.def("table", &table, py::arg("path"), py::arg("kind"), py::arg("cells") = py::none(),
        py::arg("projection") = py::none(), py::arg("input") = py::none(),
        "The per-second table ('seconds') or the events ('events') of one capture, as columns");

  py::class_<Chunks>(m, "Chunks", "The columns of one capture's messages and writes, a number of packets at a time")
      .def(py::init<const std::string&, const std::optional<std::string>&, std::optional<int>, bool,
                    const std::optional<std::set<std::uint32_t>>&, const std::optional<std::string>&, std::size_t>(),
           py::arg("path"), py::arg("cells") = py::none(), py::arg("projection") = py::none(),
           py::arg("details") = true, py::arg("codes") = py::none(), py::arg("input") = py::none(),
           py::arg("size") = 100000)
      .def("__iter__", [](Chunks& self) -> Chunks& { return self; }, py::return_value_policy::reference_internal)
      .def("__next__", &Chunks::next);

  m.def(
      "catalogue",
      [] {
        py::list l;
        for (const Measurement& x : measurements()) {
          py::dict d;
          d["name"] = std::string(x.name);
          d["unit"] = std::string(x.unit);
          d["technology"] = tech_name(x.tech);
          d["meaning"] = std::string(x.meaning);
          d["source"] = std::string(x.source);
          d["list"] = x.shape == Shape::kList;
          l.append(d);
        }
        return l;
      },
      "The measurement catalogue: name, unit, technology, meaning, source, list");

  m.def(
      "formats",
      [] {
        py::dict d;
        for (const FormatInfo& f : output_formats()) d[py::str(f.name)] = f.suffix;
        return d;
      },
      "The output formats, each with the suffix of the files the fleet writes");

  py::class_<DriveTables>(m, "DriveTables",
                          "One capture decoded once for the fleet's database: summary per device and COPY text")
      .def(py::init<const std::string&, const std::optional<std::string>&, const std::string&,
                    const std::optional<std::string>&, std::optional<int>, bool, const std::optional<std::string>&,
                    bool>(),
           py::arg("path"), py::arg("out") = py::none(), py::arg("format") = "sqlite", py::arg("cells") = py::none(),
           py::arg("projection") = py::none(), py::arg("details") = true, py::arg("input") = py::none(),
           py::arg("messages") = false)
      .def_property_readonly("summary", &DriveTables::summary, "Counters and drive summary, with devices")
      .def_property_readonly("attribute_names", &DriveTables::attribute_names, "Attribute names the writes use")
      .def("copy", &DriveTables::copy, py::arg("kind"), py::arg("drives"), py::arg("attributes") = py::none(),
           py::arg("first") = 0, py::arg("rows") = py::none(),
           "COPY text of rows of 'seconds', 'events', 'messages' or 'writes', each behind its device's drive key");

  m.def("sql_columns", &sql_columns, py::arg("kind"),
        "(name, PostgreSQL type) of each column of 'seconds', 'events', 'messages' or 'writes', in COPY order");
  m.def("version", [] { return std::string(version_text()); }, "The version of the library and the command");
  m.def("attributes", &attribute_list, "Every attribute the library lists: name, unit, meaning, ops, idx");

  m.def("decode_to_file", &decode_to_file, py::arg("path"), py::arg("out"), py::arg("format") = "sqlite",
        py::arg("cells") = py::none(), py::arg("projection") = py::none(), py::arg("details") = true,
        py::arg("input") = py::none(),
        "Decodes one capture into a file, as the command does; returns its counters and drive summary");
}
