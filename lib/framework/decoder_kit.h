#pragma once
// The decoder kit: one length check, one attribute writer and one title source for
// every decoder, so that the families read alike.
//
// A decoder, in this order:
//   // Payload (fixed part 14 bytes):
//   //  +off  type  name            unit
//   //   +0   u8    Pregain         code 0-4
//   //   +1   u16   WindowEnd       1/8 chip
//   constexpr std::size_t kPregain = 0;   (named offsets, a kSize for the length test)
//   void F::DecodeX(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
//     SetTitle(msg, &F::DecodeX);                        // the dispatch row's title
//     const auto r = payload();
//     if (!cdmadiag::require(r, kSize, msg, OnShort::kReport)) return;
//     ... read fields into named locals ...
//     AttrWriter w(ds);                                  // nothing when read-only
//     w.Double(ATTR_ID_X, v); w.UShort(ATTR_ID_PILOT_PN, pn, i);
//     if (!msg.detailsWanted) return;
//     ... text ...
//   }
#include <cstddef>
#include <cstdint>
#include <optional>

#include "framework/attributes.h"
#include "framework/failure_texts.h"
#include "framework/payload_reader.h"
#include "host/data_state.h"
#include "host/expanded_message.h"

namespace cdmadiag {

inline constexpr std::uint32_t kNoBound = IOrbDataState::kNoBound;

// What a decoder does with a payload shorter than its layout.
enum class OnShort : std::uint8_t {
  kReport,  // append the failure text to the details (when wanted) and stop
  kThrow,   // throw std::invalid_argument carrying the failure text; only for
            // decoders the EV-DO dispatcher calls inside a guard
};

// True when r holds need bytes from its start. Otherwise fails by the policy with
// text (the failure text shown byte for byte) and returns false.
bool require(const PayloadReader& r, std::size_t need, COrbExpandedMessage& msg, OnShort policy,
             const char* text = kNotQualcommStandard);

// When a decoder's title is set: 1x decoders when a title is wanted, EV-DO decoders
// also when details are wanted.
enum class TitleWhen : std::uint8_t { kTitleWanted, kTitleOrDetails };

inline void set_title(COrbExpandedMessage& msg, const char* title, TitleWhen when) {
  if (title != nullptr && (msg.titleWanted || (when == TitleWhen::kTitleOrDetails && msg.detailsWanted))) {
    msg.title = title;
  }
}

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
