#pragma once
// Sequential input with look-ahead over a file, standard input or memory. Files are
// read through one large buffer, so multi-gigabyte captures never sit in memory whole.
// Once a stop is requested (see interrupt.h) no further bytes are read: the stream
// ends with what it holds. A file or pipe that starts with the gzip magic is inflated
// as it is read (concatenated members too); offsets then count inflated bytes.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace cdmadiag {

class ByteStream {
 public:
  static constexpr std::size_t kBufferSize = std::size_t{4} << 20;

  // Reads memory the caller keeps alive; nothing is copied.
  explicit ByteStream(std::span<const std::uint8_t> memory);
  // Reads a file descriptor; closes it at the end when owned.
  ByteStream(int fd, bool owned, std::optional<std::uint64_t> size);
  ~ByteStream();
  ByteStream(const ByteStream&) = delete;
  ByteStream& operator=(const ByteStream&) = delete;

  // "-" is standard input. A directory, a missing or unreadable file: null and a message.
  static std::unique_ptr<ByteStream> open(const std::string& path, std::string& error);

  // Makes at least n bytes available from the current position unless the input ends
  // first; returns how many are available.
  std::size_t ensure(std::size_t n) {
    if (end_ - pos_ >= n) return end_ - pos_;
    return refill(n);
  }
  const std::uint8_t* data() const { return base_ + pos_; }
  std::size_t available() const { return end_ - pos_; }
  void consume(std::size_t n) {
    pos_ += n;
    offset_ += n;
  }
  // Input offset of data().
  std::uint64_t offset() const { return offset_; }
  // True once the input has no byte beyond the buffered ones.
  bool at_end() const { return eof_ || limited_; }
  // Reads no byte past this input offset (none: no limit); the stream then behaves as
  // ended, with limited() set, until the limit is lifted.
  void set_limit(std::optional<std::uint64_t> offset) {
    limit_ = offset;
    limited_ = false;
  }
  bool limited() const { return limited_; }
  // Total size when known in advance (regular files and memory; not a gzip input).
  std::optional<std::uint64_t> size() const { return size_; }
  // Set when a read failed; the stream then behaves as ended.
  const std::string& error() const { return error_; }

  // Copies up to n bytes from an input offset at or after offset(), consuming nothing:
  // from the buffer, or straight from a regular file. Returns how many were copied:
  // fewer at the end of the input, none past the buffer of a pipe.
  std::size_t read_at(std::uint64_t offset, std::uint8_t* out, std::size_t n);

 private:
  std::size_t refill(std::size_t n);
  // The first bytes of a descriptor: a gzip input switches to inflating.
  void sniff();
  // Bytes from the input, 0 at its end, -1 with errno (and error_ for gzip damage).
  long read_some(std::uint8_t* out, std::size_t n);
  long inflate_some(std::uint8_t* out, std::size_t n);

  struct Gzip;
  std::unique_ptr<Gzip> gzip_;
  bool sniffed_ = false;

  // Not value-initialised: zeroing 4 MiB up front costs more than decoding a small capture.
  std::unique_ptr<std::uint8_t[]> buffer_;
  std::size_t capacity_ = 0;
  const std::uint8_t* base_ = nullptr;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  std::uint64_t offset_ = 0;
  std::optional<std::uint64_t> size_;
  int fd_ = -1;
  bool owned_ = false;
  bool eof_ = false;
  std::optional<std::uint64_t> limit_;
  bool limited_ = false;
  std::string error_;
};

}  // namespace cdmadiag
