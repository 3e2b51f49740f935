#pragma once
// Radio configurations and dedicated channel set masks as the 1x searcher, frame type,
// power control and service configuration reports show them. Each report picks its
// own heading rule; the labels and the "Not In Use" rule are the same everywhere.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace cdmadiag {

enum class Link : std::uint8_t { kForward, kReverse };

// FCH, SCH0, SCH1, DCCH, in the order every report lists them.
using RadioConfigs = std::array<std::uint32_t, 4>;

inline constexpr std::string_view kRule61 = "-------------------------------------------------------------\n";
inline constexpr std::string_view kRule55 = "-------------------------------------------------------\n";

// Two bytes of packed configurations: low nibble first (FCH, SCH0), then (SCH1, DCCH).
inline RadioConfigs RadioConfigsOfNibbles(std::uint8_t first, std::uint8_t second) {
  return {first & 0x0Fu, static_cast<std::uint32_t>(first >> 4), second & 0x0Fu,
          static_cast<std::uint32_t>(second >> 4)};
}

// "\n<Forward|Reverse> Radio Configurations: \n", the rule (may be empty), then one line
// per channel: the configuration, or "Not In Use" for 0.
void AppendRadioConfigs(std::string& d, Link link, const RadioConfigs& rc, std::string_view rule);

struct ChannelSetMask {
  bool fch = false;
  bool sch0 = false;
  bool sch1 = false;
  bool dcch = false;
  // Shown as "Num Active Supplemental Code Channels" when the report carries it.
  std::optional<int> supplemental_codes;
};

// "\n<Forward|Reverse> Dedicated Channel Set Mask Information: \n", the rule (may be
// empty), the supplemental code channel count when given, then one line per channel,
// "active" or "not active".
void AppendChannelSetMask(std::string& d, Link link, const ChannelSetMask& mask, std::string_view rule);

}  // namespace cdmadiag
