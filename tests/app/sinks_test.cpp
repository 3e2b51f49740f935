// Each output format on a hand-made packet and a framing error.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "app_test_util.h"
#include "framework/attributes.h"
#include "output_sink.h"

namespace cdmadiag::test {
namespace {

class SinkTest : public ::testing::Test {
 protected:
  SinkTest() {
    msg.title = "Map \xb0 title";
    msg.details = "line \"one\"\n\tline two\n";
    msg.category = 5;
    msg.SetLocation(1.5, -2.25, 100);
    texts = "caf\xe9";
    add(ATTR_ID_LOCATION_X, 0, WriteOp::kSetDouble).d = 0.1;
    add(ATTR_ID_LOCATION_Y, 3, WriteOp::kSetShort).i = -3;
    add(ATTR_ID_QUALCOMM_MDM_MSG_TYPE, 0, WriteOp::kSetDWord).u = 4000000000u;
    WriteRecord& s = add(ATTR_ID_PN_INC, 1, WriteOp::kSetString);
    s.text_size = 4;
    add(ATTR_ID_CDMA_SEQ_NUM, 2, WriteOp::kSetNoValue);
    error = "bad \"thing\"";
    view.seq = 7;
    view.time = 315964801.25;
    view.code = 0x100F;
    view.cls = PacketClass::kEvdo;
    view.msg = &msg;
    view.writes = writes;
    view.texts = texts;
    view.error = &error;
  }
  WriteRecord& add(std::uint32_t id, std::uint32_t index, WriteOp op) {
    WriteRecord w;
    w.id = id;
    w.index = index;
    w.op = op;
    writes.push_back(w);
    return writes.back();
  }
  std::string write_all(OutputFormat format) {
    const std::string path = dir.file("out");
    auto sink = make_sink(format, path);
    sink->packet(view);
    sink->framing_error("x.qmdl: at byte 9: CRC error");
    PacketView plain = view;
    COrbExpandedMessage empty;
    plain.seq = 8;
    plain.msg = &empty;
    plain.time.reset();
    plain.writes = {};
    plain.error = nullptr;
    plain.cls = PacketClass::k1x;
    plain.response = true;
    plain.code = 0;
    sink->packet(plain);
    sink->finish();
    return slurp(path);
  }

  TempDir dir;
  COrbExpandedMessage msg;
  std::vector<WriteRecord> writes;
  std::string texts;
  std::string error;
  PacketView view;
};

TEST_F(SinkTest, JsonLinesCarryEveryFieldInContractOrder) {
  const std::string out = write_all(OutputFormat::kJsonl);
  const std::string expected =
      "{\"seq\": 7, \"time\": 315964801.25, \"code\": 4111, \"class\": \"evdo\", \"title\": \"Map \xc2\xb0 title\", "
      "\"details\": \"line \\\"one\\\"\\n\\tline two\\n\", \"category\": 5, \"location\": {\"x\": 1.5, \"y\": -2.25}, "
      "\"attrs\": ["
      "{\"name\": \"ATTR_ID_LOCATION_X\", \"op\": \"SetDouble\", \"index\": 0, \"value\": 0.1}, "
      "{\"name\": \"ATTR_ID_LOCATION_Y\", \"op\": \"SetShort\", \"index\": 3, \"value\": -3}, "
      "{\"name\": \"ATTR_ID_QUALCOMM_MDM_MSG_TYPE\", \"op\": \"SetDWord\", \"index\": 0, \"value\": 4000000000}, "
      "{\"name\": \"ATTR_ID_PN_INC\", \"op\": \"SetString\", \"index\": 1, \"value\": \"caf\xc3\xa9\"}, "
      "{\"name\": \"ATTR_ID_CDMA_SEQ_NUM\", \"op\": \"SetNoValue\", \"index\": 2, \"value\": null}], "
      "\"error\": \"bad \\\"thing\\\"\"}\n"
      "{\"seq\": null, \"error\": \"x.qmdl: at byte 9: CRC error\"}\n"
      "{\"seq\": 8, \"time\": null, \"code\": 0, \"class\": \"1x\", \"title\": \"\", \"details\": \"\", "
      "\"category\": 0, \"location\": null, \"attrs\": []}\n";
  EXPECT_EQ(out, expected);
}

TEST_F(SinkTest, CsvHasOneRowPerWrite) {
  const std::string out = write_all(OutputFormat::kCsv);
  EXPECT_EQ(out,
            "seq,time,code,name,op,index,value\n"
            "7,315964801.25,4111,ATTR_ID_LOCATION_X,SetDouble,0,0.1\n"
            "7,315964801.25,4111,ATTR_ID_LOCATION_Y,SetShort,3,-3\n"
            "7,315964801.25,4111,ATTR_ID_QUALCOMM_MDM_MSG_TYPE,SetDWord,0,4000000000\n"
            "7,315964801.25,4111,ATTR_ID_PN_INC,SetString,1,caf\xc3\xa9\n"
            "7,315964801.25,4111,ATTR_ID_CDMA_SEQ_NUM,SetNoValue,2,\n");
}

TEST_F(SinkTest, TextShowsHeaderIndentedDetailsAndAttributes) {
  const std::string out = write_all(OutputFormat::kText);
  EXPECT_EQ(out,
            "#7 1980-01-06 00:00:01.250 0x100F evdo  Map \xc2\xb0 title\n"
            "    line \"one\"\n"
            "    \tline two\n"
            "    location: 1.5, -2.25\n"
            "    ATTR_ID_LOCATION_X[0] = 0.1  (SetDouble)\n"
            "    ATTR_ID_LOCATION_Y[3] = -3  (SetShort)\n"
            "    ATTR_ID_QUALCOMM_MDM_MSG_TYPE[0] = 4000000000  (SetDWord)\n"
            "    ATTR_ID_PN_INC[1] = \"caf\xc3\xa9\"  (SetString)\n"
            "    ATTR_ID_CDMA_SEQ_NUM[2] = (no value)  (SetNoValue)\n"
            "    error: bad \"thing\"\n"
            "!! framing error: x.qmdl: at byte 9: CRC error\n"
            "#8 - response 1x\n");
}

std::vector<std::string> query(const std::string& path, const char* sql) {
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  std::vector<std::string> rows;
  sqlite3_stmt* st = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(db, sql, -1, &st, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  while (sqlite3_step(st) == SQLITE_ROW) {
    std::string row;
    for (int i = 0; i < sqlite3_column_count(st); ++i) {
      if (i > 0) row += '|';
      const unsigned char* t = sqlite3_column_text(st, i);
      row += t != nullptr ? reinterpret_cast<const char*>(t) : "NULL";
    }
    rows.push_back(row);
  }
  sqlite3_finalize(st);
  sqlite3_close(db);
  return rows;
}

TEST_F(SinkTest, SqliteTablesAndIndexes) {
  write_all(OutputFormat::kSqlite);
  const std::string db = dir.file("out");
  EXPECT_EQ(query(db, "SELECT seq, time, code, class, title, category, x, y, error FROM messages ORDER BY rowid"),
            (std::vector<std::string>{"7|315964801.25|4111|evdo|Map \xc2\xb0 title|5|1.5|-2.25|bad \"thing\"",
                                      "NULL|NULL|NULL|NULL|NULL|NULL|NULL|NULL|x.qmdl: at byte 9: CRC error",
                                      "8|NULL|0|1x||0|NULL|NULL|NULL"}));
  EXPECT_EQ(query(db, "SELECT details FROM messages WHERE seq = 7"),
            (std::vector<std::string>{"line \"one\"\n\tline two\n"}));
  EXPECT_EQ(query(db, "SELECT seq, name, op, idx, typeof(value), value FROM attributes ORDER BY rowid"),
            (std::vector<std::string>{
                "7|ATTR_ID_LOCATION_X|SetDouble|0|real|0.1", "7|ATTR_ID_LOCATION_Y|SetShort|3|integer|-3",
                "7|ATTR_ID_QUALCOMM_MDM_MSG_TYPE|SetDWord|0|integer|4000000000",
                "7|ATTR_ID_PN_INC|SetString|1|text|caf\xc3\xa9", "7|ATTR_ID_CDMA_SEQ_NUM|SetNoValue|2|null|NULL"}));
  EXPECT_EQ(query(db, "SELECT name FROM sqlite_master WHERE type = 'index' ORDER BY name"),
            (std::vector<std::string>{"attributes_by_name", "messages_by_code", "messages_by_seq"}));
}

TEST(SqliteSink, RefusesStandardOutput) {
  EXPECT_THROW(make_sink(OutputFormat::kSqlite, "-"), OutputError);
  EXPECT_THROW(make_sink(OutputFormat::kJsonl, "/nonexistent-dir/out.jsonl"), OutputError);
}

}  // namespace
}  // namespace cdmadiag::test
