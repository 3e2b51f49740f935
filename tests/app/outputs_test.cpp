// What every output line or row says of its packet beyond the decode: its input, its
// kind, its time as text, and the run's last fix, through the whole command.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <regex>

#include "app_test_util.h"
#include "sinks.h"

namespace cdmadiag::test {
namespace {

using Lines = std::vector<std::string>;
const std::string kSource = CDMADIAG_SOURCE_DIR;

TEST(IsoTime, CalendarDatesAroundTheEdges) {
  const std::pair<std::int64_t, const char*> cases[] = {
      {0, "1970-01-01T00:00:00.000Z"},
      {-1, "1969-12-31T23:59:59.999Z"},
      {315964800000, "1980-01-06T00:00:00.000Z"},  // the stamps' epoch
      {951782400000, "2000-02-29T00:00:00.000Z"},
      {1709251199999, "2024-02-29T23:59:59.999Z"},
      {4107542400000, "2100-03-01T00:00:00.000Z"},
      {253402300799999, "9999-12-31T23:59:59.999Z"},
  };
  for (const auto& [ms, want] : cases) {
    fmt::memory_buffer out;
    append_iso_time(out, ms);
    EXPECT_EQ(fmt::to_string(out), want) << ms;
  }
}

// A dead-reckoning record: hemisphere letters and ten-character coordinates.
ByteVec etak(const std::string& lon, const std::string& lat) {
  const std::string text = "E" + lon + "N" + lat + "12.00";
  return ByteVec(text.begin(), text.end());
}

class TwoInputs : public ::testing::Test {
 protected:
  static constexpr std::uint64_t t0 = kDriveStart;
  TwoInputs() {
    a = dir.write("a.log", cat({log_record(0x1001, {}, t0 + kSecond),
                                log_record(0x100D, etak("16.5000000", "52.0000000"), t0 + 2 * kSecond),
                                log_record(0x1001, {}, t0 + 4 * kSecond)}));
    b = dir.write("b.hdlc", cat({log_frame(0x1001, {}, t0 + 5 * kSecond), hdlc_frame({0x7B, 0x01})}));
  }
  std::string run(const std::string& format) {
    const std::string out = dir.file("out." + format);
    EXPECT_EQ(cli({"decode", "-q", "--format", format, "-o", out, a, b}), kExitOk);
    return slurp(out);
  }
  TempDir dir;
  std::string a, b;
};

// Per packet: input index and name, kind, time text, then the fix as latitude, longitude
// and age in ms, "-" before the first fix.
const Lines kPlaced = {
    "0 a.log log 2026-05-12T15:19:43.000Z -",
    "0 a.log log 2026-05-12T15:19:44.000Z 52 16.5 0",
    "0 a.log log 2026-05-12T15:19:46.000Z 52 16.5 2000",
    "1 b.hdlc log 2026-05-12T15:19:47.000Z 52 16.5 3000",  // follows a.log: the same device's fix
    "1 b.hdlc response  52 16.5 ",  // no stamp, so no age
};

TEST_F(TwoInputs, JsonLinesCarryInputKindTimeAndFix) {
  const std::string text = run("jsonl");
  static const std::regex kLine(
      R"re("kind": "(\w+)", "command": (\w+), "file": (\d), "file_name": "[^"]*/([^"/]+)", "time_ms": \w+, )re"
      R"re("time_iso": (?:"([^"]+)"|null), "fix": (?:null|\{"lat": ([\d.]+), "lon": ([\d.]+), "age_ms": (\w+)\}))re");
  Lines got;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), kLine); it != std::sregex_iterator(); ++it) {
    const std::smatch& m = *it;
    std::string line = m.str(3) + " " + m.str(4) + " " + m.str(1) + " " + m.str(5);
    line += m[6].matched ? " " + m.str(6) + " " + m.str(7) + " " + (m.str(8) == "null" ? "" : m.str(8)) : " -";
    got.push_back(line);
    EXPECT_EQ(m.str(2), m.str(1) == "response" ? "123" : "null");
  }
  EXPECT_EQ(got, kPlaced);
}

TEST_F(TwoInputs, CsvRowsCarryTheSameInTheirLastColumns) {
  const std::string text = run("csv");
  Lines got;
  std::string last_seq;
  for (std::size_t from = text.find('\n') + 1; from < text.size();) {
    const std::size_t end = text.find('\n', from);
    std::vector<std::string> col;
    std::size_t p = from;
    for (std::size_t comma; (comma = text.find(',', p)) < end; p = comma + 1) col.push_back(text.substr(p, comma - p));
    col.push_back(text.substr(p, end - p));
    from = end + 1;
    ASSERT_EQ(col.size(), 25u);
    if (col[0] == last_seq) continue;  // one line per packet
    last_seq = col[0];
    const std::string name = col[9] == "0" ? "a.log" : "b.hdlc";  // the file index is all a row says
    got.push_back(col[9] + " " + name + " " + col[7] + " " + col[11] +
                  (col[12].empty() ? " -" : " " + col[12] + " " + col[13] + " " + col[16]));
    EXPECT_EQ(col[8], col[7] == "response" ? "123" : "");
  }
  EXPECT_EQ(got, kPlaced);
}

// A framing error's JSON line says what it is, which input and where, through the
// output thread and without it.
TEST_F(TwoInputs, JsonFramingErrorLinesNameTheirInputAndOffset) {
  const std::string damaged = dir.write("c.hdlc", cat({log_frame(0x1001, {}, kSecond), {1, 2, 3, 0x7E},
                                                       log_frame(0x1001, {}, 2 * kSecond)}));
  for (const char* threads : {"--single-thread", "--no-line-buffered"}) {
    const std::string out = dir.file("e.jsonl");
    EXPECT_EQ(cli({"decode", "-q", threads, "--format", "jsonl", "-o", out, a, damaged}), kExitDecodeErrors);
    const std::string text = slurp(out);
    const std::string line = "{\"seq\": null, \"error\": \"" + damaged + ": at byte 20: CRC error in a frame";
    const std::string fields = "\"kind\": \"framing_error\", \"file\": 1, \"file_name\": \"" + damaged +
                               "\", \"offset\": 20}\n";
    const std::size_t at = text.find(line);
    ASSERT_NE(at, std::string::npos) << threads << "\n" << text;
    EXPECT_EQ(text.substr(text.find("\"kind\"", at), fields.size()), fields) << threads;
  }
}

TEST_F(TwoInputs, TextMarksWhereEachInputBegins) {
  const std::string text = run("text");
  const std::size_t first = text.find("== input 0: " + a + "\n#1 ");
  const std::size_t second = text.find("== input 1: " + b + "\n#4 ");
  EXPECT_EQ(first, 0u) << text;
  EXPECT_NE(second, std::string::npos) << text;
  EXPECT_NE(text.find("#5 - response 0x7B 1x unknown code"), std::string::npos) << text;
}

TEST(CodesListing, SaysLogOrResponseAsTheOutputsDo) {
  std::FILE* f = std::tmpfile();
  print_codes(f);
  std::rewind(f);
  std::string text(1 << 20, '\0');
  text.resize(std::fread(text.data(), 1, text.size(), f));
  std::fclose(f);
  EXPECT_TRUE(std::regex_search(text, std::regex("\n0x000C  response  1x  ")));
  EXPECT_TRUE(std::regex_search(text, std::regex("\n0x1001  log       1x  ")));
}

Lines query(sqlite3* db, const std::string& sql, std::string& error) {
  Lines rows;
  const auto add_row = [](void* out, int n, char** values, char**) {
    std::string row;
    for (int i = 0; i < n; ++i) row += (i > 0 ? "|" : "") + std::string(values[i] != nullptr ? values[i] : "NULL");
    static_cast<Lines*>(out)->push_back(row);
    return 0;
  };
  char* message = nullptr;
  if (sqlite3_exec(db, sql.c_str(), add_row, &rows, &message) != SQLITE_OK) error = message ? message : "?";
  sqlite3_free(message);
  return rows;
}

// The queries the README shows, run as they stand on a short drive with its cell sites:
// each one answers, and the database holds what the run decoded.
TEST(SqliteSchema, AnswersTheReadmeQueries) {
  TempDir dir;
  const std::string golden = kSource + "/tests/data/golden";
  const std::string db_path = dir.file("drive.db");
  ASSERT_EQ(cli({"decode", "-q", "--format", "sqlite", "--cells", golden + "/cells.csv", "-o", db_path,
                 golden + "/drive.hdlc"}),
            kExitOk);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(db_path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);

  const std::string readme = slurp(kSource + "/README.md");
  static const std::regex kSql("```sql\n([^`]*)```");
  int queries = 0;
  for (auto it = std::sregex_iterator(readme.begin(), readme.end(), kSql); it != std::sregex_iterator(); ++it) {
    const std::string block = it->str(1);
    for (std::size_t from = 0, end; (end = block.find(';', from)) != std::string::npos; from = end + 1) {
      const std::string sql = block.substr(from, end - from);
      std::string error;
      const Lines rows = query(db, sql, error);
      EXPECT_EQ(error, "") << sql;
      EXPECT_FALSE(rows.empty()) << sql;
      ++queries;
    }
  }
  EXPECT_GE(queries, 3);

  std::string error;
  // The options as they would be typed again; the input is listed apart.
  EXPECT_EQ(query(db, "SELECT value FROM meta WHERE key IN ('options', 'input') ORDER BY key", error),
            (Lines{golden + "/drive.hdlc",
                   "--format=sqlite --output=" + db_path + " --cells=" + golden + "/cells.csv --quiet"}));
  const std::string packets = query(db, "SELECT count(*) FROM messages", error).at(0);
  // Writes go in by batches: none lost at the end of the run, none twice.
  const std::string reviewed = slurp(golden + "/drive.jsonl");
  std::size_t writes = 0;
  for (std::size_t at = 0; (at = reviewed.find("{\"name\": \"ATTR_ID_", at)) != std::string::npos; ++at) ++writes;
  EXPECT_EQ(query(db, "SELECT count(*) FROM writes", error), (Lines{std::to_string(writes)}));
  EXPECT_EQ(query(db, "SELECT max(seq), count(DISTINCT seq) FROM messages", error), (Lines{packets + "|" + packets}));
  // Every write names a listed attribute, and every packet after the first fix has one.
  EXPECT_EQ(
      query(db, "SELECT count(*) FROM writes WHERE attr NOT IN (SELECT id FROM attributes WHERE unit IS NOT NULL)",
            error),
      (Lines{"0"}));
  EXPECT_EQ(query(db,
                  "SELECT count(*) FROM messages WHERE fix_lat IS NULL AND seq > (SELECT min(seq) FROM messages"
                  " WHERE fix_lat IS NOT NULL)",
                  error),
            (Lines{"0"}));
  EXPECT_EQ(error, "");
  sqlite3_close(db);
}

}  // namespace
}  // namespace cdmadiag::test
