#pragma once
// The data state: where decoders write measurements under attribute ids and read
// back what earlier packets wrote.
#include <cstdint>
#include <optional>
#include <string>

// Value record of a read. Status 0 means a value is present.
struct OrbRetVal {
  enum Tag : int {
    kDouble = 0,
    kFloat = 1,
    kInt64 = 2,
    kUInt64 = 3,
    kUInt32 = 4,
    kInt32 = 5,
    kUInt16 = 6,
    kInt16 = 7,
    kUInt8 = 8,
    kInt8 = 9,
    kByte = 10,
    kString = 11,
  };

  int status = 1;
  int type = kDouble;
  union Value {
    double d;
    float f;
    std::int64_t i64;
    std::uint64_t u64;
    std::uint32_t u32;
    std::int32_t i32;
    std::uint16_t u16;
    std::int16_t i16;
    std::uint8_t u8;
    std::int8_t i8;
  };
  Value value{};
  std::string text;

  bool present() const { return status == 0; }
  // Numeric value by type tag; unknown tags and strings read as 0.
  operator double() const;
  void CopyStr(std::string& out) const { out = text; }
  void ClearIfStr() {
    if (type == kString) text.clear();
  }
};

// The write operations, in the order the host lists them. Their names are output.
enum class WriteOp : std::uint8_t {
  kSetByte,
  kSetShort,
  kSetUShort,
  kSetInt,
  kSetLong,
  kSetUInt,
  kSetULong,
  kSetDWord,
  kSetInt64,
  kSetUInt64,
  kSetDouble,
  kSetString,
  kSetNoValue,
};
const char* write_op_name(WriteOp op);

// A written value: exactly one member is meaningful, by op (signed ops use i, unsigned
// ops u, SetDouble d; a string's text travels beside it).
struct WriteValue {
  WriteOp op = WriteOp::kSetNoValue;
  std::int64_t i = 0;
  std::uint64_t u = 0;
  double d = 0.0;
};
// A written value as a finite number; none for texts, no-value writes, NaN and infinities.
std::optional<double> finite_number(const WriteValue& w);

class IOrbDataState {
 public:
  static constexpr std::uint32_t kNoBound = 0x7fffffff;

  virtual ~IOrbDataState() = default;
  virtual bool IsReadOnly() = 0;

  virtual void SetByte(std::uint32_t id, std::uint8_t v, std::uint32_t index, std::uint32_t bound, int flags) = 0;
  virtual void SetShort(std::uint32_t id, std::int16_t v, std::uint32_t index, std::uint32_t bound, int flags) = 0;
  virtual void SetUShort(std::uint32_t id, std::uint16_t v, std::uint32_t index, std::uint32_t bound, int flags) = 0;
  virtual void SetInt(std::uint32_t id, std::int32_t v, std::uint32_t index, std::uint32_t bound, int flags) = 0;
  virtual void SetLong(std::uint32_t id, std::int32_t v, std::uint32_t index, std::uint32_t bound, int flags) = 0;
  virtual void SetUInt(std::uint32_t id, std::uint32_t v, std::uint32_t index, std::uint32_t bound, int flags) = 0;
  virtual void SetULong(std::uint32_t id, std::uint32_t v, std::uint32_t index, std::uint32_t bound, int flags) = 0;
  virtual void SetDWord(std::uint32_t id, std::uint32_t v, std::uint32_t index, std::uint32_t bound, int flags) = 0;
  virtual void SetInt64(std::uint32_t id, std::int64_t v, std::uint32_t index, std::uint32_t bound, int flags) = 0;
  virtual void SetUInt64(std::uint32_t id, std::uint64_t v, std::uint32_t index, std::uint32_t bound, int flags) = 0;
  virtual void SetDouble(std::uint32_t id, double v, std::uint32_t index, std::uint32_t bound, int flags) = 0;
  virtual void SetString(std::uint32_t id, const char* v, std::uint32_t index, std::uint32_t bound, int flags) = 0;
  virtual void SetNoValue(std::uint32_t id, std::uint32_t index, std::uint32_t bound, int flags) = 0;

  // Value written in the current record (the packet being decoded).
  virtual OrbRetVal GetValue(std::uint32_t id, std::uint32_t index, std::uint32_t bound) = 0;
  // Most recent value written by a packet whose message number is below bound
  // (kNoBound or 0: any packet, the current one included).
  virtual OrbRetVal GetValueAt(std::uint32_t id, std::uint32_t index, std::uint32_t bound) = 0;
};
