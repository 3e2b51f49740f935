#pragma once
namespace cdmadiag {
// The release, as outputs record it ("0.1.0").
const char* version_text();
// What --version prints: the release and the build's git revision ("unknown" outside git).
const char* version_line();
}  // namespace cdmadiag
