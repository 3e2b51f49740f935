// SQLite output, compact and joined by integers:
//   meta(key, value)                 tool, version, one 'input' row per input, options, epsg, time_base
//   files(id, name)                  the inputs that gave packets; messages.file
//   attributes(id, name, unit, meaning, ops, idx)   every attribute the library lists
//   messages(seq, file, time_ms, time_iso, kind, code, command, class, title, details, category,
//            x, y, fix_lat, fix_lon, fix_x, fix_y, fix_age_ms, error, decoded, diagnostic,
//            time_suspect, device)
//   write_runs(attr, seq, size, dseq0, n0, idx0, value0, ... dseq15, n15, idx15, value15)
//                                    the writes of one attribute in runs of up to 16, the write
//                                    k of a run from packet seq + dseqK; read through the view
//                                    writes(seq, n, attr, idx, value), n the order in the packet
//   sectors(id, pn, sector_id, site_name, lat, lon) and cells(seq, pn, sector, distance_m)
//   framing_errors(after_seq, text)
//   seconds(device, second, time_ms, ...)  one row per second of each device (tables.h)
//   events(device, seq, time_ms, ...)      the drive's events (tables.h)
// with the views measurements (writes with names, times and fixes) and cell_lookups.
//
// A row per write cost more in SQLite's insert path and in its per-row bytes (cell,
// record header, key) than the write itself: sixteen writes of an attribute share one
// row, its key and its record header, and the rows are appended in the order runs fill.
// The whole run is one transaction through prepared statements; the indexes are built
// at the end, which is faster than keeping them up to date. The database is a temporary
// file renamed over the target only once complete, so it needs no journal: a run that
// fails or dies leaves the target as it was, and its half-written file is never used.
#include <sqlite3.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "events.h"
#include "framework/attributes.h"
#include "output_file.h"
#include "seconds.h"
#include "sinks.h"
#include "tables.h"

namespace cdmadiag {
namespace {

constexpr const char* kPragmas =
    "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA locking_mode=EXCLUSIVE; PRAGMA cache_size=-32768;";
// Writes of one attribute per write_runs row.
constexpr std::size_t kRunSlots = 16;
// Each table's inserts bind its columns in this order (see prepare_insert).
constexpr const char* kTables =
    "CREATE TABLE meta(key TEXT NOT NULL, value TEXT);"
    "CREATE TABLE files(id INTEGER PRIMARY KEY, name TEXT NOT NULL);"
    "CREATE TABLE attributes(id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE, unit TEXT, meaning TEXT, ops TEXT,"
    " idx TEXT);"
    "CREATE TABLE messages(seq INTEGER PRIMARY KEY, file INTEGER NOT NULL, time_ms INTEGER, time_iso TEXT,"
    " kind TEXT NOT NULL, code INTEGER NOT NULL, command INTEGER, class TEXT NOT NULL, title TEXT, details TEXT,"
    " category INTEGER, x REAL, y REAL, fix_lat REAL, fix_lon REAL, fix_x REAL, fix_y REAL, fix_age_ms INTEGER,"
    " error TEXT, decoded INTEGER NOT NULL, diagnostic TEXT, time_suspect INTEGER NOT NULL, device INTEGER NOT NULL);"
    "CREATE TABLE sectors(id INTEGER PRIMARY KEY, pn INTEGER NOT NULL, sector_id TEXT, site_name TEXT, lat REAL,"
    " lon REAL);"
    "CREATE TABLE cells(seq INTEGER NOT NULL, pn INTEGER NOT NULL, sector INTEGER NOT NULL, distance_m REAL,"
    " PRIMARY KEY(seq, pn)) WITHOUT ROWID;"
    "CREATE TABLE framing_errors(after_seq INTEGER, text TEXT NOT NULL);";
constexpr const char* kViews =
    "CREATE VIEW measurements AS SELECT w.seq, m.time_ms, m.time_iso, m.code, a.name, w.idx, w.value, a.unit,"
    " m.fix_lat, m.fix_lon, m.fix_x, m.fix_y, m.fix_age_ms FROM writes w JOIN attributes a ON a.id = w.attr"
    " JOIN messages m ON m.seq = w.seq;"
    "CREATE VIEW cell_lookups AS SELECT c.seq, c.pn, s.sector_id, s.site_name, s.lat, s.lon, c.distance_m"
    " FROM cells c JOIN sectors s ON s.id = c.sector;";
constexpr const char* kIndexes =
    "CREATE INDEX messages_by_time ON messages(time_ms);"
    "CREATE INDEX messages_by_code ON messages(code);"
    "CREATE INDEX seconds_by_time ON seconds(device, second);"
    "CREATE INDEX write_runs_by_attr ON write_runs(attr, seq);";
constexpr const char* kTimeBase =
    "UTC: the stamps count GPS time from 1980-01-06T00:00:00Z; time_ms and time_iso take off the leap seconds in "
    "force at each instant (18 s since 2017)";

// The whole schema: the tables, write_runs with its slots, and the views over them.
const std::string& schema() {
  static const std::string text = [] {
    std::string t = kTables;
    t += "CREATE TABLE write_runs(attr INTEGER NOT NULL, seq INTEGER NOT NULL, size INTEGER NOT NULL";
    for (std::size_t k = 0; k < kRunSlots; ++k) t += fmt::format(", dseq{0}, n{0}, idx{0}, value{0}", k);
    t += ");";
    // The slot k of each run as a row; CASE picks its columns.
    const auto pick = [](std::string_view column) {
      std::string c = "CASE k";
      for (std::size_t k = 0; k < kRunSlots; ++k) c += fmt::format(" WHEN {0} THEN r.{1}{0}", k, column);
      return c + " END";
    };
    t += "CREATE VIEW writes AS WITH slot(k) AS (VALUES(0)";
    for (std::size_t k = 1; k < kRunSlots; ++k) t += fmt::format(", ({})", k);
    t += fmt::format(") SELECT r.seq + {} AS seq, {} AS n, r.attr AS attr, {} AS idx, {} AS value", pick("dseq"),
                     pick("n"), pick("idx"), pick("value"));
    t += " FROM write_runs r JOIN slot ON k < r.size;";
    return t + kViews;
  }();
  return text;
}

// A write waiting for its run to fill, its text converted.
struct PendingWrite {
  std::uint32_t seq = 0;
  std::uint32_t n = 0;
  std::uint32_t index = 0;
  ValueKind kind = ValueKind::kNone;
  std::int64_t i = 0;
  std::uint64_t u = 0;
  double d = 0.0;
  std::string text;
};

// The pending writes of one attribute; the slots keep their strings' capacity.
struct Run {
  std::unique_ptr<PendingWrite[]> slots;
  std::size_t size = 0;
};

class Statement {
 public:
  Statement() = default;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  ~Statement() { sqlite3_finalize(stmt_); }
  sqlite3_stmt** out() { return &stmt_; }
  sqlite3_stmt* get() const { return stmt_; }
  void finalize() {
    sqlite3_finalize(stmt_);
    stmt_ = nullptr;
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

class SqliteSink final : public OutputSink {
 public:
  // A previous database is replaced whole, never added to: two runs would mix.
  SqliteSink(const std::string& path, const RunInfo& run) : path_(path), target_(path, true), seconds_(run.cells) {
    target_.release_fd();
    const std::string& file = target_.temp_path();
    constexpr int kOpen = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;  // one thread uses it
    if (sqlite3_open_v2(file.c_str(), &db_, kOpen, nullptr) != SQLITE_OK) {
      const std::string why = db_ != nullptr ? sqlite3_errmsg(db_) : "out of memory";
      sqlite3_close(db_);
      db_ = nullptr;
      throw OutputError(fmt::format("cannot create {}: {}", path, why));
    }
    try {
      exec(kPragmas);
      exec("BEGIN");
      exec(schema().c_str());
      write_meta(run);
      write_attributes();
      prepare_insert("messages", insert_message_);
      prepare_insert("write_runs", insert_run_);
      prepare_insert("files", insert_file_);
      prepare_insert("sectors", insert_sector_);
      prepare("INSERT OR IGNORE INTO cells VALUES(?1, ?2, ?3, ?4)", insert_cell_);
      prepare_insert("framing_errors", insert_framing_error_);
    } catch (const OutputError&) {
      close();
      throw;
    }
  }

  ~SqliteSink() override { close(); }

  void packet(const PacketView& p) override {
    seconds_.packet(p);
    events_.packet(p, seconds_.last_packet());
    if (!file_seen_ || p.file != last_file_) add_file(p);
    add_message(p);
    std::uint32_t n = 0;
    for (const WriteRecord& r : p.writes) add_write(p, r, n++);
    sqlite3_stmt* c = insert_cell_.get();
    for (const CellLookup& l : p.cells) {
      if (l.cell == nullptr) continue;
      sqlite3_bind_int64(c, 1, p.seq);
      sqlite3_bind_int64(c, 2, l.pn);
      sqlite3_bind_int64(c, 3, sector_id(*l.cell));
      bind_double(c, 4, rounded_distance(l.distance_m));
      step(c);
    }
    last_seq_ = p.seq;
  }

  void framing_error(std::string_view text) override {
    sqlite3_stmt* e = insert_framing_error_.get();
    if (last_seq_) {
      sqlite3_bind_int64(e, 1, *last_seq_);
    } else {
      sqlite3_bind_null(e, 1);
    }
    bind_text(e, 2, text);
    step(e);
  }

  void finish() override {
    for (std::size_t id = 0; id < runs_.size(); ++id) {
      if (runs_[id].size > 0) insert_run(static_cast<std::uint32_t>(id), runs_[id]);
    }
    seconds_.finish();
    write_table("seconds", seconds_columns(), seconds_.rows(), seconds_cells);
    write_table("events", event_columns(), events_.events(), event_cells);
    exec(kIndexes);
    exec("COMMIT");
    if (close() != SQLITE_OK) throw OutputError(fmt::format("closing {} failed", path_));
    target_.commit();
  }

 private:
  // The messages row, its columns bound in the schema's order.
  void add_message(const PacketView& p) {
    sqlite3_stmt* m = insert_message_.get();
    sqlite3_bind_int64(m, 1, p.seq);
    sqlite3_bind_int64(m, 2, p.file);
    if (p.time_ms) {
      sqlite3_bind_int64(m, 3, *p.time_ms);
      time_iso_.clear();
      append_iso_time(time_iso_, *p.time_ms);
      bind_text(m, 4, time_iso_);
    } else {
      sqlite3_bind_null(m, 3);
      sqlite3_bind_null(m, 4);
    }
    sqlite3_bind_text(m, 5, kind_name(p.response), -1, SQLITE_STATIC);
    sqlite3_bind_int64(m, 6, p.code);
    if (p.response) {
      sqlite3_bind_int(m, 7, p.command);
    } else {
      sqlite3_bind_null(m, 7);
    }
    sqlite3_bind_text(m, 8, class_name(p.cls), -1, SQLITE_STATIC);
    bind_cp1252(m, 9, p.msg->title, title_);
    bind_cp1252(m, 10, p.msg->details, details_);
    sqlite3_bind_int64(m, 11, p.msg->category);
    if (const auto& loc = p.msg->location()) {
      bind_double(m, 12, loc->x);
      bind_double(m, 13, loc->y);
    } else {
      sqlite3_bind_null(m, 12);
      sqlite3_bind_null(m, 13);
    }
    for (int i = 14; i <= 18; ++i) sqlite3_bind_null(m, i);
    if (p.fix != nullptr) {
      const Fix f = rounded_fix(*p.fix);
      bind_double(m, 14, f.latitude);
      bind_double(m, 15, f.longitude);
      if (f.map) {
        bind_double(m, 16, f.map->x);
        bind_double(m, 17, f.map->y);
      }
      if (f.age_ms) sqlite3_bind_int64(m, 18, *f.age_ms);
    }
    if (p.error != nullptr) {
      bind_cp1252(m, 19, *p.error, error_);
    } else {
      sqlite3_bind_null(m, 19);
    }
    sqlite3_bind_int(m, 20, p.decoded() ? 1 : 0);
    if (p.diagnostic().empty()) {
      sqlite3_bind_null(m, 21);
    } else {
      bind_cp1252(m, 21, p.diagnostic(), diagnostic_);
    }
    sqlite3_bind_int(m, 22, p.time_suspect ? 1 : 0);
    sqlite3_bind_int64(m, 23, p.device);
    step(m);
  }

  void add_write(const PacketView& p, const WriteRecord& r, std::uint32_t n) {
    if (r.id >= known_.size() || !known_[r.id]) add_attribute(r.id);
    if (r.id >= runs_.size()) runs_.resize(std::size_t{r.id} + 1);
    Run& run = runs_[r.id];
    if (!run.slots) run.slots = std::make_unique<PendingWrite[]>(kRunSlots);
    PendingWrite& w = run.slots[run.size++];
    w.seq = p.seq;
    w.n = n;
    w.index = r.index;
    w.kind = value_kind(r.op);
    w.i = r.i;
    w.u = r.u;
    w.d = r.d;
    if (w.kind == ValueKind::kString) {
      value_.clear();
      append_cp1252_as_utf8(value_, p.text_of(r));
      w.text.assign(value_.data(), value_.size());
    }
    if (run.size == kRunSlots) insert_run(r.id, run);
  }

  // One write_runs row; the slots past the run's size stay NULL.
  void insert_run(std::uint32_t attr, Run& run) {
    sqlite3_stmt* s = insert_run_.get();
    const std::uint32_t first = run.slots[0].seq;
    sqlite3_bind_int64(s, 1, attr);
    sqlite3_bind_int64(s, 2, first);
    sqlite3_bind_int64(s, 3, static_cast<std::int64_t>(run.size));
    for (std::size_t k = 0; k < kRunSlots; ++k) {
      const int base = 4 + static_cast<int>(k) * 4;
      if (k < run.size) {
        const PendingWrite& w = run.slots[k];
        sqlite3_bind_int64(s, base, w.seq - first);
        sqlite3_bind_int64(s, base + 1, w.n);
        sqlite3_bind_int64(s, base + 2, w.index);
        bind_value(s, base + 3, w);
      } else {
        for (int i = base; i < base + 4; ++i) sqlite3_bind_null(s, i);
      }
    }
    step(s);
    run.size = 0;
  }

  static void bind_value(sqlite3_stmt* s, int i, const PendingWrite& w) {
    switch (w.kind) {
      case ValueKind::kSigned: sqlite3_bind_int64(s, i, w.i); break;
      case ValueKind::kUnsigned:
        if (w.u <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
          sqlite3_bind_int64(s, i, static_cast<std::int64_t>(w.u));
        } else {
          // Above the signed range SQLite has no integer; the text keeps every digit.
          const std::string digits = fmt::format("{}", w.u);
          sqlite3_bind_text(s, i, digits.data(), static_cast<int>(digits.size()), SQLITE_TRANSIENT);
        }
        break;
      case ValueKind::kDouble: bind_double(s, i, w.d); break;
      case ValueKind::kString: bind_text(s, i, w.text); break;
      case ValueKind::kNone: sqlite3_bind_null(s, i); break;
    }
  }

  void write_meta(const RunInfo& run) {
    Statement s;
    prepare_insert("meta", s);
    const auto row = [&](const char* key, std::optional<std::string_view> value) {
      sqlite3_bind_text(s.get(), 1, key, -1, SQLITE_STATIC);
      if (value) {
        bind_text(s.get(), 2, *value);
      } else {
        sqlite3_bind_null(s.get(), 2);
      }
      step(s.get());
    };
    row("tool", "cdmadiag");
    row("version", run.version);
    for (const std::string& input : run.inputs) row("input", input);
    row("options", run.options);
    const std::string epsg = fmt::format("{}", run.epsg);
    row("epsg", run.epsg > 0 ? std::optional<std::string_view>(epsg) : std::nullopt);
    row("time_base", kTimeBase);
  }

  void write_attributes() {
    prepare_insert("attributes", insert_attribute_);
    sqlite3_stmt* s = insert_attribute_.get();
    for (const AttributeEntry& a : all_attributes()) {
      const std::uint32_t id = *a.id;
      if (id < known_.size() && known_[id]) continue;
      sqlite3_bind_int64(s, 1, id);
      sqlite3_bind_text(s, 2, a.name, -1, SQLITE_STATIC);
      sqlite3_bind_text(s, 3, a.doc.unit, -1, SQLITE_STATIC);
      sqlite3_bind_text(s, 4, a.doc.meaning, -1, SQLITE_STATIC);
      sqlite3_bind_text(s, 5, a.doc.ops, -1, SQLITE_STATIC);
      sqlite3_bind_text(s, 6, a.doc.index, -1, SQLITE_STATIC);
      step(s);
      mark_known(id);
    }
  }

  // A table of the columns given, one row per item, inserted at the end of the run.
  template <typename Item>
  void write_table(const char* name, const std::vector<Column>& columns, const std::vector<Item>& items,
                   void (*cells)(const Item&, std::vector<Cell>&)) {
    std::string create = fmt::format("CREATE TABLE {}(", name);
    std::string insert = fmt::format("INSERT INTO {} VALUES(", name);
    for (std::size_t c = 0; c < columns.size(); ++c) {
      static constexpr std::array<const char*, 4> kTypes = {"INTEGER", "REAL", "TEXT", "TEXT"};
      create += fmt::format("{}{} {}", c ? ", " : "", columns[c].name, kTypes[static_cast<std::size_t>(columns[c].type)]);
      insert += c ? ", ?" : "?";
    }
    exec((create + ")").c_str());
    Statement s;
    prepare((insert + ")").c_str(), s);
    std::vector<Cell> row;
    for (const Item& item : items) {
      cells(item, row);
      for (std::size_t c = 0; c < row.size(); ++c) {
        const int i = static_cast<int>(c) + 1;
        if (const auto* n = std::get_if<std::int64_t>(&row[c])) {
          sqlite3_bind_int64(s.get(), i, *n);
        } else if (const auto* d = std::get_if<double>(&row[c])) {
          bind_double(s.get(), i, *d);
        } else if (const auto* t = std::get_if<std::string>(&row[c])) {
          bind_text(s.get(), i, *t);
        } else if (const auto* l = std::get_if<PnList>(&row[c])) {
          json_.clear();
          json_.push_back('[');
          for (std::size_t k = 0; k < l->size(); ++k) fmt::format_to(std::back_inserter(json_), "{}{}", k ? "," : "", (*l)[k]);
          json_.push_back(']');
          // Copied: a row has several lists, all built in this one buffer.
          sqlite3_bind_text(s.get(), i, json_.data(), static_cast<int>(json_.size()), SQLITE_TRANSIENT);
        } else {
          sqlite3_bind_null(s.get(), i);
        }
      }
      step(s.get());
    }
  }

  // An id the listing lacks still gets its row, so every write joins to a name.
  void add_attribute(std::uint32_t id) {
    sqlite3_stmt* s = insert_attribute_.get();
    const std::string name(attribute_name(id, scratch_));
    sqlite3_bind_int64(s, 1, id);
    sqlite3_bind_text(s, 2, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
    for (int i = 3; i <= 6; ++i) sqlite3_bind_null(s, i);
    step(s);
    mark_known(id);
  }

  void mark_known(std::uint32_t id) {
    if (id >= known_.size()) known_.resize(std::size_t{id} + 1, false);
    known_[id] = true;
  }

  void add_file(const PacketView& p) {
    file_seen_ = true;
    last_file_ = p.file;
    if (p.file < files_added_.size() && files_added_[p.file]) return;
    if (p.file >= files_added_.size()) files_added_.resize(std::size_t{p.file} + 1, false);
    files_added_[p.file] = true;
    sqlite3_stmt* s = insert_file_.get();
    sqlite3_bind_int64(s, 1, p.file);
    bind_text(s, 2, p.file_name);
    step(s);
  }

  std::int64_t sector_id(const CellSite& cell) {
    const auto [it, added] = sectors_.try_emplace(&cell, static_cast<std::int64_t>(sectors_.size()) + 1);
    if (added) {
      sqlite3_stmt* s = insert_sector_.get();
      sqlite3_bind_int64(s, 1, it->second);
      sqlite3_bind_int64(s, 2, cell.pn);
      bind_text(s, 3, cell.sector_id);
      bind_text(s, 4, cell.site_name);
      bind_double(s, 5, cell.latitude);
      bind_double(s, 6, cell.longitude);
      step(s);
    }
    return it->second;
  }

  // An open transaction is dropped with the file.
  int close() {
    for (Statement* s : {&insert_message_, &insert_run_, &insert_attribute_, &insert_file_,
                         &insert_sector_, &insert_cell_, &insert_framing_error_}) {
      s->finalize();
    }
    const int rc = sqlite3_close(db_);
    db_ = nullptr;
    return rc;
  }
  void fail(const char* what) {
    throw OutputError(fmt::format("{}: {}: {}", path_, what, db_ != nullptr ? sqlite3_errmsg(db_) : "closed"));
  }
  void exec(const char* sql) {
    if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) fail("SQL failed");
  }
  void prepare(const char* sql, Statement& stmt) {
    if (sqlite3_prepare_v2(db_, sql, -1, stmt.out(), nullptr) != SQLITE_OK) fail("cannot prepare a statement");
  }
  // INSERT INTO table VALUES(?1, ...), one parameter per column of the schema.
  void prepare_insert(const char* table, Statement& stmt) {
    Statement columns;
    prepare(fmt::format("SELECT * FROM {}", table).c_str(), columns);
    std::string sql = fmt::format("INSERT INTO {} VALUES(?1", table);
    for (int i = 2; i <= sqlite3_column_count(columns.get()); ++i) sql += fmt::format(", ?{}", i);
    prepare((sql + ")").c_str(), stmt);
  }
  void step(sqlite3_stmt* stmt) {
    const int rc = sqlite3_step(stmt);
    sqlite3_reset(stmt);
    if (rc != SQLITE_DONE) fail("insert failed");
  }
  // The text must outlive the step.
  static void bind_text(sqlite3_stmt* stmt, int i, std::string_view text) {
    // A null pointer would bind NULL, not the empty text.
    sqlite3_bind_text(stmt, i, text.empty() ? "" : text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
  }
  static void bind_text(sqlite3_stmt* stmt, int i, const fmt::memory_buffer& text) {
    sqlite3_bind_text(stmt, i, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
  }
  static void bind_cp1252(sqlite3_stmt* stmt, int i, std::string_view text, fmt::memory_buffer& utf8) {
    utf8.clear();
    append_cp1252_as_utf8(utf8, text);
    bind_text(stmt, i, utf8);
  }
  static void bind_double(sqlite3_stmt* stmt, int i, double v) {
    if (std::isnan(v)) {
      sqlite3_bind_null(stmt, i);
    } else {
      sqlite3_bind_double(stmt, i, v);
    }
  }

  std::string path_;
  OutputTarget target_;  // outlives the database connection: it removes the file when not committed
  sqlite3* db_ = nullptr;
  Statement insert_message_, insert_run_, insert_attribute_, insert_file_, insert_sector_,
      insert_cell_, insert_framing_error_;
  std::vector<Run> runs_;  // by attribute id
  std::vector<bool> known_;        // attribute ids with a row
  std::vector<bool> files_added_;  // file indexes with a row
  bool file_seen_ = false;
  std::uint32_t last_file_ = 0;
  std::optional<std::uint32_t> last_seq_;
  std::unordered_map<const CellSite*, std::int64_t> sectors_;
  SecondsTable seconds_;
  EventDetector events_;
  fmt::memory_buffer time_iso_, title_, details_, error_, diagnostic_, value_, json_;
  std::string scratch_;
};

}  // namespace

std::unique_ptr<OutputSink> make_sqlite_sink(const std::string& path, const RunInfo& run) {
  return std::make_unique<SqliteSink>(path, run);
}

}  // namespace cdmadiag
