#pragma once
// What the two dispatchers know about codes, for routing and for listing.
#include <cstdint>
#include <string>
#include <vector>

namespace cdmadiag {

enum class CodeClass : std::uint8_t { k1x, kEvdo, kDiagCommand };

struct CodeInfo {
  std::uint32_t code;  // log code, or the command byte for kDiagCommand
  CodeClass cls;
  std::string title;
  bool has_decoder;  // false: title only, reserved or "returns at once"
  bool pending;      // routes to the placeholder of a decoder not written yet
};

// True when the EV-DO dispatcher routes this log code to a decoder (its stage 1
// decoder rows, and every stage 2 and stage 3 code); such records go to
// ExpandEVDOQualcommMessage, every other log record to ExpandQualcommMessage.
bool evdo_routes(std::uint32_t code);

// Every code both dispatchers know, 1x log codes, then EV-DO, then DIAG commands.
std::vector<CodeInfo> known_codes();

}  // namespace cdmadiag
