// What the outputs say beyond the decode, through the whole command: the time as text,
// where each input begins, which input a framing error is in, and the SQLite schema the
// README's queries read. The fields of each line are pinned by the sink table and the
// golden drive.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>

#include "app_test_util.h"
#include "sinks.h"

namespace cdmadiag::test {
namespace {

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

class TwoInputs : public ::testing::Test {
 protected:
  static constexpr std::uint64_t t0 = kDriveStart;
  TwoInputs() {
    a = dir.write("a.log", cat({log_record(0x1001, {}, t0 + kSecond), log_record(0x100D, etak(), t0 + 2 * kSecond),
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

// The queries the README shows, run as they stand on a short drive with its cell sites:
// each one answers, and the database holds what the run decoded.
TEST(SqliteSchema, AnswersTheReadmeQueries) {
  TempDir dir;
  const std::string db = dir.file("drive.db");
  ASSERT_EQ(
      cli({"decode", "-q", "--format", "sqlite", "--cells", kGolden + "/cells.csv", "-o", db, kGolden + "/drive.hdlc"}),
      kExitOk);
  const std::string readme = slurp(std::string(CDMADIAG_SOURCE_DIR) + "/README.md");
  static const std::regex kSql("```sql\n([^`]*)```");
  int queries = 0;
  for (auto it = std::sregex_iterator(readme.begin(), readme.end(), kSql); it != std::sregex_iterator(); ++it) {
    const std::string block = it->str(1);
    for (std::size_t from = 0, end; (end = block.find(';', from)) != std::string::npos; from = end + 1) {
      const std::string sql = block.substr(from, end - from);
      const Lines rows = sql_rows(db, sql);
      ASSERT_FALSE(rows.empty()) << sql;
      EXPECT_FALSE(rows[0].starts_with("(error) ")) << sql << ": " << rows[0];
      ++queries;
    }
  }
  EXPECT_GE(queries, 3);

  // The options as they would be typed again; the input is listed apart.
  EXPECT_EQ(sql_rows(db, "SELECT value FROM meta WHERE key IN ('options', 'input') ORDER BY key"),
            (Lines{kGolden + "/drive.hdlc",
                   "--format=sqlite --output=" + db + " --cells=" + kGolden + "/cells.csv --quiet"}));
  const std::string packets = sql_rows(db, "SELECT count(*) FROM messages").at(0);
  // Writes go in by batches: none lost at the end of the run, none twice.
  const std::string reviewed = slurp(kGolden + "/drive.jsonl");
  std::size_t writes = 0;
  for (std::size_t at = 0; (at = reviewed.find("{\"name\": \"ATTR_ID_", at)) != std::string::npos; ++at) ++writes;
  EXPECT_EQ(sql_rows(db, "SELECT count(*) FROM writes"), (Lines{std::to_string(writes)}));
  EXPECT_EQ(sql_rows(db, "SELECT max(seq), count(DISTINCT seq) FROM messages"), (Lines{packets + "|" + packets}));
  // Every write names a listed attribute, and every packet after the first fix has one.
  EXPECT_EQ(
      sql_rows(db, "SELECT count(*) FROM writes WHERE attr NOT IN (SELECT id FROM attributes WHERE unit IS NOT NULL)"),
      (Lines{"0"}));
  EXPECT_EQ(sql_rows(db,
                     "SELECT count(*) FROM messages WHERE fix_lat IS NULL AND seq > (SELECT min(seq) FROM messages"
                     " WHERE fix_lat IS NOT NULL)"),
            (Lines{"0"}));
}

}  // namespace
}  // namespace cdmadiag::test
