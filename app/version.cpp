#include "version.h"
namespace cdmadiag {
const char* version_text() { return kVersion; }
}  // namespace cdmadiag
