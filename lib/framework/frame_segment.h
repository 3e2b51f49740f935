#pragma once
// The field-table unpacker: reads a run of bit fields described by a table, keeps
// their values, writes the fields that name an attribute and renders "label: value"
// lines on request.
//
// Bit order. The packet is one stream of bits numbered from bit 0 of byte 0 upward:
// bit position b is bit (b % 8) of byte (b / 8), and a field of width w at b takes bits
// b .. b + w - 1 with the bit at b as its least significant bit. So the first field of a
// byte is its low bits (a 4-bit pair 0x31 reads 1, then 3; a run of 1-bit flags reads
// bit 0 first), a field that straddles a byte boundary takes its low part from the
// earlier byte, and fields of 8, 16 or 32 bits on byte boundaries read little-endian,
// as every other multi-byte packet field does. The packed layouts this unpacker serves
// (radio configuration nibbles, the channel set mask flags, PILOT_PN) all fix their
// fields this way.
//
// Safety. The unpacker is given the packet's byte count and never reads past it: a
// field that runs past the end is not read and not written, the text shows
// "<label>: (truncated)" for it, and unpacking stops there. A width outside 1..32 (a
// table built from packet data can carry one) stops unpacking the same way.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/data_state.h"

// One entry of a field table: eight 32-bit words in the host's layout.
struct FieldEntry {
  std::uint32_t width;          // bits, 1..32; only the low 16 bits count
  std::uint32_t storage_class;  // 2: up to 8 bits, 4: up to 16 bits, 6: 32 bits
  std::uint32_t unused2;
  const char* label;         // empty or null: a reserved field, left out of the text
  std::uint32_t value_type;  // OrbRetVal tag of the attribute write, 0 without one
  std::uint32_t unused5;
  std::uint32_t attribute_id;  // 0: the field writes no attribute
  std::uint32_t unused7;
};

class COrbFrameSegment {
 public:
  COrbFrameSegment() = default;
  virtual ~COrbFrameSegment();

  // The text of one unpacked value: decimal, signed for the signed value types.
  virtual std::string processAnEnumString(const FieldEntry& entry, std::uint32_t value) const;

  // Reads entries fields of table from start_bit of bytes[0 .. count). With a data state
  // that accepts writes, each field with an attribute id is written at index 0 by the op
  // of its value type (unsigned 32-bit, tag 4, with SetULong). Returns the bit position
  // after the last field read. The last argument is unused.
  int unpack(const std::uint8_t* bytes, std::size_t count, const FieldEntry* table, int entries, int start_bit,
             IOrbDataState* ds, int flags);

  // "label: value\n" for every unpacked field that has a label, in table order, and the
  // line of the field that stopped unpacking.
  std::string createCString() const;
  // The same for the entries first to last (both included, table indices).
  std::string createCString(int first, int last) const;

  // Entries that unpack reached: the unpacked ones and the one that stopped it.
  int fields() const { return static_cast<int>(fields_.size()); }
  bool unpacked(int entry) const;
  // The value of an unpacked entry; 0 for any other.
  std::uint32_t value(int entry) const;
  // True when a field ran past the end of the packet or had a width outside 1..32.
  bool stopped() const;

 private:
  enum class Outcome : std::uint8_t { kUnpacked, kTruncated, kBadWidth };
  struct Field {
    FieldEntry entry;
    std::uint32_t value;
    Outcome outcome;
  };

  void render(std::string& out, const Field& field) const;

  std::vector<Field> fields_;
};

// The 1x decoders' segment; it adds only its own destructor.
class COrbDecodeMsgCDMAQualcommFrameSegment : public COrbFrameSegment {
 public:
  ~COrbDecodeMsgCDMAQualcommFrameSegment() override;
};
