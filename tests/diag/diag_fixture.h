#pragma once
// Runs one DIAG response decoder directly over a hand-built payload (the bytes after
// the command code) and keeps what it produced.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "framework/decoder_1x.h"
#include "support/bytes.h"
#include "support/recording_sink.h"

namespace cdmadiag::test {

using Member1x = void (COrbDecodeMsgCDMAQualcommFrame::*)(IOrbDataState*, COrbExpandedMessage&, IDekCellRefs_Search*);
using Write = std::tuple<std::string, WriteOp, std::uint32_t, double>;

struct Decoded {
  RecordingState st;
  COrbExpandedMessage msg;

  // Decodes bytes as message number; the data state is moved to that message first.
  void run(Member1x decoder, const Bytes& bytes, std::uint32_t number = 1) {
    COrbDecodeMsgCDMAQualcommFrame f(bytes.data(), bytes.size(), nullptr);
    f.SetMessageNumber(number);
    st.ds.begin_message(number);
    msg.title.clear();
    msg.details.clear();
    (f.*decoder)(&st.ds, msg, nullptr);
  }
  std::vector<Recorded> of(const std::string& name) const { return st.sink.of(name); }
  std::vector<Write> writes() const {
    std::vector<Write> out;
    for (const auto& w : st.sink.writes) out.emplace_back(w.name, w.op, w.index, w.value);
    return out;
  }
};

// The first n bytes of b.
inline Bytes prefix(const Bytes& b, std::size_t n) {
  Bytes out;
  for (std::size_t i = 0; i < n; ++i) out.u8(b.vec()[i]);
  return out;
}

// Replays every shorter prefix of b on a fresh state: no throw, and check(decoded, n).
template <class Check>
void sweep(Member1x decoder, const Bytes& b, Check check) {
  for (std::size_t n = 0; n < b.size(); ++n) {
    SCOPED_TRACE(n);
    Decoded d;
    EXPECT_NO_THROW(d.run(decoder, prefix(b, n)));
    check(d, n);
  }
}

}  // namespace cdmadiag::test
