#include "run_info.h"

#include <CLI/CLI.hpp>

#include "version.h"

namespace cdmadiag {
namespace {

// Quoted for a POSIX shell when it holds anything but plain characters.
void append_word(std::string& out, const std::string& word) {
  if (!out.empty()) out += ' ';
  if (!word.empty() && word.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
                                              "-_.,:/=+@%") == std::string::npos) {
    out += word;
    return;
  }
  out += '\'';
  for (const char c : word) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  out += '\'';
}

}  // namespace

RunInfo describe_run(const CLI::App& decode, const std::vector<std::string>& files) {
  RunInfo run;
  run.version = version_text();
  for (const std::string& f : files) run.inputs.push_back(f == "-" ? "<stdin>" : f);
  for (const CLI::Option* opt : decode.get_options()) {
    if (!opt->nonpositional() || opt->count() == 0) continue;
    const std::string name = opt->get_name();
    if (opt->get_items_expected_max() == 0) {
      for (std::size_t i = 0; i < opt->count(); ++i) append_word(run.options, name);
      continue;
    }
    // name=value, so that a value that starts with '-' reads back as one
    for (const std::string& value : opt->results()) append_word(run.options, name + "=" + value);
  }
  return run;
}

}  // namespace cdmadiag
