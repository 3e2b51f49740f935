// The 1x dispatcher: the first two bytes are the message code (little-endian), the rest
// the payload, decoded as a log packet and then as a command response, twice each so
// read-backs of earlier packets run too.
#include "framework/decoder_1x.h"
#include "fuzz_target.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const auto code = static_cast<std::uint16_t>(data[0] | (data[1] << 8));
  const std::uint8_t* payload = data + 2;
  const auto n = static_cast<std::uint32_t>(size - 2);
  std::uint8_t header[12];
  cdmadiag::fuzz::make_header(header, code, n);
  MemoryDataState ds;
  CellSiteTable cells;
  ObjectProperties props;
  props.set_pilot_increment(4);
  std::uint32_t seq = 0;
  for (int round = 0; round < 2; ++round) {
    for (const bool log_only : {true, false}) {
      ds.begin_message(++seq);
      COrbExpandedMessage msg = cdmadiag::fuzz::wanted_message();
      COrbDecodeMsgCDMAQualcommFrame f(payload, n, &props);
      f.SetMessageCode(log_only ? code : 0);
      f.SetMessageNumber(seq);
      if (log_only) f.SetMDMHeaderBytes(header);
      try {
        f.ExpandQualcommMessage(&ds, msg, &cells, log_only);
      } catch (const std::exception&) {
        // An error text for the packet is fine; a crash is not.
      }
    }
  }
  return 0;
}
