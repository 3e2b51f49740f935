#include "host/memory_data_state.h"

namespace {

std::uint64_t key_of(std::uint32_t id, std::uint32_t index) { return (std::uint64_t{id} << 32) | index; }

template <typename T>
OrbRetVal::Value value_of(int tag, T v) {
  OrbRetVal::Value r{};
  switch (tag) {
    case OrbRetVal::kDouble: r.d = static_cast<double>(v); break;
    case OrbRetVal::kInt64: r.i64 = static_cast<std::int64_t>(v); break;
    case OrbRetVal::kUInt64: r.u64 = static_cast<std::uint64_t>(v); break;
    case OrbRetVal::kUInt32: r.u32 = static_cast<std::uint32_t>(v); break;
    case OrbRetVal::kInt32: r.i32 = static_cast<std::int32_t>(v); break;
    case OrbRetVal::kUInt16: r.u16 = static_cast<std::uint16_t>(v); break;
    case OrbRetVal::kInt16: r.i16 = static_cast<std::int16_t>(v); break;
    case OrbRetVal::kUInt8: r.u8 = static_cast<std::uint8_t>(v); break;
    default: break;
  }
  return r;
}

WriteValue op_only(WriteOp op) {
  WriteValue w;
  w.op = op;
  return w;
}

WriteValue signed_value(WriteOp op, std::int64_t v) {
  WriteValue w = op_only(op);
  w.i = v;
  return w;
}

WriteValue unsigned_value(WriteOp op, std::uint64_t v) {
  WriteValue w = op_only(op);
  w.u = v;
  return w;
}

}  // namespace

void MemoryDataState::clear() {
  flat_.clear();
  overflow_.clear();
  texts_.clear();
  stored_ = 0;
}

[[gnu::always_inline]] inline MemoryDataState::Slot& MemoryDataState::slot_for(std::uint32_t id, std::uint32_t index) {
  // Nearly every write finds its slot in place; the growing and hashing stay out of line.
  if (id < flat_.size()) {
    std::vector<Slot>& slots = flat_[id];
    if (index < slots.size()) return slots[index];
  }
  return new_slot(id, index);
}

MemoryDataState::Slot& MemoryDataState::new_slot(std::uint32_t id, std::uint32_t index) {
  if (id < kFlatIds && index < kFlatIndexes) {
    if (id >= flat_.size()) flat_.resize(std::size_t{id} + 1);
    std::vector<Slot>& slots = flat_[id];
    if (index >= slots.size()) slots.resize(std::size_t{index} + 1);
    return slots[index];
  }
  return overflow_[key_of(id, index)];
}

const MemoryDataState::Slot* MemoryDataState::find(std::uint32_t id, std::uint32_t index) const {
  if (id < kFlatIds && index < kFlatIndexes) {
    if (id >= flat_.size() || index >= flat_[id].size()) return nullptr;
    return &flat_[id][index];
  }
  auto it = overflow_.find(key_of(id, index));
  return it == overflow_.end() ? nullptr : &it->second;
}

// Set field by field: a whole value record per write, string and all, built, copied in
// and destroyed, was the busiest path of a decode. status 1 with tag kDouble and a zero
// value is the record of a no-value write. Inlined into each setter, so the log's record
// is filled from the arguments rather than copied from one built on the stack.
[[gnu::always_inline]] inline void MemoryDataState::store(std::uint32_t id, std::uint32_t index, const WriteValue& v,
                                                          std::string_view text, int status, int tag,
                                                          OrbRetVal::Value value) {
  if (log_ != nullptr) {
    WriteRecord& r = log_->writes.emplace_back();
    static_cast<WriteValue&>(r) = v;
    r.id = id;
    r.index = index;
    if (v.op == WriteOp::kSetString) {
      r.text_offset = static_cast<std::uint32_t>(log_->texts.size());
      r.text_size = static_cast<std::uint32_t>(text.size());
      log_->texts.append(text);
    }
  }
  if (sink_ != nullptr) {
    AttrWrite w;
    static_cast<WriteValue&>(w) = v;
    w.id = id;
    w.index = index;
    w.text = text;
    sink_->on_write(w);
  }
  Slot& slot = slot_for(id, index);
  Entry& latest = slot.latest;
  if (!latest.set) {
    ++stored_;
  } else if (latest.message != current_) {
    slot.earlier = latest;
    if (slot.texts != 0) {
      TextPair& t = texts_[slot.texts - 1];
      t[1].swap(t[0]);
    }
  }
  latest.message = current_;
  latest.set = true;
  latest.status = static_cast<std::int8_t>(status);
  latest.type = static_cast<std::int8_t>(tag);
  latest.value = value;
  if (tag == OrbRetVal::kString) {
    if (slot.texts == 0) {
      texts_.emplace_back();
      slot.texts = static_cast<std::uint32_t>(texts_.size());
    }
    texts_[slot.texts - 1][0].assign(text);
  }
}

// A text is read only for an entry that holds one: what the pair keeps for a number is
// stale.
OrbRetVal MemoryDataState::read(const Slot& slot, const Entry& e, std::size_t which) const {
  OrbRetVal r;
  r.status = e.status;
  r.type = e.type;
  r.value = e.value;
  if (e.type == OrbRetVal::kString && slot.texts != 0) r.text = texts_[slot.texts - 1][which];
  return r;
}

void MemoryDataState::SetByte(std::uint32_t id, std::uint8_t v, std::uint32_t index, std::uint32_t, int) {
  store(id, index, unsigned_value(WriteOp::kSetByte, v), {}, 0, OrbRetVal::kUInt8, value_of(OrbRetVal::kUInt8, v));
}
void MemoryDataState::SetShort(std::uint32_t id, std::int16_t v, std::uint32_t index, std::uint32_t, int) {
  store(id, index, signed_value(WriteOp::kSetShort, v), {}, 0, OrbRetVal::kInt16, value_of(OrbRetVal::kInt16, v));
}
void MemoryDataState::SetUShort(std::uint32_t id, std::uint16_t v, std::uint32_t index, std::uint32_t, int) {
  store(id, index, unsigned_value(WriteOp::kSetUShort, v), {}, 0, OrbRetVal::kUInt16, value_of(OrbRetVal::kUInt16, v));
}
void MemoryDataState::SetInt(std::uint32_t id, std::int32_t v, std::uint32_t index, std::uint32_t, int) {
  store(id, index, signed_value(WriteOp::kSetInt, v), {}, 0, OrbRetVal::kInt32, value_of(OrbRetVal::kInt32, v));
}
void MemoryDataState::SetLong(std::uint32_t id, std::int32_t v, std::uint32_t index, std::uint32_t, int) {
  store(id, index, signed_value(WriteOp::kSetLong, v), {}, 0, OrbRetVal::kInt32, value_of(OrbRetVal::kInt32, v));
}
void MemoryDataState::SetUInt(std::uint32_t id, std::uint32_t v, std::uint32_t index, std::uint32_t, int) {
  store(id, index, unsigned_value(WriteOp::kSetUInt, v), {}, 0, OrbRetVal::kUInt32, value_of(OrbRetVal::kUInt32, v));
}
void MemoryDataState::SetULong(std::uint32_t id, std::uint32_t v, std::uint32_t index, std::uint32_t, int) {
  store(id, index, unsigned_value(WriteOp::kSetULong, v), {}, 0, OrbRetVal::kUInt32, value_of(OrbRetVal::kUInt32, v));
}
void MemoryDataState::SetDWord(std::uint32_t id, std::uint32_t v, std::uint32_t index, std::uint32_t, int) {
  store(id, index, unsigned_value(WriteOp::kSetDWord, v), {}, 0, OrbRetVal::kUInt32, value_of(OrbRetVal::kUInt32, v));
}
void MemoryDataState::SetInt64(std::uint32_t id, std::int64_t v, std::uint32_t index, std::uint32_t, int) {
  store(id, index, signed_value(WriteOp::kSetInt64, v), {}, 0, OrbRetVal::kInt64, value_of(OrbRetVal::kInt64, v));
}
void MemoryDataState::SetUInt64(std::uint32_t id, std::uint64_t v, std::uint32_t index, std::uint32_t, int) {
  store(id, index, unsigned_value(WriteOp::kSetUInt64, v), {}, 0, OrbRetVal::kUInt64, value_of(OrbRetVal::kUInt64, v));
}
void MemoryDataState::SetDouble(std::uint32_t id, double v, std::uint32_t index, std::uint32_t, int) {
  WriteValue w = op_only(WriteOp::kSetDouble);
  w.d = v;
  store(id, index, w, {}, 0, OrbRetVal::kDouble, value_of(OrbRetVal::kDouble, v));
}
void MemoryDataState::SetString(std::uint32_t id, const char* v, std::uint32_t index, std::uint32_t, int) {
  store(id, index, op_only(WriteOp::kSetString), v != nullptr ? std::string_view(v) : std::string_view(), 0,
        OrbRetVal::kString, OrbRetVal::Value{});
}
void MemoryDataState::SetNoValue(std::uint32_t id, std::uint32_t index, std::uint32_t, int) {
  // A marked-absent attribute hides what was stored before it.
  store(id, index, op_only(WriteOp::kSetNoValue), {}, 1, OrbRetVal::kDouble, OrbRetVal::Value{});
}

OrbRetVal MemoryDataState::GetValue(std::uint32_t id, std::uint32_t index, std::uint32_t) {
  const Slot* slot = find(id, index);
  if (slot == nullptr || !slot->latest.set || slot->latest.message != current_) return {};
  return read(*slot, slot->latest, 0);
}

OrbRetVal MemoryDataState::GetValueAt(std::uint32_t id, std::uint32_t index, std::uint32_t bound) {
  const Slot* found = find(id, index);
  if (found == nullptr) return {};
  const Slot& slot = *found;
  // Message numbers start at 1, so a bound of 0 could only ever find nothing: it is
  // taken, like kNoBound, as no bound.
  const bool unbounded = bound == kNoBound || bound == 0;
  if (slot.latest.set && (unbounded || slot.latest.message < bound)) return read(slot, slot.latest, 0);
  if (slot.earlier.set && (unbounded || slot.earlier.message < bound)) return read(slot, slot.earlier, 1);
  return {};
}
