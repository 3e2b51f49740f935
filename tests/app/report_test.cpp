// The drive collector on hand-made packets (binning, events, route thinning), the report
// and the map formats on them and on the sample drive; GeoJSON read back by a strict parser.
#include "report.h"

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cmath>
#include <fstream>
#include <limits>
#include <map>
#include <random>
#include <regex>
#include <sstream>
#include <variant>

#include "app_test_util.h"
#include "framework/attributes.h"

namespace cdmadiag::test {
namespace {

// A strict JSON reader for the checks: a value tree or a parse failure.
struct Json {
  std::variant<std::nullptr_t, bool, double, std::string, std::vector<Json>, std::map<std::string, Json>> v;
};
class JsonParser {
 public:
  explicit JsonParser(std::string_view s) : s_(s) {}
  Json parse() {
    Json j = value();
    ws();
    if (i_ != s_.size()) fail();
    return j;
  }

 private:
  [[noreturn]] void fail() { throw std::runtime_error("bad JSON at " + std::to_string(i_)); }
  void ws() {
    while (i_ < s_.size() && std::strchr(" \t\r\n", s_[i_]) != nullptr) ++i_;
  }
  bool eat(char c) {
    ws();
    if (i_ < s_.size() && s_[i_] == c) return ++i_, true;
    return false;
  }
  std::string str() {
    if (!eat('"')) fail();
    std::string out;
    while (i_ < s_.size() && s_[i_] != '"') {
      if (static_cast<unsigned char>(s_[i_]) < 0x20) fail();
      if (s_[i_] == '\\') ++i_;
      out += s_[i_++];
    }
    if (i_++ >= s_.size()) fail();
    return out;
  }
  Json value() {
    ws();
    if (i_ >= s_.size()) fail();
    const char c = s_[i_];
    if (c == '{') {
      ++i_;
      std::map<std::string, Json> m;
      if (!eat('}')) {
        do {
          std::string k = str();
          if (!eat(':')) fail();
          m[k] = value();
        } while (eat(','));
        if (!eat('}')) fail();
      }
      return {std::move(m)};
    }
    if (c == '[') {
      ++i_;
      std::vector<Json> a;
      if (!eat(']')) {
        do a.push_back(value());
        while (eat(','));
        if (!eat(']')) fail();
      }
      return {std::move(a)};
    }
    if (c == '"') return {str()};
    for (const auto& [word, val] : {std::pair{"null", Json{nullptr}}, {"true", Json{true}}, {"false", Json{false}}}) {
      if (s_.substr(i_).starts_with(word)) return i_ += std::strlen(word), val;
    }
    static const std::regex number(R"(^-?(0|[1-9]\d*)(\.\d+)?([eE][+-]?\d+)?)");
    std::cmatch m;
    if (!std::regex_search(s_.data() + i_, s_.data() + s_.size(), m, number)) fail();
    i_ += static_cast<std::size_t>(m.length(0));
    return {std::stod(m.str(0))};
  }
  std::string_view s_;
  std::size_t i_ = 0;
};
const auto& obj(const Json& j) { return std::get<std::map<std::string, Json>>(j.v); }
const auto& arr(const Json& j) { return std::get<std::vector<Json>>(j.v); }

// Packets of a small drive, fed one by one.
class DriveTest : public ::testing::Test {
 protected:
  void feed(double t, std::vector<WriteRecord> writes, const Fix* fix = nullptr, bool evdo = false) {
    PacketView p;
    p.seq = ++seq_;
    if (!std::isnan(t)) p.time_ms = std::llround(t * 1000);
    p.cls = evdo ? PacketClass::kEvdo : PacketClass::k1x;
    p.code = evdo ? 0x107C : 0x1019;
    p.msg = &msg_;
    p.fix = fix;
    p.writes = writes;
    drive.packet(p);
  }
  static WriteRecord d(std::uint32_t id, double v, std::uint32_t index = 0) {
    return {id, index, WriteOp::kSetDouble, 0, 0, v, 0, 0};
  }
  static WriteRecord b(std::uint32_t id, std::uint64_t v, std::uint32_t index = 0) {
    return {id, index, WriteOp::kSetByte, 0, v, 0, 0, 0};
  }
  static WriteRecord none(std::uint32_t id, std::uint32_t index = 0) {
    return {id, index, WriteOp::kSetNoValue, 0, 0, 0, 0, 0};
  }
  static Fix at(double lat, double lon) {
    static std::uint32_t fixes = 0;
    Fix f;
    f.seq = ++fixes;
    f.latitude = lat;
    f.longitude = lon;
    return f;
  }

  DriveCollector drive;
  COrbExpandedMessage msg_;
  std::uint32_t seq_ = 0;
};

TEST_F(DriveTest, MeasurementsAreMeansPerSecondOfIndexZeroValues) {
  feed(100.2, {d(ATTR_ID_1ST_PILOT_EcIo, -5), d(ATTR_ID_EVDO_AIRLINKSUMMARY_DATA_RATE_REQ_SHORT_TERM_LAST, 2457600)});
  feed(100.7, {d(ATTR_ID_1ST_PILOT_EcIo, -7), none(ATTR_ID_1ST_PILOT_EcIo),
               d(ATTR_ID_1ST_PILOT_EcIo, std::numeric_limits<double>::quiet_NaN())});
  // Rank 1 is not the best pilot; a packet without time has no second.
  feed(101.0, {d(ATTR_ID_EVDO_MCAIRLINKSUMMARY_BEST_ASP_SINR_C1, 9, 0),
               d(ATTR_ID_EVDO_MCAIRLINKSUMMARY_BEST_ASP_SINR_C1, 1, 1)});
  feed(NAN, {d(ATTR_ID_1ST_PILOT_EcIo, -20)});

  ASSERT_EQ(drive.seconds().size(), 2U);
  const SecondBin& s100 = drive.seconds().at(100);
  EXPECT_DOUBLE_EQ(*s100.mean(Measure::kEcIo), -6.0);
  EXPECT_DOUBLE_EQ(*s100.mean(Measure::kDrc), 2457.6);  // bps shown in kbps
  EXPECT_FALSE(s100.mean(Measure::kSinr));
  EXPECT_DOUBLE_EQ(*drive.seconds().at(101).mean(Measure::kSinr), 9.0);
  EXPECT_EQ(drive.summary().without_time, 1U);
  EXPECT_EQ(drive.summary().packets, 4U);
}

TEST_F(DriveTest, EventsFromConnectionWritesAndActiveSetChanges) {
  feed(10, {b(ATTR_ID_EVDO_CONNECTIONATTEMPT_RESULT, 15)}, nullptr, true);
  feed(11, {b(ATTR_ID_EVDO_CONNECTIONATTEMPT_RESULT, 3)}, nullptr, true);
  feed(12, {b(ATTR_ID_EVDO_CONNECTIONRELEASE_REASON, 1)}, nullptr, true);
  feed(13, {{ATTR_ID_EVDO_ACCESSATTEMPT_FAILED, 0, WriteOp::kSetLong, 1, 0, 0, 0, 0}}, nullptr, true);
  feed(14, {b(ATTR_ID_NUM_ACTIVE_PILOTS, 1)});
  feed(15, {b(ATTR_ID_NUM_ACTIVE_PILOTS, 1)});
  feed(16, {b(ATTR_ID_NUM_ACTIVE_PILOTS, 2)});
  feed(17, {d(ATTR_ID_EVDO_PILOTSETSVER2_ACTIVE_PILOTS_ECIO_FOR_PN, -3, 12)}, nullptr, true);
  // A pilot cleared below the threshold is not in the set; the same set again is no handoff.
  feed(18,
       {d(ATTR_ID_EVDO_PILOTSETSVER2_ACTIVE_PILOTS_ECIO_FOR_PN, -3, 12),
        none(ATTR_ID_EVDO_PILOTSETSVER2_ACTIVE_PILOTS_ECIO_FOR_PN, 36)},
       nullptr, true);
  feed(19,
       {d(ATTR_ID_EVDO_PILOTSETSVER2_ACTIVE_PILOTS_ECIO_FOR_PN, -3, 36),
        d(ATTR_ID_EVDO_PILOTSETSVER2_ACTIVE_PILOTS_ECIO_FOR_PN, -5, 12)},
       nullptr, true);

  std::vector<std::pair<double, EventKind>> got;
  for (const DriveEvent& e : drive.events()) got.emplace_back(e.time, e.kind);
  const std::vector<std::pair<double, EventKind>> want = {
      {10, EventKind::kAttempt}, {11, EventKind::kAttempt}, {11, EventKind::kFailure}, {12, EventKind::kRelease},
      {13, EventKind::kFailure}, {16, EventKind::kHandoff}, {19, EventKind::kHandoff}};
  EXPECT_EQ(got, want);
  EXPECT_EQ(drive.events().back().text, "EV-DO active set 12 to 12 36");
}

TEST_F(DriveTest, RouteIsThinnedSplitIntoLegsAndColouredByLeg) {
  const std::vector<Fix> fixes = {at(43.0, -89.0), at(43.00001, -89.0), at(43.001, -89.0), at(43.002, -89.0),
                                  at(43.003, -89.0)};
  feed(0, {d(ATTR_ID_1ST_PILOT_EcIo, -5)}, &fixes[0]);
  feed(1, {d(ATTR_ID_1ST_PILOT_EcIo, -5)}, &fixes[1]);  // 1 m on, same colour: thinned
  feed(2, {d(ATTR_ID_1ST_PILOT_EcIo, -5)}, &fixes[2]);  // 110 m on
  feed(3, {d(ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL1_BEST_ASP_FILTERED_SINR_FOR_PN, -2)}, &fixes[3], true);  // EV-DO leg
  feed(60, {}, &fixes[4]);  // after a gap, no value within reach
  Fix stale = fixes[4];
  stale.age_ms = 60000;
  feed(61, {}, &stale);  // a stale fix places nothing

  const auto route = route_points(drive, {});
  ASSERT_EQ(route.size(), 4U);
  EXPECT_EQ(route[1].time, 2);
  EXPECT_EQ(route[2].measure, Measure::kSinr);
  EXPECT_EQ(colour_class(route[2].measure, *route[2].value), 0);
  EXPECT_TRUE(route[3].new_leg);
  EXPECT_FALSE(route[3].value);
  EXPECT_NEAR(drive.summary().distance_m, 333.6, 1.0);
  // A chosen measure colours every point; nothing thinned at 0 m.
  EXPECT_EQ(route_points(drive, {Measure::kRx, nullptr}, 0.0).size(), 5U);
}

TEST_F(DriveTest, ReportOfAnEmptyAndASmallDriveIsCompleteAndFinite) {
  const auto html_of = [&] { return render_report(drive, {}); };
  const std::string empty = html_of();
  EXPECT_NE(empty.find("No position fix"), std::string::npos);
  const Fix f = at(43.0, -89.0);
  feed(5, {d(ATTR_ID_1ST_PILOT_EcIo, -5), d(ATTR_ID_CDMA_MOBILE_RX_POWER, -70)}, &f);
  feed(6, {d(ATTR_ID_1ST_PILOT_EcIo, std::numeric_limits<double>::infinity())}, &f);
  drive.framing_error();
  feed(5 + 86400.0 * 365 * 30, {});  // a stray time stamp decades on keeps the time axis small
  for (const std::string& html : {empty, html_of()}) {
    EXPECT_LT(html.size(), 100000U);
    EXPECT_TRUE(html.starts_with("<!DOCTYPE html>"));
    EXPECT_TRUE(html.ends_with("</html>\n"));
    EXPECT_EQ(std::regex_search(html, std::regex("nan|inf|src=|https?:")), false);
    std::ptrdiff_t charts = 0;
    for (auto p = html.find("class=\"chart\""); p != std::string::npos; p = html.find("class=\"chart\"", p + 1))
      ++charts;
    EXPECT_EQ(charts, 6);
  }
  EXPECT_NE(html_of().find("<tr><th>Framing errors</th><td>1</td></tr>"), std::string::npos);
}

// The sample drive end to end: the report, and GeoJSON and KML through decode.
TEST(ReportCommand, SampleDriveReportGeojsonAndKml) {
  TempDir dir;
  const std::string sample = std::string(CDMADIAG_SOURCE_DIR) + "/examples/sample.hdlc";
  const std::string cells = std::string(CDMADIAG_SOURCE_DIR) + "/examples/cells.csv";
  ASSERT_EQ(cli({"report", sample, "--cells", cells, "-q", "-o", dir.file("r.html")}), kExitOk);
  const std::string html = slurp(dir.file("r.html"));
  EXPECT_NE(html.find("<g id=\"route\"><polyline"), std::string::npos);
  EXPECT_NE(html.find("Capitol Square"), std::string::npos);
  EXPECT_EQ(html.find("no values in this drive"), std::string::npos);
  EXPECT_EQ(html.find("class=\"sector\""), std::string::npos);  // no azimuths listed
  // Every '<' opens markup: text such as a legend's "< -15" is escaped.
  for (std::size_t p = html.find('<'); p != std::string::npos; p = html.find('<', p + 1)) {
    const char next = html.at(p + 1);
    ASSERT_TRUE(std::isalpha(static_cast<unsigned char>(next)) || next == '/' || next == '!') << html.substr(p, 40);
  }
  EXPECT_EQ(cli({"report", sample, "--colour-by", "bogus", "-o", dir.file("x.html")}), kExitUsage);
  // With an azimuth column, each sector near the route shows its direction.
  const std::string aimed = dir.write("aimed.csv", {});
  std::ofstream(aimed) << "pn,latitude,longitude,sector_id,site_name,azimuth\n"
                          "12,43.0735,-89.3835,101-1,Capitol Square,0\n180,43.0735,-89.3835,101-2,Capitol Square,120\n";
  ASSERT_EQ(cli({"report", sample, "--cells", aimed, "-q", "-o", dir.file("a.html")}), kExitOk);
  const std::string with_beams = slurp(dir.file("a.html"));
  std::size_t sectors = 0;
  for (auto p = with_beams.find("class=\"sector\""); p != std::string::npos; p = with_beams.find("class=\"sector\"", p + 1))
    ++sectors;
  EXPECT_EQ(sectors, 2U);

  ASSERT_EQ(cli({"decode", "--format", "geojson", "-q", "-o", dir.file("r.geojson"), sample}), kExitOk);
  const Json doc = JsonParser(slurp(dir.file("r.geojson"))).parse();
  EXPECT_EQ(std::get<std::string>(obj(doc).at("type").v), "FeatureCollection");
  const auto& features = arr(obj(doc).at("features"));
  EXPECT_GT(features.size(), 100U);
  for (const Json& feature : features) {
    EXPECT_EQ(std::get<std::string>(obj(feature).at("type").v), "Feature");
    const auto& geometry = obj(obj(feature).at("geometry"));
    EXPECT_EQ(std::get<std::string>(geometry.at("type").v), "Point");
    const auto& c = arr(geometry.at("coordinates"));
    ASSERT_EQ(c.size(), 2U);
    // [longitude, latitude]: the sample drive is in Wisconsin.
    EXPECT_NEAR(std::get<double>(c[0].v), -89.4, 0.2);
    EXPECT_NEAR(std::get<double>(c[1].v), 43.1, 0.2);
    for (const auto& [key, value] : obj(obj(feature).at("properties"))) {
      if (key != "leg") {
        EXPECT_TRUE(std::isfinite(std::get<double>(value.v))) << key;
      }
    }
  }

  ASSERT_EQ(cli({"decode", "--format", "kml", "-q", "-o", dir.file("r.kml"), sample}), kExitOk);
  const std::string kml = slurp(dir.file("r.kml"));
  EXPECT_TRUE(kml.ends_with("</kml>\n"));
  std::size_t points = 0;
  for (auto p = kml.find("<Point>"); p != std::string::npos; p = kml.find("<Point>", p + 1)) ++points;
  EXPECT_EQ(points, features.size());
}

// The line to the serving sector follows the decoders' rule: a sector whose beam covers
// the position wins over a nearer one facing away.
TEST(ReportCommand, ServingLinesGoToASectorThatFacesThePosition) {
  TempDir dir;
  const std::string sample = std::string(CDMADIAG_SOURCE_DIR) + "/examples/sample.hdlc";
  // Each listed PN twice: at its site with a 1-degree beam to the north, and 20 km south
  // radiating all round.
  std::ifstream listed(std::string(CDMADIAG_SOURCE_DIR) + "/examples/cells.csv");
  std::ostringstream csv;
  csv << "pn,latitude,longitude,sector_id,azimuth,beamwidth\n";
  std::string line;
  std::getline(listed, line);
  while (std::getline(listed, line)) {
    std::istringstream fields(line);
    std::string pn, lat, lon;
    std::getline(fields, pn, ',');
    std::getline(fields, lat, ',');
    std::getline(fields, lon, ',');
    csv << pn << ',' << lat << ',' << lon << ",near,0,1\n" << pn << ',' << std::stod(lat) - 0.18 << ',' << lon << ",far,,\n";
  }
  const std::string cells = dir.write("cells.csv", {});
  std::ofstream(cells) << csv.str();
  ASSERT_EQ(cli({"report", sample, "--cells", cells, "-q", "-o", dir.file("r.html")}), kExitOk);
  const std::string html = slurp(dir.file("r.html"));
  const std::size_t from = html.find("<g id=\"serving\">");
  const std::string serving = html.substr(from, html.find("<g id=\"route\">") - from);
  std::size_t near = 0, far = 0;
  for (auto p = serving.find(" near</title>"); p != std::string::npos; p = serving.find(" near</title>", p + 1)) ++near;
  for (auto p = serving.find(" far</title>"); p != std::string::npos; p = serving.find(" far</title>", p + 1)) ++far;
  EXPECT_GT(far, 10U);
  EXPECT_LT(near, far / 4);
}

// Sixty thousand sectors around a route draw in well under seconds: the marks of sites
// shared by sectors were found by comparing every pair (seven seconds here before).
TEST_F(DriveTest, ALongCellListNearTheRouteDrawsQuickly) {
  for (int t = 0; t < 4; ++t) {
    const Fix f = at(43.08, -89.38 + t * 0.01);
    feed(t, {d(ATTR_ID_1ST_PILOT_EcIo, -5)}, &f);
  }
  CellSiteTable cells;
  std::mt19937 rng(45);
  std::uniform_real_distribution<double> lat(43.06, 43.10), lon(-89.40, -89.33);
  std::string names;
  for (int s = 0; s < 20000; ++s) {
    const double a = lat(rng), o = lon(rng);
    for (int k = 0; k < 3; ++k) {
      const std::string sector = std::to_string(s) + "-" + std::to_string(k);
      cells.add(CellSite{static_cast<unsigned>(s * 3 + k) % 512, a, o, sector, "S"}, CellBeam{k * 120.0, {}});
    }
  }
  const auto start = std::chrono::steady_clock::now();
  const std::string html = render_report(drive, {std::nullopt, &cells});
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 3.0);
  std::size_t sites = 0;
  for (auto p = html.find("<rect class=\"site\""); p != std::string::npos; p = html.find("<rect class=\"site\"", p + 1)) {
    ++sites;
  }
  EXPECT_EQ(sites, 20000U);
}

}  // namespace
}  // namespace cdmadiag::test
