#include "packet.h"

#include <cmath>

namespace cdmadiag {

const char* class_name(PacketClass cls) {
  switch (cls) {
    case PacketClass::k1x: return "1x";
    case PacketClass::kEvdo: return "evdo";
  }
  return "1x";
}

const char* kind_name(bool response) { return response ? "response" : "log"; }

ValueKind value_kind(WriteOp op) {
  switch (op) {
    case WriteOp::kSetShort:
    case WriteOp::kSetInt:
    case WriteOp::kSetLong:
    case WriteOp::kSetInt64: return ValueKind::kSigned;
    case WriteOp::kSetByte:
    case WriteOp::kSetUShort:
    case WriteOp::kSetUInt:
    case WriteOp::kSetULong:
    case WriteOp::kSetDWord:
    case WriteOp::kSetUInt64: return ValueKind::kUnsigned;
    case WriteOp::kSetDouble: return ValueKind::kDouble;
    case WriteOp::kSetString: return ValueKind::kString;
    case WriteOp::kSetNoValue: return ValueKind::kNone;
  }
  return ValueKind::kNone;
}


void PacketData::assign(const PacketView& p) {
  view_ = p;
  msg_ = *p.msg;
  writes_.assign(p.writes.begin(), p.writes.end());
  texts_.assign(p.texts);
  if (p.error != nullptr) error_ = *p.error;
  if (file_name_ != p.file_name) file_name_.assign(p.file_name);
  if (p.fix != nullptr) fix_ = *p.fix;
  cells_.assign(p.cells.begin(), p.cells.end());
  view_.msg = &msg_;
  view_.writes = writes_;
  view_.texts = texts_;
  view_.error = p.error != nullptr ? &error_ : nullptr;
  view_.file_name = file_name_;
  view_.fix = p.fix != nullptr ? &fix_ : nullptr;
  view_.cells = cells_;
}

}  // namespace cdmadiag
