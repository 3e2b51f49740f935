#pragma once
// Where the EV-DO dispatcher's guards put the texts of the decoder failures they keep
// out of the details: on the message being decoded, so each decoding session (and
// thread) keeps its own and the host can show and count them.
#include <cstdint>

#include "host/expanded_message.h"

namespace cdmadiag {

void report_decoder_failure(COrbExpandedMessage& msg, std::uint32_t code, const char* text);

}  // namespace cdmadiag
