#pragma once
// Builders for captures (log records, HDLC frames) and a reader that collects events.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli.h"
#include "crc16.h"
#include "record_reader.h"
#include "support/bytes.h"

namespace cdmadiag::test {

using ByteVec = std::vector<std::uint8_t>;

// A log record: u16 length, u16 code, 8-byte stamp (count of 1.25 ms units in bytes 2-7).
inline ByteVec log_record(std::uint16_t code, const ByteVec& payload, std::uint64_t units = 0) {
  Bytes b;
  b.u16(static_cast<std::uint32_t>(12 + payload.size())).u16(code).u16(0).u48(units);
  ByteVec v = b.vec();
  v.insert(v.end(), payload.begin(), payload.end());
  return v;
}

// The bytes of an HDLC frame: content and CRC escaped, then the closing 0x7E.
inline ByteVec hdlc_frame(const ByteVec& content) {
  ByteVec raw = content;
  const std::uint16_t crc = crc16_diag(content);
  raw.push_back(static_cast<std::uint8_t>(crc));
  raw.push_back(static_cast<std::uint8_t>(crc >> 8));
  ByteVec out;
  for (const std::uint8_t b : raw) {
    if (b == 0x7E || b == 0x7D) {
      out.push_back(0x7D);
      out.push_back(b ^ 0x20);
    } else {
      out.push_back(b);
    }
  }
  out.push_back(0x7E);
  return out;
}

// The content of a log frame: 0x10, one byte, u16 length, the record.
inline ByteVec log_frame_content(const ByteVec& record) {
  ByteVec c = {0x10, 0x00, static_cast<std::uint8_t>(record.size()), static_cast<std::uint8_t>(record.size() >> 8)};
  c.insert(c.end(), record.begin(), record.end());
  return c;
}

inline ByteVec cat(std::initializer_list<ByteVec> parts) {
  ByteVec out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
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
  for (int guard = 0; guard < 100000; ++guard) {
    const ReadStatus s = reader.next(r, e);
    if (s == ReadStatus::kEnd) break;
    Event ev;
    if (s == ReadStatus::kError) {
      ev.error = true;
      ev.offset = e.offset;
      ev.text = e.text;
    } else {
      ev.kind = r.kind;
      ev.code = r.log_code();
      ev.offset = r.offset;
      ev.bytes.assign(r.bytes.begin(), r.bytes.end());
    }
    out.push_back(std::move(ev));
  }
  return out;
}

inline std::vector<Event> read_all(InputFormat format, const ByteVec& input) {
  ByteStream in(input);
  auto reader = make_reader(format, in);
  return read_all(*reader);
}

// A scratch directory removed at the end of the test.
class TempDir {
 public:
  TempDir() {
    static int counter = 0;
    path_ = std::filesystem::temp_directory_path() /
            ("cdmadiag-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string file(const std::string& name) const { return (path_ / name).string(); }
  std::string write(const std::string& name, const ByteVec& bytes) const {
    std::ofstream f(file(name), std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return file(name);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
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

}  // namespace cdmadiag::test
