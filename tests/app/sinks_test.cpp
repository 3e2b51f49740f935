// Each output format on a hand-made packet with one write of every value kind, a
// framing error, and a bare command response.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "app_test_util.h"
#include "framework/attributes.h"
#include "output_sink.h"

namespace cdmadiag::test {
namespace {

using Lines = std::vector<std::string>;

class SinkTest : public ::testing::Test {
 protected:
  SinkTest() {
    msg.title = "Map \xb0 title";
    msg.details = "line \"one\"\n\tline two\n";
    msg.category = 5;
    msg.SetLocation(1.5, -2.25, 100);
  }
  std::string write_all(OutputFormat format) {
    auto sink = make_sink(format, dir.file("out"));
    PacketView p;
    p.seq = 7;
    p.time = 315964801.25;
    p.code = 0x100F;
    p.cls = PacketClass::kEvdo;
    p.msg = &msg;
    p.writes = writes;
    p.texts = "caf\xe9, \"x\"";
    p.error = &error;
    sink->packet(p);
    sink->framing_error("d\xc3\xa9j\xc3\xa0.qmdl: at byte 9: CRC error");
    PacketView bare;  // a bare response
    bare.seq = 8;
    bare.response = true;
    bare.msg = &empty;
    sink->packet(bare);
    sink->finish();
    return slurp(dir.file("out"));
  }

  TempDir dir;
  COrbExpandedMessage msg, empty;
  // Id, index, op, then the signed, unsigned and double values, the text offset and size.
  const std::vector<WriteRecord> writes = {
      {ATTR_ID_LOCATION_X, 0, WriteOp::kSetDouble, 0, 0, 0.1, 0, 0},
      {ATTR_ID_LOCATION_Y, 3, WriteOp::kSetShort, -3, 0, 0, 0, 0},
      {ATTR_ID_QUALCOMM_MDM_MSG_TYPE, 0, WriteOp::kSetDWord, 0, 4000000000u, 0, 0, 0},
      {ATTR_ID_PN_INC, 1, WriteOp::kSetString, 0, 0, 0, 0, 9},
      {ATTR_ID_CDMA_SEQ_NUM, 2, WriteOp::kSetNoValue, 0, 0, 0, 0, 0}};
  const std::string error = "bad \"thing\"";
};

// JSON lines carry every field in contract order; CSV has one row per write; text shows
// a header line, the details indented, then the attributes.
TEST_F(SinkTest, TextFormatsByteForByte) {
  const std::pair<OutputFormat, std::string> cases[] = {
      {OutputFormat::kJsonl,
       "{\"seq\": 7, \"time\": 315964801.25, \"code\": 4111, \"class\": \"evdo\", \"title\": \"Map \xc2\xb0 title\", "
       "\"details\": \"line \\\"one\\\"\\n\\tline two\\n\", \"category\": 5, \"location\": {\"x\": 1.5, \"y\": -2.25}, "
       "\"attrs\": ["
       "{\"name\": \"ATTR_ID_LOCATION_X\", \"op\": \"SetDouble\", \"index\": 0, \"value\": 0.1}, "
       "{\"name\": \"ATTR_ID_LOCATION_Y\", \"op\": \"SetShort\", \"index\": 3, \"value\": -3}, "
       "{\"name\": \"ATTR_ID_QUALCOMM_MDM_MSG_TYPE\", \"op\": \"SetDWord\", \"index\": 0, \"value\": 4000000000}, "
       "{\"name\": \"ATTR_ID_PN_INC\", \"op\": \"SetString\", \"index\": 1, \"value\": \"caf\xc3\xa9, \\\"x\\\"\"}, "
       "{\"name\": \"ATTR_ID_CDMA_SEQ_NUM\", \"op\": \"SetNoValue\", \"index\": 2, \"value\": null}], "
       "\"error\": \"bad \\\"thing\\\"\"}\n"
       "{\"seq\": null, \"error\": \"d\xc3\xa9j\xc3\xa0.qmdl: at byte 9: CRC error\"}\n"
       "{\"seq\": 8, \"time\": null, \"code\": 0, \"class\": \"1x\", \"title\": \"\", \"details\": \"\", "
       "\"category\": 0, \"location\": null, \"attrs\": []}\n"},
      {OutputFormat::kCsv,
       "seq,time,code,name,op,index,value\n"
       "7,315964801.25,4111,ATTR_ID_LOCATION_X,SetDouble,0,0.1\n"
       "7,315964801.25,4111,ATTR_ID_LOCATION_Y,SetShort,3,-3\n"
       "7,315964801.25,4111,ATTR_ID_QUALCOMM_MDM_MSG_TYPE,SetDWord,0,4000000000\n"
       "7,315964801.25,4111,ATTR_ID_PN_INC,SetString,1,\"caf\xc3\xa9, \"\"x\"\"\"\n"
       "7,315964801.25,4111,ATTR_ID_CDMA_SEQ_NUM,SetNoValue,2,\n"},
      {OutputFormat::kText,
       "#7 1980-01-06 00:00:01.250 0x100F evdo  Map \xc2\xb0 title\n"
       "    line \"one\"\n"
       "    \tline two\n"
       "    location: 1.5, -2.25\n"
       "    ATTR_ID_LOCATION_X[0] = 0.1  (SetDouble)\n"
       "    ATTR_ID_LOCATION_Y[3] = -3  (SetShort)\n"
       "    ATTR_ID_QUALCOMM_MDM_MSG_TYPE[0] = 4000000000  (SetDWord)\n"
       "    ATTR_ID_PN_INC[1] = \"caf\xc3\xa9, \"x\"\"  (SetString)\n"
       "    ATTR_ID_CDMA_SEQ_NUM[2] = (no value)  (SetNoValue)\n"
       "    error: bad \"thing\"\n"
       "!! framing error: d\xc3\xa9j\xc3\xa0.qmdl: at byte 9: CRC error\n"
       "#8 - response 1x\n"},
  };
  for (const auto& [format, want] : cases) EXPECT_EQ(write_all(format), want);
}

Lines query(const std::string& path, const char* sql) {
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  Lines rows;
  const auto add_row = [](void* out, int n, char** values, char**) {
    std::string row;
    for (int i = 0; i < n; ++i) row += (i > 0 ? "|" : "") + std::string(values[i] != nullptr ? values[i] : "NULL");
    static_cast<Lines*>(out)->push_back(row);
    return 0;
  };
  EXPECT_EQ(sqlite3_exec(db, sql, add_row, &rows, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
  return rows;
}

TEST_F(SinkTest, SqliteTables) {
  write_all(OutputFormat::kSqlite);
  const std::string db = dir.file("out");
  EXPECT_EQ(
      query(db, "SELECT seq, time, code, class, title, details, category, x, y, error FROM messages ORDER BY rowid"),
      (Lines{"7|315964801.25|4111|evdo|Map \xc2\xb0 title|line \"one\"\n\tline two\n|5|1.5|-2.25|bad \"thing\"",
             "NULL|NULL|NULL|NULL|NULL|NULL|NULL|NULL|NULL|d\xc3\xa9j\xc3\xa0.qmdl: at byte 9: CRC error",
             "8|NULL|0|1x|||0|NULL|NULL|NULL"}));
  EXPECT_EQ(
      query(db, "SELECT seq, name, op, idx, typeof(value), value FROM attributes ORDER BY rowid"),
      (Lines{"7|ATTR_ID_LOCATION_X|SetDouble|0|real|0.1", "7|ATTR_ID_LOCATION_Y|SetShort|3|integer|-3",
             "7|ATTR_ID_QUALCOMM_MDM_MSG_TYPE|SetDWord|0|integer|4000000000",
             "7|ATTR_ID_PN_INC|SetString|1|text|caf\xc3\xa9, \"x\"", "7|ATTR_ID_CDMA_SEQ_NUM|SetNoValue|2|null|NULL"}));
}

TEST(SqliteSink, RefusesStandardOutput) { EXPECT_THROW(make_sink(OutputFormat::kSqlite, "-"), OutputError); }

}  // namespace
}  // namespace cdmadiag::test
