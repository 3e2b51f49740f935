// The output sinks on arbitrary packets: any strings (titles, details, names, texts of
// writes, errors, cell names, file names), any values (NaN, infinities, extremes), any
// mix with framing errors. Every JSON line must parse, the CSV must split into even
// rows, the GeoJSON must parse whole, and the SQLite file must open intact with every
// packet in it.
#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz_target.h"
#include "output_check.h"
#include "output_sink.h"

namespace {

using cdmadiag::fuzz::JsonCheck;

// Takes what it is asked for from the input, zeros once it runs out.
class Bytes {
 public:
  Bytes(const std::uint8_t* d, std::size_t n) : d_(d), n_(n) {}
  bool empty() const { return i_ >= n_; }
  std::uint8_t u8() { return i_ < n_ ? d_[i_++] : 0; }
  std::uint64_t u64() {
    std::uint64_t v = 0;
    for (int k = 0; k < 8; ++k) v = v << 8 | u8();
    return v;
  }
  double f64() {
    const std::uint64_t bits = u64();
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
  }
  std::string text() {
    const std::size_t len = u8() % 24;
    std::string s;
    for (std::size_t k = 0; k < len && !empty(); ++k) s.push_back(static_cast<char>(u8()));
    return s;
  }

 private:
  const std::uint8_t* d_;
  std::size_t n_;
  std::size_t i_ = 0;
};

// A packet and everything its view points into.
struct Packet {
  cdmadiag::PacketView view;
  COrbExpandedMessage msg;
  cdmadiag::Fix fix;
  std::vector<cdmadiag::WriteRecord> writes;
  std::string texts, error, file_name;
  std::deque<std::string> names;  // of the cells, kept where the views point
  std::vector<CellSite> sites;
  std::vector<CellLookup> cells;
};

void make_packet(Bytes& in, std::uint32_t seq, Packet& p) {
  const std::uint8_t flags = in.u8();
  cdmadiag::PacketView& v = p.view;
  v = {};
  v.seq = seq;
  if (flags & 1) v.time = in.f64();
  if (flags & 2) v.time_ms = static_cast<std::int64_t>(in.u64());
  v.code = static_cast<std::uint32_t>(in.u64());
  v.cls = (flags & 4) ? cdmadiag::PacketClass::kEvdo : cdmadiag::PacketClass::k1x;
  v.response = (flags & 8) != 0;
  v.command = in.u8();
  v.file = in.u8() % 4;
  p.file_name = in.text();
  v.file_name = p.file_name;
  if (flags & 16) {
    p.fix = {};
    p.fix.latitude = in.f64();
    p.fix.longitude = in.f64();
    if (flags & 32) p.fix.map = MapPoint{in.f64(), in.f64()};
    if (flags & 64) p.fix.age_ms = static_cast<std::int64_t>(in.u64());
    v.fix = &p.fix;
  }
  p.msg = COrbExpandedMessage();
  p.msg.title = in.text();
  p.msg.details = in.text();
  p.msg.category = static_cast<int>(in.u8()) - 128;
  if (flags & 128) p.msg.SetLocation(in.f64(), in.f64(), in.u8());
  v.msg = &p.msg;
  p.texts.clear();
  p.writes.clear();
  for (std::size_t n = in.u8() % 6; n > 0; --n) {
    cdmadiag::WriteRecord w;
    // Ids as the decoders write them: the schema's, and some past its end (the SQLite
    // sink keeps a flag per id below the highest seen, so not up to 2^32).
    w.id = static_cast<std::uint32_t>(in.u8() << 5 | in.u8() % 32);
    w.index = static_cast<std::uint32_t>(in.u64());
    w.op = static_cast<WriteOp>(in.u8() % (static_cast<int>(WriteOp::kSetNoValue) + 1));
    w.i = static_cast<std::int64_t>(in.u64());
    w.u = in.u64();
    w.d = in.f64();
    if (w.op == WriteOp::kSetString) {
      const std::string t = in.text();
      w.text_offset = static_cast<std::uint32_t>(p.texts.size());
      w.text_size = static_cast<std::uint32_t>(t.size());
      p.texts += t;
    }
    p.writes.push_back(w);
  }
  v.writes = p.writes;
  v.texts = p.texts;
  p.names.clear();
  p.sites.clear();
  p.cells.clear();
  const std::size_t cells = in.u8() % 4;
  for (std::size_t n = 0; n < cells; ++n) {
    const std::string& sector = p.names.emplace_back(in.text());
    const std::string& site = p.names.emplace_back(in.text());
    p.sites.push_back(CellSite{static_cast<unsigned>(in.u8()) * 2, in.f64(), in.f64(), sector, site});
  }
  for (std::size_t n = 0; n < cells; ++n) p.cells.push_back({p.sites[n].pn, &p.sites[n], in.f64()});
  v.cells = p.cells;
  p.error = in.text();
  v.error = (flags & 2) && !p.error.empty() ? &p.error : nullptr;
}

std::string slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

std::string one_value(const char* path, const char* sql) {
  sqlite3* db = nullptr;
  std::string out = "(cannot open)";
  if (sqlite3_open_v2(path, &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* s = nullptr;
    out = "(cannot query)";
    if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW) {
      const unsigned char* t = sqlite3_column_text(s, 0);
      out = t != nullptr ? reinterpret_cast<const char*>(t) : "NULL";
    }
    sqlite3_finalize(s);
  }
  sqlite3_close(db);
  return out;
}

const std::filesystem::path& scratch() {
  static const std::filesystem::path dir = [] {
    // In memory where there is such a folder: every output is synced before its rename.
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm"
                                                                                 : std::filesystem::temp_directory_path();
    auto d = base / ("cdmadiag-fuzz-sinks-" + std::to_string(::getpid()));
    std::filesystem::create_directories(d);
    return d;
  }();
  return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using cdmadiag::OutputFormat;
  const OutputFormat formats[] = {OutputFormat::kJsonl, OutputFormat::kCsv, OutputFormat::kText, OutputFormat::kSqlite,
                                  OutputFormat::kGeojson, OutputFormat::kKml};
  for (const OutputFormat format : formats) {
    const std::string path = (scratch() / ("out" + std::to_string(static_cast<int>(format)))).string();
    Bytes in(data, size);
    std::uint32_t packets = 0;
    {
      auto sink = cdmadiag::make_sink(format, path, {"v", {in.text()}, "o", 0});
      Packet p;
      for (std::uint32_t seq = 1; !in.empty() && seq <= 64; ++seq) {
        if (in.u8() % 5 == 0) {
          const std::string text = in.text();
          sink->framing_error_at(text, {in.u8(), p.file_name, in.u64()});
          continue;
        }
        make_packet(in, seq, p);
        sink->packet(p.view);
        ++packets;
      }
      sink->finish();
    }
    const std::string out = slurp(path);
    switch (format) {
      case OutputFormat::kJsonl:
        for (std::size_t from = 0; from < out.size();) {
          const std::size_t end = out.find('\n', from);
          if (end == std::string::npos || !JsonCheck::valid(std::string_view(out).substr(from, end - from))) std::abort();
          from = end + 1;
        }
        break;
      case OutputFormat::kCsv: {
        std::size_t rows = 0;
        if (!cdmadiag::fuzz::csv_rows_even(out, rows) || rows == 0) std::abort();
        break;
      }
      case OutputFormat::kGeojson:
        if (!JsonCheck::valid(out)) std::abort();
        break;
      case OutputFormat::kSqlite:
        if (one_value(path.c_str(), "PRAGMA integrity_check") != "ok") std::abort();
        if (one_value(path.c_str(), "SELECT count(*) FROM messages") != std::to_string(packets)) std::abort();
        break;
      case OutputFormat::kText:
      case OutputFormat::kKml: break;
    }
    std::filesystem::remove(path);
  }
  return 0;
}
