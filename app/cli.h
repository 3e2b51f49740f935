#pragma once
// The cdmadiag command line.
#include <cstdio>

#include "session.h"
#include "interrupt.h"

namespace cdmadiag {

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitDecodeErrors = 1;  // framing or decoder errors
inline constexpr int kExitUsage = 2;         // bad usage, unreadable input or not a DIAG log, output failure
// kExitInterrupted (130, interrupt.h): stopped by SIGINT or SIGTERM, output finished up to there

int app_main(int argc, char** argv);

// interrupted_by: the signal that stopped the run, 0 for none.
void print_summary(std::FILE* out, const RunCounters& c, double seconds, int interrupted_by = 0);
void print_codes(std::FILE* out);

}  // namespace cdmadiag
