#include "progress.h"

#include <fmt/format.h>
#include <unistd.h>

namespace cdmadiag {
namespace {

constexpr int kWidth = 30;
constexpr auto kRedraw = std::chrono::milliseconds(200);

}  // namespace

ProgressBar::ProgressBar(std::FILE* out, std::string name, std::uint64_t size, std::uint64_t min_size)
    : out_(out), name_(std::move(name)), size_(size) {
  active_ = size >= min_size && size > 0 && ::isatty(::fileno(out)) != 0;
  start_ = last_ = std::chrono::steady_clock::now();
}

ProgressBar::~ProgressBar() {
  if (drawn_) fmt::print(out_, "\r{:{}}\r", "", kWidth + 60);
}

void ProgressBar::update(std::uint64_t offset, std::uint64_t packets) {
  if (!active_) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - last_ < kRedraw) return;
  last_ = now;
  const double fraction = offset >= size_ ? 1.0 : static_cast<double>(offset) / static_cast<double>(size_);
  const int filled = static_cast<int>(fraction * kWidth);
  const double seconds = std::chrono::duration<double>(now - start_).count();
  const double rate = seconds > 0 ? static_cast<double>(packets) / seconds : 0.0;
  fmt::print(out_, "\r{} [{:#<{}}{:<{}}] {:3.0f}%  {:.0f} MB of {:.0f} MB  {:.0f} packets/s ", name_, "", filled, "",
             kWidth - filled, fraction * 100.0, static_cast<double>(offset) / 1e6, static_cast<double>(size_) / 1e6,
             rate);
  std::fflush(out_);
  drawn_ = true;
}

}  // namespace cdmadiag
