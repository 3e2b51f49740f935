#pragma once
// One decoded packet as every output, the report, Python and the fleet see it: a view
// into the decoding session's buffers (valid until the session decodes the next packet),
// and an owning copy of it for whoever keeps a packet longer.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/cell_refs.h"
#include "host/data_state.h"
#include "host/expanded_message.h"
#include "host/memory_data_state.h"

namespace cdmadiag {

enum class PacketClass : std::uint8_t { k1x, kEvdo };
const char* class_name(PacketClass cls);
// "log" or "response", the words of the outputs and of the code listing.
const char* kind_name(bool response);

// One data-state write, as the data state logged it (a string's text in PacketView::texts).
using ::WriteRecord;

enum class ValueKind : std::uint8_t { kSigned, kUnsigned, kDouble, kString, kNone };
ValueKind value_kind(WriteOp op);

// The last position fix of the packet's device, as of the packet.
struct Fix {
  double latitude = 0.0;  // WGS 84 degrees
  double longitude = 0.0;
  std::optional<MapPoint> map;         // projected x/y, when the run has a projection
  std::optional<std::int64_t> age_ms;  // the packet's time minus the fix's, when both are known
  std::uint32_t seq = 0;               // the packet that carried it
};

struct PacketView {
  std::uint32_t seq = 0;
  // Seconds since 1970 as the log header gives them: the stamp's GPS count added to the
  // GPS epoch, no leap seconds applied. None for a command response.
  std::optional<double> time;
  // The same instant in true UTC: whole milliseconds since 1970, leap seconds taken off.
  std::optional<std::int64_t> time_ms;
  // The stamp is 0 or far from the packets around it (a clock not yet set): the packet
  // keeps its time, but spans, charts, per-second rows and time filters ignore it.
  bool time_suspect = false;
  std::uint32_t code = 0;
  PacketClass cls = PacketClass::k1x;
  bool response = false;     // a command response rather than a log record
  std::uint8_t command = 0;  // a response's command code
  // A dispatcher knows the code (or the response's command); false: only the unknown
  // code's title, whatever the class says.
  bool known = true;
  std::uint32_t file = 0;    // index of the input among the run's inputs, from 0
  std::uint32_t device = 0;  // inputs whose time spans overlap are separate devices, from 0
  std::string_view file_name;
  const Fix* fix = nullptr;  // null before the device's first fix
  std::span<const CellLookup> cells;  // likely cells the decoders looked up
  const COrbExpandedMessage* msg = nullptr;
  std::span<const WriteRecord> writes;
  std::string_view texts;
  const std::string* error = nullptr;  // text of an exception that left the dispatcher

  std::string_view text_of(const WriteRecord& w) const { return texts.substr(w.text_offset, w.text_size); }
  // Failures the EV-DO guards kept out of the details, one per line; empty for none.
  std::string_view diagnostic() const { return msg->diagnostic; }
  // A dispatcher knows the code and a written decoder took the packet; it may still have
  // failed (error, diagnostic).
  bool decoded() const { return known && !msg->notDecoded; }
  bool failed() const { return error != nullptr || !msg->diagnostic.empty(); }
};

// A packet that owns what its view points to. Buffers are reused from packet to packet,
// so copying one rarely allocates.
class PacketData {
 public:
  PacketData() = default;
  PacketData(const PacketData& other) { assign(other.view_); }
  PacketData& operator=(const PacketData& other) {
    if (this != &other) assign(other.view_);
    return *this;
  }

  void assign(const PacketView& p);
  // The view of what this holds, valid while it lives and is not assigned again.
  const PacketView& view() const { return view_; }

 private:
  PacketView view_;
  COrbExpandedMessage msg_;
  std::vector<WriteRecord> writes_;
  std::string texts_;
  std::string error_;
  std::string file_name_;
  Fix fix_;
  std::vector<CellLookup> cells_;
};

}  // namespace cdmadiag
