// The log-record reader, resynchronisation included.
#include "fuzz_target.h"
#include "reader_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  cdmadiag::fuzz::check_reader(cdmadiag::InputFormat::kLog, data, size);
  return 0;
}
