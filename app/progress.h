#pragma once
// A progress bar on standard error for large inputs, redrawn a few times a second.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace cdmadiag {

class ProgressBar {
 public:
  // Shown only when out is a terminal and the input is at least min_size bytes.
  ProgressBar(std::FILE* out, std::string name, std::uint64_t size, std::uint64_t min_size);
  ~ProgressBar();
  bool active() const { return active_; }
  void update(std::uint64_t offset, std::uint64_t packets);

 private:
  std::FILE* out_;
  std::string name_;
  std::uint64_t size_;
  bool active_ = false;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_;
};

}  // namespace cdmadiag
