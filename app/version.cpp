#include "version.h"

#include "cdmadiag_build_version.h"

namespace cdmadiag {
const char* version_text() { return CDMADIAG_VERSION; }
const char* version_line() { return "cdmadiag " CDMADIAG_VERSION " (git " CDMADIAG_GIT_REVISION ")"; }
}  // namespace cdmadiag
