#pragma once
// One run of the command: packets of every input, in order, through the dispatchers
// into one data state and one output.
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "byte_stream.h"
#include "host/cell_refs.h"
#include "host/map_projections.h"
#include "host/memory_data_state.h"
#include "host/object_properties.h"
#include "filters.h"
#include "output_sink.h"
#include "record_reader.h"

namespace cdmadiag {

struct DecodeOptions {
  bool title = true;
  bool details = true;
  bool cell_ids = true;
  bool read_only = false;
  bool common_flag = false;
  double threshold_a = -15.0;
  double threshold_b = -15.0;
  InputFormat input = InputFormat::kAuto;
};

struct RunCounters {
  std::uint64_t packets = 0;
  std::uint64_t packets_1x = 0;
  std::uint64_t packets_evdo = 0;
  std::uint64_t responses = 0;  // command responses, counted in packets_1x too
  std::uint64_t not_decoded = 0;
  std::uint64_t unknown_codes = 0;  // log records of a code no dispatcher knows
  std::uint64_t framing_errors = 0;
  std::uint64_t decoder_errors = 0;
  std::uint64_t bytes = 0;
};

// Which dispatcher a log record goes to.
PacketClass route_log_code(std::uint16_t code);

// How the reading of one input ended.
enum class StreamEnd : std::uint8_t {
  kEnd,      // at the end of the input
  kStopped,  // a stop was requested (interrupt.h); the packet being decoded was finished
  kNotDiag,  // not one record or good frame in the whole input: nothing was output for it
};

class DecodeRun final : private DataStateSink {
 public:
  // Called now and then with the input offset reached.
  using Progress = std::function<void(std::uint64_t offset)>;

  DecodeRun(const DecodeOptions& options, OutputSink& out, CellSiteTable* cells,
            IProObjectPropertiesConnectedAccessor* properties);
  ~DecodeRun() override;

  // Reads and decodes every record of one input, the run's next. The name labels framing
  // errors and the input's packets.
  StreamEnd decode_stream(ByteStream& in, std::string_view name, const Progress& progress = {});
  // Decodes one record as the next packet.
  void decode(const Record& record);
  void framing_error(std::string_view name, const FramingError& error);

  // Packets the filter cuts are decoded but not output; null: every packet is output.
  void set_filter(PacketFilter* filter) { filter_ = filter; }

  const RunCounters& counters() const { return counters_; }
  MemoryDataState& data_state() { return ds_; }
  // Framing errors also go to standard error, the first few of them.
  void set_error_log(std::FILE* log, int limit) {
    error_log_ = log;
    error_log_limit_ = limit;
  }

 private:
  void on_write(const AttrWrite& w) override;

  DecodeOptions options_;
  OutputSink& out_;
  void track_fix(PacketView& view);

  CellSiteTable* cells_;
  PacketFilter* filter_ = nullptr;
  IProObjectPropertiesConnectedAccessor* properties_;
  MemoryDataState ds_;
  COrbExpandedMessage msg_;
  std::vector<WriteRecord> writes_;
  std::string texts_;
  std::string error_;
  bool collecting_ = false;
  std::uint32_t seq_ = 0;
  std::uint32_t inputs_ = 0;  // decode_stream calls so far
  std::string file_name_;
  CCoordinateSystem projection_;  // the fixes' map x/y; invalid without one
  Fix fix_;
  bool have_fix_ = false;
  std::optional<std::int64_t> fix_time_ms_;
  RunCounters counters_;
  std::FILE* error_log_ = nullptr;
  int error_log_limit_ = 0;
};

}  // namespace cdmadiag
