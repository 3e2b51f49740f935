// The 1x dispatcher: the first two bytes are the message code (little-endian), the rest
// the payload, decoded as a log packet and then as a command response, twice each so
// read-backs of earlier packets run too.
#include "framework/decoder_1x.h"
#include "fuzz_target.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  cdmadiag::fuzz::PacketInput in;
  if (!cdmadiag::fuzz::split_input(data, size, in)) return 0;
  MemoryDataState ds;
  CellSiteTable cells;
  ObjectProperties props;
  props.set_pilot_increment(4);
  std::uint32_t seq = 0;
  for (int round = 0; round < 2; ++round) {
    for (const bool log_only : {true, false}) {
      ds.begin_message(++seq);
      COrbExpandedMessage msg = cdmadiag::fuzz::wanted_message();
      COrbDecodeMsgCDMAQualcommFrame f(in.payload, in.size, &props);
      f.SetMessageCode(log_only ? in.code : 0);
      f.SetMessageNumber(seq);
      if (log_only) f.SetMDMHeaderBytes(in.header);
      try {
        f.ExpandQualcommMessage(&ds, msg, &cells, log_only);
      } catch (const std::exception&) {
        // An error text for the packet is fine; a crash is not.
      }
    }
  }
  return 0;
}
