#pragma once
// Runs one DIAG response decoder directly over a hand-built payload (the bytes after
// the command code) and keeps what it produced.
#include <string>

#include "framework/decoder_1x.h"
#include "support/bytes.h"
#include "support/recording_sink.h"

namespace cdmadiag::test {

using Member1x = void (COrbDecodeMsgCDMAQualcommFrame::*)(IOrbDataState*, COrbExpandedMessage&, IDekCellRefs_Search*);

struct Decoded {
  RecordingState st;
  COrbExpandedMessage msg;

  // Decodes bytes as message number; the data state is moved to that message first.
  void run(Member1x decoder, const Bytes& bytes, std::uint32_t number = 1) {
    COrbDecodeMsgCDMAQualcommFrame f(bytes.data(), bytes.size(), nullptr);
    f.SetMessageNumber(number);
    st.ds.begin_message(number);
    (f.*decoder)(&st.ds, msg, nullptr);
  }
  std::vector<Recorded> of(const std::string& name) const { return st.sink.of(name); }
};

// The first n bytes of b.
inline Bytes prefix(const Bytes& b, std::size_t n) {
  Bytes out;
  for (std::size_t i = 0; i < n; ++i) out.u8(b.vec()[i]);
  return out;
}

}  // namespace cdmadiag::test
