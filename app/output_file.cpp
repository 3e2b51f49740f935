#include "output_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string_view>
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

bool is_stdout(const std::string& path) { return path.empty() || path == "-"; }

constexpr std::string_view kTempMark = ".cdmadiag-";

// Temporary files are named .NAME.cdmadiag-HOST-PID-XXXXXX: the host (a hash of its
// name, the folder may be shared) and process that write it, so a later run can tell
// one whose writer is gone from one still being written.
std::string temp_owner_prefix(const std::string& name) {
  char host[256] = {};
  ::gethostname(host, sizeof host - 1);
  std::uint32_t h = 2166136261u;  // FNV-1a
  for (const char* c = host; *c != '\0'; ++c) h = (h ^ static_cast<unsigned char>(*c)) * 16777619u;
  return fmt::format(".{}{}{:08x}-", name, kTempMark, h);
}

// Removes what runs of this host that died left beside the target: a temporary file
// (and SQLite's journal beside it) whose process no longer exists.
void remove_dead_temps(const std::filesystem::path& dir, const std::string& prefix) {
  DIR* d = ::opendir(dir.c_str());
  if (d == nullptr) return;
  while (const dirent* e = ::readdir(d)) {
    const std::string_view name(e->d_name);
    if (!name.starts_with(prefix)) continue;
    std::string_view rest = name.substr(prefix.size());  // PID-XXXXXX[-journal]
    const std::size_t dash = rest.find('-');
    if (dash == std::string_view::npos || dash == 0) continue;
    long pid = 0;
    for (const char c : rest.substr(0, dash)) {
      if (c < '0' || c > '9' || pid > INT_MAX / 10) {
        pid = 0;
        break;
      }
      pid = pid * 10 + (c - '0');
    }
    rest.remove_prefix(dash + 1);
    const bool ours = rest.size() == 6 || (rest.size() == 6 + 8 && rest.substr(6) == "-journal");
    if (pid <= 0 || !ours) continue;
    if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
    ::unlinkat(::dirfd(d), e->d_name, 0);
  }
  ::closedir(d);
}

// The file a path names through symbolic links, followed also where the last one
// dangles, so that writing there keeps the links.
std::string through_links(std::string path) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char target[PATH_MAX];
    const ssize_t n = ::readlink(path.c_str(), target, sizeof target);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof target) return path;
    const std::filesystem::path next(std::string(target, static_cast<std::size_t>(n)));
    path = (next.is_absolute() ? next : std::filesystem::path(path).parent_path() / next).string();
  }
  return path;
}

}  // namespace

std::string output_clash(const std::string& output, const std::vector<std::string>& inputs) {
  struct stat out {};
  if ((is_stdout(output) ? ::fstat(STDOUT_FILENO, &out) : ::stat(output.c_str(), &out)) != 0) return {};
  if (S_ISCHR(out.st_mode)) return {};
  for (const std::string& path : inputs) {
    struct stat in {};
    if ((path == "-" ? ::fstat(STDIN_FILENO, &in) : ::stat(path.c_str(), &in)) != 0) continue;
    if (in.st_dev == out.st_dev && in.st_ino == out.st_ino) return path == "-" ? "<stdin>" : path;
  }
  return {};
}

std::string clash_message(const std::string& output, const std::string& input) {
  return fmt::format("{}: the output is the same file as the input {}; nothing written",
                     is_stdout(output) ? "<stdout>" : output, input);
}

bool finishes_output(const std::string& output, std::uint64_t packets, bool failed, bool stopped) {
  struct stat st {};
  const bool in_place = is_stdout(output) || (::stat(output.c_str(), &st) == 0 && !S_ISREG(st.st_mode));
  if (in_place) return packets > 0 || (!failed && !stopped);
  return packets > 0 && !failed;
}

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
  } else if (errno == ENOENT) {
    // A link to a file not there yet: the file is made where it points.
    target_ = through_links(path_);
  } else {
    fail("cannot write", errno);
  }
  kind_ = Kind::kFile;
  make_temp();
  // A replaced file keeps its permissions; a new one gets what the umask allows.
  ::fchmod(fd_, mode);
}

void OutputTarget::make_temp() {
  const std::filesystem::path t(target_);
  const std::filesystem::path dir = t.has_parent_path() ? t.parent_path() : std::filesystem::path(".");
  const std::string prefix = temp_owner_prefix(t.filename().string());
  remove_dead_temps(dir, prefix);
  temp_ = (dir / fmt::format("{}{}-XXXXXX", prefix, ::getpid())).string();
  std::vector<char> name(temp_.begin(), temp_.end());
  name.push_back('\0');
  fd_ = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd_ < 0) fail("cannot write", errno);
  temp_ = name.data();
  abandon_slot_ = abandon_on_kill(temp_.c_str());
}

OutputTarget::~OutputTarget() {
  if (!done_) discard();
}

void OutputTarget::discard() {
  done_ = true;
  if (fd_ >= 0 && kind_ != Kind::kStdout) ::close(fd_);
  fd_ = -1;
  if (kind_ == Kind::kFile) {
    forget_on_kill(abandon_slot_);
    abandon_slot_ = -1;
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
  forget_on_kill(abandon_slot_);
  abandon_slot_ = -1;
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
