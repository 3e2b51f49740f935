#pragma once
// Test support for the EV-DO decoders: one decoder object per packet, run against
// a shared data state.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "framework/decoder_evdo.h"
#include "framework/failure_texts.h"
#include "host/object_properties.h"
#include "support/bytes.h"
#include "support/recording_sink.h"

namespace cdmadiag::test {

using EvdoMember = void (COrbDecodeMsgCDMA1xEVDOQualcommFrame::*)(IOrbDataState*, COrbExpandedMessage&,
                                                                  IDekCellRefs_Search*);
using Write = std::tuple<std::string, WriteOp, std::uint32_t, double>;

inline std::vector<Write> writes(const RecordingSink& sink) {
  std::vector<Write> out;
  for (const auto& w : sink.writes) out.emplace_back(w.name, w.op, w.index, w.value);
  return out;
}

struct EvdoRun {
  ObjectProperties props;

  // Decodes bytes with a fresh decoder object; msg keeps what the decoder wrote.
  void operator()(EvdoMember member, std::uint32_t code, const std::uint8_t* data, std::uint32_t size,
                  IOrbDataState* ds, COrbExpandedMessage& msg) {
    COrbDecodeMsgCDMA1xEVDOQualcommFrame f(data, size, &props, nullptr);
    f.SetMessageCode(code);
    (f.*member)(ds, msg, nullptr);
  }
  COrbExpandedMessage operator()(EvdoMember member, std::uint32_t code, const Bytes& b, IOrbDataState* ds) {
    COrbExpandedMessage msg;
    (*this)(member, code, b.data(), b.size(), ds, msg);
    return msg;
  }

  // Every shorter copy of b fails whole: the title stays, and the failure text is either
  // reported in the details or, for decoders under the dispatcher's guard, thrown.
  void expect_truncations_fail(EvdoMember member, std::uint32_t code, const Bytes& b, IOrbDataState* ds,
                               const std::string& title, bool throws) {
    for (std::uint32_t len = 0; len < b.size(); ++len) {
      const std::vector<std::uint8_t> cut(b.vec().begin(), b.vec().begin() + len);
      COrbExpandedMessage msg;
      std::string thrown;
      try {
        (*this)(member, code, cut.data(), len, ds, msg);
      } catch (const std::invalid_argument& e) {
        thrown = e.what();
      }
      EXPECT_EQ(msg.title, title) << len;
      EXPECT_EQ(msg.details, throws ? "" : kNotQualcommStandard) << len;
      EXPECT_EQ(thrown, throws ? kNotQualcommStandard : "") << len;
    }
  }
};

}  // namespace cdmadiag::test
