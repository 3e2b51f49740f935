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
  std::string cells;
  int projection = 0;
  int pilot_inc = 0;
  bool no_title = false;
  bool no_details = false;
  bool no_cells = false;
  bool quiet = false;
  bool single_thread = false;
  bool report = false;  // the report subcommand: one HTML drive report
  std::string colour_by = "auto";
  bool line_buffered = false;
  bool no_line_buffered = false;
  FilterOptions filters;
  DecodeOptions options;
  RunInfo run;
};

const std::map<std::string, OutputFormat> kFormats = {{"text", OutputFormat::kText},
                                                      {"jsonl", OutputFormat::kJsonl},
                                                      {"csv", OutputFormat::kCsv},
                                                      {"sqlite", OutputFormat::kSqlite},
                                                      {"geojson", OutputFormat::kGeojson},
                                                      {"kml", OutputFormat::kKml}};
const std::map<std::string, InputFormat> kInputs = {{"log", InputFormat::kLog}, {"hdlc", InputFormat::kHdlc}};

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
  const OutputFormat format = kFormats.at(cl.format);
  if (format == OutputFormat::kSqlite && is_stdout(cl.output)) {
    fmt::print(stderr, "cdmadiag: --format sqlite needs an output file (-o FILE)\n");
    return kExitUsage;
  }
  std::vector<std::string> read = cl.files;
  if (!cl.cells.empty()) read.push_back(cl.cells);
  if (const std::string input = output_clash(cl.output, read); !input.empty()) {
    fmt::print(stderr, "cdmadiag: {}\n", clash_message(cl.output, input));
    return kExitUsage;
  }
  DecodeOptions& o = cl.options;
  o.title = !cl.no_title;
  o.details = !cl.no_details;
  o.cell_ids = !cl.no_cells;
  o.input = cl.input.empty() ? InputFormat::kAuto : kInputs.at(cl.input);

  PacketFilter filter;
  if (!setup_filter(filter, cl.filters, stderr)) return kExitUsage;

  ObjectProperties properties;
  properties.set_pilot_increment(cl.pilot_inc);
  properties.set_projection_epsg(cl.projection);
  CCoordinateSystem system;
  CellSiteTable cells;
  if (cl.projection > 0) {
    if (!system.init(cl.projection)) {
      fmt::print(stderr, "cdmadiag: --projection {}: not a projection this build knows\n", cl.projection);
      return kExitUsage;
    }
    cells.set_projection(&system);
  }
  if (!cl.cells.empty()) {
    std::string error;
    if (!cells.load_csv(cl.cells, error)) {
      fmt::print(stderr, "cdmadiag: --cells {}: {}\n", cl.cells, error);
      return kExitUsage;
    }
  }

  const InterruptGuard interrupts;
  int status = kExitOk;
  const auto start = std::chrono::steady_clock::now();
  RunCounters counters;
  try {
    cl.run.epsg = cl.projection;
    std::unique_ptr<OutputSink> sink = cl.report ? make_report_sink(cl.output, {measure_by_key(cl.colour_by), &cells})
                                                 : make_sink(format, cl.output, cl.run);
    const bool line_buffered =
        cl.line_buffered || (!cl.no_line_buffered && involves_pipe(cl.files, is_stdout(cl.output) ? "" : cl.output));
    sink->set_line_buffered(line_buffered);
    // The report searches the cell sites itself, which the decoding thread does too; live
    // output wants each packet out as decoded, and the output thread takes them in batches.
    if (!cl.single_thread && !cl.report && !line_buffered) sink = make_async_sink(std::move(sink));
    DecodeRun run(o, *sink, &cells, &properties);
    if (filter.active()) run.set_filter(&filter);
    if (!cl.quiet) run.set_error_log(stderr, kFramingErrorsShown);
    for (const std::string& path : cl.files) {
      if (stop_requested()) break;
      const std::string name = path == "-" ? "<stdin>" : path;
      std::string error;
      const std::unique_ptr<ByteStream> in = ByteStream::open(path, error);
      if (!in) {
        fmt::print(stderr, "cdmadiag: {}: {}\n", name, error);
        status = kExitUsage;
        continue;
      }
      if (in->ensure(1) == 0 && in->error().empty()) {
        if (!cl.quiet && !stop_requested()) fmt::print(stderr, "cdmadiag: {}: empty input, nothing to decode\n", name);
        continue;
      }
      ProgressBar bar(stderr, name, in->size().value_or(0), cl.quiet ? UINT64_MAX : kProgressMinSize);
      DecodeRun::Progress progress;
      if (bar.active()) progress = [&](std::uint64_t offset) { bar.update(offset, run.counters().packets); };
      const StreamEnd end = run.decode_stream(*in, name, progress);
      if (!in->error().empty()) {
        fmt::print(stderr, "cdmadiag: {}: read failed at byte {}: {}\n", name, in->offset(), in->error());
        status = kExitUsage;
      } else if (end == StreamEnd::kNotDiag) {
        fmt::print(stderr, "cdmadiag: {}: not a DIAG log (no plausible log record or good frame in it)\n", name);
        status = kExitUsage;
      }
    }
    counters = run.counters();
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
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const int stopped_by = stop_signal();
  if (!cl.quiet) print_summary(stderr, counters, seconds, stopped_by);
  if (!cl.quiet && filter.active()) filter.print_summary(stderr);
  if (stopped_by != 0) return kExitInterrupted;
  if (status == kExitOk && (counters.framing_errors > 0 || counters.decoder_errors > 0)) status = kExitDecodeErrors;
  return status;
}

// The report reads what the decoders write and the titles; details are not needed.
CLI::App* add_report_command(CLI::App& app, CommandLine& cl) {
  CLI::App* r = app.add_subcommand("report", "Draw the drive (route, charts over time, summary) as one HTML file");
  r->add_option("FILE", cl.files, "Capture files (log records or HDLC stream); - reads standard input")->required();
  r->add_option("-o,--output", cl.output, "HTML file to write")->required();
  r->add_option("--cells", cl.cells, "Cell-site CSV: sites on the map, lines to the serving sector");
  std::vector<std::string> keys = {"auto"};
  for (const MeasureInfo& m : measures()) keys.emplace_back(m.key);
  r->add_option("--colour-by", cl.colour_by, "Measurement that colours the route (auto: Ec/Io on 1x, SINR on EV-DO)")
      ->check(CLI::IsMember(keys));
  r->add_option("--input", cl.input, "Input format, detected per file when absent")->check(CLI::IsMember({"log", "hdlc"}));
  r->add_option("--pilot-inc", cl.pilot_inc, "Pilot increment of the network");
  r->add_flag("-q,--quiet", cl.quiet, "No summary, progress bar or framing-error messages on standard error");
  r->callback([&cl] { cl.no_details = true; });
  return r;
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
             "cdmadiag: {}{} packets (1x {}, of which {} command responses; evdo {}), {} not decoded yet, "
             "{} of unknown code, {} framing errors, {} decoder errors; {:.3f} s, {:.0f} packets/s\n",
             stop, c.packets, c.packets_1x, c.responses, c.packets_evdo, c.not_decoded, c.unknown_codes,
             c.framing_errors, c.decoder_errors, seconds, rate);
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
  app.set_version_flag("--version", std::string("cdmadiag ") + version_text());
  app.require_subcommand(1);

  CommandLine cl;
  CLI::App* decode = app.add_subcommand("decode", "Expand every packet of every FILE, in order");
  decode->add_option("FILE", cl.files, "Capture files (log records or HDLC stream); - reads standard input")
      ->required();
  decode->add_option("--format", cl.format, "Output format")
      ->check(CLI::IsMember({"text", "jsonl", "csv", "sqlite", "geojson", "kml"}));
  decode->add_option("-o,--output", cl.output, "Output file (standard output when absent; required for sqlite)");
  decode->add_option("--input", cl.input, "Input format, detected per file when absent")
      ->check(CLI::IsMember({"log", "hdlc"}));
  decode->add_flag("--no-title", cl.no_title, "Do not ask for titles");
  decode->add_flag("--no-details", cl.no_details, "Do not ask for details");
  decode->add_flag("--no-cells", cl.no_cells, "Do not ask for cell identification");
  decode->add_flag("--read-only", cl.options.read_only, "The data state accepts no writes");
  decode->add_option("--threshold-a", cl.options.threshold_a, "Threshold A in dB (default -15)");
  decode->add_option("--threshold-b", cl.options.threshold_b, "Threshold B in dB (default -15)");
  decode->add_flag("--common-flag", cl.options.common_flag, "Set the common flag");
  decode->add_option("--cells", cl.cells, "Cell-site CSV with a header naming pn, latitude, longitude (sector_id, "
                     "site_name, azimuth, beamwidth when present)");
  decode->add_option("--projection", cl.projection, "EPSG code of the map projection (32616 or EPSG:32616)")
      ->transform(strip_epsg_prefix);
  decode->add_option("--pilot-inc", cl.pilot_inc, "Pilot increment of the network");
  decode->add_flag("--single-thread", cl.single_thread, "Format and write the output on the decoding thread");
  add_filter_options(*decode, cl.filters);
  CLI::Option* line_buffered = decode->add_flag(
      "--line-buffered", cl.line_buffered, "Write each packet out as decoded (default when reading or writing a pipe)");
  decode->add_flag("--no-line-buffered", cl.no_line_buffered, "Write in large blocks, even to a pipe")
      ->excludes(line_buffered);
  decode->add_flag("-q,--quiet", cl.quiet, "No summary, progress bar or framing-error messages on standard error");

  CLI::App* report = add_report_command(app, cl);
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
  cl.run = describe_run(*decode, cl.files);
  cl.report = report->parsed();
  return run_decode(cl);
}

}  // namespace cdmadiag
