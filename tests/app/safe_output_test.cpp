// A user's files survive every run: an output that is an input is refused, a failed or
// empty run leaves the old output as it was, FIFOs are written in place, an interrupt
// finishes a valid output, and noise is no DIAG log on any detection path.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <set>
#include <thread>

#include "app_test_util.h"
#include "decode_run.h"
#include "interrupt.h"

namespace cdmadiag::test {
namespace {

namespace fs = std::filesystem;
using Names = std::set<std::string>;

// Known codes, stamps a second apart from 2010-01-01 on: a capture as a handset writes it.
ByteVec drive(int records, std::uint16_t first_code = 0x1001) {
  constexpr std::uint64_t k2010 = std::uint64_t{946'339'200} * 800;  // 1.25 ms units since 1980-01-06
  ByteVec out;
  for (int i = 0; i < records; ++i) {
    const ByteVec r = log_record(static_cast<std::uint16_t>(first_code + i % 2), ByteVec(5 + i % 7, 0x33),
                                 k2010 + std::uint64_t(i) * 800);
    out.insert(out.end(), r.begin(), r.end());
  }
  return out;
}

ByteVec noise(std::size_t n, std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  ByteVec out(n);
  for (auto& b : out) b = static_cast<std::uint8_t>(rng());
  return out;
}

Names names_in(const TempDir& dir) {
  Names out;
  for (const auto& e : fs::directory_iterator(dir.path())) out.insert(e.path().filename().string());
  return out;
}

std::string sql_value(const std::string& db, const char* sql) {
  sqlite3* h = nullptr;
  std::string out = "(cannot open)";
  if (sqlite3_open_v2(db.c_str(), &h, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    out.clear();
    const auto add = [](void* o, int n, char** v, char**) {
      for (int i = 0; i < n; ++i) *static_cast<std::string*>(o) += (v[i] != nullptr ? v[i] : "NULL") + std::string(" ");
      return 0;
    };
    if (sqlite3_exec(h, sql, add, &out, nullptr) != SQLITE_OK) out = std::string("(error) ") + sqlite3_errmsg(h);
  }
  sqlite3_close(h);
  return out;
}

// Every spelling of the input (another path, a hard link, a symbolic link, the cell
// sites) is refused before anything is opened for writing.
TEST(SafeOutput, AnOutputThatIsAnInputIsRefused) {
  TempDir dir;
  const ByteVec bytes = drive(3);
  const std::string in = dir.write("c.log", bytes);
  const std::string cells = dir.write("cells.csv", {'1', ',', '4', '3', ',', '-', '8', '9', '\n'});
  fs::create_directory(dir.file("sub"));
  fs::create_hard_link(in, dir.file("hard.log"));
  fs::create_symlink(in, dir.file("soft.log"));
  const Names before = names_in(dir);
  for (const char* format : {"text", "sqlite"}) {
    for (const std::string& out : {dir.file("sub/../c.log"), dir.file("hard.log"), dir.file("soft.log")}) {
      EXPECT_EQ(cli({"decode", "-q", "--format", format, "-o", out, in}), kExitUsage) << out;
      EXPECT_EQ(cli({"decode", "-q", "--format", format, "-o", in, dir.file("missing"), out}), kExitUsage) << out;
    }
    EXPECT_EQ(cli({"decode", "-q", "--format", format, "--cells", cells, "-o", cells, in}), kExitUsage);
  }
  EXPECT_EQ(slurp(in), std::string(bytes.begin(), bytes.end()));
  EXPECT_EQ(slurp(cells), "1,43,-89\n");
  EXPECT_EQ(names_in(dir), before);  // not even a temporary file
}

// A run with nothing to show (every input missing, or noise only) keeps the old file;
// a FIFO stays a FIFO and is not even opened, so the run cannot hang on it.
TEST(SafeOutput, NothingReadLeavesFilesAndFifosAlone) {
  TempDir dir;
  const std::string old_file = dir.write("old.db", {'o', 'l', 'd'});
  const std::string fifo = dir.file("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string garbage = dir.write("noise.bin", noise(4096, 1));
  const Names before = names_in(dir);
  for (const char* format : {"text", "csv", "sqlite"}) {
    for (const std::string& out : {old_file, fifo}) {
      SCOPED_TRACE(std::string(format) + " " + out);
      EXPECT_EQ(cli({"decode", "-q", "--format", format, "-o", out, dir.file("a"), dir.file("b")}), kExitUsage);
      EXPECT_EQ(cli({"decode", "-q", "--format", format, "-o", out, garbage}), kExitUsage);
    }
  }
  EXPECT_EQ(slurp(old_file), "old");
  struct stat st {};
  ASSERT_EQ(::stat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  EXPECT_EQ(names_in(dir), before);
  EXPECT_EQ(cli({"decode", "-q", "-o", dir.path().string(), garbage}), kExitUsage);  // a directory
}

// A good run replaces the old file whole and keeps its permissions; into a FIFO it
// writes the same bytes in place.
TEST(SafeOutput, AGoodRunReplacesTheFileAndWritesFifosInPlace) {
  TempDir dir;
  const std::string in = dir.write("c.log", drive(4));
  const std::string out = dir.write("out.txt", ByteVec(100000, 'x'));
  ::chmod(out.c_str(), 0640);
  ASSERT_EQ(cli({"decode", "-q", "-o", out, in}), kExitOk);
  const std::string text = slurp(out);
  EXPECT_EQ(text.rfind("#1 2010-", 0), 0u) << text.substr(0, 40);
  EXPECT_EQ(text.find("xxxxxxxx"), std::string::npos);
  struct stat st {};
  ASSERT_EQ(::stat(out.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);

  const std::string fifo = dir.file("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::string read_back;
  std::thread reader([&] { read_back = slurp(fifo); });
  EXPECT_EQ(cli({"decode", "-q", "-o", fifo, in}), kExitOk);
  // Should the run not have opened the FIFO, this lets the reader go.
  if (const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK); fd >= 0) ::close(fd);
  reader.join();
  EXPECT_EQ(read_back, text);
  EXPECT_EQ(names_in(dir), (Names{"c.log", "fifo", "out.txt"}));
}

// A run of the command in a child process reading a pipe: it decodes what it was given
// and then waits for more, as on a live diagnostic port.
class ChildRun {
 public:
  explicit ChildRun(const std::vector<std::string>& args) {
    int fds[2];
    if (::pipe(fds) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(fds[0], STDIN_FILENO);
      ::close(fds[0]);
      ::close(fds[1]);
      ::_exit(cli(args));
    }
    watch_ = fds[0];
    input_ = fds[1];
  }
  ~ChildRun() {
    if (input_ >= 0) ::close(input_);
    if (watch_ >= 0) ::close(watch_);
    if (pid_ > 0) wait();
  }
  bool started() const { return pid_ > 0; }
  void feed(const ByteVec& bytes) { ASSERT_EQ(::write(input_, bytes.data(), bytes.size()), ssize_t(bytes.size())); }
  // Until the child has taken every byte fed and sleeps in a read for more.
  bool idle() {
    for (int i = 0; i < 1000; ++i) {
      int pending = 0;
      ::ioctl(watch_, FIONREAD, &pending);
      std::ifstream stat("/proc/" + std::to_string(pid_) + "/stat");
      std::string pid, name, state;
      stat >> pid >> name >> state;
      if (pending == 0 && state == "S") {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));  // and is done decoding
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
  void signal(int sig) { ::kill(pid_, sig); }
  // The exit status, or minus the signal that ended it.
  int wait() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
  }

 private:
  pid_t pid_ = -1;
  int input_ = -1;
  int watch_ = -1;  // the pipe's read end, to see what the child has not read yet
};

// SIGINT and SIGTERM stop the run between packets: every packet fed is in a complete,
// indexed database, and the exit status is 130.
TEST(InterruptedRun, SqliteOutputIsCompleteUpToTheStop) {
  for (const int sig : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(sig);
    TempDir dir;
    const std::string db = dir.write("out.db", {'o', 'l', 'd'});
    ChildRun child({"decode", "-q", "--input", "log", "--format", "sqlite", "-o", db, "-"});
    ASSERT_TRUE(child.started());
    child.feed(drive(50));
    ASSERT_TRUE(child.idle());
    child.signal(sig);
    EXPECT_EQ(child.wait(), kExitInterrupted);
    EXPECT_EQ(sql_value(db, "PRAGMA integrity_check"), "ok ");
    EXPECT_EQ(sql_value(db, "SELECT count(*), min(seq), max(seq) FROM messages"), "50 1 50 ");
    EXPECT_EQ(sql_value(db, "SELECT count(*) FROM sqlite_master WHERE type = 'index'"), "4 ");
    EXPECT_EQ(names_in(dir), (Names{"out.db"}));
  }
}

// Killed outright, the run leaves the previous file at the target.
TEST(InterruptedRun, AKilledRunLeavesThePreviousFile) {
  TempDir dir;
  const std::string db = dir.write("out.db", {'o', 'l', 'd'});
  ChildRun child({"decode", "-q", "--input", "log", "--format", "sqlite", "-o", db, "-"});
  ASSERT_TRUE(child.started());
  child.feed(drive(50));
  ASSERT_TRUE(child.idle());
  child.signal(SIGKILL);
  EXPECT_EQ(child.wait(), -SIGKILL);
  EXPECT_EQ(slurp(db), "old");
}

class CountingSink final : public OutputSink {
 public:
  void packet(const PacketView&) override {
    if (++packets == stop_at) request_stop(SIGINT);
  }
  void framing_error(std::string_view) override { ++errors; }
  void finish() override {}
  int packets = 0, errors = 0, stop_at = 0;
};

// A stop asked for while a packet is decoded ends the input right after that packet.
TEST(InterruptedRun, AStopEndsTheInputAfterThePacketAtHand) {
  CountingSink sink;
  sink.stop_at = 3;
  CellSiteTable cells;
  ObjectProperties props;
  DecodeRun run(DecodeOptions{}, sink, &cells, &props);
  const ByteVec bytes = drive(10);
  ByteStream in(bytes);
  EXPECT_EQ(run.decode_stream(in, "x"), StreamEnd::kStopped);
  clear_stop();
  EXPECT_EQ(sink.packets, 3);
}

struct Decoded {
  int packets, errors;
  StreamEnd end;
};

Decoded decode(InputFormat format, const ByteVec& bytes) {
  CountingSink sink;
  CellSiteTable cells;
  ObjectProperties props;
  DecodeOptions options;
  options.input = format;
  DecodeRun run(options, sink, &cells, &props);
  ByteStream in(bytes);
  const StreamEnd end = run.decode_stream(in, "x");
  return {sink.packets, sink.errors, end};
}

// Noise yields no packet and no framing error on any detection path; the command says
// so with exit status 2 and writes nothing.
TEST(NotADiagLog, NoiseOnEveryDetectionPath) {
  const ByteVec bytes = noise(std::size_t{2} << 20, 7);
  TempDir dir;
  const std::string in = dir.write("noise.bin", bytes);
  for (const auto& [format, flag] : {std::pair{InputFormat::kAuto, ""}, {InputFormat::kLog, "log"},
                                     {InputFormat::kHdlc, "hdlc"}}) {
    SCOPED_TRACE(flag);
    const Decoded d = decode(format, bytes);
    EXPECT_EQ(std::tuple(d.packets, d.errors, d.end), std::tuple(0, 0, StreamEnd::kNotDiag));
    std::vector<std::string> args = {"decode", "-q", "-o", dir.file("out.txt"), in};
    if (*flag != '\0') args.insert(args.begin() + 1, {"--input", flag});
    EXPECT_EQ(cli(args), kExitUsage);
    EXPECT_FALSE(fs::exists(dir.file("out.txt")));
  }
}

// Where noise cuts into a log, every whole record around it is still found.
TEST(NotADiagLog, EveryRecordIsFoundAroundDamagedStretches) {
  const ByteVec a = drive(40), b = drive(30, 0x100F), c = drive(20, 0x1068);
  ByteVec broken = c;
  broken[0] = 5;  // the first record of c claims 5 bytes: it is lost, the rest found
  const Decoded d = decode(InputFormat::kLog, cat({noise(3000, 1), a, noise(777, 2), b, broken}));
  EXPECT_EQ(std::tuple(d.packets, d.errors, d.end), std::tuple(40 + 30 + 19, 3, StreamEnd::kEnd));
}

}  // namespace
}  // namespace cdmadiag::test
