#include "host/data_state.h"

#include <array>
#include <cmath>

OrbRetVal::operator double() const {
  switch (type) {
    case kDouble: return value.d;
    case kFloat: return value.f;
    case kInt64: return static_cast<double>(value.i64);
    case kUInt64: return static_cast<double>(value.u64);
    case kUInt32: return value.u32;
    case kInt32: return value.i32;
    case kUInt16: return value.u16;
    case kInt16: return value.i16;
    case kUInt8:
    case kByte: return value.u8;
    case kInt8: return value.i8;
    default: return 0.0;
  }
}

const char* write_op_name(WriteOp op) {
  static constexpr std::array<const char*, 13> kNames = {"SetByte",   "SetShort",  "SetUShort", "SetInt",   "SetLong",
                                                         "SetUInt",   "SetULong",  "SetDWord",  "SetInt64", "SetUInt64",
                                                         "SetDouble", "SetString", "SetNoValue"};
  return kNames[static_cast<std::size_t>(op)];
}

std::optional<double> finite_number(const WriteValue& w) {
  double v = 0.0;
  switch (w.op) {
    case WriteOp::kSetShort:
    case WriteOp::kSetInt:
    case WriteOp::kSetLong:
    case WriteOp::kSetInt64: v = static_cast<double>(w.i); break;
    case WriteOp::kSetByte:
    case WriteOp::kSetUShort:
    case WriteOp::kSetUInt:
    case WriteOp::kSetULong:
    case WriteOp::kSetDWord:
    case WriteOp::kSetUInt64: v = static_cast<double>(w.u); break;
    case WriteOp::kSetDouble: v = w.d; break;
    case WriteOp::kSetString:
    case WriteOp::kSetNoValue: return std::nullopt;
  }
  if (!std::isfinite(v)) return std::nullopt;
  return v;
}
