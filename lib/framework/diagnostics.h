#pragma once
// Where the EV-DO dispatcher's guards send the texts of the decoder failures they
// keep from the host. Discarded unless the host installs a sink.
#include <cstdint>

namespace cdmadiag {

using DiagnosticSink = void (*)(void* context, std::uint32_t code, const char* text);

// Installs a sink for the calling thread; null discards.
void set_diagnostic_sink(DiagnosticSink sink, void* context);
void report_decoder_failure(std::uint32_t code, const char* text);

}  // namespace cdmadiag
