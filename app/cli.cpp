#include "cli.h"

#include <fmt/format.h>

#include <CLI/CLI.hpp>
#include <csignal>
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "async_sink.h"
#include "session.h"
#include "sinks.h"
#include "attrs_listing.h"
#include "filters.h"
#include "framework/dispatch.h"
#include "host/map_projections.h"
#include "interrupt.h"
#include "output_file.h"
#include "progress.h"
#include "report.h"
#include "run_info.h"
#include "text_convert.h"
#include "version.h"

namespace cdmadiag {
namespace {

constexpr std::uint64_t kProgressMinSize = std::uint64_t{64} << 20;
constexpr int kFramingErrorsShown = 20;

struct CommandLine {
  std::vector<std::string> files;
  std::string format = "text";
  std::string output;
  std::string input;
  bool no_title = false;
  bool no_details = false;
  bool no_cells = false;
  bool quiet = false;
  bool single_thread = false;
  enum class Job : std::uint8_t { kDecode, kReport, kSeconds, kEvents } job = Job::kDecode;
  std::string colour_by = "auto";
  std::string tiles;
  bool line_buffered = false;
  bool no_line_buffered = false;
  RunSettings settings;
  RunInfo run;
};

std::vector<std::string> format_names() {
  std::vector<std::string> names;
  for (const FormatInfo& f : output_formats()) names.emplace_back(f.name);
  return names;
}

const char* code_class_name(CodeClass cls) {
  switch (cls) {
    case CodeClass::k1x: return "1x";
    case CodeClass::kEvdo: return "evdo";
    case CodeClass::kDiagCommand: return "1x";  // the class that decodes responses
  }
  return "";
}

bool is_stdout(const std::string& output) { return output.empty() || output == "-"; }

int run_decode(CommandLine& cl) {
  const FormatInfo& format = *format_by_name(cl.format);
  if (format.needs_file && is_stdout(cl.output)) {
    fmt::print(stderr, "cdmadiag: --format {} needs an output file (-o FILE)\n", format.name);
    return kExitUsage;
  }
  std::vector<std::string> read = cl.files;
  if (!cl.settings.cells.empty()) read.push_back(cl.settings.cells);
  if (const std::string input = output_clash(cl.output, read); !input.empty()) {
    fmt::print(stderr, "cdmadiag: {}\n", clash_message(cl.output, input));
    return kExitUsage;
  }
  RunSettings& o = cl.settings;
  o.title = !cl.no_title;
  o.details = !cl.no_details;
  o.cell_ids = !cl.no_cells;
  o.input = *input_format_by_name(cl.input);
  const bool line_buffered =
      cl.line_buffered || (!cl.no_line_buffered && involves_pipe(cl.files, is_stdout(cl.output) ? "" : cl.output));
  // Live output goes out as decoded: no packet waits for those after it.
  o.look_ahead = !line_buffered;

  std::unique_ptr<DecodeSession> session;
  try {
    session = std::make_unique<DecodeSession>(o);
  } catch (const SettingsError& e) {
    fmt::print(stderr, "cdmadiag: --{}\n", e.what());
    return kExitUsage;
  }
  for (const std::string& path : cl.files) session->add_input(path);

  const InterruptGuard interrupts;
  int status = kExitOk;
  const auto start = std::chrono::steady_clock::now();
  try {
    cl.run.epsg = o.projection;
    cl.run.cells = &session->cells();
    std::unique_ptr<OutputSink> sink;
    switch (cl.job) {
      case CommandLine::Job::kDecode: sink = make_sink(format.format, cl.output, cl.run); break;
      case CommandLine::Job::kReport:
        sink = make_report_sink(cl.output,
                                {measure_by_key(cl.colour_by), &session->cells(), &session->counters(), cl.tiles});
        break;
      case CommandLine::Job::kSeconds: sink = make_table_sink(TableKind::kSeconds, cl.output, &session->cells()); break;
      case CommandLine::Job::kEvents: sink = make_table_sink(TableKind::kEvents, cl.output, &session->cells()); break;
    }
    sink->set_line_buffered(line_buffered);
    // Live output wants each packet out as decoded, and the output thread takes them in batches.
    if (!cl.single_thread && !line_buffered) sink = make_async_sink(std::move(sink));
    std::optional<ProgressBar> bar;
    std::uint32_t bar_input = 0;
    std::uint32_t since_progress = 0;
    for (bool done = false; !done;) {
      const DecodeSession::Event event = session->next();
      if (session->inputs_started() != bar_input) {
        bar_input = session->inputs_started();
        bar.emplace(stderr, std::string(session->input_name()), session->input_size().value_or(0),
                    cl.quiet ? UINT64_MAX : kProgressMinSize);
      }
      switch (event) {
        case DecodeSession::Event::kPacket:
          sink->packet(session->packet());
          if (bar->active() && ++since_progress == 4096) {
            since_progress = 0;
            bar->update(session->input_offset(), session->counters().packets);
          }
          break;
        case DecodeSession::Event::kFramingError: {
          const std::uint64_t n = session->counters().framing_errors;
          if (!cl.quiet && n <= kFramingErrorsShown) {
            fmt::print(stderr, "cdmadiag: framing error: {}\n", session->framing_error());
          } else if (!cl.quiet && n == kFramingErrorsShown + 1) {
            fmt::print(stderr, "cdmadiag: further framing errors are counted, not shown\n");
          }
          sink->framing_error_at(session->framing_error(), session->framing_where());
          break;
        }
        case DecodeSession::Event::kInputDone: {
          bar.reset();
          const InputResult& r = session->input_result();
          switch (r.end) {
            case InputEnd::kEnd:
            case InputEnd::kStopped: break;
            case InputEnd::kUnreadable:
              fmt::print(stderr, "cdmadiag: {}: {}\n", r.name, r.error);
              status = kExitUsage;
              break;
            case InputEnd::kEmpty:
              if (!cl.quiet) fmt::print(stderr, "cdmadiag: {}: empty input, nothing to decode\n", r.name);
              break;
            case InputEnd::kReadFailed:
              fmt::print(stderr, "cdmadiag: {}: read failed at byte {}: {}\n", r.name, r.bytes, r.error);
              status = kExitUsage;
              break;
            case InputEnd::kNotDiag:
              fmt::print(stderr, "cdmadiag: {}: not a DIAG log (no plausible log record or good frame in it)\n",
                         r.name);
              status = kExitUsage;
              break;
          }
          break;
        }
        case DecodeSession::Event::kEnd: done = true; break;
      }
    }
    const RunCounters& counters = session->counters();
    if (finishes_output(cl.output, counters.packets, status == kExitUsage, stop_requested())) {
      sink->finish();
    } else if (!is_stdout(cl.output)) {
      fmt::print(stderr, "cdmadiag: {}; {} left as it was\n", counters.packets == 0 ? "nothing decoded" : "an input failed",
                 cl.output);
    }
  } catch (const OutputError& e) {
    // Stopped while the output could not take bytes (a FIFO waiting for its reader).
    if (stop_requested()) return kExitInterrupted;
    fmt::print(stderr, "cdmadiag: {}\n", e.what());
    return kExitUsage;
  }
  const RunCounters& counters = session->counters();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const int stopped_by = stop_signal();
  if (!cl.quiet) print_summary(stderr, counters, seconds, stopped_by);
  if (!cl.quiet && session->filter() != nullptr) session->filter()->print_summary(stderr);
  if (stopped_by != 0) return kExitInterrupted;
  if (status == kExitOk && (counters.framing_errors > 0 || counters.decoder_errors > 0)) status = kExitDecodeErrors;
  return status;
}

// The report reads what the decoders write and the titles; details are not needed.
CLI::App* add_report_command(CLI::App& app, CommandLine& cl) {
  CLI::App* r = app.add_subcommand("report", "Draw the drive (route, charts over time, summary) as one HTML file");
  r->add_option("FILE", cl.files, "Capture files (log records or HDLC stream); - reads standard input")->required();
  r->add_option("-o,--output", cl.output, "HTML file to write")->required();
  r->add_option("--cells", cl.settings.cells, "Cell-site CSV: sites on the map, lines to the serving sector");
  std::vector<std::string> keys = {"auto"};
  for (const ChartedMeasure& m : charted_measures()) keys.emplace_back(m.key);
  for (const Measurement& m : measurements()) {
    if (m.shape == Shape::kNumber) keys.emplace_back(m.name);
  }
  r->add_option("--colour-by", cl.colour_by,
                "Measurement that colours the route: a name of `cdmadiag measurements` or a short key "
                "(auto: Ec/Io on 1x, SINR on EV-DO)")
      ->check(CLI::IsMember(keys));
  r->add_option("--tiles", cl.tiles,
                "Tile server URL template ({z}/{x}/{y}, optional {s}) drawn under the route when the page is "
                "opened online; without it the page fetches nothing")
      ->check(tile_template_problem, "URL_TEMPLATE");
  r->add_option("--input", cl.input, "Input format, detected per file when absent")->check(CLI::IsMember({"log", "hdlc"}));
  r->add_option("--pilot-inc", cl.settings.pilot_inc, "Pilot increment of the network");
  r->add_flag("-q,--quiet", cl.quiet, "No summary, progress bar or framing-error messages on standard error");
  r->add_flag("--single-thread", cl.single_thread, "Collect the drive on the decoding thread");
  r->callback([&cl] {
    cl.no_details = true;
    cl.job = CommandLine::Job::kReport;
  });
  return r;
}

// `seconds` and `events`: one table of the drive as CSV. Neither needs details.
void add_table_command(CLI::App& app, CommandLine& cl, const char* name, const char* what, CommandLine::Job job) {
  CLI::App* t = app.add_subcommand(name, what);
  t->add_option("FILE", cl.files, "Capture files (log records or HDLC stream); - reads standard input")->required();
  t->add_option("-o,--output", cl.output, "CSV file to write (standard output when absent)");
  t->add_option("--cells", cl.settings.cells, "Cell-site CSV: names the serving sectors");
  t->add_option("--projection", cl.settings.projection, "EPSG code of the map projection (32616 or EPSG:32616)")
      ->transform(strip_epsg_prefix);
  t->add_option("--input", cl.input, "Input format, detected per file when absent")->check(CLI::IsMember({"log", "hdlc"}));
  t->add_option("--pilot-inc", cl.settings.pilot_inc, "Pilot increment of the network");
  t->add_flag("-q,--quiet", cl.quiet, "No summary, progress bar or framing-error messages on standard error");
  t->callback([&cl, job] {
    cl.no_details = true;
    cl.job = job;
  });
}

}  // namespace

void print_summary(std::FILE* out, const RunCounters& c, double seconds, int interrupted_by) {
  const double rate = seconds > 0 ? static_cast<double>(c.packets) / seconds : 0.0;
  std::string stop;
  if (interrupted_by != 0) {
    stop = fmt::format("interrupted by {}, output finished up to there; ",
                       interrupted_by == SIGINT    ? "SIGINT"
                       : interrupted_by == SIGTERM ? "SIGTERM"
                                                   : fmt::format("signal {}", interrupted_by));
  }
  fmt::print(out,
             "cdmadiag: {}{} packets (1x {}, of which {} command responses; evdo {}; {} of unknown code), {} not "
             "decoded yet, {} decode failures, {} decoder errors, {} framing errors, {} stray time stamps; {:.3f} s, "
             "{:.0f} packets/s\n",
             stop, c.packets, c.packets_1x, c.responses, c.packets_evdo, c.unknown_codes, c.not_decoded,
             c.decode_failures, c.decoder_errors, c.framing_errors, c.time_suspect, seconds, rate);
}

void print_codes(std::FILE* out) {
  fmt::memory_buffer buf;
  for (const CodeInfo& info : known_codes()) {
    const char* state = !info.has_decoder ? "title only" : info.pending ? "placeholder" : "decoded";
    fmt::format_to(std::back_inserter(buf), "0x{:04X}  {:<8}  {:<4}  {:<11}  ", info.code,
                   kind_name(info.cls == CodeClass::kDiagCommand), code_class_name(info.cls), state);
    append_cp1252_as_utf8(buf, info.title);
    buf.push_back('\n');
  }
  std::fwrite(buf.data(), 1, buf.size(), out);
}

int app_main(int argc, char** argv) {
  CLI::App app{"Decodes CDMA DIAG captures (1x, EV-DO) into text, JSON lines, CSV or SQLite."};
  app.set_version_flag("--version", version_line());
  app.require_subcommand(1);

  CommandLine cl;
  CLI::App* decode = app.add_subcommand("decode", "Expand every packet of every FILE, in order");
  decode->add_option("FILE", cl.files, "Capture files (log records or HDLC stream); - reads standard input")
      ->required();
  decode->add_option("--format", cl.format, "Output format")->check(CLI::IsMember(format_names()));
  decode->add_option("-o,--output", cl.output, "Output file (standard output when absent; required for sqlite)");
  decode->add_option("--input", cl.input, "Input format, detected per file when absent")
      ->check(CLI::IsMember({"log", "hdlc"}));
  decode->add_flag("--no-title", cl.no_title, "Do not ask for titles");
  decode->add_flag("--no-details", cl.no_details, "Do not ask for details");
  decode->add_flag("--no-cells", cl.no_cells, "Do not ask for cell identification");
  decode->add_flag("--read-only", cl.settings.read_only, "The data state accepts no writes");
  decode->add_option("--threshold-a", cl.settings.threshold_a, "Threshold A in dB (default -15)");
  decode->add_option("--threshold-b", cl.settings.threshold_b, "Threshold B in dB (default -15)");
  decode->add_flag("--common-flag", cl.settings.common_flag, "Set the common flag");
  decode->add_option("--cells", cl.settings.cells, "Cell-site CSV with a header naming pn, latitude, longitude "
                     "(sector_id, site_name, azimuth, beamwidth when present)");
  decode->add_option("--projection", cl.settings.projection, "EPSG code of the map projection (32616 or EPSG:32616)")
      ->transform(strip_epsg_prefix);
  decode->add_option("--pilot-inc", cl.settings.pilot_inc, "Pilot increment of the network");
  decode->add_flag("--single-thread", cl.single_thread, "Format and write the output on the decoding thread");
  add_filter_options(*decode, cl.settings.filters);
  CLI::Option* line_buffered = decode->add_flag(
      "--line-buffered", cl.line_buffered, "Write each packet out as decoded (default when reading or writing a pipe)");
  decode->add_flag("--no-line-buffered", cl.no_line_buffered, "Write in large blocks, even to a pipe")
      ->excludes(line_buffered);
  decode->add_flag("-q,--quiet", cl.quiet, "No summary, progress bar or framing-error messages on standard error");

  add_report_command(app, cl);
  add_table_command(app, cl, "seconds", "The per-second table of the drive (every measurement, fix, serving sector) as CSV",
                    CommandLine::Job::kSeconds);
  add_table_command(app, cl, "events", "The events of the drive (active-set changes, connections, releases) as CSV",
                    CommandLine::Job::kEvents);
  std::string measurements_format = "text";
  CLI::App* catalogue = app.add_subcommand("measurements", "List the measurements: name, unit, technology, meaning, source");
  catalogue->add_option("--format", measurements_format, "Output format")->check(CLI::IsMember({"text", "csv"}));
  CLI::App* codes = app.add_subcommand("codes", "List the codes the dispatchers know");
  std::string attrs_format = "text";
  CLI::App* attrs = app.add_subcommand("attrs", "List every attribute: write operations, unit, index, meaning");
  attrs->add_option("--format", attrs_format, "Output format")->check(CLI::IsMember({"text", "csv"}));

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int rc = app.exit(e);
    return rc == 0 ? kExitOk : kExitUsage;
  }
  if (codes->parsed()) {
    print_codes(stdout);
    return kExitOk;
  }
  if (attrs->parsed()) {
    const AttrsFormat format = attrs_format == "csv" ? AttrsFormat::kCsv : AttrsFormat::kText;
    if (print_attributes(stdout, format)) return kExitOk;
    fmt::print(stderr, "cdmadiag: attrs: writing to standard output failed\n");
    return kExitUsage;
  }
  if (catalogue->parsed()) {
    const AttrsFormat format = measurements_format == "csv" ? AttrsFormat::kCsv : AttrsFormat::kText;
    if (print_measurements(stdout, format)) return kExitOk;
    fmt::print(stderr, "cdmadiag: measurements: writing to standard output failed\n");
    return kExitUsage;
  }
  cl.run = describe_run(*decode, cl.files);
  return run_decode(cl);
}

}  // namespace cdmadiag
