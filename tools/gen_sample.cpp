// cdmadiag_gen_sample: writes a sample capture of a simulated drive in both
// input formats of the command, and the cell-site file that matches it.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>

#include "gen_capture.h"

namespace {

using cdmadiag::gen::ByteSink;

class FileSink : public ByteSink {
 public:
  explicit FileSink(const std::string& path) : path_(path), out_(path, std::ios::binary | std::ios::trunc) {}
  bool ok() const { return static_cast<bool>(out_); }
  void write(std::span<const std::uint8_t> b) override {
    out_.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
  }
  bool close() {
    out_.close();
    return static_cast<bool>(out_);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::ofstream out_;
};

constexpr double kBenchMinutes = 600;

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "Writes a sample capture of a simulated drive: a log file, a raw diagnostic-port stream and "
      "the matching cell-site CSV."};
  std::string logPath, hdlcPath, cellsPath;
  cdmadiag::gen::DriveOptions options;
  bool bench = false;
  app.add_option("--out-log", logPath, "log records, back to back");
  app.add_option("--out-hdlc", hdlcPath, "the same drive as diagnostic-port frames, with command responses");
  app.add_option("--cells", cellsPath, "write the drive's cell sites here (pn,latitude,longitude,sector_id,site_name)");
  auto* minutes = app.add_option("--minutes", options.minutes, "length of the drive")->check(CLI::Range(0.05, 6000.0));
  app.add_option("--seed", options.seed, "seed of the simulation; equal seeds give equal bytes");
  app.add_option("--leg-seconds", options.legSeconds, "length of the alternating 1x and EV-DO legs")
      ->check(CLI::Range(1, 86400));
  app.add_flag("--bench", bench, "a long drive for benchmarks (600 minutes unless --minutes is given)");
  CLI11_PARSE(app, argc, argv);
  if (logPath.empty() && hdlcPath.empty() && cellsPath.empty()) {
    std::fprintf(stderr, "nothing to write: give --out-log, --out-hdlc or --cells\n");
    return 2;
  }
  if (bench && minutes->count() == 0) options.minutes = kBenchMinutes;

  if (!cellsPath.empty()) {
    std::ofstream cells(cellsPath, std::ios::binary | std::ios::trunc);
    cells << cdmadiag::gen::CellsCsv(cdmadiag::gen::SampleSectors());
    if (!cells.flush()) {
      std::fprintf(stderr, "cannot write %s\n", cellsPath.c_str());
      return 1;
    }
  }
  std::optional<FileSink> logSink, hdlcSink;
  if (!logPath.empty()) logSink.emplace(logPath);
  if (!hdlcPath.empty()) hdlcSink.emplace(hdlcPath);
  for (auto* sink : {&logSink, &hdlcSink}) {
    if (*sink && !(*sink)->ok()) {
      std::fprintf(stderr, "cannot write %s\n", (*sink)->path().c_str());
      return 1;
    }
  }
  const auto summary =
      cdmadiag::gen::GenerateDrive(options, logSink ? &*logSink : nullptr, hdlcSink ? &*hdlcSink : nullptr);
  for (auto* sink : {&logSink, &hdlcSink}) {
    if (*sink && !(*sink)->close()) {
      std::fprintf(stderr, "cannot write %s\n", (*sink)->path().c_str());
      return 1;
    }
  }
  std::uint64_t records = 0, responses = 0;
  for (const auto& [code, n] : summary.logCodes) records += n;
  for (const auto& [cmd, n] : summary.commands) responses += n;
  std::fprintf(stderr, "%.1f min drive, %.1f km (loop %.1f km): %llu log records, %llu command responses\n",
               options.minutes, summary.drivenMetres / 1000.0, summary.routeMetres / 1000.0,
               static_cast<unsigned long long>(records), static_cast<unsigned long long>(responses));
  for (const auto& [code, n] : summary.logCodes)
    std::fprintf(stderr, "  0x%04X %llu\n", code, static_cast<unsigned long long>(n));
  for (const auto& [cmd, n] : summary.commands)
    std::fprintf(stderr, "  cmd 0x%02X %llu\n", cmd, static_cast<unsigned long long>(n));
  return 0;
}
