#include "cdma1x/radio_config.h"

#include "framework/text.h"

namespace cdmadiag {

namespace {

constexpr std::array<const char*, 4> kForwardRcLabels = {
    "Forward FCH radio configuration: ", "Forward SCH0 radio configuration: ", "Forward SCH1 radio configuration: ",
    "Forward DCCH radio configuration: "};
constexpr std::array<const char*, 4> kReverseRcLabels = {
    "Reverse FCH radio configuration: ", "Reverse SCH0 radio configuration: ", "Reverse SCH1 radio configuration: ",
    "Reverse DCCH radio configuration: "};
constexpr std::array<const char*, 4> kForwardMaskLabels = {
    "Forward Fund. Chan(FCH) : ", "Forward Supp. Chan0(SCH0) : ", "Forward Supp. Chan1(SCH1) : ",
    "Forward Ded. Control Chan(DCCH) : "};
constexpr std::array<const char*, 4> kReverseMaskLabels = {
    "Reverse Fund. Chan(FCH) : ", "Reverse Supp. Chan0(SCH0) : ", "Reverse Supp. Chan1(SCH1) : ",
    "Reverse Ded. Control Chan(DCCH) : "};
}  // namespace

void AppendRadioConfigs(std::string& d, Link link, const RadioConfigs& rc, std::string_view rule) {
  const bool forward = link == Link::kForward;
  d += forward ? "\nForward Radio Configurations: \n" : "\nReverse Radio Configurations: \n";
  d += rule;
  const auto& labels = forward ? kForwardRcLabels : kReverseRcLabels;
  for (std::size_t i = 0; i < labels.size(); ++i) {
    d += labels[i];
    if (rc[i] == 0) {
      d += "Not In Use\n";
    } else {
      appendf(d, "%d\n", static_cast<int>(rc[i]));
    }
  }
}

void AppendChannelSetMask(std::string& d, Link link, const ChannelSetMask& mask, std::string_view rule) {
  const bool forward = link == Link::kForward;
  d += forward ? "\nForward Dedicated Channel Set Mask Information: \n"
               : "\nReverse Dedicated Channel Set Mask Information: \n";
  d += rule;
  if (mask.supplemental_codes) appendf(d, "Num Active Supplemental Code Channels: %d\n", *mask.supplemental_codes);
  const auto& labels = forward ? kForwardMaskLabels : kReverseMaskLabels;
  const std::array<bool, 4> active = {mask.fch, mask.sch0, mask.sch1, mask.dcch};
  for (std::size_t i = 0; i < labels.size(); ++i) {
    d += labels[i];
    d += active[i] ? "active\n" : "not active\n";
  }
}

}  // namespace cdmadiag
