#include "framework/diagnostics.h"

namespace cdmadiag {

namespace {
thread_local DiagnosticSink t_sink = nullptr;
thread_local void* t_context = nullptr;
}  // namespace

void set_diagnostic_sink(DiagnosticSink sink, void* context) {
  t_sink = sink;
  t_context = context;
}

void report_decoder_failure(std::uint32_t code, const char* text) {
  if (t_sink != nullptr) t_sink(t_context, code, text != nullptr ? text : "");
}

}  // namespace cdmadiag
