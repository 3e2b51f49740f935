// Each output format on a hand-made packet with one write of every value kind, a
// framing error, and a bare command response.
#include <fmt/format.h>
#include <gtest/gtest.h>

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
    msg.diagnostic = "short, \"A\"\nagain";
    fix.latitude = 43.5;
    fix.longitude = -89.25;
    fix.map = MapPoint{500000.5, 4800000};
    fix.age_ms = 250;
  }
  std::string write_all(OutputFormat format, const RunInfo& run = {}) {
    auto sink = make_sink(format, dir.file("out"), run);
    PacketView p;
    p.seq = 7;
    p.time = 315964801.25;
    p.time_ms = 315964801250;
    p.code = 0x100F;
    p.cls = PacketClass::kEvdo;
    p.file = 1;
    p.file_name = "b.log";
    p.fix = &fix;
    p.cells = cells;
    p.msg = &msg;
    p.writes = writes;
    p.texts = "caf\xe9, \"x\"";
    p.error = &error;
    p.time_suspect = true;
    p.device = 2;
    sink->packet(p);
    sink->framing_error("d\xc3\xa9j\xc3\xa0.qmdl: at byte 9: CRC error");
    PacketView bare;  // a bare response
    bare.seq = 8;
    bare.response = true;
    bare.command = 0x0C;
    bare.known = false;
    bare.msg = &empty;
    sink->packet(bare);
    sink->finish();
    return slurp(dir.file("out"));
  }
  // The file of p alone, a packet of no message.
  std::string write_one(OutputFormat format, PacketView p) {
    p.msg = &empty;
    auto sink = make_sink(format, dir.file("out"));
    sink->packet(p);
    sink->finish();
    return slurp(dir.file("out"));
  }

  TempDir dir;
  COrbExpandedMessage msg, empty;
  Fix fix;
  const CellSite hill{12, 43.6, -89.3, "S1", "Hill, \"A\""}, vale{300, 43.4, -89.2, "S2", "Vale"};
  const std::vector<CellLookup> cells = {{12, &hill, 1234.5678}, {300, &vale, 80}};
  // Id, index, op, then the signed, unsigned and double values, the text offset and size.
  const std::vector<WriteRecord> writes = {
      {{WriteOp::kSetDouble, 0, 0, 0.1}, ATTR_ID_LOCATION_X, 0, 0, 0},
      {{WriteOp::kSetShort, -3, 0, 0}, ATTR_ID_LOCATION_Y, 3, 0, 0},
      {{WriteOp::kSetDWord, 0, 4000000000u, 0}, ATTR_ID_QUALCOMM_MDM_MSG_TYPE, 0, 0, 0},
      {{WriteOp::kSetString, 0, 0, 0}, ATTR_ID_PN_INC, 1, 0, 9},
      {{WriteOp::kSetNoValue, 0, 0, 0}, ATTR_ID_CDMA_SEQ_NUM, 2, 0, 0}};
  const std::string error = "bad \"thing\"";
};

TEST_F(SinkTest, TextFormatsByteForByte) {
  const std::string kCsvTail =
      ",log,,1,315964801250,1980-01-06T00:00:01.250Z,43.5,-89.25,500000.5,4800000,250,12;300,S1;S2,"
      "\"Hill, \"\"A\"\";Vale\",1234.6;80,1,\"short, \"\"A\"\"\nagain\",1,2\n";
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
       "\"error\": \"bad \\\"thing\\\"\", \"kind\": \"log\", \"command\": null, \"file\": 1, \"file_name\": \"b.log\", "
       "\"time_ms\": 315964801250, \"time_iso\": \"1980-01-06T00:00:01.250Z\", "
       "\"fix\": {\"lat\": 43.5, \"lon\": -89.25, \"x\": 500000.5, \"y\": 4800000, \"age_ms\": 250}, \"cells\": ["
       "{\"pn\": 12, \"sector_id\": \"S1\", \"site_name\": \"Hill, \\\"A\\\"\", \"lat\": 43.6, \"lon\": -89.3, "
       "\"distance_m\": 1234.6}, "
       "{\"pn\": 300, \"sector_id\": \"S2\", \"site_name\": \"Vale\", \"lat\": 43.4, \"lon\": -89.2, \"distance_m\": "
       "80}], \"decoded\": true, \"diagnostic\": \"short, \\\"A\\\"\\nagain\", \"time_suspect\": true, \"device\": 2}\n"
       "{\"seq\": null, \"error\": \"d\xc3\xa9j\xc3\xa0.qmdl: at byte 9: CRC error\"}\n"
       "{\"seq\": 8, \"time\": null, \"code\": 0, \"class\": \"1x\", \"title\": \"\", \"details\": \"\", "
       "\"category\": 0, \"location\": null, \"attrs\": [], \"kind\": \"response\", \"command\": 12, \"file\": 0, "
       "\"file_name\": \"\", \"time_ms\": null, \"time_iso\": null, \"fix\": null, \"cells\": [], \"decoded\": false, "
       "\"diagnostic\": null, \"time_suspect\": false, \"device\": 0}\n"},
      {OutputFormat::kCsv,
       "seq,time,code,name,op,index,value,kind,command,file,time_ms,time_iso,fix_lat,fix_lon,fix_x,fix_y,"
       "fix_age_ms,cell_pns,cell_sectors,cell_sites,cell_distances_m,decoded,diagnostic,time_suspect,device\n"
       "7,315964801.25,4111,ATTR_ID_LOCATION_X,SetDouble,0,0.1" +
           kCsvTail + "7,315964801.25,4111,ATTR_ID_LOCATION_Y,SetShort,3,-3" + kCsvTail +
           "7,315964801.25,4111,ATTR_ID_QUALCOMM_MDM_MSG_TYPE,SetDWord,0,4000000000" + kCsvTail +
           "7,315964801.25,4111,ATTR_ID_PN_INC,SetString,1,\"caf\xc3\xa9, \"\"x\"\"\"" + kCsvTail +
           "7,315964801.25,4111,ATTR_ID_CDMA_SEQ_NUM,SetNoValue,2," + kCsvTail},
      {OutputFormat::kText,
       "#7 1980-01-06 00:00:01.250 (time suspect) 0x100F evdo  Map \xc2\xb0 title\n"
       "    line \"one\"\n"
       "    \tline two\n"
       "    location: 1.5, -2.25\n"
       "    ATTR_ID_LOCATION_X[0] = 0.1  (SetDouble)\n"
       "    ATTR_ID_LOCATION_Y[3] = -3  (SetShort)\n"
       "    ATTR_ID_QUALCOMM_MDM_MSG_TYPE[0] = 4000000000  (SetDWord)\n"
       "    ATTR_ID_PN_INC[1] = \"caf\xc3\xa9, \"x\"\"  (SetString)\n"
       "    ATTR_ID_CDMA_SEQ_NUM[2] = (no value)  (SetNoValue)\n"
       "    error: bad \"thing\"\n"
       "    diagnostic: short, \"A\"\n"
       "    diagnostic: again\n"
       "!! framing error: d\xc3\xa9j\xc3\xa0.qmdl: at byte 9: CRC error\n"
       "#8 - response 0x0C 1x unknown code\n"},
  };
  for (const auto& [format, want] : cases) EXPECT_EQ(write_all(format), want);
}

TEST_F(SinkTest, SqliteTables) {
  write_all(OutputFormat::kSqlite, {"9.9", {"a.log", "b.log"}, "--format=sqlite '--output=my db'", 32616});
  const std::string db = dir.file("out");
  EXPECT_EQ(sql_rows(db, "SELECT key, value FROM meta ORDER BY rowid"),
            (Lines{"tool|cdmadiag", "version|9.9", "input|a.log", "input|b.log",
                   "options|--format=sqlite '--output=my db'", "epsg|32616",
                   "time_base|UTC: the stamps count GPS time from 1980-01-06T00:00:00Z; time_ms and time_iso take "
                   "off the leap seconds in force at each instant (18 s since 2017)"}));
  EXPECT_EQ(sql_rows(db, "SELECT * FROM files ORDER BY id"), (Lines{"0|", "1|b.log"}));
  EXPECT_EQ(sql_rows(db, "SELECT * FROM messages ORDER BY seq"),
            (Lines{"7|1|315964801250|1980-01-06T00:00:01.250Z|log|4111|NULL|evdo|Map \xc2\xb0 title|"
                   "line \"one\"\n\tline two\n|5|1.5|-2.25|43.5|-89.25|500000.5|4800000.0|250|bad \"thing\"|1|"
                   "short, \"A\"\nagain|1|2",
                   "8|0|NULL|NULL|response|0|12|1x|||0|NULL|NULL|NULL|NULL|NULL|NULL|NULL|NULL|0|NULL|0|0"}));
  EXPECT_EQ(sql_rows(db, "SELECT framing_errors.* FROM framing_errors"),
            (Lines{"7|d\xc3\xa9j\xc3\xa0.qmdl: at byte 9: CRC error"}));
  EXPECT_EQ(sql_rows(db,
                     "SELECT w.seq, w.n, a.name, w.idx, typeof(w.value), w.value FROM writes w"
                     " JOIN attributes a ON a.id = w.attr ORDER BY w.seq, w.n"),
            (Lines{"7|0|ATTR_ID_LOCATION_X|0|real|0.1", "7|1|ATTR_ID_LOCATION_Y|3|integer|-3",
                   "7|2|ATTR_ID_QUALCOMM_MDM_MSG_TYPE|0|integer|4000000000",
                   "7|3|ATTR_ID_PN_INC|1|text|caf\xc3\xa9, \"x\"", "7|4|ATTR_ID_CDMA_SEQ_NUM|2|null|NULL"}));
  EXPECT_EQ(sql_rows(db, "SELECT * FROM cell_lookups ORDER BY seq, pn"),
            (Lines{"7|12|S1|Hill, \"A\"|43.6|-89.3|1234.6", "7|300|S2|Vale|43.4|-89.2|80.0"}));
}

// Writes share rows sixteen at a time per attribute, across packets: every write comes
// back through the writes view with its packet, order, index, value and type, whether its
// run filled or was still open at the end. Unsigned values keep every digit: up to 2^63-1
// as integers, above as text.
TEST(SqliteSink, RunsGiveBackEveryWriteInPlace) {
  TempDir dir;
  COrbExpandedMessage msg;
  auto sink = make_sink(OutputFormat::kSqlite, dir.file("out"));
  const std::string texts = "abc";
  Lines want;
  for (std::uint32_t seq = 1; seq <= 3; ++seq) {
    std::vector<WriteRecord> writes;
    for (std::uint32_t k = 0; k < 7; ++k) {
      writes.push_back({{WriteOp::kSetDouble, 0, 0, seq * 100 + k + 0.5}, ATTR_ID_LOCATION_X, k, 0, 0});
      want.push_back(fmt::format("{}|{}|ATTR_ID_LOCATION_X|{}|real|{}.5", seq, writes.size() - 1, k, seq * 100 + k));
      if (k % 2 == 0) {
        writes.push_back(
            {{WriteOp::kSetUInt64, 0, 0x7FFFFFFFFFFFFFFFull + k / 2, 0}, ATTR_ID_QUALCOMM_MDM_MSG_TYPE, k, 0, 0});
        want.push_back(fmt::format("{}|{}|ATTR_ID_QUALCOMM_MDM_MSG_TYPE|{}|{}|{}", seq, writes.size() - 1, k,
                                   k == 0 ? "integer" : "text", 0x7FFFFFFFFFFFFFFFull + k / 2));
      }
    }
    writes.push_back({{WriteOp::kSetString, 0, 0, 0}, ATTR_ID_PN_INC, seq, 0, seq});
    want.push_back(fmt::format("{}|{}|ATTR_ID_PN_INC|{}|text|{}", seq, writes.size() - 1, seq, texts.substr(0, seq)));
    writes.push_back({{WriteOp::kSetNoValue, 0, 0, 0}, ATTR_ID_LOCATION_X, 9, 0, 0});
    want.push_back(fmt::format("{}|{}|ATTR_ID_LOCATION_X|9|null|NULL", seq, writes.size() - 1));
    PacketView p;
    p.seq = seq;
    p.msg = &msg;
    p.writes = writes;
    p.texts = texts;
    sink->packet(p);
  }
  sink->finish();
  EXPECT_EQ(sql_rows(dir.file("out"),
                     "SELECT w.seq, w.n, a.name, w.idx, typeof(w.value), w.value FROM writes w"
                     " JOIN attributes a ON a.id = w.attr ORDER BY w.seq, w.n"),
            want);
  // Both ways a run ends: filled during the run, and still open at the end.
  EXPECT_EQ(
      sql_rows(dir.file("out"),
               "SELECT a.name, r.size FROM write_runs r JOIN attributes a ON a.id = r.attr ORDER BY a.name, r.seq"),
      (Lines{"ATTR_ID_LOCATION_X|16", "ATTR_ID_LOCATION_X|8", "ATTR_ID_PN_INC|3", "ATTR_ID_QUALCOMM_MDM_MSG_TYPE|12"}));
}

TEST(SqliteSink, RefusesStandardOutput) { EXPECT_THROW(make_sink(OutputFormat::kSqlite, "-"), OutputError); }

// Text a spreadsheet would run (a leading = + - @ on a non-number) gets an apostrophe;
// numbers keep their sign; a ';' inside a cell name cannot split the list.
TEST_F(SinkTest, CsvTextCannotBecomeAFormulaNorSplitAList) {
  const CellSite odd{7, 1.0, 2.0, "=HYPERLINK(\"x\")", "a;b\\c"}, plain{8, 1.0, 2.0, "-12.5", "@home"};
  const std::vector<CellLookup> listed = {{7, &odd, 1.0}, {8, &plain, 2.0}};
  const std::vector<WriteRecord> strings = {{{WriteOp::kSetString, 0, 0, 0}, ATTR_ID_PN_INC, 0, 0, 9},
                                            {{WriteOp::kSetString, 0, 0, 0}, ATTR_ID_PN_INC, 1, 9, 6},
                                            {{WriteOp::kSetString, 0, 0, 0}, ATTR_ID_PN_INC, 2, 15, 2}};
  PacketView p;
  p.seq = 1;
  p.cells = listed;
  p.writes = strings;
  p.texts = "+cmd|' /C-1.5e3-x";
  const std::string text = write_one(OutputFormat::kCsv, p);
  const std::string cells_tail = ",7;8,\"'=HYPERLINK(\"\"x\"\");-12.5\",a\\;b\\\\c;@home,1;2,1,,0,0\n";
  EXPECT_EQ(text.substr(text.find('\n') + 1),
            "1,,0,ATTR_ID_PN_INC,SetString,0,'+cmd|' /C,log,,0,,,,,,," + cells_tail +
                "1,,0,ATTR_ID_PN_INC,SetString,1,-1.5e3,log,,0,,,,,,," + cells_tail +
                "1,,0,ATTR_ID_PN_INC,SetString,2,'-x,log,,0,,,,,,," + cells_tail);
}

// JSON is UTF-8: a file or cell name that is not (a Latin-1 list, a name's raw bytes)
// reads as U+FFFD where it breaks, and whole UTF-8 sequences pass as they are.
TEST_F(SinkTest, JsonNamesThatAreNotUtf8StayValidJson) {
  const CellSite site{7, 1.0, 2.0, "M\xfcller", "caf\xc3\xa9 \xed\xa0\x80 \xf0\x9f\x93\xa1"};
  const std::vector<CellLookup> named = {{7, &site, 1.0}};
  PacketView p;
  p.seq = 1;
  p.cells = named;
  p.file_name = "x\xff.log";
  const std::string text = write_one(OutputFormat::kJsonl, p);
  EXPECT_NE(text.find("\"file_name\": \"x\xef\xbf\xbd.log\""), std::string::npos) << text;
  EXPECT_NE(text.find("\"sector_id\": \"M\xef\xbf\xbdller\""), std::string::npos) << text;
  EXPECT_NE(text.find("\"site_name\": \"caf\xc3\xa9 \xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd \xf0\x9f\x93\xa1\""),
            std::string::npos)
      << text;
}

}  // namespace
}  // namespace cdmadiag::test
