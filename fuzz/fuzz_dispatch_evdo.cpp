// The EV-DO dispatcher: the first two bytes are the log code (little-endian), the rest
// the payload, decoded twice so read-backs of the earlier packet run too.
#include "framework/decoder_evdo.h"
#include "fuzz_target.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  cdmadiag::fuzz::PacketInput in;
  if (!cdmadiag::fuzz::split_input(data, size, in)) return 0;
  MemoryDataState ds;
  CellSiteTable cells;
  ObjectProperties props;
  for (std::uint32_t seq = 1; seq <= 2; ++seq) {
    ds.begin_message(seq);
    COrbExpandedMessage msg = cdmadiag::fuzz::wanted_message();
    COrbDecodeMsgCDMA1xEVDOQualcommFrame f(in.payload, in.size, &props, nullptr);
    f.SetMessageCode(in.code);
    f.SetMessageNumber(seq);
    // The second round has no stored header, so decoders that look for one in the bytes run.
    if (seq == 1) f.SetMDMHeaderBytes(in.header);
    try {
      f.ExpandEVDOQualcommMessage(&ds, msg, &cells);
    } catch (const std::exception&) {
    }
  }
  return 0;
}
