#pragma once
// Where an output goes, and buffered writing to it; write failures become OutputError.
//
// A user's file is never lost to a run: a regular file (or a new one) is written as a
// temporary file beside it and renamed over it only by commit(), so a failed, refused
// or killed run leaves the old file as it was. Standard output, devices and FIFOs are
// written in place and never removed or truncated.
#include <fmt/format.h>

#include <string>
#include <vector>

#include "output_sink.h"

namespace cdmadiag {

// True when an input ("-" for standard input) or the output ("" or "-" for standard
// output) is a pipe or a socket: someone may be watching packets as they come.
bool involves_pipe(const std::vector<std::string>& inputs, const std::string& output);

class OutputTarget {
 public:
  enum class Kind : std::uint8_t { kStdout, kFile, kInPlace };

  // "" or "-": standard output. Throws OutputError for a directory, a temporary file
  // that cannot be made, or (regular_only) anything but a regular or new file.
  OutputTarget(const std::string& path, bool regular_only);
  // Without commit(): the temporary file goes, the target is left untouched.
  ~OutputTarget();
  OutputTarget(const OutputTarget&) = delete;
  OutputTarget& operator=(const OutputTarget&) = delete;

  Kind kind() const { return kind_; }
  const std::string& path() const { return path_; }
  // The file to write for kFile; for a writer that opens it by name, after release_fd().
  const std::string& temp_path() const { return temp_; }
  void release_fd();

  // Writes all of it, through interrupted calls; opens an in-place target on first use.
  void write(const char* data, std::size_t size);
  // kFile: the temporary file is synced and renamed over the target. Others: closed.
  void commit();

 private:
  [[noreturn]] void fail(const char* what, int err) const;
  void discard();

  Kind kind_ = Kind::kStdout;
  std::string path_;    // as given, for messages
  std::string target_;  // kFile: the regular file replaced, symbolic links followed
  std::string temp_;
  int fd_ = -1;
  bool done_ = false;
};

class OutputFile {
 public:
  static constexpr std::size_t kFlushAt = std::size_t{1} << 20;

  explicit OutputFile(const std::string& path) : target_(path, false) {}

  fmt::memory_buffer& buffer() { return buffer_; }
  void flush_if_full() {
    if (buffer_.size() >= flush_at_) flush();
  }
  // Each packet written out as soon as it is complete, for a reader at the other end.
  void set_line_buffered(bool on) { flush_at_ = on ? 1 : kFlushAt; }
  void flush();
  // Flushes and commits.
  void close();

 private:
  OutputTarget target_;
  fmt::memory_buffer buffer_;
  std::size_t flush_at_ = kFlushAt;
};

// The sinks that write one byte stream: a buffered file and a scratch text for names.
// Destroyed without finish(), they leave the target as it was (what was buffered for
// standard output or a FIFO is dropped).
class StreamSink : public OutputSink {
 public:
  explicit StreamSink(const std::string& path) : file_(path) {}
  void finish() override { file_.close(); }
  void set_line_buffered(bool on) override { file_.set_line_buffered(on); }

 protected:
  OutputFile file_;
  std::string scratch_;
};

}  // namespace cdmadiag
