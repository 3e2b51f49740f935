#include "framework/diagnostics.h"

namespace cdmadiag {

void report_decoder_failure(COrbExpandedMessage& msg, std::uint32_t /*code*/, const char* text) {
  if (!msg.diagnostic.empty()) msg.diagnostic.push_back('\n');
  msg.diagnostic += text != nullptr ? text : "";
}

}  // namespace cdmadiag
