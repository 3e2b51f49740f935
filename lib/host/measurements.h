#pragma once
// The measurements a drive-test engineer works with, each defined once in terms of the
// attribute writes the decoders make: a stable name with its unit, the technology, a
// one-line meaning and the definition (which attributes of which packets, and how a
// packet's writes combine into one value). Every output, the report, Python and the
// fleet read their figures from here.
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "host/data_state.h"

namespace cdmadiag {

enum class Tech : std::uint8_t { k1x, kEvdo, kAny };
const char* tech_name(Tech t);  // "1x", "evdo", "any"

// What a packet gives: a number, or a set of PNs (or carriers), kept sorted.
enum class Shape : std::uint8_t { kNumber, kList };

// How the values of the packets within one second make the second's value.
enum class PerSecond : std::uint8_t {
  kMean,  // mean of the packets' values (and min and max where `range` is set)
  kLast,  // the last value in the second (states and identities: PN, band, channel)
};

struct Measurement {
  std::string_view name;     // snake_case, the unit in the name: "cdma_rx_power_dbm"
  std::string_view unit;     // "dBm", "dB", "%", "kbps", "pilots", "" for identities
  Tech tech;
  std::string_view meaning;  // one line, for people
  std::string_view source;   // the definition in words: attributes, packets, combination
  Shape shape;
  PerSecond per_second;
  bool range;  // the per-second table also keeps min and max (charts draw the band)
  // Taken from the position fix the host keeps for each packet, not from the writes:
  // the reader never reports it.
  bool from_fix = false;
};

// The catalogue, in the order every output lists it.
std::span<const Measurement> measurements();
// Index of a measurement by name; none for a name not in the catalogue.
std::optional<std::size_t> measurement_index(std::string_view name);

// Reads what one packet's writes say of each measurement. Feed it the packet's writes
// in order between begin() and end(); then has(), value() and list() answer. One
// reader serves any number of packets; it keeps nothing from one to the next.
class MeasurementReader {
 public:
  MeasurementReader();
  ~MeasurementReader();
  MeasurementReader(const MeasurementReader&) = delete;
  MeasurementReader& operator=(const MeasurementReader&) = delete;

  // code: the log code, or 0 for a command response.
  void begin(std::uint32_t code, bool response);
  void write(std::uint32_t id, std::uint32_t index, const WriteValue& v);
  void end();

  // Measurement i (an index into measurements()) got a value from this packet.
  bool has(std::size_t i) const;
  double value(std::size_t i) const;                      // kNumber
  const std::vector<std::uint32_t>& list(std::size_t i) const;  // kList, sorted

 private:
  struct State;
  State* state_;
};

}  // namespace cdmadiag
