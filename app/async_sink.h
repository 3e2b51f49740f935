#pragma once
// Formatting and writing on a second thread: the decoding thread hands each packet over
// through a bounded queue, so decoding and output overlap on two cores. Packets reach
// the wrapped sink in the order given, and at most `depth` of them are held at a time.
#include <cstddef>
#include <memory>

#include "output_sink.h"

namespace cdmadiag {

// The wrapped sink is owned and finished by the returned one. An output failure on the
// writing thread comes back as an OutputError from the next packet(), framing_error()
// or finish() call.
std::unique_ptr<OutputSink> make_async_sink(std::unique_ptr<OutputSink> inner, std::size_t depth = 256);

}  // namespace cdmadiag
