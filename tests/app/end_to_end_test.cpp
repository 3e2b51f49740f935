// Whole drives through the command: the golden output of a short drive, and the
// bundled sample decoded with its cell sites, plain and projected.
#include <gtest/gtest.h>

#include <cmath>
#include <regex>

#include "app_test_util.h"

namespace cdmadiag::test {
namespace {

const std::string kSource = CDMADIAG_SOURCE_DIR;
const std::string kGolden = kSource + "/tests/data/golden";

// Regenerate with tools/update-golden.sh and review the diff.
TEST(Golden, ShortDriveDecodesByteForByteAsReviewed) {
  TempDir dir;
  const std::string out = dir.file("drive.jsonl");
  // Run from the source folder as the script that wrote the golden file did: the input's
  // name, as given, is part of every line.
  const std::filesystem::path was = std::filesystem::current_path();
  std::filesystem::current_path(kSource);
  const int status = cli({"decode", "-q", "--format", "jsonl", "--cells", "tests/data/golden/cells.csv", "-o", out,
                          "tests/data/golden/drive.hdlc"});
  std::filesystem::current_path(was);
  ASSERT_EQ(status, kExitOk);
  const std::string expected = slurp(kGolden + "/drive.jsonl");
  ASSERT_FALSE(expected.empty());
  const std::string actual = slurp(out);
  if (actual == expected) return;
  // Name the first differing line rather than dumping both files.
  std::size_t line = 1, i = 0;
  while (i < actual.size() && i < expected.size() && actual[i] == expected[i]) line += actual[i++] == '\n';
  const auto line_at = [&](const std::string& s) {
    const std::size_t begin = s.rfind('\n', i == 0 ? 0 : i - 1);
    const std::size_t from = begin == std::string::npos ? 0 : begin + 1;
    return s.substr(from, std::min<std::size_t>(s.find('\n', from) - from, 400));
  };
  ADD_FAILURE() << "first difference on line " << line << "\nexpected: " << line_at(expected)
                << "\nactual:   " << line_at(actual);
}

struct SampleRun {
  std::string text;
  int status = -1;
};

SampleRun decode_sample(const std::vector<std::string>& extra) {
  TempDir dir;
  std::vector<std::string> args = {"decode", "-q", "--cells", kSource + "/examples/cells.csv", "-o", dir.file("s.txt")};
  args.insert(args.end(), extra.begin(), extra.end());
  args.push_back(kSource + "/examples/sample.log");
  SampleRun run;
  run.status = cli(args);
  run.text = slurp(dir.file("s.txt"));
  return run;
}

// Each finger line names the sector it most likely came from: the position the last
// GPS record placed on the map reaches the cell search through the data state.
void expect_fingers_name_cells(const std::string& text) {
  static const std::regex kLocked(R"(Finger #\d PN: \d+,[^\n]*Ec/Io: -?[\d.]+ dB, \(likely CellID ([^ ]+) on ([^)]+)\))");
  int named = 0;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), kLocked); it != std::sregex_iterator(); ++it) {
    EXPECT_NE((*it)[1].str(), "Unknown");
    ++named;
  }
  EXPECT_GT(named, 100);
  // Only the searcher's Remaining pilots, which no sector radiates, stay unknown.
  static const std::regex kUnknown(R"(\n +(\w+) Pilot PN: \d+, [^\n]*likely CellID Unknown)");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), kUnknown); it != std::sregex_iterator(); ++it)
    EXPECT_EQ((*it)[1].str(), "Remaining");
}

TEST(SampleDrive, EveryPacketDecodesAndFingersNameTheirCells) {
  const SampleRun run = decode_sample({});
  ASSERT_EQ(run.status, kExitOk);
  expect_fingers_name_cells(run.text);
  // Longitude/latitude of the 3D GPS fixes; the host's own position writes stay out of the listing.
  EXPECT_NE(run.text.find("    location: -89."), std::string::npos);
  EXPECT_EQ(run.text.find("ATTR_ID_LOCATION_X"), std::string::npos);
}

TEST(SampleDrive, ProjectedPositionsAndCellsStillMeet) {
  const SampleRun run = decode_sample({"--projection", "32616"});
  ASSERT_EQ(run.status, kExitOk);
  expect_fingers_name_cells(run.text);
  // UTM zone 16N: Madison lies near easting 305 km, northing 4771 km.
  static const std::regex kLocation(R"(location: ([\d.]+), ([\d.]+))");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(run.text, m, kLocation));
  EXPECT_NEAR(std::stod(m[1]), 305000, 10000);
  EXPECT_NEAR(std::stod(m[2]), 4771000, 10000);
}

}  // namespace
}  // namespace cdmadiag::test
