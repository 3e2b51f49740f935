#pragma once
// Test support: one packet through the dispatcher that routes its code (or straight
// into one decoder), with what it produced (title, details, category, the ordered
// attribute writes, what the EV-DO guards kept inside), and the shared truncation sweep.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "framework/decoder_1x.h"
#include "framework/decoder_evdo.h"
#include "framework/diagnostics.h"
#include "framework/dispatch.h"
#include "framework/dispatch_tables.h"
#include "framework/pending.h"
#include "framework/text.h"
#include "host/object_properties.h"
#include "support/bytes.h"
#include "support/recording_sink.h"

namespace cdmadiag::test {

// Codes the EV-DO dispatcher routes go there, every other code to the 1x dispatcher
// (a log packet unless response is set: then b starts with its command byte).
struct DecoderCase {
  using MemberEvdo = void (COrbDecodeMsgCDMA1xEVDOQualcommFrame::*)(IOrbDataState*, COrbExpandedMessage&,
                                                                    IDekCellRefs_Search*);
  using Member1x = void (COrbDecodeMsgCDMAQualcommFrame::*)(IOrbDataState*, COrbExpandedMessage&, IDekCellRefs_Search*);

  RecordingState st;  // shared by every packet of one case, as in a real log
  ObjectProperties props;
  IProObjectPropertiesConnectedAccessor* accessor = &props;  // what the decoder object gets; may be null
  COrbExpandedMessage msg;                                   // cellIdWanted is left as the test sets it
  std::uint32_t number = 0;                                  // of the last packet; the next one is number + 1
  bool read_only = false;
  bool title_wanted = true;
  bool details_wanted = true;
  bool flag = false;
  double threshold_a = -15.0;
  double threshold_b = -15.0;
  IDekCellRefs_Search* cells = nullptr;
  int decimals = -1;  // writes() shows 10 significant digits; from 0, integers bare and others to this many decimals
  std::vector<std::string> failures;  // the texts the EV-DO guards kept inside during the last packet

  // Decodes one packet as the next message; returns the message it filled.
  const COrbExpandedMessage& run(std::uint32_t code, const Bytes& b, bool response = false) {
    return !response && evdo_routes(code) ? run_evdo(code, b) : run_1x(response ? 0 : code, b, !response);
  }
  // Through the EV-DO dispatcher, whatever the code.
  const COrbExpandedMessage& run_evdo(std::uint32_t code, const Bytes& b) {
    COrbDecodeMsgCDMA1xEVDOQualcommFrame f(b.data(), b.size(), accessor, nullptr);
    begin(f, code);
    f.ExpandEVDOQualcommMessage(&st.ds, msg, cells);
    failures.clear();
    for (std::size_t at = 0; at < msg.diagnostic.size();) {
      const std::size_t end = std::min(msg.diagnostic.find('\n', at), msg.diagnostic.size());
      failures.push_back(msg.diagnostic.substr(at, end - at));
      at = end + 1;
    }
    return msg;
  }
  // Through the 1x dispatcher with the code as given.
  const COrbExpandedMessage& run_1x(std::uint32_t code, const Bytes& b, bool log_only = true) {
    COrbDecodeMsgCDMAQualcommFrame f(b.data(), b.size(), accessor);
    begin(f, code);
    f.ExpandQualcommMessage(&st.ds, msg, cells, log_only);
    return msg;
  }
  // One decoder member called directly, without its dispatcher's code write and guard:
  // for what the dispatcher would not pass on, such as no data state at all.
  const COrbExpandedMessage& run_member(MemberEvdo member, std::uint32_t code, const Bytes& b, bool state = true) {
    COrbDecodeMsgCDMA1xEVDOQualcommFrame f(b.data(), b.size(), accessor, nullptr);
    begin(f, code);
    (f.*member)(state ? &st.ds : nullptr, msg, cells);
    return msg;
  }
  const COrbExpandedMessage& run_member(Member1x member, std::uint32_t code, const Bytes& b, bool state = true) {
    COrbDecodeMsgCDMAQualcommFrame f(b.data(), b.size(), accessor);
    begin(f, code);
    (f.*member)(state ? &st.ds : nullptr, msg, cells);
    return msg;
  }

  // One 1x decoder called directly, as a host may: no dispatcher and no length bounds;
  // a response decoder's b is then the bytes after the command byte.
  const COrbExpandedMessage& call(Decoder1x decoder, const Bytes& b) { return run_member(decoder, 0, b); }

  // The writes of the last packet whose name (ATTR_ID_ left out) starts with one of
  // the prefixes, one "NAME Op[index] value" a line, in write order; the packet code
  // the dispatcher records is left out.
  std::string writes(std::initializer_list<const char*> prefixes = {""}) const {
    std::string out;
    for (const auto& w : st.sink.writes) {
      const std::string name = w.name.substr(8);
      if (name == "QUALCOMM_MDM_MSG_TYPE") continue;
      bool wanted = false;
      for (const char* p : prefixes) wanted = wanted || name.starts_with(p);
      if (!wanted) continue;
      out += formatf("%s %s[%u]", name.c_str(), write_op_name(w.op) + 3, w.index);
      if (w.op == WriteOp::kSetString) {
        out += " \"" + w.text + "\"";
      } else if (w.op != WriteOp::kSetNoValue) {
        out += decimals < 0 ? formatf(" %.10g", w.value)
                            : formatf(" %.*f", w.value == std::trunc(w.value) ? 0 : decimals, w.value);
      }
      out += "\n";
    }
    return out;
  }

  // The last packet's writes of one attribute ("ATTR_ID_..."), in order.
  std::vector<Recorded> of(const std::string& name) const { return st.sink.of(name); }

 private:
  template <class Frame>
  void begin(Frame& f, std::uint32_t code) {
    st.sink.writes.clear();
    failures.clear();
    st.ds.set_read_only(read_only);
    st.ds.begin_message(++number);
    msg.reset();
    msg.titleWanted = title_wanted;
    msg.detailsWanted = details_wanted;
    f.SetMessageCode(code);
    f.SetMessageNumber(number);
    f.SetCommonVariables(flag, threshold_a, threshold_b);
  }
};

// Every shorter copy of a packet, through the dispatcher: no exception escapes, the
// title of a log packet stays the full packet's (or, where the code's row sets it after
// the length check, is gone exactly when the packet failed), and check(msg, length)
// holds (ASan/UBSan catch any read past the payload). check may be omitted, or take the
// whole case (writes, failures) for the msg.
template <class Check>
void sweep_truncations(std::uint32_t code, const Bytes& full, Check check, bool response = false) {
  DecoderCase whole;
  const std::string title = whole.run(code, full, response).title;
  const Policy* policy = response ? nullptr : code_policy(code);
  const bool title_after_check = policy != nullptr && policy->title_at == TitleAt::kAfterCheck;
  for (std::size_t n = response ? 1 : 0; n < full.size(); ++n) {
    SCOPED_TRACE(formatf("code 0x%04X cut to %zu of %u bytes", code, n, full.size()));
    DecoderCase c;
    ASSERT_NO_THROW(c.run(code, full.prefix(n), response));
    if (!response) {
      const bool failed = !c.failures.empty() || (policy != nullptr && c.msg.details.ends_with(policy->text));
      EXPECT_EQ(c.msg.title, title_after_check && failed ? "" : title);
    }
    if constexpr (std::is_invocable_v<Check&, const DecoderCase&, std::size_t>) {
      check(std::as_const(c), n);
    } else {
      check(c.msg, n);
    }
  }
}
inline void sweep_truncations(std::uint32_t code, const Bytes& full, bool response = false) {
  sweep_truncations(
      code, full, [](const COrbExpandedMessage&, std::size_t) {}, response);
}
// The same with the decoder called directly (DecoderCase::call); the title always stays.
template <class Check>
void sweep_truncations(Decoder1x decoder, const Bytes& full, Check check) {
  DecoderCase whole;
  const std::string title = whole.call(decoder, full).title;
  for (std::size_t n = 0; n < full.size(); ++n) {
    SCOPED_TRACE(formatf("cut to %zu of %u bytes", n, full.size()));
    DecoderCase c;
    ASSERT_NO_THROW(c.call(decoder, full.prefix(n)));
    EXPECT_EQ(c.msg.title, title);
    if constexpr (std::is_invocable_v<Check&, const DecoderCase&, std::size_t>) {
      check(std::as_const(c), n);
    } else {
      check(c.msg, n);
    }
  }
}
inline void sweep_truncations(Decoder1x decoder, const Bytes& full) {
  sweep_truncations(decoder, full, [](const COrbExpandedMessage&, std::size_t) {});
}

}  // namespace cdmadiag::test
