#pragma once
// One decoding session: the inputs of a run, read in order, each record through its
// dispatcher into the session's own data state, and pulled packet by packet. The
// command's outputs, the report, Python and the fleet all read packets this way.
//
// A session owns everything a decode changes (data states, messages, writes, cell
// look-ups, fixes); the library's tables are read-only after load. Sessions on
// different threads share nothing but a cell table given to them, which they only read.
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "byte_stream.h"
#include "filters.h"
#include "host/cell_refs.h"
#include "host/map_projections.h"
#include "host/object_properties.h"
#include "output_sink.h"
#include "record_reader.h"

namespace cdmadiag {

// Everything a run is set up with, whoever sets it (command line, Python, the fleet).
struct RunSettings {
  bool title = true;
  bool details = true;
  bool cell_ids = true;
  bool read_only = false;
  bool common_flag = false;
  double threshold_a = -15.0;
  double threshold_b = -15.0;
  int pilot_inc = 0;
  int projection = 0;  // EPSG code of the map coordinates; 0 for none
  std::string cells;   // cell-site CSV; empty for none
  InputFormat input = InputFormat::kAuto;
  FilterOptions filters;
  // Time stamps are judged against the packets after them too, which holds a few
  // records back; live output judges by the packets before only.
  bool look_ahead = true;
};

// "log", "hdlc"; empty or "auto" for detection. None for anything else.
std::optional<InputFormat> input_format_by_name(std::string_view name);

// A setting that cannot be used: a projection this build lacks, a cell list or a filter
// that does not read. The text names the setting.
class SettingsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct RunCounters {
  std::uint64_t packets = 0;
  // Every packet is 1x, EV-DO or of unknown code.
  std::uint64_t packets_1x = 0;     // log records of a code the 1x dispatcher knows, and known responses
  std::uint64_t packets_evdo = 0;
  std::uint64_t responses = 0;      // known command responses, counted in packets_1x too
  std::uint64_t unknown_codes = 0;  // log records or responses of a code no dispatcher knows
  std::uint64_t decoded = 0;        // known and taken by a written decoder (failures among them)
  std::uint64_t not_decoded = 0;    // a placeholder's packets
  std::uint64_t framing_errors = 0;
  std::uint64_t decoder_errors = 0;   // an exception left the dispatcher
  std::uint64_t decode_failures = 0;  // the EV-DO guards kept a decoder's failure
  std::uint64_t time_suspect = 0;
  std::uint64_t bytes = 0;
};

// Which dispatcher a log record goes to.
PacketClass route_log_code(std::uint16_t code);

// How the reading of one input ended.
enum class InputEnd : std::uint8_t {
  kEnd,         // read to its end
  kStopped,     // a stop was requested (interrupt.h); the packet at hand was finished
  kNotDiag,     // not one record or good frame in it: nothing was output for it
  kEmpty,       // no byte in it
  kUnreadable,  // could not be opened
  kReadFailed,  // a read failed part way; what came before was output
};

struct InputResult {
  std::string name;  // as given, "<stdin>" for standard input
  InputEnd end = InputEnd::kEnd;
  std::string error;  // kUnreadable, kReadFailed: why
  std::uint64_t bytes = 0;
};

class DecodeSession final {
 public:
  enum class Event : std::uint8_t {
    kPacket,        // packet() holds the next packet
    kFramingError,  // framing_error() holds its text
    kInputDone,     // input_result() tells how the last input ended
    kEnd,           // every input is done
  };

  // Loads the cell list and sets up projection and filters; throws SettingsError. A
  // cell table given here is used instead of settings.cells, and an accessor instead of
  // the session's own settings for the decoders; both must outlive the session.
  explicit DecodeSession(const RunSettings& settings, const CellSiteTable* cells = nullptr,
                         IProObjectPropertiesConnectedAccessor* accessor = nullptr);
  ~DecodeSession();
  DecodeSession(const DecodeSession&) = delete;
  DecodeSession& operator=(const DecodeSession&) = delete;

  // Inputs are read in the order added; "-" is standard input.
  void add_input(const std::string& path);
  void add_input(std::unique_ptr<ByteStream> in, std::string name);

  Event next();
  const PacketView& packet() const { return view_; }
  std::string_view framing_error() const { return framing_text_; }
  const FramingErrorAt& framing_where() const { return framing_where_; }
  const InputResult& input_result() const { return result_; }

  const RunCounters& counters() const { return counters_; }
  // The filters' counts, when any filter is set.
  const PacketFilter* filter() const { return filter_.active() ? &filter_ : nullptr; }
  const CellSiteTable& cells() const { return *cells_; }
  const RunSettings& settings() const { return settings_; }
  // Progress through the input being read: offset reached, and its size when known.
  std::uint64_t input_offset() const;
  std::optional<std::uint64_t> input_size() const;
  std::uint32_t inputs_started() const { return inputs_started_; }
  std::string_view input_name() const;
  // The data state of the device being decoded.
  MemoryDataState& data_state() { return *ds_; }

 private:
  struct Pending;
  struct Device;
  struct Input;

  bool open_next_input();
  void finish_input(InputEnd end);
  // Reads the input on until the record at the front can be decoded: its neighbours
  // are known, or the input has ended.
  void read_ahead();
  // Decodes one record as the next packet; false when the filters cut it.
  bool decode(const Record& record);
  void track_fix();
  Device* add_device();
  void use_device(Device* d);
  void place_input();
  bool stray(std::int64_t gps_ms) const;

  RunSettings settings_;
  ObjectProperties properties_;
  IProObjectPropertiesConnectedAccessor* accessor_;
  CCoordinateSystem projection_;
  std::unique_ptr<CellSiteTable> own_cells_;
  const CellSiteTable* cells_;
  CellLookups lookups_;
  PacketFilter filter_;

  std::deque<std::unique_ptr<Input>> inputs_;  // not started yet
  std::unique_ptr<Input> in_;  // the input being read
  std::uint32_t inputs_started_ = 0;
  std::vector<std::unique_ptr<Device>> devices_;
  Device* device_ = nullptr;

  std::deque<std::unique_ptr<Pending>> ahead_;  // records and framing errors read, not yet decoded
  std::vector<std::unique_ptr<Pending>> spare_;

  MemoryDataState* ds_ = nullptr;  // the device's
  COrbExpandedMessage msg_;
  WriteLog log_;  // the packet's writes, while it is decoded and until the next
  std::string error_;
  std::uint32_t seq_ = 0;
  PacketView view_;
  std::string framing_text_;
  FramingErrorAt framing_where_;
  InputResult result_;
  RunCounters counters_;
};

// Pulls every event of a session into a sink: packets and framing errors in order.
// Input results go to on_input when given. Returns the counters.
void drain(DecodeSession& session, OutputSink& out,
           const std::function<void(const InputResult&)>& on_input = {});

}  // namespace cdmadiag
