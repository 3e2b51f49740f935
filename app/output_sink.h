#pragma once
// What a run hands its output: each packet, once decoded, with the attribute writes its
// dispatcher made; each framing error. The output formats are listed once here.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "packet.h"

namespace cdmadiag {

// Where a framing error was, for the formats that give it fields of its own.
struct FramingErrorAt {
  std::uint32_t file = 0;  // index of the input, as PacketView::file
  std::string_view file_name;
  std::uint64_t offset = 0;  // byte offset in the input (inflated bytes of a gzip input)
};

// Output failures (a full disk, a closed pipe) end the run.
class OutputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class OutputSink {
 public:
  virtual ~OutputSink() = default;
  virtual void packet(const PacketView& p) = 0;
  // The text names the input and the byte offset.
  virtual void framing_error(std::string_view text) = 0;
  // The same, with where it was apart; what the run calls.
  virtual void framing_error_at(std::string_view text, const FramingErrorAt& /*at*/) { framing_error(text); }
  // Flushes and closes; throws OutputError.
  virtual void finish() = 0;
  // Writes each packet out as soon as it is complete, where the format allows.
  virtual void set_line_buffered(bool /*on*/) {}
};

enum class OutputFormat : std::uint8_t { kText, kJsonl, kCsv, kSqlite, kGeojson, kKml };

struct FormatInfo {
  const char* name;  // as the command, Python and the fleet take it
  OutputFormat format;
  bool needs_file;   // cannot go to standard output
  const char* suffix;  // of the files the fleet writes
};
// Every output format, in the order the help lists them.
std::span<const FormatInfo> output_formats();
const FormatInfo* format_by_name(std::string_view name);

// What produced the output, for the formats that keep it (SQLite's meta table; the
// text format marks each input when there are several).
struct RunInfo {
  std::string version;
  std::vector<std::string> inputs;  // as named on the command line, "<stdin>" for standard input
  std::string options;              // the decode options, as given
  int epsg = 0;                     // the map projection; 0 for none
  const CellSiteTable* cells = nullptr;  // names the serving sectors of the per-second tables
};

// path: "" or "-" is standard output (not for sqlite). Throws OutputError.
std::unique_ptr<OutputSink> make_sink(OutputFormat format, const std::string& path, const RunInfo& run = {});

}  // namespace cdmadiag
