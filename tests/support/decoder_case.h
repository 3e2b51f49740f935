#pragma once
// Test support: one packet through the dispatcher that routes its code (or straight
// into one decoder), with what it produced (title, details, category, the ordered
// attribute writes), and the shared truncation sweep.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <type_traits>
#include <vector>

#include "framework/decoder_1x.h"
#include "framework/decoder_evdo.h"
#include "framework/dispatch.h"
#include "framework/pending.h"
#include "framework/text.h"
#include "host/object_properties.h"
#include "support/bytes.h"
#include "support/recording_sink.h"

namespace cdmadiag::test {

// Codes the EV-DO dispatcher routes go there, every other code to the 1x dispatcher
// (a log packet unless response is set: then b starts with its command byte).
// call() runs one 1x decoder directly, as a host may: no dispatcher and no length
// bounds; a response decoder's b is then the bytes after the command byte.
struct DecoderCase {
  RecordingState st;  // shared by every packet of one case, as in a real log
  ObjectProperties props;
  IProObjectPropertiesConnectedAccessor* accessor = &props;  // what the decoder object gets; may be null
  IDekCellRefs_Search* cells = nullptr;
  COrbExpandedMessage msg;
  std::uint32_t number = 0;
  bool read_only = false;
  bool wanted = true;  // title and details wanted
  bool flag = false;
  double threshold_a = -15.0;
  double threshold_b = -15.0;
  int decimals = -1;  // writes(): non-integral values with this many decimals; -1: 10 significant digits

  // Decodes one packet as the next message; returns the message it filled.
  const COrbExpandedMessage& run(std::uint32_t code, const Bytes& b, bool response = false) {
    next();
    if (!response && evdo_routes(code)) {
      COrbDecodeMsgCDMA1xEVDOQualcommFrame f(b.data(), b.size(), accessor, nullptr);
      f.SetMessageCode(code);
      f.SetMessageNumber(number);
      f.SetCommonVariables(flag, threshold_a, threshold_b);
      f.ExpandEVDOQualcommMessage(&st.ds, msg, cells);
    } else {
      COrbDecodeMsgCDMAQualcommFrame f(b.data(), b.size(), accessor);
      f.SetMessageCode(response ? 0 : code);
      f.SetMessageNumber(number);
      f.SetCommonVariables(flag, threshold_a, threshold_b);
      f.ExpandQualcommMessage(&st.ds, msg, cells, !response);
    }
    return msg;
  }
  const COrbExpandedMessage& call(Decoder1x decoder, const Bytes& b) {
    next();
    COrbDecodeMsgCDMAQualcommFrame f(b.data(), b.size(), accessor);
    f.SetMessageNumber(number);
    f.SetCommonVariables(flag, threshold_a, threshold_b);
    (f.*decoder)(&st.ds, msg, cells);
    return msg;
  }

  // The writes of the last packet whose name (ATTR_ID_ left out) starts with one of
  // the prefixes, one "NAME Op[index] value" a line, in write order; the packet code
  // the dispatcher records is left out.
  std::string writes(std::initializer_list<const char*> prefixes = {""}) const {
    std::string out;
    for (const auto& w : st.sink.writes) {
      const std::string name = w.name.substr(8);
      if (name == "QUALCOMM_MDM_MSG_TYPE") continue;
      bool wanted_name = false;
      for (const char* p : prefixes) wanted_name = wanted_name || name.starts_with(p);
      if (!wanted_name) continue;
      out += formatf("%s %s[%u]", name.c_str(), write_op_name(w.op) + 3, w.index);
      if (w.op == WriteOp::kSetString) {
        out += " \"" + w.text + "\"";
      } else if (w.op != WriteOp::kSetNoValue) {
        const bool fixed = decimals >= 0 && w.value != std::trunc(w.value);
        out += fixed ? formatf(" %.*f", decimals, w.value) : formatf(" %.10g", w.value);
      }
      out += "\n";
    }
    return out;
  }
  // The last packet's writes of one attribute ("ATTR_ID_..."), in order.
  std::vector<Recorded> of(const std::string& name) const { return st.sink.of(name); }

 private:
  void next() {
    st.sink.writes.clear();
    st.ds.set_read_only(read_only);
    st.ds.begin_message(++number);
    msg.reset();
    msg.titleWanted = msg.detailsWanted = wanted;
  }
};

// Every shorter copy of a packet, through the dispatcher: no exception escapes, the
// title of a log packet stays the full packet's, and check holds (ASan/UBSan catch any
// read past the payload). check(msg, length) or check(decoder_case, length); may be omitted.
namespace detail {
template <class Check>
void check_cut(const DecoderCase& c, std::size_t n, Check& check) {
  if constexpr (std::is_invocable_v<Check&, const DecoderCase&, std::size_t>) {
    check(c, n);
  } else {
    check(c.msg, n);
  }
}
}  // namespace detail
template <class Check>
void sweep_truncations(std::uint32_t code, const Bytes& full, Check check, bool response = false) {
  DecoderCase whole;
  const std::string title = whole.run(code, full, response).title;
  for (std::size_t n = response ? 1 : 0; n < full.size(); ++n) {
    SCOPED_TRACE(formatf("code 0x%04X cut to %zu of %u bytes", code, n, full.size()));
    DecoderCase c;
    ASSERT_NO_THROW(c.run(code, full.prefix(n), response));
    if (!response) {
      EXPECT_EQ(c.msg.title, title);
    }
    detail::check_cut(c, n, check);
  }
}
inline void sweep_truncations(std::uint32_t code, const Bytes& full, bool response = false) {
  sweep_truncations(code, full, [](const COrbExpandedMessage&, std::size_t) {}, response);
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
    detail::check_cut(c, n, check);
  }
}
inline void sweep_truncations(Decoder1x decoder, const Bytes& full) {
  sweep_truncations(decoder, full, [](const COrbExpandedMessage&, std::size_t) {});
}

}  // namespace cdmadiag::test
