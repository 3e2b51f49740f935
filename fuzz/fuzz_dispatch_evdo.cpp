// The EV-DO dispatcher: the first two bytes are the log code (little-endian), the rest
// the payload, decoded twice so read-backs of the earlier packet run too.
#include "framework/decoder_evdo.h"
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
  for (std::uint32_t seq = 1; seq <= 2; ++seq) {
    ds.begin_message(seq);
    COrbExpandedMessage msg = cdmadiag::fuzz::wanted_message();
    COrbDecodeMsgCDMA1xEVDOQualcommFrame f(payload, n, &props, nullptr);
    f.SetMessageCode(code);
    f.SetMessageNumber(seq);
    // The second round has no stored header, so decoders that look for one in the bytes run.
    if (seq == 1) f.SetMDMHeaderBytes(header);
    try {
      f.ExpandEVDOQualcommMessage(&ds, msg, &cells);
    } catch (const std::exception&) {
    }
  }
  return 0;
}
