#include "output_file.h"

#include <cerrno>
#include <cstring>

#include "output_sink.h"

namespace cdmadiag {

OutputFile::OutputFile(const std::string& path) : path_(path.empty() ? "-" : path) {
  if (path_ == "-") {
    file_ = stdout;
    return;
  }
  file_ = std::fopen(path_.c_str(), "wb");
  if (file_ == nullptr) throw OutputError(fmt::format("cannot write {}: {}", path_, std::strerror(errno)));
  owned_ = true;
}

OutputFile::~OutputFile() {
  if (owned_ && file_ != nullptr) std::fclose(file_);
}

void OutputFile::flush() {
  if (buffer_.size() == 0 || file_ == nullptr) return;
  const std::size_t want = buffer_.size();
  const std::size_t n = std::fwrite(buffer_.data(), 1, want, file_);
  buffer_.clear();
  if (n != want) {
    throw OutputError(fmt::format("writing {} failed: {}", path_, std::strerror(errno)));
  }
}

void OutputFile::close() {
  flush();
  if (file_ == nullptr) return;
  const int rc = owned_ ? std::fclose(file_) : std::fflush(file_);
  const bool failed = rc != 0;
  if (owned_) file_ = nullptr;
  if (failed) throw OutputError(fmt::format("writing {} failed: {}", path_, std::strerror(errno)));
}

}  // namespace cdmadiag
