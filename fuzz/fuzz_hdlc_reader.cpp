// The HDLC reader (escapes, CRCs, salvage of frames behind garbage) and the detection.
#include "fuzz_target.h"
#include "reader_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  cdmadiag::fuzz::check_reader(cdmadiag::InputFormat::kHdlc, data, size);
  cdmadiag::fuzz::check_reader(cdmadiag::InputFormat::kAuto, data, size);
  return 0;
}
