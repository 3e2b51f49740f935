// The drive collector on hand-made packets (binning, events, route thinning), the report
// and the map formats on them and on the sample drive; GeoJSON read back by a strict parser.
#include "report.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cmath>
#include <fstream>
#include <limits>
#include <map>
#include <random>
#include <regex>
#include <set>

#include "app_test_util.h"
#include "framework/attributes.h"

namespace cdmadiag::test {
namespace {

// A query over one JSON document, "j" of the table "d", in SQLite's JSON functions: they
// refuse what is not strictly JSON (NaN, control characters, a trailing comma).
Lines json_query(const std::string& doc, const std::string& select) {
  if (doc.find('\0') != std::string::npos) return {"(error) a NUL byte"};
  std::string quoted;
  for (const char c : doc) quoted += c == '\'' ? std::string("''") : std::string(1, c);
  return sql_rows(":memory:", "WITH d(j) AS (SELECT '" + quoted + "') " + select);
}

ReportOptions with(std::optional<std::size_t> colour_by, const CellSiteTable* cells = nullptr,
                   const RunCounters* counters = nullptr) {
  ReportOptions o;
  o.colour_by = colour_by;
  o.cells = cells;
  o.counters = counters;
  return o;
}

// Packets of a small drive, fed one by one.
class DriveTest : public ::testing::Test {
 protected:
  void feed(double t, std::vector<WriteRecord> writes, const Fix* fix = nullptr, bool evdo = false,
            std::uint32_t device = 0, bool suspect = false) {
    PacketView p;
    p.seq = ++seq_;
    if (!std::isnan(t)) p.time_ms = std::llround(t * 1000);
    p.time_suspect = suspect;
    p.cls = evdo ? PacketClass::kEvdo : PacketClass::k1x;
    p.code = evdo ? 0x107C : 0x1019;
    p.device = device;
    p.msg = &msg_;
    p.fix = fix;
    p.writes = writes;
    target->packet(p);
  }
  static WriteRecord d(std::uint32_t id, double v, std::uint32_t index = 0) {
    return {{WriteOp::kSetDouble, 0, 0, v}, id, index, 0, 0};
  }
  static WriteRecord b(std::uint32_t id, std::uint64_t v, std::uint32_t index = 0) {
    return {{WriteOp::kSetByte, 0, v, 0}, id, index, 0, 0};
  }
  static WriteRecord none(std::uint32_t id, std::uint32_t index = 0) {
    return {{WriteOp::kSetNoValue, 0, 0, 0}, id, index, 0, 0};
  }
  static WriteRecord rx(double dbm) { return d(ATTR_ID_CDMA_MOBILE_RX_POWER, dbm); }
  static Fix at(double lat, double lon) {
    static std::uint32_t fixes = 0;
    Fix f;
    f.seq = ++fixes;
    f.latitude = lat;
    f.longitude = lon;
    return f;
  }
  const SecondRow& row(std::int64_t second, std::uint32_t device = 0) {
    for (const SecondRow& r : drive.seconds()) {
      if (r.second == second && r.device == device) return r;
    }
    throw std::runtime_error("no such second");
  }

  DriveCollector drive;
  DriveCollector* target = &drive;  // where feed() puts the packets
  COrbExpandedMessage msg_;
  std::uint32_t seq_ = 0;
  const std::size_t kRx = *measurement_index("cdma_rx_power_dbm");
};

TEST_F(DriveTest, SecondsHoldTheMeanMinAndMaxOfTheirPacketsPerDevice) {
  feed(100.0, {rx(-70)});
  feed(100.999, {none(ATTR_ID_CDMA_MOBILE_RX_POWER), rx(std::numeric_limits<double>::quiet_NaN()), rx(-80)});
  feed(101.0, {rx(-60)});                   // the next second starts on its first millisecond
  feed(100.5, {rx(-90)}, nullptr, false, 1);  // another device's packet, in the same second
  feed(NAN, {rx(-20)});                       // no time: no second
  feed(100.5, {rx(-10)}, nullptr, false, 0, true);  // a stray stamp: no second either
  drive.finish();
  ASSERT_EQ(drive.seconds().size(), 3U);
  const SecondRow& s100 = row(100);
  EXPECT_DOUBLE_EQ(*s100.value(kRx), -75.0);
  EXPECT_DOUBLE_EQ(*s100.min(kRx), -80.0);
  EXPECT_DOUBLE_EQ(*s100.max(kRx), -70.0);
  EXPECT_DOUBLE_EQ(*row(101).value(kRx), -60.0);
  EXPECT_DOUBLE_EQ(*row(100, 1).value(kRx), -90.0);
  EXPECT_EQ(*drive.summary().first_time, 100.0);
  EXPECT_EQ(*drive.summary().last_time, 101.0);
}

// A finger report's pilots: PN, Ec/Io in dB, status 7 (locked in the active set).
std::vector<WriteRecord> active_set(std::initializer_list<std::pair<std::uint32_t, double>> pilots) {
  std::vector<WriteRecord> w;
  for (const auto& [pn, ecio] : pilots) {
    w.push_back({{WriteOp::kSetDouble, 0, 0, ecio}, ATTR_ID_PN_ECIO_SET, pn, 0, 0});
    w.push_back({{WriteOp::kSetByte, 0, 7, 0}, ATTR_ID_PN_ECIO_SET_STATUS, pn, 0, 0});
  }
  return w;
}

TEST_F(DriveTest, ASameSizeActiveSetSwapIsAnEventWithThePnsAddedAndRemoved) {
  feed(10, active_set({{12, -5}, {36, -9}}));
  feed(11, active_set({{36, -9}, {12, -5}}));  // the same set, listed otherwise
  feed(12, active_set({{12, -5}, {48, -7}}));
  ASSERT_EQ(drive.events().size(), 1U);
  const DriveEvent& e = drive.events()[0];
  EXPECT_EQ(std::tuple(e.kind, *e.time_ms, e.added, e.removed),
            std::tuple(EventKind::kActiveSet, std::int64_t{12000}, std::vector<std::uint32_t>{48}, std::vector<std::uint32_t>{36}));
  EXPECT_EQ(e.details, "active set 12 36 to 12 48");
}

// The serving sector is the serving PN's likely cell at the second's position: never a
// neighbour's, and of two cells with that PN the one whose beam faces the position.
TEST_F(DriveTest, TheServingPnsBeamAwareCellNeverANeighbours) {
  CellSiteTable cells;
  std::string error;
  ASSERT_TRUE(cells.parse_csv("pn,lat,lon,sector_id,site_name,azimuth,beamwidth\n"
                              "12,43.001,-89.0,near-12,Near,0,60\n"      // near, facing away (north)
                              "12,42.990,-89.0,far-12,Far,0,60\n"        // farther, facing the position
                              "348,43.0001,-89.0,nbr-348,Next door,,\n",  // a neighbour PN, nearest of all
                              error))
      << error;
  DriveCollector with_cells(&cells);
  target = &with_cells;
  const Fix f = at(43.0, -89.0);
  std::vector<WriteRecord> w = active_set({{12, -4}});
  w.push_back(d(ATTR_ID_PN_ECIO_SET, -12, 348));  // searched (status 6), not in the active set
  w.push_back(b(ATTR_ID_PN_ECIO_SET_STATUS, 6, 348));
  feed(1, w, &f);
  with_cells.finish();
  ASSERT_EQ(with_cells.seconds().size(), 1U);
  const Serving& s = with_cells.seconds()[0].serving_1x;
  EXPECT_EQ(s.pn, 12);
  ASSERT_NE(s.cell, nullptr);
  EXPECT_EQ(s.cell->sector_id, "far-12");
  EXPECT_NEAR(s.distance_m, 1112, 2);
}

// A stamp of 0 in the middle of a drive changes no second, span or distance.
TEST_F(DriveTest, AZeroStampChangesNoSecondSpanOrDistance) {
  DriveCollector stray;
  const std::vector<Fix> fixes = {at(43.0, -89.0), at(43.001, -89.0), at(43.002, -89.0), at(43.003, -89.0)};
  for (DriveCollector* c : {&drive, &stray}) {
    target = c;
    for (std::size_t k = 0; k < fixes.size(); ++k) {
      feed(1778599182.0 + static_cast<double>(k), {rx(-70.0 - 2 * static_cast<double>(k))}, &fixes[k]);
      if (c == &stray && k == 1) feed(315964800.0, {rx(-10)}, &fixes[1], false, 0, true);
    }
    c->finish();
  }
  ASSERT_EQ(stray.seconds().size(), drive.seconds().size());
  for (std::size_t i = 0; i < drive.seconds().size(); ++i) {
    EXPECT_EQ(stray.seconds()[i].second, drive.seconds()[i].second);
    EXPECT_EQ(stray.seconds()[i].value(kRx), drive.seconds()[i].value(kRx));
  }
  EXPECT_EQ(stray.summary().first_time, drive.summary().first_time);
  EXPECT_EQ(stray.summary().last_time, drive.summary().last_time);
  EXPECT_DOUBLE_EQ(stray.summary().distance_m(), drive.summary().distance_m());
}

// A fix places its second while at most 10 s old, counted to the millisecond.
TEST_F(DriveTest, AFixPlacesSecondsUpToTenSecondsOld) {
  Fix at_limit = at(43.0, -89.0);
  at_limit.age_ms = 10000;
  Fix past_it = at_limit;
  past_it.age_ms = 10001;
  feed(10, {rx(-70)}, &at_limit);
  feed(11, {rx(-70)}, &past_it);
  drive.finish();
  EXPECT_TRUE(row(10).fix);
  EXPECT_FALSE(row(11).fix);
}

TEST_F(DriveTest, EventsFromConnectionWrites) {
  feed(10, {b(ATTR_ID_EVDO_CONNECTIONATTEMPT_RESULT, 15)}, nullptr, true);
  feed(11, {b(ATTR_ID_EVDO_CONNECTIONATTEMPT_RESULT, 3)}, nullptr, true);
  feed(12, {b(ATTR_ID_EVDO_CONNECTIONRELEASE_REASON, 1)}, nullptr, true);
  feed(13, {b(ATTR_ID_EVDO_ACCESSATTEMPT_RESULT, 0)}, nullptr, true);
  feed(14, {b(ATTR_ID_EVDO_ACCESSATTEMPT_RESULT, 1)}, nullptr, true);  // acknowledged: no event
  feed(NAN, {b(ATTR_ID_EVDO_CONNECTIONRELEASE_REASON, 2)}, nullptr, true);  // goes with the time before
  std::vector<std::tuple<std::int64_t, EventKind, bool>> got;
  for (const DriveEvent& e : drive.events()) got.emplace_back(*e.time_ms, e.kind, e.failure);
  const std::vector<std::tuple<std::int64_t, EventKind, bool>> want = {
      {10000, EventKind::kConnectionAttempt, false}, {11000, EventKind::kConnectionFailure, true},
      {12000, EventKind::kRelease, false},           {13000, EventKind::kAccessFailure, true},
      {14000, EventKind::kRelease, false}};
  EXPECT_EQ(got, want);
  EXPECT_EQ(drive.events()[1].details, "connection attempt failed: result 3");
}

TEST_F(DriveTest, RouteIsThinnedSplitIntoLegsPerDeviceAndDistancesKeptApart) {
  const std::vector<Fix> fixes = {at(43.0, -89.0), at(43.00001, -89.0), at(43.001, -89.0), at(43.002, -89.0),
                                  at(43.003, -89.0)};
  const std::optional<std::size_t> by = measurement_index("cdma_rx_power_dbm");
  feed(0, {rx(-70)}, &fixes[0]);
  feed(1, {rx(-70)}, &fixes[1]);  // 1 m on, same colour: thinned
  feed(2, {rx(-70)}, &fixes[2]);  // 110 m on
  feed(3, {rx(-100)}, &fixes[3]);  // another colour class
  feed(60, {}, &fixes[4]);          // after a gap, no value within reach
  Fix stale = fixes[4];
  stale.age_ms = 60000;
  feed(61, {}, &stale);  // a stale fix places nothing
  // The same drive on a second device: its own leg and distance, never added to the first's route.
  for (int k = 0; k < 4; ++k) feed(k, {rx(-70)}, &fixes[static_cast<std::size_t>(k)], false, 1);
  drive.finish();

  const auto route = route_points(drive, with(by));
  ASSERT_EQ(route.size(), 7U);
  EXPECT_EQ(route[1].time, 2);
  EXPECT_EQ(colour_class(scale_for(*by, drive.seconds()), *route[2].value), 1);
  EXPECT_TRUE(route[3].new_leg);
  EXPECT_FALSE(route[3].value);
  EXPECT_TRUE(route[4].new_leg);  // the second device's route starts anew
  ASSERT_EQ(drive.summary().devices.size(), 2U);
  EXPECT_NEAR(drive.summary().devices[0].distance_m, 333.6, 1.0);
  EXPECT_NEAR(drive.summary().devices[1].distance_m, 222.4, 1.0);
  // Nothing thinned at 0 m.
  EXPECT_EQ(route_points(drive, with(by), 0.0).size(), 9U);
}

TEST_F(DriveTest, ReportOfAnEmptyAndASmallDriveIsCompleteAndFinite) {
  RunCounters counters;
  counters.framing_errors = 1;
  const auto html_of = [&] { return render_report(drive, with(std::nullopt, nullptr, &counters)); };
  const std::string empty = html_of();
  EXPECT_NE(empty.find("No position fix"), std::string::npos);
  const Fix f = at(43.0, -89.0);
  feed(5, {rx(-70)}, &f);
  feed(6, {rx(std::numeric_limits<double>::infinity())}, &f);
  feed(5 + 86400.0 * 365 * 30, {}, nullptr, false, 0, true);  // a stray time stamp decades on changes nothing
  drive.finish();
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
  EXPECT_NE(html_of().find("<tr><th>Duration</th><td>0:00:01</td></tr>"), std::string::npos);
}

// The sample drive end to end: the report, and GeoJSON and KML through decode.
TEST(ReportCommand, SampleDriveReportGeojsonAndKml) {
  TempDir dir;
  const std::string& sample = kSample;
  ASSERT_EQ(cli({"report", sample, "--cells", kSampleCells, "-q", "-o", dir.file("r.html")}), kExitOk);
  const std::string html = slurp(dir.file("r.html"));
  EXPECT_NE(html.find("<g id=\"route\"><g class=\"dev\" data-device=\"0\"><g class=\"casing\""), std::string::npos);
  EXPECT_NE(html.find("Capitol Square"), std::string::npos);
  EXPECT_EQ(html.find("no values in this drive"), std::string::npos);
  EXPECT_EQ(html.find("class=\"sector\""), std::string::npos);  // no azimuths listed
  // Every '<' outside the scripts opens markup: text such as a legend's "< -15" is escaped.
  for (std::size_t p = html.find('<'); p != std::string::npos; p = html.find('<', p + 1)) {
    const char next = html.at(p + 1);
    ASSERT_TRUE(std::isalpha(static_cast<unsigned char>(next)) || next == '/' || next == '!') << html.substr(p, 40);
    if (html.compare(p, 7, "<script") == 0) p = html.find("</script>", p);
  }
  // Legs drawn in their technology's colours: 1x and EV-DO never share one.
  static const std::regex leg(R"re(<polyline class="(cdma|evdo)" stroke="(#[0-9a-f]{6})")re");
  std::map<std::string, std::set<std::string>> colours;
  for (auto m = std::sregex_iterator(html.begin(), html.end(), leg); m != std::sregex_iterator(); ++m) {
    colours[(*m)[1]].insert((*m)[2]);
  }
  ASSERT_EQ(colours.size(), 2U);
  colours["cdma"].erase("#9a9a9a");  // no value: grey on both
  colours["evdo"].erase("#9a9a9a");
  for (const std::string& c : colours["cdma"]) EXPECT_EQ(colours["evdo"].count(c), 0U) << c;
  EXPECT_GE(colours["cdma"].size(), 3U);
  EXPECT_GE(colours["evdo"].size(), 3U);
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
  // Every feature a point at [longitude, latitude]: the sample drive is in Wisconsin.
  const Lines geojson =
      json_query(slurp(dir.file("r.geojson")),
                 "SELECT json_valid(j), json_extract(j, '$.type'), json_array_length(j, '$.features'),"
                 " (SELECT count(*) FROM json_each(j, '$.features') f"
                 "  WHERE json_extract(f.value, '$.type') = 'Feature'"
                 "  AND json_extract(f.value, '$.geometry.type') = 'Point'"
                 "  AND json_array_length(f.value, '$.geometry.coordinates') = 2"
                 "  AND abs(json_extract(f.value, '$.geometry.coordinates[0]') + 89.4) < 0.2"
                 "  AND abs(json_extract(f.value, '$.geometry.coordinates[1]') - 43.1) < 0.2) FROM d");
  ASSERT_EQ(geojson.size(), 1U);
  const std::string features = geojson[0].substr(geojson[0].rfind('|') + 1);
  EXPECT_EQ(geojson[0], "1|FeatureCollection|" + features + "|" + features);
  EXPECT_GT(std::stoul(features), 100U);

  ASSERT_EQ(cli({"decode", "--format", "kml", "-q", "-o", dir.file("r.kml"), sample}), kExitOk);
  const std::string kml = slurp(dir.file("r.kml"));
  EXPECT_TRUE(kml.ends_with("</kml>\n"));
  std::size_t points = 0;
  for (auto p = kml.find("<Point>"); p != std::string::npos; p = kml.find("<Point>", p + 1)) ++points;
  EXPECT_EQ(std::to_string(points), features);
}

// Sixty thousand sectors around a route: each site drawn once (the marks of sites shared
// by sectors were once found by comparing every pair, seven seconds here).
TEST_F(DriveTest, ALongCellListNearTheRouteDrawsQuickly) {
  for (int t = 0; t < 4; ++t) {
    const Fix f = at(43.08, -89.38 + t * 0.01);
    feed(t, {rx(-70)}, &f);
  }
  drive.finish();
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
  const std::string html = render_report(drive, with(std::nullopt, &cells));
  std::size_t sites = 0;
  for (auto p = html.find("<rect class=\"site\""); p != std::string::npos; p = html.find("<rect class=\"site\"", p + 1)) {
    ++sites;
  }
  EXPECT_EQ(sites, 20000U);
}

// The events table names each PN added or removed with its likely sector at the event's
// place, by the beam rule: a farther sector facing the place wins over a nearer one
// facing away. Without a cell list, the PNs alone.
TEST_F(DriveTest, TheEventsTableNamesTheSectorsOfThePnsAddedAndRemoved) {
  CellSiteTable cells;
  std::string error;
  ASSERT_TRUE(cells.parse_csv("pn,lat,lon,sector_id,site_name,azimuth,beamwidth\n"
                              "12,43.0,-89.01,101-1,Alpha,,\n"
                              "444,43.001,-89.0,near-444,Near,0,60\n"   // near, facing away (north)
                              "444,42.990,-89.0,far-444,Far,0,60\n",    // farther, facing the place
                              error))
      << error;
  const Fix f = at(43.0, -89.0);
  feed(10, active_set({{12, -5}}), &f);
  feed(11, active_set({{12, -5}, {444, -9}}), &f);
  feed(12, active_set({{444, -6}}), &f);
  drive.finish();
  const std::string named = render_report(drive, with(std::nullopt, &cells));
  const std::string plain = render_report(drive, {});
  const auto row = [](const std::string& html, int i) {
    const std::size_t from = html.find(fmt::format("<tr id=\"ev{}\"", i));
    return from == std::string::npos ? std::string() : html.substr(from, html.find("</tr>", from) - from);
  };
  EXPECT_NE(row(named, 0).find("<td>444 <span class=\"cell\">(far-444, Far)</span></td><td></td>"), std::string::npos)
      << row(named, 0);
  EXPECT_NE(row(named, 1).find("<td></td><td>12 <span class=\"cell\">(101-1, Alpha)</span></td>"), std::string::npos)
      << row(named, 1);
  EXPECT_NE(row(plain, 0).find("<td>active set</td><td>444</td><td></td>"), std::string::npos) << row(plain, 0);
  EXPECT_EQ(plain.find("class=\"cell\""), std::string::npos);
}

// A count's axis and legend keep to whole numbers: no tick or class at 1.5 pilots.
TEST_F(DriveTest, CountsGetWholeTicksAndClasses) {
  const Fix f = at(43.0, -89.0);
  const auto pilots = [](double n) { return d(ATTR_ID_NUM_ACTIVE_PILOTS, n); };
  feed(10, {pilots(1), rx(-70)}, &f);
  feed(11, {pilots(2)}, &f);
  feed(11.5, {pilots(3)}, &f);  // 2.5 pilots over second 11
  feed(12, {pilots(3)}, &f);
  drive.finish();
  const std::string html = render_report(drive, with(measure_by_key("aset")));
  // The first chart has Ec/Io on the left axis and the active set on the right one.
  const std::size_t from = html.find("<svg class=\"chart\"");
  const std::string chart = html.substr(from, html.find("</svg>", from) - from);
  static const std::regex right_tick(R"re(class="tick" x="[^"]*" y="[^"]*" text-anchor="start">([^<]*)<)re");
  std::vector<std::string> ticks;
  for (auto m = std::sregex_iterator(chart.begin(), chart.end(), right_tick); m != std::sregex_iterator(); ++m) {
    ticks.push_back((*m)[1]);
  }
  EXPECT_EQ(ticks, (std::vector<std::string>{"1", "2", "3"})) << chart;
  const std::size_t legend = html.find("<g class=\"legrow\"");
  const std::string row = html.substr(legend, html.find("</g>", legend) - legend);
  EXPECT_NE(row.find(">\u2264 1<"), std::string::npos) << row;
  EXPECT_NE(row.find(">\u2265 2<"), std::string::npos) << row;
  EXPECT_EQ(row.find("1.5"), std::string::npos) << row;
  EXPECT_NE(html.find("\u2265 2: 67%"), std::string::npos);  // the summary's shares too
}

// Two overlapping devices: a series each, a distribution line each and the event counts
// side by side; one device has no comparison at all.
TEST_F(DriveTest, TheComparisonOfDevicesIsThereOnlyWithTwo) {
  DriveCollector one;
  for (DriveCollector* c : {&one, &drive}) {
    target = c;
    const Fix f = at(43.0, -89.0);
    for (int t = 0; t < 20; ++t) feed(t, {rx(-70 - t), d(ATTR_ID_CDMA_MOBILE_TX_POWER, 3)}, &f);
    feed(5, {b(ATTR_ID_EVDO_CONNECTIONATTEMPT_RESULT, 3)}, &f, true);
    if (c == &drive) {
      for (int t = 0; t < 20; ++t) feed(t, {rx(-90 + t)}, &f, false, 1);
    }
    c->finish();
  }
  const std::string single = render_report(one, {});
  const std::string pair = render_report(drive, {});
  EXPECT_EQ(single.find("id=\"compare\""), std::string::npos);
  EXPECT_EQ(single.find("data-device=\"1\""), std::string::npos);
  EXPECT_NE(pair.find("id=\"compare\""), std::string::npos);
  EXPECT_NE(pair.find("class=\"series\" data-device=\"1\""), std::string::npos);
  EXPECT_NE(pair.find("class=\"cdfline\" data-device=\"0\""), std::string::npos);
  EXPECT_NE(pair.find("class=\"cdfline\" data-device=\"1\""), std::string::npos);
  EXPECT_NE(pair.find("<tr><td>connection failure</td><td>1</td><td>0</td></tr>"), std::string::npos);
  // Device 1's 1x Tx power has no values: its line is left out, not drawn flat.
  EXPECT_NE(pair.find("device 1: no values"), std::string::npos);
}

// Names from the cell list go into the page's data as text: nothing in them can end the
// script element or start another, and the data stays one JSON document with a point
// per route point.
TEST_F(DriveTest, HostileCellNamesStayTextInThePagesData) {
  CellSiteTable cells;
  std::string error;
  ASSERT_TRUE(cells.parse_csv("pn,lat,lon,sector_id,site_name\n"
                              "12,43.0,-89.01,<!--,</script><script>alert(1)</script>\n",
                              error))
      << error;
  DriveCollector with_cells(&cells);
  target = &with_cells;
  for (int t = 0; t < 5; ++t) {
    const Fix f = at(43.0 + t * 0.001, -89.0);
    feed(t, active_set({{12, -5}}), &f);
  }
  with_cells.finish();
  const std::string html = render_report(with_cells, with(std::nullopt, &cells));
  EXPECT_EQ(html.find("<script>alert"), std::string::npos);
  EXPECT_EQ(html.find("<!--"), std::string::npos);
  const std::size_t from = html.find("<script type=\"application/json\" id=\"map-data\">");
  ASSERT_NE(from, std::string::npos);
  const std::size_t body = html.find('>', from) + 1;
  const Lines data = json_query(html.substr(body, html.find("</script>", body) - body),
                                "SELECT json_array_length(j, '$.servers'), json_extract(j, '$.servers[0]'),"
                                " json_array_length(j, '$.pts'), (SELECT count(*) FROM json_each(j, '$.pts') p"
                                "  WHERE json_array_length(p.value) = 7 + json_array_length(j, '$.cols')) FROM d");
  const std::string points = std::to_string(route_points(with_cells, {}).size());
  EXPECT_EQ(data, Lines{"1|PN 12: <!--, </script><script>alert(1)</script>|" + points + "|" + points});
}

// --tiles takes only an http(s) template with {z}, {x} and {y} and nothing that would need
// escaping; the page may then fetch images from that server and nothing else, and
// without --tiles nothing at all.
TEST(ReportTiles, TemplatesAreCheckedAndThePageFetchesOnlyFromTheirServer) {
  const std::vector<std::pair<std::string, bool>> templates = {
      {"https://{s}.tile.example.org/{z}/{x}/{y}.png", true},
      {"HTTP://127.0.0.1:8080/t/{z}/{x}/{y}?key=a&b=%3C", true},
      {"javascript:alert(1)//{z}/{x}/{y}", false},
      {"file:///srv/tiles/{z}/{x}/{y}.png", false},
      {"//tile.example.org/{z}/{x}/{y}.png", false},
      {"https://tile.example.org/{z}/{x}.png", false},
      {"https://tile.example.org/{z}/{x}/{y}.png\"><script>", false},
      {"https://tile.example.org/{z}/{x}/{y}</script>", false},
      {"https://tile.example.org/{z}/{x}/{y} .png", false},
      {"https://tile.example.org/{z}/{x}/{y}/{q}.png", false},
      {"https://tile.example.org/{z}/{x}/{y", false},
      {"https:///{z}/{x}/{y}.png", false},
      {"https://user:pw@tile.example.org/{z}/{x}/{y}.png", false},
      {"https://tile.example.org/\xc3\xa9/{z}/{x}/{y}.png", false},
  };
  for (const auto& [t, ok] : templates) EXPECT_EQ(tile_template_problem(t).empty(), ok) << t;

  TempDir dir;
  const std::string& sample = kSample;
  EXPECT_EQ(cli({"report", sample, "--tiles", "file:///x/{z}/{x}/{y}.png", "-q", "-o", dir.file("x.html")}), kExitUsage);
  ASSERT_EQ(cli({"report", sample, "-q", "-o", dir.file("none.html")}), kExitOk);
  ASSERT_EQ(cli({"report", sample, "--tiles", templates[0].first, "-q", "-o", dir.file("s.html")}), kExitOk);
  ASSERT_EQ(cli({"report", sample, "--tiles", templates[1].first, "-q", "-o", dir.file("port.html")}), kExitOk);
  const std::string none = slurp(dir.file("none.html"));
  const std::string policy = "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; ";
  EXPECT_NE(none.find(policy), std::string::npos);
  EXPECT_EQ(none.find("img-src"), std::string::npos);
  EXPECT_FALSE(std::regex_search(none, std::regex(R"(https?:|src=|url\((?!#))", std::regex::icase)));
  EXPECT_NE(none.find("\"tiles\":null"), std::string::npos);

  const std::string with_s = slurp(dir.file("s.html"));
  EXPECT_NE(with_s.find("; img-src https://*.tile.example.org\">"), std::string::npos);
  const std::string with_port = slurp(dir.file("port.html"));
  EXPECT_NE(with_port.find("; img-src http://127.0.0.1:8080\">"), std::string::npos);
  EXPECT_NE(with_port.find(R"("tiles":"HTTP://127.0.0.1:8080/t/{z}/{x}/{y}?key=a\u0026b=%3C")"), std::string::npos);
  EXPECT_NE(with_port.find(">map tiles: 127.0.0.1:8080</text>"), std::string::npos);
}

}  // namespace
}  // namespace cdmadiag::test
