#pragma once
// What a decode run records of itself in its output: version, inputs, options.
#include <string>
#include <vector>

#include "output_sink.h"

namespace CLI {
class App;
}

namespace cdmadiag {

// The options the user gave the decode subcommand, in the order defined, as they
// would be typed again; the input files are listed apart.
RunInfo describe_run(const CLI::App& decode, const std::vector<std::string>& files);

}  // namespace cdmadiag
