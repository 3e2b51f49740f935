#pragma once
// Test support: a data state that records every write, and readable assertions on it.
#include <string>
#include <vector>

#include "host/memory_data_state.h"
#include "host/schema.h"

namespace cdmadiag::test {

struct Recorded {
  std::string name;  // "ATTR_ID_..."
  WriteOp op;
  std::uint32_t index;
  double value;  // numeric value (0 for SetNoValue and SetString)
  std::string text;
};

class RecordingSink final : public DataStateSink {
 public:
  void on_write(const AttrWrite& w) override {
    Recorded r{std::string(GetSchemaDefsDynamic()->name_of(w.id)), w.op, w.index, 0.0, std::string(w.text)};
    switch (w.op) {
      case WriteOp::kSetShort:
      case WriteOp::kSetInt:
      case WriteOp::kSetLong:
      case WriteOp::kSetInt64: r.value = static_cast<double>(w.i); break;
      case WriteOp::kSetDouble: r.value = w.d; break;
      case WriteOp::kSetString:
      case WriteOp::kSetNoValue: break;
      default: r.value = static_cast<double>(w.u); break;
    }
    writes.push_back(std::move(r));
  }
  // Writes of one attribute, in order.
  std::vector<Recorded> of(const std::string& name) const {
    std::vector<Recorded> out;
    for (const auto& w : writes) {
      if (w.name == name) out.push_back(w);
    }
    return out;
  }
  std::vector<Recorded> writes;
};

// A data state wired to a recorder, positioned at message number 1.
struct RecordingState {
  RecordingState() {
    ds.set_sink(&sink);
    ds.begin_message(1);
  }
  MemoryDataState ds;
  RecordingSink sink;
};

}  // namespace cdmadiag::test
