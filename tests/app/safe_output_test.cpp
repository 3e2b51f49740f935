// A user's files survive every run: an output that is an input is refused, a failed or
// empty run leaves the old output as it was, FIFOs are written in place, an interrupt
// finishes a valid output, and noise is no DIAG log on any detection path.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>
#include <set>
#include <span>
#include <thread>

#include "app_test_util.h"
#include "interrupt.h"
#include "output_file.h"
#include "session.h"

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

// Every output, the report included, keeps the old file when the run has nothing to
// show (every input missing, noise only: exit 2; an empty file, /dev/null, an empty gzip
// member: exit 0) and when it fails after decoding some (a gzip input cut short, a
// missing second input: exit 2). A FIFO stays a FIFO and is not even opened by a run
// that reads nothing, so the run cannot hang on it.
TEST(SafeOutput, NothingDecodedOrAFailedRunKeepsTheOldFileInEveryFormat) {
  TempDir dir;
  const ByteVec good = drive(3000);
  const std::string in = dir.write("c.log", good);
  ByteVec cut = gzip(good);
  cut.resize(cut.size() * 3 / 4);
  const std::pair<std::vector<std::string>, int> runs[] = {
      {{dir.file("a"), dir.file("b")}, kExitUsage},  // these two also into a FIFO
      {{dir.write("noise.bin", noise(4096, 1))}, kExitUsage},
      {{dir.write("empty.log", {})}, kExitOk},
      {{"/dev/null"}, kExitOk},
      {{dir.write("empty.gz", gzip({}))}, kExitOk},
      {{dir.write("cut.gz", cut)}, kExitUsage},
      {{in, dir.file("missing")}, kExitUsage},
  };
  const std::string old = dir.write("old", {'o', 'l', 'd'});
  const std::string fifo = dir.file("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const Names before = names_in(dir);
  for (const char* format : {"text", "jsonl", "csv", "sqlite", "geojson", "kml", "report"}) {
    for (const std::string& out : {old, fifo}) {
      for (const auto& [inputs, status] : std::span(runs).first(out == fifo ? 2 : std::size(runs))) {
        SCOPED_TRACE(std::string(format) + " " + out + " " + inputs.front());
        std::vector<std::string> args = {"decode", "-q", "--format", format, "-o", out};
        if (std::string(format) == "report") args = {"report", "-q", "-o", out};
        args.insert(args.end(), inputs.begin(), inputs.end());
        EXPECT_EQ(cli(args), status);
      }
    }
  }
  EXPECT_EQ(slurp(old), "old");
  struct stat st {};
  ASSERT_EQ(::stat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  EXPECT_EQ(names_in(dir), before);
  EXPECT_EQ(cli({"decode", "-q", "-o", dir.path().string(), in}), kExitUsage);  // a directory
}

// -o through a symbolic link keeps the link, also where the file it names is not there
// yet: the file is made where the link points.
TEST(SafeOutput, ALinkIsKeptAndItsFileWrittenEvenWhereItDangles) {
  TempDir dir;
  const std::string in = dir.write("c.log", drive(4));
  fs::create_directory(dir.file("real"));
  fs::create_symlink("real/out.txt", dir.file("link.txt"));
  fs::create_symlink("link.txt", dir.file("chain.txt"));
  for (const char* out : {"link.txt", "chain.txt"}) {
    // The link's file missing (dangling), then there as an old regular file to replace.
    for (const bool exists : {false, true}) {
      fs::remove(dir.file("real/out.txt"));
      if (exists) dir.write("real/out.txt", ByteVec(100, 'x'));
      ASSERT_EQ(cli({"decode", "-q", "-o", dir.file(out), in}), kExitOk) << out;
      EXPECT_TRUE(fs::is_symlink(dir.file("link.txt")));
      EXPECT_TRUE(fs::is_symlink(dir.file("chain.txt")));
      EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir.file("real/out.txt")))) << out;
      EXPECT_EQ(slurp(dir.file("real/out.txt")).rfind("#1 2009-12-31 23:59:45", 0), 0u) << out << exists;
    }
  }
  EXPECT_EQ(names_in(dir), (Names{"c.log", "chain.txt", "link.txt", "real"}));
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
  // UTC, 15 leap seconds behind the GPS stamp of 2010-01-01.
  EXPECT_EQ(text.rfind("#1 2009-12-31 23:59:45", 0), 0u) << text.substr(0, 40);
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
  // ignore_sigint: the child starts with SIGINT ignored, as a background job or nohup does.
  explicit ChildRun(const std::vector<std::string>& args, bool ignore_sigint = false) {
    int fds[2];
    if (::pipe(fds) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      if (ignore_sigint) ::signal(SIGINT, SIG_IGN);
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
  void end_input() {
    ::close(input_);
    input_ = -1;
  }
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
    EXPECT_EQ(sql_rows(db, "PRAGMA integrity_check"), Lines{"ok"});
    EXPECT_EQ(sql_rows(db, "SELECT count(*), min(seq), max(seq) FROM messages"), Lines{"50|1|50"});
    EXPECT_EQ(sql_rows(db, "SELECT count(*) FROM sqlite_master WHERE type = 'index'"), Lines{"5"});
    EXPECT_EQ(names_in(dir), (Names{"out.db"}));
  }
}

// Killed outright, the run leaves the previous file at the target, and its temporary
// file for the next run to the same target to remove; a temporary file of a run still
// going (here this process's own) is left alone.
TEST(InterruptedRun, AKilledRunLeavesThePreviousFileAndTheNextRunItsTemporaryFile) {
  TempDir dir;
  const std::string db = dir.write("out.db", {'o', 'l', 'd'});
  ChildRun child({"decode", "-q", "--input", "log", "--format", "sqlite", "-o", db, "-"});
  ASSERT_TRUE(child.started());
  child.feed(drive(50));
  ASSERT_TRUE(child.idle());
  child.signal(SIGKILL);
  EXPECT_EQ(child.wait(), -SIGKILL);
  EXPECT_EQ(slurp(db), "old");
  EXPECT_EQ(names_in(dir).size(), 2u);  // and a hidden .out.db.cdmadiag-...

  const OutputTarget live(db, false);
  const std::string in = dir.write("c.log", drive(5));
  ASSERT_EQ(cli({"decode", "-q", "--format", "sqlite", "-o", db, in}), kExitOk);
  EXPECT_EQ(names_in(dir), (Names{"c.log", "out.db", fs::path(live.temp_path()).filename().string()}));
}

// A second signal ends the process at once and takes every half-written output with it,
// however many sessions were writing (each on its own thread, in a library host).
TEST(InterruptedRun, ASecondSignalRemovesEveryTemporaryFile) {
  TempDir dir;
  const std::string kept = dir.write("kept.db", {'o', 'l', 'd'});
  const pid_t pid = ::fork();
  if (pid == 0) {
    const InterruptGuard guard(false);
    OutputTarget a(kept, false), b(dir.file("b.csv"), false), c(dir.file("c.txt"), false);
    a.write("x", 1);
    { const OutputTarget done(dir.file("d.txt"), false); }  // gone before the signal, its slot free
    request_stop(SIGINT);  // the first signal
    ::raise(SIGTERM);
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  EXPECT_EQ(names_in(dir), (Names{"kept.db"}));
  EXPECT_EQ(slurp(kept), "old");
}

// SIGINT while the output, a FIFO, waits for its reader: the run stops as stopped (130).
TEST(InterruptedRun, AStopWhileAFifoWaitsForItsReader) {
  TempDir dir;
  const std::string fifo = dir.file("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  ChildRun child({"decode", "-q", "-o", fifo, dir.write("c.log", drive(5))});
  ASSERT_TRUE(child.started());
  ASSERT_TRUE(child.idle());
  child.signal(SIGINT);
  EXPECT_EQ(child.wait(), kExitInterrupted);
}

// A SIGINT ignored by whoever started the run stays ignored: the run reads on to the end.
TEST(InterruptedRun, AnInheritedIgnoredSigintStaysIgnored) {
  TempDir dir;
  const std::string out = dir.file("out.jsonl");
  ChildRun child({"decode", "-q", "--input", "log", "--format", "jsonl", "-o", out, "-"}, true);
  ASSERT_TRUE(child.started());
  child.feed(drive(20));
  ASSERT_TRUE(child.idle());
  child.signal(SIGINT);
  child.feed(drive(10));
  child.end_input();
  EXPECT_EQ(child.wait(), kExitOk);
  const std::string text = slurp(out);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 30);
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
  MemoryInputs memory;
  DecodeSession session(RunSettings{});
  session.add_input(memory.add(drive(10)), "x");
  std::optional<InputEnd> end;
  drain(session, sink, [&](const InputResult& r) { end = r.end; });
  EXPECT_EQ(end, InputEnd::kStopped);
  clear_stop();
  EXPECT_EQ(sink.packets, 3);
}

struct Decoded {
  int packets, errors;
  InputEnd end;
  std::uint64_t bytes;
};

Decoded decode(InputFormat format, std::unique_ptr<ByteStream> in) {
  CountingSink sink;
  RunSettings settings;
  settings.input = format;
  DecodeSession session(settings);
  session.add_input(std::move(in), "x");
  InputEnd end = InputEnd::kEnd;
  drain(session, sink, [&](const InputResult& r) { end = r.end; });
  return {sink.packets, sink.errors, end, session.counters().bytes};
}

Decoded decode(InputFormat format, const ByteVec& bytes) {
  return decode(format, std::make_unique<ByteStream>(std::span<const std::uint8_t>(bytes)));
}

// Noise yields no packet and no framing error on any detection path; nor does a gzip
// bomb of zeros, which is given up on after 64 MiB showed no record rather than being
// inflated whole. The command says so with exit status 2 and writes nothing.
TEST(NotADiagLog, NoiseAndAGzipBombOnEveryDetectionPath) {
  TempDir dir;
  ByteVec bomb;
  {
    z_stream z{};
    ASSERT_EQ(deflateInit2(&z, Z_BEST_SPEED, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY), Z_OK);
    const ByteVec zeros(std::size_t{1} << 20, 0);
    ByteVec chunk(std::size_t{1} << 16);
    for (int mb = 0; mb < 160; ++mb) {
      z.next_in = const_cast<std::uint8_t*>(zeros.data());
      z.avail_in = static_cast<uInt>(zeros.size());
      const int flush = mb == 159 ? Z_FINISH : Z_NO_FLUSH;
      do {
        z.next_out = chunk.data();
        z.avail_out = static_cast<uInt>(chunk.size());
        deflate(&z, flush);
        bomb.insert(bomb.end(), chunk.data(), chunk.data() + (chunk.size() - z.avail_out));
      } while (z.avail_out == 0);
    }
    deflateEnd(&z);
  }
  const std::string path = dir.write("bomb.gz", bomb);
  const ByteVec bytes = noise(std::size_t{2} << 20, 7);
  for (const InputFormat format : {InputFormat::kAuto, InputFormat::kLog, InputFormat::kHdlc}) {
    SCOPED_TRACE(static_cast<int>(format));
    const Decoded d = decode(format, bytes);
    EXPECT_EQ(std::tuple(d.packets, d.errors, d.end), std::tuple(0, 0, InputEnd::kNotDiag));
    std::string error;
    const Decoded b = decode(format, ByteStream::open(path, error));
    EXPECT_EQ(std::tuple(b.packets, b.errors, b.end), std::tuple(0, 0, InputEnd::kNotDiag));
    EXPECT_LE(b.bytes, std::uint64_t{64} << 20);
  }
  EXPECT_EQ(cli({"decode", "-q", "-o", dir.file("out.txt"), path}), kExitUsage);
  EXPECT_FALSE(fs::exists(dir.file("out.txt")));
}

// Where noise cuts into a log, every whole record around it is still found.
TEST(NotADiagLog, EveryRecordIsFoundAroundDamagedStretches) {
  const ByteVec a = drive(40), b = drive(30, 0x100F), c = drive(20, 0x1068);
  ByteVec broken = c;
  broken[0] = 5;  // the first record of c claims 5 bytes: it is lost, the rest found
  const Decoded d = decode(InputFormat::kLog, cat({noise(3000, 1), a, noise(777, 2), b, broken}));
  EXPECT_EQ(std::tuple(d.packets, d.errors, d.end), std::tuple(40 + 30 + 19, 3, InputEnd::kEnd));
}

}  // namespace
}  // namespace cdmadiag::test
