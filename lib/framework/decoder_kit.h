#pragma once
// The decoder kit: one title and failure policy per code, one length check and one
// attribute writer for every decoder, so that the families read alike.
//
// A decoder, in this order:
//   // Payload (fixed part 14 bytes):
//   //  +off  type  name            unit
//   //   +0   u8    Pregain         code 0-4
//   //   +1   u16   WindowEnd       1/8 chip
//   constexpr std::size_t kSize = 14;     (named sizes; offsets only where the decoder moves)
//   void F::DecodeX(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
//     const auto job = Begin(msg, &F::DecodeX);  // the code's row: title and failure policy
//     Cursor c(payload());
//     const std::uint8_t pregain = c.u8();         // fields in their order, into named locals
//     const std::uint16_t window_end = c.u16le();
//     if (!job.check(c)) return;                   // once: fails as the code's policy says
//     AttrWriter w(ds);                            // nothing when read-only
//     w.Double(ATTR_ID_X, v); w.UShort(ATTR_ID_PILOT_PN, pn, i);
//     if (!msg.detailsWanted) return;
//     ... text ...
//   }
// The code, its decoder, title and policy are one row of the family's code list.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <optional>

#include "framework/attributes.h"
#include "framework/decoder_policy.h"
#include "framework/failure_texts.h"
#include "framework/payload_cursor.h"
#include "framework/payload_reader.h"
#include "host/data_state.h"
#include "host/expanded_message.h"

namespace cdmadiag {

inline constexpr std::uint32_t kNoBound = IOrbDataState::kNoBound;

inline void set_title(COrbExpandedMessage& msg, const char* title, TitleWhen when) {
  if (title != nullptr && (msg.titleWanted || (when == TitleWhen::kTitleOrDetails && msg.detailsWanted))) {
    msg.title = title;
  }
}

// One decode of one packet under its code's row: sets the title where the policy
// puts it and fails as the policy says. A title that follows the length check is set
// when the decode ends (this object goes out of scope) without having failed and
// without an exception on its way out.
class Decoding {
 public:
  Decoding(COrbExpandedMessage& msg, const char* title, const Policy& policy);
  ~Decoding();
  Decoding(const Decoding&) = delete;
  Decoding& operator=(const Decoding&) = delete;

  // True when r holds need bytes from its start; otherwise fails.
  bool require(const PayloadReader& r, std::size_t need) const { return r.has(0, need) || fail(); }
  // True when every read of c so far was within the payload; otherwise fails. The one
  // check of a part read field by field.
  bool check(const Cursor& c) const { return c.ok() || fail(); }
  // True when n more bytes follow c's offset; otherwise fails (and c is short).
  bool require(Cursor& c, std::size_t n) const { return c.need(n) || fail(); }
  // True when r holds n bytes at off; otherwise fails.
  bool require_at(const PayloadReader& r, std::size_t off, std::size_t n) const { return r.has(off, n) || fail(); }
  // The same with a text of its own, where one part of a packet fails differently.
  bool require(const PayloadReader& r, std::size_t need, const char* text) const {
    return r.has(0, need) || fail(text);
  }
  // Fails with the policy's text, or with text for a rule other than the length
  // (a count out of range): appends it (kReport), stays silent (kQuiet) or throws
  // MalformedPacket (kThrow). Returns false, for `return d.fail();`.
  bool fail() const { return fail(policy_.text); }
  bool fail(const char* text) const;

  const Policy& policy() const { return policy_; }

 private:
  COrbExpandedMessage& msg_;
  const char* title_;
  Policy policy_;
  int exceptions_ = 0;  // in flight when the decode began
  mutable bool failed_ = false;
};

// Writes attributes with the two constant trailing arguments of the data state left
// out; the operation stays in the call because it is part of the output. A writer
// made with kUnlessReadOnly (the default) writes nothing when the data state is
// read-only; kAlways is for the writes made without asking.
class AttrWriter {
 public:
  enum Mode : std::uint8_t { kUnlessReadOnly, kAlways };

  explicit AttrWriter(IOrbDataState* ds, Mode mode = kUnlessReadOnly)
      : ds_(ds != nullptr && (mode == kAlways || !ds->IsReadOnly()) ? ds : nullptr) {}

  // False when every write would be dropped: skip computing what only feeds writes.
  bool on() const { return ds_ != nullptr; }

  void Byte(std::uint32_t id, std::uint8_t v, std::uint32_t i = 0) const {
    if (ds_) ds_->SetByte(id, v, i, kNoBound, 0);
  }
  void Short(std::uint32_t id, std::int16_t v, std::uint32_t i = 0) const {
    if (ds_) ds_->SetShort(id, v, i, kNoBound, 0);
  }
  void UShort(std::uint32_t id, std::uint16_t v, std::uint32_t i = 0) const {
    if (ds_) ds_->SetUShort(id, v, i, kNoBound, 0);
  }
  void Int(std::uint32_t id, std::int32_t v, std::uint32_t i = 0) const {
    if (ds_) ds_->SetInt(id, v, i, kNoBound, 0);
  }
  void Long(std::uint32_t id, std::int32_t v, std::uint32_t i = 0) const {
    if (ds_) ds_->SetLong(id, v, i, kNoBound, 0);
  }
  void UInt(std::uint32_t id, std::uint32_t v, std::uint32_t i = 0) const {
    if (ds_) ds_->SetUInt(id, v, i, kNoBound, 0);
  }
  void ULong(std::uint32_t id, std::uint32_t v, std::uint32_t i = 0) const {
    if (ds_) ds_->SetULong(id, v, i, kNoBound, 0);
  }
  void DWord(std::uint32_t id, std::uint32_t v, std::uint32_t i = 0) const {
    if (ds_) ds_->SetDWord(id, v, i, kNoBound, 0);
  }
  void Int64(std::uint32_t id, std::int64_t v, std::uint32_t i = 0) const {
    if (ds_) ds_->SetInt64(id, v, i, kNoBound, 0);
  }
  void UInt64(std::uint32_t id, std::uint64_t v, std::uint32_t i = 0) const {
    if (ds_) ds_->SetUInt64(id, v, i, kNoBound, 0);
  }
  void Double(std::uint32_t id, double v, std::uint32_t i = 0) const {
    if (ds_) ds_->SetDouble(id, v, i, kNoBound, 0);
  }
  void String(std::uint32_t id, const char* v, std::uint32_t i = 0) const {
    if (ds_) ds_->SetString(id, v, i, kNoBound, 0);
  }
  void NoValue(std::uint32_t id, std::uint32_t i = 0) const {
    if (ds_) ds_->SetNoValue(id, i, kNoBound, 0);
  }

 private:
  IOrbDataState* ds_;
};

// The number a read-back holds; empty when nothing is held.
std::optional<double> held_number(const OrbRetVal& v);
// The integer a read-back holds (a floating value truncated toward zero, 64-bit
// values exactly); empty when nothing is held.
std::optional<std::int64_t> held_integer(const OrbRetVal& v);

// Reads back what packets wrote, with the same defaults: current() is this packet's
// write, latest() the most recent write of any packet, before(bound) the most recent
// write of a packet numbered below bound.
class AttrReader {
 public:
  explicit AttrReader(IOrbDataState* ds) : ds_(ds) {}
  OrbRetVal current(std::uint32_t id, std::uint32_t i = 0) const {
    return ds_ ? ds_->GetValue(id, i, kNoBound) : OrbRetVal{};
  }
  OrbRetVal latest(std::uint32_t id, std::uint32_t i = 0) const {
    return ds_ ? ds_->GetValueAt(id, i, kNoBound) : OrbRetVal{};
  }
  OrbRetVal before(std::uint32_t id, std::uint32_t bound, std::uint32_t i = 0) const {
    return ds_ ? ds_->GetValueAt(id, i, bound) : OrbRetVal{};
  }

 private:
  IOrbDataState* ds_;
};

}  // namespace cdmadiag
