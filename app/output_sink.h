#pragma once
// What a run hands its output: each packet, once decoded, with the attribute writes its
// dispatcher made; each framing error.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "host/cell_refs.h"
#include "host/data_state.h"
#include "host/expanded_message.h"

namespace cdmadiag {

enum class PacketClass : std::uint8_t { k1x, kEvdo };
const char* class_name(PacketClass cls);
// "log" or "response", the words of the outputs and of the code listing.
const char* kind_name(bool response);

// One data-state write, copied out of the decoder's call.
struct WriteRecord {
  std::uint32_t id = 0;
  std::uint32_t index = 0;
  WriteOp op = WriteOp::kSetNoValue;
  std::int64_t i = 0;
  std::uint64_t u = 0;
  double d = 0.0;
  std::uint32_t text_offset = 0;  // SetString: its text in PacketView::texts
  std::uint32_t text_size = 0;
};

enum class ValueKind : std::uint8_t { kSigned, kUnsigned, kDouble, kString, kNone };
ValueKind value_kind(WriteOp op);
// A write's value as a finite number; none for texts, no-value writes, NaN and infinities.
std::optional<double> finite_number(const WriteRecord& w);

// The last position fix of the run, as of a packet.
struct Fix {
  double latitude = 0.0;  // WGS 84 degrees
  double longitude = 0.0;
  std::optional<MapPoint> map;      // projected x/y, when the run has a projection
  std::optional<std::int64_t> age_ms;  // the packet's time minus the fix's, when both are known
  std::uint32_t seq = 0;            // the packet that carried it
};

struct PacketView {
  std::uint32_t seq = 0;
  std::optional<double> time;  // seconds since 1970, from the log header
  std::optional<std::int64_t> time_ms;  // the same, in whole milliseconds
  std::uint32_t code = 0;
  PacketClass cls = PacketClass::k1x;
  bool response = false;  // a command response rather than a log record
  std::uint8_t command = 0;  // a response's command code
  std::uint32_t file = 0;  // index of the input among the run's inputs, from 0
  std::string_view file_name;
  const Fix* fix = nullptr;  // null before the run's first fix
  std::span<const CellLookup> cells;  // likely cells the decoders looked up
  const COrbExpandedMessage* msg = nullptr;
  std::span<const WriteRecord> writes;
  std::string_view texts;
  const std::string* error = nullptr;  // text of an exception that left the dispatcher

  std::string_view text_of(const WriteRecord& w) const { return texts.substr(w.text_offset, w.text_size); }
};

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

// What produced the output, for the formats that keep it (SQLite's meta table; the
// text format marks each input when there are several).
struct RunInfo {
  std::string version;
  std::vector<std::string> inputs;  // as named on the command line, "<stdin>" for standard input
  std::string options;              // the decode options, as given
  int epsg = 0;                     // the map projection; 0 for none
};

// path: "" or "-" is standard output (not for sqlite). Throws OutputError.
std::unique_ptr<OutputSink> make_sink(OutputFormat format, const std::string& path, const RunInfo& run = {});

}  // namespace cdmadiag
