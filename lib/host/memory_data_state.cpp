#include "host/memory_data_state.h"

namespace {

std::uint64_t key_of(std::uint32_t id, std::uint32_t index) { return (std::uint64_t{id} << 32) | index; }

template <typename T>
OrbRetVal make_value(int tag, T v) {
  OrbRetVal r;
  r.status = 0;
  r.type = tag;
  switch (tag) {
    case OrbRetVal::kDouble: r.value.d = static_cast<double>(v); break;
    case OrbRetVal::kInt64: r.value.i64 = static_cast<std::int64_t>(v); break;
    case OrbRetVal::kUInt64: r.value.u64 = static_cast<std::uint64_t>(v); break;
    case OrbRetVal::kUInt32: r.value.u32 = static_cast<std::uint32_t>(v); break;
    case OrbRetVal::kInt32: r.value.i32 = static_cast<std::int32_t>(v); break;
    case OrbRetVal::kUInt16: r.value.u16 = static_cast<std::uint16_t>(v); break;
    case OrbRetVal::kInt16: r.value.i16 = static_cast<std::int16_t>(v); break;
    case OrbRetVal::kUInt8: r.value.u8 = static_cast<std::uint8_t>(v); break;
    default: break;
  }
  return r;
}

AttrWrite make_write(std::uint32_t id, std::uint32_t index, WriteOp op) {
  AttrWrite w;
  w.id = id;
  w.index = index;
  w.op = op;
  return w;
}

AttrWrite signed_write(std::uint32_t id, std::uint32_t index, WriteOp op, std::int64_t v) {
  AttrWrite w = make_write(id, index, op);
  w.i = v;
  return w;
}

AttrWrite unsigned_write(std::uint32_t id, std::uint32_t index, WriteOp op, std::uint64_t v) {
  AttrWrite w = make_write(id, index, op);
  w.u = v;
  return w;
}

}  // namespace

void MemoryDataState::clear() {
  flat_.clear();
  overflow_.clear();
  stored_ = 0;
}

MemoryDataState::Slot& MemoryDataState::slot_for(std::uint32_t id, std::uint32_t index) {
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

void MemoryDataState::store(const AttrWrite& w, const OrbRetVal& v) {
  if (sink_ != nullptr) sink_->on_write(w);
  Slot& slot = slot_for(w.id, w.index);
  if (!slot.latest.set) ++stored_;
  if (slot.latest.set && slot.latest.message != current_) slot.earlier = std::move(slot.latest);
  slot.latest.message = current_;
  slot.latest.set = true;
  slot.latest.value = v;
}

void MemoryDataState::SetByte(std::uint32_t id, std::uint8_t v, std::uint32_t index, std::uint32_t, int) {
  store(unsigned_write(id, index, WriteOp::kSetByte, v), make_value(OrbRetVal::kUInt8, v));
}
void MemoryDataState::SetShort(std::uint32_t id, std::int16_t v, std::uint32_t index, std::uint32_t, int) {
  store(signed_write(id, index, WriteOp::kSetShort, v), make_value(OrbRetVal::kInt16, v));
}
void MemoryDataState::SetUShort(std::uint32_t id, std::uint16_t v, std::uint32_t index, std::uint32_t, int) {
  store(unsigned_write(id, index, WriteOp::kSetUShort, v), make_value(OrbRetVal::kUInt16, v));
}
void MemoryDataState::SetInt(std::uint32_t id, std::int32_t v, std::uint32_t index, std::uint32_t, int) {
  store(signed_write(id, index, WriteOp::kSetInt, v), make_value(OrbRetVal::kInt32, v));
}
void MemoryDataState::SetLong(std::uint32_t id, std::int32_t v, std::uint32_t index, std::uint32_t, int) {
  store(signed_write(id, index, WriteOp::kSetLong, v), make_value(OrbRetVal::kInt32, v));
}
void MemoryDataState::SetUInt(std::uint32_t id, std::uint32_t v, std::uint32_t index, std::uint32_t, int) {
  store(unsigned_write(id, index, WriteOp::kSetUInt, v), make_value(OrbRetVal::kUInt32, v));
}
void MemoryDataState::SetULong(std::uint32_t id, std::uint32_t v, std::uint32_t index, std::uint32_t, int) {
  store(unsigned_write(id, index, WriteOp::kSetULong, v), make_value(OrbRetVal::kUInt32, v));
}
void MemoryDataState::SetDWord(std::uint32_t id, std::uint32_t v, std::uint32_t index, std::uint32_t, int) {
  store(unsigned_write(id, index, WriteOp::kSetDWord, v), make_value(OrbRetVal::kUInt32, v));
}
void MemoryDataState::SetInt64(std::uint32_t id, std::int64_t v, std::uint32_t index, std::uint32_t, int) {
  store(signed_write(id, index, WriteOp::kSetInt64, v), make_value(OrbRetVal::kInt64, v));
}
void MemoryDataState::SetUInt64(std::uint32_t id, std::uint64_t v, std::uint32_t index, std::uint32_t, int) {
  store(unsigned_write(id, index, WriteOp::kSetUInt64, v), make_value(OrbRetVal::kUInt64, v));
}
void MemoryDataState::SetDouble(std::uint32_t id, double v, std::uint32_t index, std::uint32_t, int) {
  AttrWrite w = make_write(id, index, WriteOp::kSetDouble);
  w.d = v;
  store(w, make_value(OrbRetVal::kDouble, v));
}
void MemoryDataState::SetString(std::uint32_t id, const char* v, std::uint32_t index, std::uint32_t, int) {
  AttrWrite w = make_write(id, index, WriteOp::kSetString);
  w.text = v != nullptr ? std::string_view(v) : std::string_view();
  OrbRetVal r;
  r.status = 0;
  r.type = OrbRetVal::kString;
  r.text = std::string(w.text);
  store(w, r);
}
void MemoryDataState::SetNoValue(std::uint32_t id, std::uint32_t index, std::uint32_t, int) {
  // A marked-absent attribute hides what was stored before it.
  store(make_write(id, index, WriteOp::kSetNoValue), OrbRetVal{});
}

OrbRetVal MemoryDataState::GetValue(std::uint32_t id, std::uint32_t index, std::uint32_t) {
  const Slot* slot = find(id, index);
  if (slot == nullptr || !slot->latest.set || slot->latest.message != current_) return {};
  return slot->latest.value;
}

OrbRetVal MemoryDataState::GetValueAt(std::uint32_t id, std::uint32_t index, std::uint32_t bound) {
  const Slot* found = find(id, index);
  if (found == nullptr) return {};
  const Slot& slot = *found;
  // Message numbers start at 1, so a bound of 0 could only ever find nothing: it is
  // taken, like kNoBound, as no bound.
  const bool unbounded = bound == kNoBound || bound == 0;
  if (slot.latest.set && (unbounded || slot.latest.message < bound)) return slot.latest.value;
  if (slot.earlier.set && (unbounded || slot.earlier.message < bound)) return slot.earlier.value;
  return {};
}
