#include "byte_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>

#include "interrupt.h"

namespace cdmadiag {

namespace {

constexpr std::uint8_t kGzipMagic[] = {0x1F, 0x8B};
constexpr std::size_t kGzipInputSize = std::size_t{256} << 10;
constexpr int kGzipOnlyWindowBits = 15 + 16;

}  // namespace

struct ByteStream::Gzip {
  Gzip() { ok = inflateInit2(&z, kGzipOnlyWindowBits) == Z_OK; }
  ~Gzip() {
    if (ok) inflateEnd(&z);
  }
  Gzip(const Gzip&) = delete;
  Gzip& operator=(const Gzip&) = delete;

  z_stream z{};
  bool ok = false;
  std::unique_ptr<std::uint8_t[]> input{new std::uint8_t[kGzipInputSize]};
  bool input_ended = false;
  bool member_ended = false;  // between members, where the input may also end
};

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
  if (eof_ || limited_ || fd_ < 0 || stop_requested()) return end_ - pos_;
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
  if (!sniffed_) sniff();
  while (end_ < n && !eof_) {
    std::size_t room = capacity_ - end_;
    if (limit_) {
      const std::uint64_t held_to = offset_ + end_;
      if (held_to >= *limit_) {
        limited_ = true;
        break;
      }
      room = static_cast<std::size_t>(std::min<std::uint64_t>(room, *limit_ - held_to));
    }
    const long got = read_some(buffer_.get() + end_, room);
    if (got < 0) {
      if (errno == EINTR) {
        if (stop_requested()) break;
        continue;
      }
      if (error_.empty()) error_ = std::strerror(errno);
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

void ByteStream::sniff() {
  sniffed_ = true;
  // The buffer is still empty: whatever is read here is the input's first bytes.
  while (end_ < sizeof kGzipMagic) {
    const ssize_t got = ::read(fd_, buffer_.get() + end_, sizeof kGzipMagic - end_);
    if (got < 0 && errno == EINTR) {
      if (stop_requested()) return;
      continue;
    }
    if (got < 0) {
      error_ = std::strerror(errno);
      eof_ = true;
      return;
    }
    if (got == 0) {
      eof_ = true;
      return;
    }
    end_ += static_cast<std::size_t>(got);
  }
  if (std::memcmp(buffer_.get(), kGzipMagic, sizeof kGzipMagic) != 0) return;
  gzip_ = std::make_unique<Gzip>();
  if (!gzip_->ok) {
    error_ = "gzip: cannot set up the inflater";
    eof_ = true;
    return;
  }
  std::memcpy(gzip_->input.get(), buffer_.get(), end_);
  gzip_->z.next_in = gzip_->input.get();
  gzip_->z.avail_in = static_cast<uInt>(end_);
  end_ = 0;
  size_.reset();  // the inflated size is known only at the end
}

long ByteStream::read_some(std::uint8_t* out, std::size_t n) {
  if (gzip_) return inflate_some(out, n);
  return ::read(fd_, out, n);
}

long ByteStream::inflate_some(std::uint8_t* out, std::size_t n) {
  z_stream& z = gzip_->z;
  z.next_out = out;
  z.avail_out = static_cast<uInt>(std::min<std::size_t>(n, UINT32_MAX));
  const uInt room = z.avail_out;
  while (z.avail_out == room) {
    if (z.avail_in == 0) {
      if (gzip_->input_ended) {
        if (gzip_->member_ended) return 0;
        error_ = "gzip: the compressed data ends early (a cut-short file)";
        errno = EIO;
        return -1;
      }
      const ssize_t got = ::read(fd_, gzip_->input.get(), kGzipInputSize);
      if (got < 0) return -1;
      gzip_->input_ended = got == 0;
      z.next_in = gzip_->input.get();
      z.avail_in = static_cast<uInt>(got);
      continue;
    }
    if (gzip_->member_ended) {
      // Another member follows, or padding of zero bytes that some tools leave.
      while (z.avail_in > 0 && *z.next_in == 0) {
        ++z.next_in;
        --z.avail_in;
      }
      if (z.avail_in == 0) continue;
      inflateReset(&z);
      gzip_->member_ended = false;
    }
    const int rc = inflate(&z, Z_NO_FLUSH);
    if (rc == Z_STREAM_END) {
      gzip_->member_ended = true;
    } else if (rc != Z_OK && rc != Z_BUF_ERROR) {
      error_ = std::string("gzip: ") + (z.msg != nullptr ? z.msg : "damaged compressed data");
      errno = EIO;
      return -1;
    }
  }
  return static_cast<long>(room - z.avail_out);
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
