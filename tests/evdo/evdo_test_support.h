#pragma once
// Test support for the EV-DO decoders: one decoder object per packet, run against
// a shared data state.
#include <string>

#include "framework/decoder_evdo.h"
#include "host/object_properties.h"
#include "support/bytes.h"

namespace cdmadiag::test {

using EvdoMember = void (COrbDecodeMsgCDMA1xEVDOQualcommFrame::*)(IOrbDataState*, COrbExpandedMessage&,
                                                                  IDekCellRefs_Search*);

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
};

}  // namespace cdmadiag::test
