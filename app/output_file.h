#pragma once
// Buffered output to a file or standard output; write failures become OutputError.
#include <fmt/format.h>

#include <cstdio>
#include <string>

#include "output_sink.h"

namespace cdmadiag {

class OutputFile {
 public:
  static constexpr std::size_t kFlushAt = std::size_t{1} << 20;

  // "" or "-": standard output.
  explicit OutputFile(const std::string& path);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  fmt::memory_buffer& buffer() { return buffer_; }
  void flush_if_full() {
    if (buffer_.size() >= kFlushAt) flush();
  }
  void flush();
  void close();

 private:
  std::FILE* file_ = nullptr;
  bool owned_ = false;
  std::string path_;
  fmt::memory_buffer buffer_;
};

// The sinks that write one byte stream: a buffered file and a scratch text for names.
class StreamSink : public OutputSink {
 public:
  explicit StreamSink(const std::string& path) : file_(path) {}
  void finish() override { file_.close(); }

 protected:
  OutputFile file_;
  std::string scratch_;
};

}  // namespace cdmadiag
