#pragma once
// A code's failure policy: what its decoder does with a payload too short (or
// otherwise malformed) for its layout, and when its title is set. A fact about the
// code, written once in its family's code list (lib/<subsystem>/<family>_codes.def)
// and never passed at a call: the decoder kit (decoder_kit.h) applies it.
//
// In a code list, a policy starts from report(), quiet() or throws() and adds what
// differs: throws().title_after_check(), report(kCorruptedContent).title_for_details().
#include <cstdint>

#include "framework/failure_texts.h"

namespace cdmadiag {

enum class OnShort : std::uint8_t {
  kReport,  // append the failure text to the details (when wanted) and stop
  kQuiet,   // stop; the packet keeps its title and shows no failure text
  kThrow,   // throw MalformedPacket carrying the failure text; only for codes the EV-DO
            // dispatcher calls inside a guard, which keeps the text as the diagnostic
};

enum class TitleAt : std::uint8_t {
  kStart,       // set before anything is read
  kAfterCheck,  // set when the decode ends without a failure: a short packet has none
  kDispatcher,  // set by the dispatcher before it calls the decoder, which sets none
};

// 1x decoders set their title when a title is wanted, EV-DO decoders mostly also when
// details are wanted.
enum class TitleWhen : std::uint8_t { kTitleWanted, kTitleOrDetails };

struct Policy {
  OnShort on_short = OnShort::kReport;
  TitleAt title_at = TitleAt::kStart;
  TitleWhen when = TitleWhen::kTitleWanted;
  const char* text = kNotQualcommStandard;  // the failure text
  bool title_prefixed = false;              // the failure reads "<title> : <text>"

  constexpr Policy title_after_check() const {
    Policy p = *this;
    p.title_at = TitleAt::kAfterCheck;
    return p;
  }
  constexpr Policy title_by_dispatcher() const {
    Policy p = *this;
    p.title_at = TitleAt::kDispatcher;
    return p;
  }
  constexpr Policy title_for_details() const {
    Policy p = *this;
    p.when = TitleWhen::kTitleOrDetails;
    return p;
  }
  constexpr Policy failure_title_prefixed() const {
    Policy p = *this;
    p.title_prefixed = true;
    return p;
  }
};

// A decoder's row as its decoder sees it: the title to show and the failure policy.
struct DecoderRow {
  const char* title = nullptr;
  const Policy* policy = nullptr;
};

constexpr Policy report(const char* text = kNotQualcommStandard) { return Policy{.text = text}; }
constexpr Policy quiet() { return Policy{.on_short = OnShort::kQuiet}; }
constexpr Policy throws(const char* text = kNotQualcommStandard) {
  return Policy{.on_short = OnShort::kThrow, .text = text};
}

}  // namespace cdmadiag
