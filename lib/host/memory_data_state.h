#pragma once
// The command's data state: logs every write of the packet at hand, in order (and
// forwards it to a sink where one is set), and keeps just enough to answer read-backs
// (per attribute and index, the latest value and the most recent one from an earlier
// packet), so memory does not grow with the log.
// Storage is flat, indexed by attribute id and element index: every decoded packet
// writes dozens of attributes, and hashing each key cost more than the decoding.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "host/data_state.h"

struct AttrWrite : WriteValue {
  std::uint32_t id = 0;
  std::uint32_t index = 0;
  std::string_view text;
};

class DataStateSink {
 public:
  virtual ~DataStateSink() = default;
  virtual void on_write(const AttrWrite& w) = 0;
};

// One write as the log keeps it: a string's text lies in the log's texts.
struct WriteRecord : WriteValue {
  std::uint32_t id = 0;
  std::uint32_t index = 0;
  std::uint32_t text_offset = 0;
  std::uint32_t text_size = 0;
};

// The writes of one packet, in order. Filled by the data state itself: a call through a
// sink per write, with a record built for it, cost as much as storing the value.
struct WriteLog {
  std::vector<WriteRecord> writes;
  std::string texts;
  void clear() {
    writes.clear();
    texts.clear();
  }
};

class MemoryDataState final : public IOrbDataState {
 public:
  void set_sink(DataStateSink* sink) { sink_ = sink; }
  // Writes go to the log as well while one is set.
  void set_log(WriteLog* log) { log_ = log; }
  void set_read_only(bool ro) { read_only_ = ro; }
  // Opens the record of the next packet; reads and writes refer to it from now on.
  void begin_message(std::uint32_t message_number) { current_ = message_number; }
  std::uint32_t current_message() const { return current_; }
  std::size_t stored_keys() const { return stored_; }
  void clear();

  bool IsReadOnly() override { return read_only_; }
  void SetByte(std::uint32_t id, std::uint8_t v, std::uint32_t index, std::uint32_t, int) override;
  void SetShort(std::uint32_t id, std::int16_t v, std::uint32_t index, std::uint32_t, int) override;
  void SetUShort(std::uint32_t id, std::uint16_t v, std::uint32_t index, std::uint32_t, int) override;
  void SetInt(std::uint32_t id, std::int32_t v, std::uint32_t index, std::uint32_t, int) override;
  void SetLong(std::uint32_t id, std::int32_t v, std::uint32_t index, std::uint32_t, int) override;
  void SetUInt(std::uint32_t id, std::uint32_t v, std::uint32_t index, std::uint32_t, int) override;
  void SetULong(std::uint32_t id, std::uint32_t v, std::uint32_t index, std::uint32_t, int) override;
  void SetDWord(std::uint32_t id, std::uint32_t v, std::uint32_t index, std::uint32_t, int) override;
  void SetInt64(std::uint32_t id, std::int64_t v, std::uint32_t index, std::uint32_t, int) override;
  void SetUInt64(std::uint32_t id, std::uint64_t v, std::uint32_t index, std::uint32_t, int) override;
  void SetDouble(std::uint32_t id, double v, std::uint32_t index, std::uint32_t, int) override;
  void SetString(std::uint32_t id, const char* v, std::uint32_t index, std::uint32_t, int) override;
  void SetNoValue(std::uint32_t id, std::uint32_t index, std::uint32_t, int) override;

  OrbRetVal GetValue(std::uint32_t id, std::uint32_t index, std::uint32_t bound) override;
  OrbRetVal GetValueAt(std::uint32_t id, std::uint32_t index, std::uint32_t bound) override;

 private:
  // Kept small: every write touches a slot, and a log's slots spread wider than the
  // caches, so the texts, which few attributes have, live apart.
  struct Entry {
    std::uint32_t message = 0;
    bool set = false;
    std::int8_t status = 1;
    std::int8_t type = OrbRetVal::kDouble;
    OrbRetVal::Value value{};
  };
  struct Slot {
    Entry latest;
    Entry earlier;  // most recent entry of a packet before latest's
    std::uint32_t texts = 0;  // 1 + its place in texts_ once a text was written; 0 before
  };
  // The texts of latest and earlier; swapped as latest becomes earlier.
  using TextPair = std::array<std::string, 2>;

  // Ids come dense from the schema and indexes count small things (pilots, fingers,
  // carriers); anything beyond these goes to the hashed overflow rather than growing
  // the flat tables without bound.
  static constexpr std::uint32_t kFlatIds = 1u << 16;
  static constexpr std::uint32_t kFlatIndexes = 1024;

  void store(std::uint32_t id, std::uint32_t index, const WriteValue& v, std::string_view text, int status, int tag,
             OrbRetVal::Value value);
  Slot& slot_for(std::uint32_t id, std::uint32_t index);
  [[gnu::noinline]] Slot& new_slot(std::uint32_t id, std::uint32_t index);
  const Slot* find(std::uint32_t id, std::uint32_t index) const;
  OrbRetVal read(const Slot& slot, const Entry& e, std::size_t which) const;

  std::vector<std::vector<Slot>> flat_;  // [id][index]
  std::unordered_map<std::uint64_t, Slot> overflow_;
  std::vector<TextPair> texts_;
  std::size_t stored_ = 0;
  DataStateSink* sink_ = nullptr;
  WriteLog* log_ = nullptr;
  std::uint32_t current_ = 0;
  bool read_only_ = false;
};
