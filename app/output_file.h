#pragma once
// Where an output goes, and buffered writing to it; write failures become OutputError.
//
// The rules every run that writes an output keeps, whoever runs it (the command and its
// report, Python's decode_to_file and so the fleet):
// - an output that is one of the inputs, however spelt, is refused (output_clash);
// - a regular file (or a new one) is written as a temporary file beside it and renamed
//   over it only by commit(), and a run commits only when it decoded packets and did not
//   fail (finishes_output), so a failed, refused, empty or killed run leaves the old file
//   as it was. A symbolic link is kept: the file it names is replaced, or made where the
//   link dangles. The temporary files of runs that died (their process gone) are removed
//   by the next run to the same target;
// - standard output, devices and FIFOs are written in place, never removed or truncated;
// - SIGINT and SIGTERM (interrupt.h) stop the run after the packet at hand.
#include <fmt/format.h>

#include <cstdint>
#include <string>
#include <vector>

#include "output_sink.h"

namespace cdmadiag {

// True when an input ("-" for standard input) or the output ("" or "-" for standard
// output) is a pipe or a socket: someone may be watching packets as they come.
bool involves_pipe(const std::vector<std::string>& inputs, const std::string& output);

// The input (or other file read, such as the cell sites) that the output names, whatever
// the spelling (another path, a hard or symbolic link), "<stdin>" for standard input;
// empty when none. output "" or "-" is standard output. Terminals are left out, since
// reading one and writing it is what an interactive run does.
std::string output_clash(const std::string& output, const std::vector<std::string>& inputs);
// The refusal, as every caller words it.
std::string clash_message(const std::string& output, const std::string& input);

// Whether a run finishes its output. A file is replaced only by a run that decoded
// packets and did not fail (exit status 2: an input unreadable, cut short or no DIAG
// log); standard output, devices and FIFOs, which see the output as it is written, are
// finished too by a run that read nothing but did not fail or stop.
bool finishes_output(const std::string& output, std::uint64_t packets, bool failed, bool stopped);

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
  void make_temp();

  Kind kind_ = Kind::kStdout;
  std::string path_;    // as given, for messages
  std::string target_;  // kFile: the regular file replaced, symbolic links followed
  std::string temp_;
  int fd_ = -1;
  int abandon_slot_ = -1;  // of abandon_on_kill
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

// The sinks that write one byte stream through a buffered file.
// Destroyed without finish(), they leave the target as it was (what was buffered for
// standard output or a FIFO is dropped).
class StreamSink : public OutputSink {
 public:
  explicit StreamSink(const std::string& path) : file_(path) {}
  void finish() override { file_.close(); }
  void set_line_buffered(bool on) override { file_.set_line_buffered(on); }

 protected:
  OutputFile file_;
};

}  // namespace cdmadiag
