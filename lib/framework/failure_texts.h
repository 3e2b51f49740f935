#pragma once
// Failure texts shown byte for byte, spelling included.
namespace cdmadiag {

inline constexpr const char* kNotQualcommStandard = "Message Buffer does not conforms to Qualcomm Standard.";
inline constexpr const char* kCorruptedContent = "Corrupted message content\n";
inline constexpr const char* kCorruptedMessage = "Corrupted message.";

}  // namespace cdmadiag
