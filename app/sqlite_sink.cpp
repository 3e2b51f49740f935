// SQLite output: messages(seq, time, code, class, title, details, category, x, y, error)
// and attributes(seq, name, op, idx, value). A framing error is a message row whose
// seq is null. Rows go in through prepared statements, many packets per transaction;
// the indexes are built once at the end, which is faster than keeping them up to date.
// The database is built in a temporary file renamed over the target when finished; the
// journal stays on, so a run that dies mid-transaction leaves that file consistent too.
#include <sqlite3.h>

#include <cmath>
#include <cstdio>
#include <limits>

#include "output_file.h"
#include "sinks.h"

namespace cdmadiag {
namespace {

constexpr std::uint64_t kPacketsPerTransaction = 10000;

constexpr const char* kSchema =
    "PRAGMA synchronous=OFF;"
    "CREATE TABLE messages(seq INTEGER, time REAL, code INTEGER, class TEXT, title TEXT, details TEXT,"
    " category INTEGER, x REAL, y REAL, error TEXT);"
    "CREATE TABLE attributes(seq INTEGER NOT NULL, name TEXT NOT NULL, op TEXT NOT NULL, idx INTEGER NOT NULL,"
    " value);";
constexpr const char* kIndexes =
    "CREATE INDEX attributes_by_name ON attributes(name, seq);"
    "CREATE INDEX messages_by_code ON messages(code, seq);"
    "CREATE INDEX messages_by_seq ON messages(seq);";

class SqliteSink final : public OutputSink {
 public:
  // A previous database is replaced whole, never added to: two runs would mix.
  explicit SqliteSink(const std::string& path) : path_(path), target_(path, true) {
    target_.release_fd();
    const std::string& file = target_.temp_path();
    if (sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
      const std::string why = db_ != nullptr ? sqlite3_errmsg(db_) : "out of memory";
      sqlite3_close(db_);
      db_ = nullptr;
      throw OutputError(fmt::format("cannot create {}: {}", path, why));
    }
    try {
      exec(kSchema);
      prepare("INSERT INTO messages VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)", &insert_message_);
      prepare("INSERT INTO attributes VALUES(?1, ?2, ?3, ?4, ?5)", &insert_attribute_);
      exec("BEGIN");
    } catch (const OutputError&) {
      close();
      throw;
    }
  }

  ~SqliteSink() override { close(); }

  void packet(const PacketView& p) override {
    sqlite3_stmt* m = insert_message_;
    sqlite3_bind_int64(m, 1, p.seq);
    if (p.time) {
      bind_double(m, 2, *p.time);
    } else {
      sqlite3_bind_null(m, 2);
    }
    sqlite3_bind_int64(m, 3, p.code);
    sqlite3_bind_text(m, 4, class_name(p.cls), -1, SQLITE_STATIC);
    title_ = cp1252_to_utf8(p.msg->title);
    details_ = cp1252_to_utf8(p.msg->details);
    sqlite3_bind_text(m, 5, title_.data(), static_cast<int>(title_.size()), SQLITE_STATIC);
    sqlite3_bind_text(m, 6, details_.data(), static_cast<int>(details_.size()), SQLITE_STATIC);
    sqlite3_bind_int64(m, 7, p.msg->category);
    if (const auto& loc = p.msg->location()) {
      bind_double(m, 8, loc->x);
      bind_double(m, 9, loc->y);
    } else {
      sqlite3_bind_null(m, 8);
      sqlite3_bind_null(m, 9);
    }
    if (p.error != nullptr) {
      error_ = cp1252_to_utf8(*p.error);
      sqlite3_bind_text(m, 10, error_.data(), static_cast<int>(error_.size()), SQLITE_STATIC);
    } else {
      sqlite3_bind_null(m, 10);
    }
    step(m);

    sqlite3_stmt* a = insert_attribute_;
    for (const WriteRecord& w : p.writes) {
      sqlite3_bind_int64(a, 1, p.seq);
      const std::string_view name = attribute_name(w.id, scratch_);
      sqlite3_bind_text(a, 2, name.data(), static_cast<int>(name.size()), SQLITE_STATIC);
      sqlite3_bind_text(a, 3, write_op_name(w.op), -1, SQLITE_STATIC);
      sqlite3_bind_int64(a, 4, w.index);
      switch (value_kind(w.op)) {
        case ValueKind::kSigned: sqlite3_bind_int64(a, 5, w.i); break;
        case ValueKind::kUnsigned:
          if (w.u <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            sqlite3_bind_int64(a, 5, static_cast<std::int64_t>(w.u));
          } else {
            // Above the signed range SQLite has no integer; the text keeps every digit.
            const std::string digits = fmt::format("{}", w.u);
            sqlite3_bind_text(a, 5, digits.data(), static_cast<int>(digits.size()), SQLITE_TRANSIENT);
          }
          break;
        case ValueKind::kDouble: bind_double(a, 5, w.d); break;
        case ValueKind::kString: {
          const std::string text = cp1252_to_utf8(p.text_of(w));
          sqlite3_bind_text(a, 5, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
          break;
        }
        case ValueKind::kNone: sqlite3_bind_null(a, 5); break;
      }
      step(a);
    }
    if (++in_transaction_ >= kPacketsPerTransaction) {
      exec("COMMIT; BEGIN");
      in_transaction_ = 0;
    }
  }

  void framing_error(std::string_view text) override {
    sqlite3_stmt* m = insert_message_;
    for (int i = 1; i <= 9; ++i) sqlite3_bind_null(m, i);
    sqlite3_bind_text(m, 10, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    step(m);
  }

  void finish() override {
    exec("COMMIT");
    exec(kIndexes);
    if (close() != SQLITE_OK) throw OutputError(fmt::format("closing {} failed", path_));
    target_.commit();
  }

 private:
  // An open transaction is rolled back.
  int close() {
    sqlite3_finalize(insert_message_);
    sqlite3_finalize(insert_attribute_);
    insert_message_ = nullptr;
    insert_attribute_ = nullptr;
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
  void prepare(const char* sql, sqlite3_stmt** stmt) {
    if (sqlite3_prepare_v2(db_, sql, -1, stmt, nullptr) != SQLITE_OK) fail("cannot prepare a statement");
  }
  void step(sqlite3_stmt* stmt) {
    const int rc = sqlite3_step(stmt);
    sqlite3_reset(stmt);
    if (rc != SQLITE_DONE) fail("insert failed");
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
  sqlite3_stmt* insert_message_ = nullptr;
  sqlite3_stmt* insert_attribute_ = nullptr;
  std::uint64_t in_transaction_ = 0;
  std::string title_, details_, error_, scratch_;
};

}  // namespace

std::unique_ptr<OutputSink> make_sqlite_sink(const std::string& path) { return std::make_unique<SqliteSink>(path); }

}  // namespace cdmadiag
