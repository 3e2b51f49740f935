#pragma once
namespace cdmadiag {
inline constexpr const char* kVersion = "0.1.0";
const char* version_text();
}  // namespace cdmadiag
