#include "byte_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "interrupt.h"

namespace cdmadiag {

ByteStream::ByteStream(std::span<const std::uint8_t> memory)
    : base_(memory.data()), end_(memory.size()), size_(memory.size()), eof_(true) {}

ByteStream::ByteStream(int fd, bool owned, std::optional<std::uint64_t> size)
    : buffer_(new std::uint8_t[kBufferSize]), capacity_(kBufferSize), size_(size), fd_(fd), owned_(owned) {
  base_ = buffer_.get();
}

ByteStream::~ByteStream() {
  if (owned_ && fd_ >= 0) ::close(fd_);
}

std::unique_ptr<ByteStream> ByteStream::open(const std::string& path, std::string& error) {
  if (path == "-") return std::make_unique<ByteStream>(STDIN_FILENO, false, std::nullopt);
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = std::strerror(errno);
    return nullptr;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    error = std::strerror(errno);
    ::close(fd);
    return nullptr;
  }
  if (S_ISDIR(st.st_mode)) {
    error = "is a directory";
    ::close(fd);
    return nullptr;
  }
  std::optional<std::uint64_t> size;
  if (S_ISREG(st.st_mode)) size = static_cast<std::uint64_t>(st.st_size);
  return std::make_unique<ByteStream>(fd, true, size);
}

std::size_t ByteStream::refill(std::size_t n) {
  if (eof_ || fd_ < 0 || stop_requested()) return end_ - pos_;
  // Keep the unread tail at the front, then fill the rest of the buffer in large reads.
  if (pos_ > 0) {
    std::memmove(buffer_.get(), buffer_.get() + pos_, end_ - pos_);
    end_ -= pos_;
    pos_ = 0;
  }
  if (n > capacity_) {
    std::unique_ptr<std::uint8_t[]> bigger(new std::uint8_t[n]);
    std::memcpy(bigger.get(), buffer_.get(), end_);
    buffer_ = std::move(bigger);
    capacity_ = n;
  }
  base_ = buffer_.get();
  while (end_ < n) {
    const ssize_t got = ::read(fd_, buffer_.get() + end_, capacity_ - end_);
    if (got < 0) {
      if (errno == EINTR) {
        if (stop_requested()) break;
        continue;
      }
      error_ = std::strerror(errno);
      eof_ = true;
      break;
    }
    if (got == 0) {
      eof_ = true;
      break;
    }
    end_ += static_cast<std::size_t>(got);
  }
  return end_ - pos_;
}

std::size_t ByteStream::read_at(std::uint64_t offset, std::uint8_t* out, std::size_t n) {
  if (offset < offset_) return 0;
  const std::uint64_t skip = offset - offset_;
  const std::size_t held = end_ - pos_;
  if (skip < held && n <= held - skip) {
    std::memcpy(out, base_ + pos_ + skip, n);
    return n;
  }
  if (fd_ < 0 || !size_) {
    if (skip >= held) return 0;
    const std::size_t got = held - static_cast<std::size_t>(skip);
    std::memcpy(out, base_ + pos_ + skip, got);
    return got;
  }
  std::size_t got = 0;
  while (got < n) {
    const ssize_t r = ::pread(fd_, out + got, n - got, static_cast<off_t>(offset + got));
    if (r < 0 && errno == EINTR && !stop_requested()) continue;
    if (r <= 0) break;
    got += static_cast<std::size_t>(r);
  }
  return got;
}

}  // namespace cdmadiag
