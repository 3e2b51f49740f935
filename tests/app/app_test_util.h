#pragma once
// Builders for captures (log records, HDLC frames), a reader that collects events, a
// sink that keeps a line per packet, and a scratch directory and command line for whole
// runs.
#include <sqlite3.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli.h"
#include "crc16.h"
#include "record_reader.h"
#include "session.h"
#include "support/bytes.h"

namespace cdmadiag::test {

using ByteVec = std::vector<std::uint8_t>;
using Lines = std::vector<std::string>;

// The bundled sample drive and its cell list; the golden short drive's folder.
inline const std::string kSample = std::string(CDMADIAG_SOURCE_DIR) + "/examples/sample.hdlc";
inline const std::string kSampleCells = std::string(CDMADIAG_SOURCE_DIR) + "/examples/cells.csv";
inline const std::string kGolden = std::string(CDMADIAG_SOURCE_DIR) + "/tests/data/golden";

inline ByteVec cat(std::initializer_list<ByteVec> parts) {
  ByteVec out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// Time stamps in 1.25 ms units: one second, and 2026-05-12 15:20:00 as GPS counts it
// (15:19:42 UTC). Stamps before 1995 are a clock not yet set, so drives need real ones.
inline constexpr std::uint64_t kSecond = 800;
inline constexpr std::uint64_t kDriveStart = 1170107520000;

// One gzip member of the bytes.
inline ByteVec gzip(const ByteVec& data) {
  z_stream z{};
  deflateInit2(&z, Z_BEST_SPEED, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
  ByteVec out(deflateBound(&z, data.size()) + 64);
  z.next_in = const_cast<std::uint8_t*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

// A log record: u16 length, u16 code, 8-byte stamp (count of 1.25 ms units in bytes 2-7).
inline ByteVec log_record(std::uint16_t code, const ByteVec& payload, std::uint64_t units = 0) {
  Bytes b;
  b.u16(static_cast<std::uint32_t>(12 + payload.size())).u16(code).u16(0).u48(units);
  return cat({b.vec(), payload});
}

// The bytes of an HDLC frame: content and CRC escaped, then the closing 0x7E.
inline ByteVec hdlc_frame(const ByteVec& content) {
  const std::uint16_t crc = crc16_diag(content);
  ByteVec out;
  for (const std::uint8_t b : cat({content, {static_cast<std::uint8_t>(crc), static_cast<std::uint8_t>(crc >> 8)}})) {
    const bool escape = b == 0x7E || b == 0x7D;
    if (escape) out.push_back(0x7D);
    out.push_back(escape ? b ^ 0x20 : b);
  }
  out.push_back(0x7E);
  return out;
}

// The content of a log frame: 0x10, one byte, u16 length, the record.
inline ByteVec log_frame_content(const ByteVec& record) {
  const auto n = record.size();
  return cat({{0x10, 0x00, static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8)}, record});
}

inline ByteVec log_frame(std::uint16_t code, const ByteVec& payload, std::uint64_t units = 0) {
  return hdlc_frame(log_frame_content(log_record(code, payload, units)));
}

// A dead-reckoning record: hemisphere letters and ten-character coordinates.
inline ByteVec etak(const std::string& lon = "16.5000000", const std::string& lat = "52.0000000") {
  const std::string text = "E" + lon + "N" + lat + "12.00";
  return ByteVec(text.begin(), text.end());
}

struct Event {
  bool error = false;
  RecordKind kind = RecordKind::kLog;
  std::uint16_t code = 0;
  std::uint64_t offset = 0;
  ByteVec bytes;  // record bytes (log: with header)
  std::string text;
};

inline std::vector<Event> read_all(RecordReader& reader) {
  std::vector<Event> out;
  Record r;
  FramingError e;
  for (ReadStatus s; (s = reader.next(r, e)) != ReadStatus::kEnd && out.size() < 100000;) {
    if (s == ReadStatus::kError) {
      out.push_back({true, RecordKind::kLog, 0, e.offset, {}, e.text});
    } else {
      out.push_back({false, r.kind, r.log_code(), r.offset, {r.bytes.begin(), r.bytes.end()}, ""});
    }
  }
  return out;
}

inline std::vector<Event> read_all(InputFormat format, const ByteVec& input) {
  ByteStream in(input);
  return read_all(*make_reader(format, in));
}

// Captures in memory for sessions, kept alive as long as the sessions read them.
class MemoryInputs {
 public:
  std::unique_ptr<ByteStream> add(ByteVec bytes) {
    held_.push_back(std::move(bytes));
    return std::make_unique<ByteStream>(std::span<const std::uint8_t>(held_.back()));
  }

 private:
  std::deque<ByteVec> held_;
};

// A line per packet as the test's function writes it; framing errors kept apart.
class LineSink final : public OutputSink {
 public:
  explicit LineSink(std::function<std::string(const PacketView&)> line) : line_(std::move(line)) {}
  void packet(const PacketView& p) override { lines.push_back(line_(p)); }
  void framing_error(std::string_view text) override { errors.emplace_back(text); }
  void finish() override {}
  Lines lines, errors;

 private:
  std::function<std::string(const PacketView&)> line_;
};

// Decodes captures in memory, one input each, through a new session into the sink.
inline RunCounters decode_into(OutputSink& sink, const std::vector<ByteVec>& inputs, const RunSettings& settings = {},
                               const CellSiteTable* cells = nullptr) {
  MemoryInputs memory;
  DecodeSession session(settings, cells);
  for (std::size_t i = 0; i < inputs.size(); ++i) session.add_input(memory.add(inputs[i]), "in" + std::to_string(i));
  drain(session, sink);
  return session.counters();
}

// A scratch directory removed at the end of the test.
class TempDir {
 public:
  TempDir() { std::filesystem::create_directories(path_); }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string file(const std::string& name) const { return (path_ / name).string(); }
  std::string write(const std::string& name, const ByteVec& bytes) const {
    std::ofstream(file(name), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return file(name);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  static inline int counter_ = 0;
  std::filesystem::path path_ = std::filesystem::temp_directory_path() /
                                ("cdmadiag-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
};

// Runs the command line as the cdmadiag program would.
inline int cli(std::vector<std::string> args) {
  args.insert(args.begin(), "cdmadiag");
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  return app_main(static_cast<int>(argv.size()), argv.data());
}

inline std::string slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// The rows of a query on a database file, columns joined by '|', NULL as "NULL"; a
// failure as one row "(error) ...".
inline Lines sql_rows(const std::string& db, const std::string& sql) {
  sqlite3* h = nullptr;
  Lines rows;
  const auto add_row = [](void* out, int n, char** values, char**) {
    std::string row;
    for (int i = 0; i < n; ++i) row += (i > 0 ? "|" : "") + std::string(values[i] != nullptr ? values[i] : "NULL");
    static_cast<Lines*>(out)->push_back(row);
    return 0;
  };
  if (sqlite3_open_v2(db.c_str(), &h, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK ||
      sqlite3_exec(h, sql.c_str(), add_row, &rows, nullptr) != SQLITE_OK) {
    rows = {std::string("(error) ") + sqlite3_errmsg(h)};
  }
  sqlite3_close(h);
  return rows;
}

}  // namespace cdmadiag::test
