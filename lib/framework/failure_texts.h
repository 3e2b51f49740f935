#pragma once
// Failure texts shown byte for byte, spelling included.
namespace cdmadiag {

#define CDMADIAG_NOT_QUALCOMM_STANDARD "Message Buffer does not conforms to Qualcomm Standard."
inline constexpr const char* kNotQualcommStandard = CDMADIAG_NOT_QUALCOMM_STANDARD;
// The same on a line of its own, below text already shown (the position engine reports).
inline constexpr const char* kNotQualcommStandardLine = "\n" CDMADIAG_NOT_QUALCOMM_STANDARD;
#undef CDMADIAG_NOT_QUALCOMM_STANDARD
inline constexpr const char* kCorruptedContent = "Corrupted message content\n";
inline constexpr const char* kCorruptedMessage = "Corrupted message.";

}  // namespace cdmadiag
