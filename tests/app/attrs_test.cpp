// What the attribute lists say of each attribute, against what the decoders write,
// and the `attrs` command that shows it.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>

#include "app_test_util.h"
#include "framework/attributes.h"

namespace cdmadiag::test {
namespace {

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> split(const std::string& s, char sep) {
  std::vector<std::string> parts;
  std::istringstream in(s);
  for (std::string part; std::getline(in, part, sep);) parts.push_back(part);
  return parts;
}

// Catches an attribute list drifting from its decoders: every write of the golden
// drive and of the bundled sample drive (every generated packet family) uses an
// operation its attribute documents.
TEST(AttributeDocs, EveryAttributeHasAMeaningAndDocumentsTheOperationsWritten) {
  std::set<std::string> known_ops;
  for (int op = 0; op <= static_cast<int>(WriteOp::kSetNoValue); ++op) {
    known_ops.insert(write_op_name(static_cast<WriteOp>(op)));
  }
  std::map<std::string, std::set<std::string>> documented;
  std::map<std::string, std::string> listed_ops;
  for (const AttributeEntry& a : all_attributes()) {
    EXPECT_STRNE(a.doc.meaning, "") << a.name;
    listed_ops[a.name] = a.doc.ops;
    for (const std::string& op : split(a.doc.ops, '|')) {
      EXPECT_TRUE(known_ops.count("Set" + op)) << a.name << ": no write operation " << op;
      documented[a.name].insert("Set" + op);
    }
  }

  TempDir dir;
  std::set<std::pair<std::string, std::string>> written;
  for (const char* drive : {"/tests/data/golden/drive.hdlc", "/examples/sample.log"}) {
    ASSERT_EQ(
        cli({"decode", "-q", "--format", "csv", "-o", dir.file("w.csv"), CDMADIAG_SOURCE_DIR + std::string(drive)}),
        kExitOk);
    // Rows after the header: seq,time,code,name,op,index,value.
    const std::vector<std::string> rows = lines_of(slurp(dir.file("w.csv")));
    for (std::size_t i = 1; i < rows.size(); ++i) {
      const std::vector<std::string> f = split(rows[i], ',');
      ASSERT_GE(f.size(), 5u) << rows[i];
      written.emplace(f[3], f[4]);
    }
  }
  EXPECT_GT(written.size(), 100u);
  for (const auto& [name, op] : written) {
    EXPECT_TRUE(documented[name].count(op))
        << name << " is written with " << op << " but its list says \"" << listed_ops[name] << "\"";
  }
}

TEST(AttrsCommand, CsvHasAHeaderThenOneRowPerAttributeQuotedWhereNeeded) {
  testing::internal::CaptureStdout();
  const int status = cli({"attrs", "--format", "csv"});
  const std::vector<std::string> lines = lines_of(testing::internal::GetCapturedStdout());
  EXPECT_EQ(status, kExitOk);
  ASSERT_EQ(lines.size(), all_attributes().size() + 1);
  EXPECT_EQ(lines[0], "name,operations,unit,index,meaning");
  const std::string row = "ATTR_ID_EVDO_POWER_RXAGC0,Double,dBm,,\"receive AGC, antenna 0, mean of the two frames\"";
  EXPECT_NE(std::find(lines.begin(), lines.end(), row), lines.end());
}

}  // namespace
}  // namespace cdmadiag::test
