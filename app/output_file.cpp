#include "output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "interrupt.h"

namespace cdmadiag {
namespace {

mode_t new_file_mode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

bool is_pipe(const std::string& path, int fd) {
  struct stat st {};
  if ((path.empty() || path == "-" ? ::fstat(fd, &st) : ::stat(path.c_str(), &st)) != 0) return false;
  return S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode);
}

}  // namespace

bool involves_pipe(const std::vector<std::string>& inputs, const std::string& output) {
  if (is_pipe(output, STDOUT_FILENO)) return true;
  for (const std::string& in : inputs) {
    if (!in.empty() && is_pipe(in, STDIN_FILENO)) return true;
  }
  return false;
}

OutputTarget::OutputTarget(const std::string& path, bool regular_only) : path_(path.empty() ? "-" : path) {
  if (path_ == "-") {
    if (regular_only) throw OutputError("sqlite output needs a file (-o FILE)");
    kind_ = Kind::kStdout;
    fd_ = STDOUT_FILENO;
    std::fflush(stdout);
    return;
  }
  struct stat st {};
  mode_t mode = new_file_mode();
  target_ = path_;
  if (::stat(path_.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) throw OutputError(fmt::format("cannot write {}: is a directory", path_));
    if (!S_ISREG(st.st_mode)) {
      if (regular_only) throw OutputError(fmt::format("cannot write {}: sqlite output needs a regular file", path_));
      kind_ = Kind::kInPlace;  // opened on the first write: a FIFO without a reader would block here
      return;
    }
    mode = st.st_mode & 07777;
    // Through a symbolic link the file it names is replaced, and the link kept.
    std::error_code ec;
    const std::filesystem::path real = std::filesystem::canonical(path_, ec);
    if (!ec) target_ = real.string();
  } else if (errno != ENOENT) {
    fail("cannot write", errno);
  }
  kind_ = Kind::kFile;
  const std::filesystem::path t(target_);
  const std::filesystem::path dir = t.has_parent_path() ? t.parent_path() : std::filesystem::path(".");
  temp_ = (dir / ("." + t.filename().string() + ".cdmadiag-XXXXXX")).string();
  std::vector<char> name(temp_.begin(), temp_.end());
  name.push_back('\0');
  fd_ = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd_ < 0) fail("cannot write", errno);
  temp_ = name.data();
  set_abandon_path(temp_.c_str());
  // A replaced file keeps its permissions; a new one gets what the umask allows.
  ::fchmod(fd_, mode);
}

OutputTarget::~OutputTarget() {
  if (!done_) discard();
}

void OutputTarget::discard() {
  done_ = true;
  if (fd_ >= 0 && kind_ != Kind::kStdout) ::close(fd_);
  fd_ = -1;
  if (kind_ == Kind::kFile) {
    set_abandon_path(nullptr);
    ::unlink(temp_.c_str());
    ::unlink((temp_ + "-journal").c_str());
  }
}

void OutputTarget::fail(const char* what, int err) const {
  throw OutputError(fmt::format("{} {}: {}", what, path_, std::strerror(err)));
}

void OutputTarget::release_fd() {
  if (kind_ == Kind::kFile && fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

void OutputTarget::write(const char* data, std::size_t size) {
  if (fd_ < 0 && kind_ == Kind::kInPlace) {
    // Never created nor truncated: a device or FIFO takes the bytes as they come.
    do {
      fd_ = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC);
    } while (fd_ < 0 && errno == EINTR && !stop_requested());
    if (fd_ < 0) fail("cannot write", errno);
  }
  while (size > 0) {
    const ssize_t n = ::write(fd_, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      fail("writing", errno);
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
}

void OutputTarget::commit() {
  if (done_) return;
  if (kind_ != Kind::kFile) {
    done_ = true;
    if (fd_ >= 0 && kind_ != Kind::kStdout && ::close(fd_) != 0 && errno != EINTR) {
      fd_ = -1;
      fail("writing", errno);
    }
    fd_ = -1;
    return;
  }
  // Synced before the rename, so the name never points at a file still in the cache only.
  int fd = fd_ >= 0 ? fd_ : ::open(temp_.c_str(), O_RDONLY | O_CLOEXEC);
  fd_ = -1;
  if (fd < 0) {
    const int err = errno;
    discard();
    fail("writing", err);
  }
  int rc;
  while ((rc = ::fsync(fd)) != 0 && errno == EINTR) {
  }
  const int sync_err = errno;
  ::close(fd);
  if (rc != 0) {
    discard();
    fail("writing", sync_err);
  }
  if (::rename(temp_.c_str(), target_.c_str()) != 0) {
    const int err = errno;
    discard();
    fail("cannot replace", err);
  }
  done_ = true;
  set_abandon_path(nullptr);
}

void OutputFile::flush() {
  if (buffer_.size() == 0) return;
  target_.write(buffer_.data(), buffer_.size());
  buffer_.clear();
}

void OutputFile::close() {
  flush();
  target_.commit();
}

}  // namespace cdmadiag
