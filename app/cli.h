#pragma once
// The cdmadiag command line.
#include <cstdio>

#include "decode_run.h"

namespace cdmadiag {

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitDecodeErrors = 1;  // framing or decoder errors
inline constexpr int kExitUsage = 2;         // bad usage, unreadable input, output failure

int app_main(int argc, char** argv);

void print_summary(std::FILE* out, const RunCounters& c, double seconds);
void print_codes(std::FILE* out);

}  // namespace cdmadiag
