// Cell-site list: CSV loading, property objects and the nearest-cell search.
#include "host/cell_refs.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <random>
#include <sstream>

#include "host/map_projections.h"

namespace {

std::string text_of(const PropertyValue& v) {
  const auto* s = std::get_if<std::string>(&v);
  return s != nullptr ? *s : "<not text>";
}

const IDekPropertyObject* object_of(const PropertyValue& v) {
  const auto* p = std::get_if<const IDekPropertyObject*>(&v);
  return p != nullptr ? *p : nullptr;
}

struct Stale final : IDekPropertyObject {
  PropertyValue GetProperty(const char*) const override { return {}; }
};

// Search must overwrite what the out pointer held, with null when nothing matches.
const IDekPropertyObject* search(CellSiteTable& table, unsigned pn, double x = 0.0, double y = 0.0) {
  static const Stale stale;
  const IDekPropertyObject* cell = &stale;
  table.Search(pn, x, y, &cell);
  return cell;
}

std::string find(CellSiteTable& table, unsigned pn, double x, double y) {
  const IDekPropertyObject* cell = search(table, pn, x, y);
  return cell != nullptr ? text_of(cell->GetProperty("Sector_ID")) : "<none>";
}

TEST(CellSiteCsv, ABadLineIsNamedAndAddsNothing) {
  const std::pair<const char*, const char*> cases[] = {
      {"pn,lat,lon,sector,site\n1,2,3,4,5\n1,2,3,4\n", "line 3: expected 5 fields as in the header, found 4"},
      {"1,2,3,4\n", "line 1: expected 5 to 7 fields (pn,latitude,longitude,sector_id,site_name[,azimuth[,beamwidth]]), "
                    "found 4"},
      {"pn,lat,sector\n1,2,3\n", "line 1: the header has no 'longitude' column (needs pn, latitude, longitude)"},
      {"PN,Lat,Lon,Latitude\n", "line 1: the header names column 'latitude' twice"},
      {"1,2,3,\"a\"b,5\n", "line 1: text after a closing quote"},
      {"1,2,3,4,5\n\n2,2,3,\"4\n,5\n", "line 3: a quoted field is not closed"},
      {"pn,latitude,longitude,azimuth\n1,2,3,north\n", "line 2: azimuth 'north' is not a number of degrees from 0 to 360"},
      {"1,2,3,4,5,90,0\n", "line 1: beamwidth '0' is not a number of degrees above 0, at most 360"},
      {"1,2,3,4,5\n-1,2,3,4,5\n", "line 2: PN '-1' is not a number from 0 to 511"},
      {"512,2,3,4,5\n", "line 1: PN '512' is not a number from 0 to 511"},
      {"1,nan,3,4,5\n", "line 1: latitude 'nan' is not a number from -90 to 90"},
      {"1,2,3x,4,5\n", "line 1: longitude '3x' is not a number from -180 to 180"},
      {"1,2,-180.5,4,5\n", "line 1: longitude '-180.5' is not a number from -180 to 180"},
      {"1,2,3,4,5\npn,latitude,longitude,sector_id,site_name\n", "line 2: PN 'pn' is not a number from 0 to 511"},
  };
  for (const auto& [text, message] : cases) {
    CellSiteTable table;
    std::string error;
    EXPECT_FALSE(table.parse_csv(text, error));
    EXPECT_EQ(error, message);
    EXPECT_EQ(table.size(), 0u) << text;
  }
}

// Columns found by header name (any case, quoted, in any order, others ignored) or, without
// a header, by position; a byte-order mark, CRLF, blank lines, spaces around unquoted
// fields and signs read as they would in a spreadsheet.
TEST(CellSiteCsv, ReadsColumnsByHeaderNameOrByPosition) {
  CellSiteTable table;
  std::string error;
  ASSERT_TRUE(table.parse_csv(
      "\xEF\xBB\xBFpn,latitude,longitude,sector_id,site_name\r\n 10 , 52.52 , 13.405 , 1001 , Mitte \r\n\n"
      "+14,-33.9,+18.4,2001,Cape",
      error))
      << error;
  ASSERT_TRUE(
      table.parse_csv("\"Site Name\",Azimuth,notes,PN,Lat,Lon,\"Sector ID\"\r\n"
                      "\"Mitte, \"\"Alex\"\"\",-90,\"two\nlines\",20,52.52,13.405,\" 2002 \"\n"
                      "Tegel,,,11,52.55,13.29,1101\n",
                      error))
      << error;
  ASSERT_TRUE(table.parse_csv("12,1,2,S,Site,45.5,65\n", error)) << error;
  EXPECT_EQ(table.size(), 5u);
  EXPECT_EQ(find(table, 10, 13.405, 52.52), "1001");
  EXPECT_EQ(find(table, 14, 18.4, -33.9), "2001");
  EXPECT_EQ(find(table, 11, 13.29, 52.55), "1101");
  EXPECT_EQ(find(table, 12, 2, 1), "S");
  const IDekPropertyObject* mitte = search(table, 20, 13.405, 52.52);
  ASSERT_NE(mitte, nullptr);
  EXPECT_EQ(text_of(mitte->GetProperty("Sector_ID")), " 2002 ");  // quotes keep spaces
  EXPECT_EQ(text_of(object_of(mitte->GetProperty("CDMA_SiteIDForCell"))->GetProperty("Site_Name")), "Mitte, \"Alex\"");
}

TEST(CellSiteCsv, LoadsAFileAndReportsAMissingOne) {
  const auto path = std::filesystem::temp_directory_path() / "cdmadiag_cell_refs_test.csv";
  std::ofstream(path) << "3,1,2,S1\n";
  CellSiteTable table;
  std::string error;
  EXPECT_FALSE(table.load_csv(path.string(), error));
  EXPECT_TRUE(error.starts_with(path.string() + ": line 1: expected 5 to 7 fields")) << error;
  std::filesystem::remove(path);
  EXPECT_FALSE(table.load_csv(path.string(), error));
  EXPECT_EQ(error, "cannot open cell-site file " + path.string());
}

TEST(CellSiteProperties, CellsLeadToTheirSharedSiteAndOtherNamesAreEmpty) {
  CellSiteTable table;
  for (const unsigned pn : {10u, 20u}) table.add(CellSite{pn, 0.0, 0.0, "S", "Mitte"});
  table.add(CellSite{30, 0.0, 0.0, "S", "Tegel"});
  const auto site_of = [&](unsigned pn) { return object_of(search(table, pn)->GetProperty("CDMA_SiteIDForCell")); };
  EXPECT_EQ(site_of(20), site_of(10));
  EXPECT_EQ(text_of(site_of(20)->GetProperty("Site_Name")), "Mitte");
  EXPECT_EQ(text_of(site_of(30)->GetProperty("Site_Name")), "Tegel");
  for (const IDekPropertyObject* o : {search(table, 10), site_of(10)}) {
    EXPECT_TRUE(std::holds_alternative<std::monostate>(o->GetProperty(nullptr)));
    EXPECT_TRUE(std::holds_alternative<std::monostate>(o->GetProperty("sector_id")));
  }
}

// The decoders print names in lines of their own: a line break in a quoted name reaches
// them as a space, while the table keeps the name as listed for the outputs that quote.
TEST(CellSiteProperties, ALineBreakInANameReachesTheDecodersAsASpace) {
  CellSiteTable table;
  std::string error;
  ASSERT_TRUE(table.parse_csv("pn,lat,lon,sector,site\n1,2,3,\"a\nb\",\"c\r\nd\"\n", error)) << error;
  const IDekPropertyObject* c = search(table, 1, 3, 2);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(text_of(c->GetProperty("Sector_ID")), "a b");
  EXPECT_EQ(text_of(object_of(c->GetProperty("CDMA_SiteIDForCell"))->GetProperty("Site_Name")), "c  d");
  EXPECT_EQ(table.cell(0).site_name, "c\r\nd");
}

TEST(CellSiteSearch, FindsTheNearestCellOfThePnInDegrees) {
  CellSiteTable table;
  table.add(CellSite{10, 52.50, 13.00, "west", "W"});
  table.add(CellSite{10, 52.50, 14.00, "east", "E"});
  table.add(CellSite{11, 60.6, 0.0, "north 0.6 deg", "N"});
  table.add(CellSite{11, 60.0, 0.9, "east 0.9 deg", "E"});  // at 60 deg, 0.45 deg of latitude
  table.add(CellSite{12, 0.0, -179.5, "near side", "A"});
  table.add(CellSite{12, 0.0, 179.95, "across the antimeridian", "A"});
  EXPECT_EQ(find(table, 10, 13.6, 52.5), "east");
  EXPECT_EQ(find(table, 10, 13.5, 52.5), "west");  // a tie keeps the first listed
  EXPECT_EQ(find(table, 10, std::nan(""), std::nan("")), "west");
  EXPECT_EQ(find(table, 11, 0.0, 60.0), "east 0.9 deg");
  EXPECT_EQ(find(table, 12, -179.9, 0.0), "across the antimeridian");
  EXPECT_EQ(find(table, 13, 13.0, 52.5), "<none>");
  EXPECT_EQ(find(table, 522, 13.0, 52.5), "<none>");  // 10 + 512 is not PN 10
  table.Search(10, 0.0, 0.0, nullptr);
}

TEST(CellSiteSearch, PrefersACellWhoseBeamCoversThePositionOverANearerOneFacingAway) {
  CellSiteTable table;
  std::string error;
  // At the equator a degree east is a degree north, so bearings read off directly.
  ASSERT_TRUE(table.parse_csv("pn,latitude,longitude,sector_id,azimuth,beamwidth\n"
                              "10,0,0,near facing east,90,60\n"
                              "10,0,0.3,far facing west,270,60\n"
                              "20,0,0,omni near,,\n"
                              "20,0,-0.3,far facing east,90,\n"
                              "30,0,0,default beam,0,\n"
                              "30,0,1,far omni,,\n",
                              error))
      << error;
  EXPECT_EQ(find(table, 10, 0.2, 0.0), "far facing west");  // nearer cell faces away
  EXPECT_EQ(find(table, 10, 0.1, 0.0), "near facing east");  // both face it: the nearer
  EXPECT_EQ(find(table, 10, 0.1, 0.5), "near facing east");  // neither faces it: the nearer
  EXPECT_EQ(find(table, 10, 0.0, 0.0), "near facing east");  // on the site: every beam covers
  // A position 0.01 degree from the sites at a bearing.
  const auto at_bearing = [&table](unsigned pn, double deg) {
    const double rad = deg * std::numbers::pi / 180.0;
    return find(table, pn, 0.01 * std::sin(rad), 0.01 * std::cos(rad));
  };
  EXPECT_EQ(at_bearing(10, 60.1), "near facing east");  // just inside the 60-degree beam
  EXPECT_EQ(at_bearing(10, 59.9), "far facing west");
  EXPECT_EQ(find(table, 20, 0.05, 0.0), "omni near");  // no azimuth: radiates all round
  // Without a beamwidth a sector spans 120 degrees.
  EXPECT_EQ(at_bearing(30, 301.0), "default beam");
  EXPECT_EQ(at_bearing(30, 61.0), "far omni");
  const std::optional<CellMatch> m = table.nearest(10, 0.2, 0.0);
  ASSERT_TRUE(m);
  EXPECT_NEAR(m->distance_m, 11119.5, 1.0);  // to the cell chosen, 0.1 degree away
}

TEST(CellSiteSearch, EachSessionRecordsItsOwnFoundPnsOnceWithTheirDistance) {
  CCoordinateSystem utm33;
  ASSERT_TRUE(utm33.init(32633));
  CellSiteTable table;
  table.add(CellSite{10, 52.50, 13.00, "a", "A"});
  table.add(CellSite{20, 53.50, 13.00, "b", "B"});
  CellLookups one(&table);
  CellLookups other(&table);
  const auto ask = [](IDekCellRefs_Search& s, unsigned pn, double x, double y) {
    const IDekPropertyObject* cell = nullptr;
    s.Search(pn, x, y, &cell);
    return cell;
  };
  EXPECT_NE(ask(one, 20, 13.0, 52.5), nullptr);
  EXPECT_EQ(ask(one, 99, 13.0, 52.5), nullptr);  // no cell: nothing to record
  ask(one, 10, 13.0, 52.5);
  ask(one, 20, 13.0, 53.5);  // asked again: the first answer stands
  ask(other, 10, 13.0, 52.5);
  ask(table, 20, 13.0, 52.5);  // the table itself records nothing
  ASSERT_EQ(one.lookups().size(), 2u);
  EXPECT_EQ(one.lookups()[0].pn, 20u);
  EXPECT_EQ(one.lookups()[0].cell->sector_id, "b");
  EXPECT_NEAR(one.lookups()[0].distance_m, 111195.0, 1.0);  // one degree of latitude
  EXPECT_EQ(one.lookups()[1].distance_m, 0.0);
  ASSERT_EQ(other.lookups().size(), 1u);
  EXPECT_EQ(other.lookups()[0].pn, 10u);
  one.clear();
  EXPECT_TRUE(one.lookups().empty());
  table.set_projection(&utm33);
  ask(one, 10, 364000.0, 5818000.0);
  ASSERT_EQ(one.lookups().size(), 1u);
  EXPECT_GT(one.lookups()[0].distance_m, 100.0);  // metres of the projection, not degrees
  EXPECT_LT(one.lookups()[0].distance_m, 2000.0);
}

TEST(CellSiteSearch, ComparesProjectedPositionsUnderAProjection) {
  CCoordinateSystem utm33;
  CCoordinateSystem broken;
  ASSERT_TRUE(utm33.init(32633));
  ASSERT_FALSE(broken.init(999999));
  CellSiteTable table;
  table.add(CellSite{10, 52.55, 13.38, "north", "N"});  // 390158.03, 5823446.58
  table.set_projection(&utm33);
  table.add(CellSite{10, 52.50, 13.45, "east", "E"});  // 394784.55, 5817781.21, projected when added
  EXPECT_EQ(find(table, 10, 394700.0, 5817800.0), "east");
  EXPECT_EQ(find(table, 10, 390200.0, 5823400.0), "north");
  for (const CCoordinateSystem* degrees : std::initializer_list<const CCoordinateSystem*>{nullptr, &broken}) {
    table.set_projection(degrees);
    EXPECT_EQ(find(table, 10, 13.45, 52.50), "east");
  }
}

// The index answers what one pass over the list in the order added answers (the table
// searches that way between an add() and the next Search): random lists with beams,
// sites of three sectors, ties at shared sites and the antimeridian, with and without a
// projection, asked at random places, at the sites themselves and far outside.
TEST(CellSiteSearch, TheIndexAnswersAsAPassOverTheList) {
  CCoordinateSystem utm16;
  ASSERT_TRUE(utm16.init(32616));
  for (const double span : {0.02, 1.0, 179.9}) {
    for (const bool projected : {false, true}) {
      if (projected && span > 1.0) continue;
      SCOPED_TRACE(::testing::Message() << "span " << span << (projected ? " projected" : ""));
      std::mt19937_64 rng(45);
      std::uniform_real_distribution<double> lat(43.0 - std::min(span, 40.0) / 2, 43.0 + std::min(span, 40.0) / 2);
      std::uniform_real_distribution<double> lon(-89.4 - span, -89.4 + span);
      std::ostringstream csv;
      csv << "pn,latitude,longitude,sector_id,azimuth,beamwidth\n";
      std::vector<std::pair<double, double>> sites;
      for (int s = 0; s < 1500; ++s) {
        const double a = lat(rng), o = span > 100 ? (s % 2 ? 179.999 - (s % 7) * 1e-3 : -179.999 + (s % 7) * 1e-3) : lon(rng);
        sites.emplace_back(a, o);
        const unsigned pn = static_cast<unsigned>(rng() % 8);
        for (int k = 0; k < 3; ++k) {
          csv << pn + 168 * (rng() % 3) << ',' << a << ',' << o << ',' << s << '-' << k << ',';
          if (s % 5 != 0) csv << (k * 120 + s % 90) << ',' << (s % 3 == 0 ? "" : "65");
          else csv << ',';
          csv << '\n';
        }
      }
      CellSiteTable indexed;
      std::string error;
      if (projected) indexed.set_projection(&utm16);
      ASSERT_TRUE(indexed.parse_csv(csv.str(), error)) << error;
      CellSiteTable listed;
      if (projected) listed.set_projection(&utm16);
      for (std::size_t i = 0; i < indexed.size(); ++i) listed.add(indexed.cell(i), indexed.beam(i));

      std::vector<std::pair<double, double>> places;  // longitude, latitude
      for (int q = 0; q < 400; ++q) places.emplace_back(lon(rng), lat(rng));
      for (std::size_t s = 0; s < sites.size(); s += 37) places.emplace_back(sites[s].second, sites[s].first);
      places.emplace_back(-60.0, 10.0);
      places.emplace_back(120.0, -80.0);
      int found = 0;
      for (const auto& [o, a] : places) {
        double x = o, y = a;
        if (projected) {
          ASSERT_TRUE(utm16.forward(o, a, x, y));
        }
        for (const unsigned pn : {0u, 3u, 7u, 100u, 168u, 171u, 338u, 343u}) {
          const std::optional<CellMatch> want = listed.nearest(pn, x, y);
          const std::optional<CellMatch> got = indexed.nearest(pn, x, y);
          ASSERT_EQ(want.has_value(), got.has_value()) << pn << " at " << o << "," << a;
          if (!want) continue;
          ++found;
          ASSERT_EQ(want->index, got->index) << pn << " at " << o << "," << a;
          ASSERT_EQ(want->distance_m, got->distance_m);
        }
      }
      EXPECT_GT(found, 1000);
      // The box query gives what a look at every cell gives, in the order added.
      std::vector<std::size_t> boxed;
      for (std::size_t i = 0; i < indexed.size(); ++i) {
        const CellSite& c = indexed.cell(i);
        if (c.latitude >= 42.999 && c.latitude <= 43.003 && c.longitude >= -89.41 && c.longitude <= -89.39) {
          boxed.push_back(i);
        }
      }
      EXPECT_EQ(indexed.within(42.999, -89.41, 43.003, -89.39), boxed);
    }
  }
}

// A list is added row by row as it is read: a bad row takes back the rows before it, and
// the sites they named.
TEST(CellSiteCsv, ABadRowLaterInTheTextTakesBackTheRowsBeforeIt) {
  CellSiteTable table;
  std::string error;
  ASSERT_TRUE(table.parse_csv("1,10,20,a,Hill\n2,10,20,b,Hill\n", error));
  EXPECT_FALSE(table.parse_csv("3,11,21,c,Vale\n4,11,21,d,Dale\n5,x,1,e,Hill\n", error));
  EXPECT_EQ(error, "line 3: latitude 'x' is not a number from -90 to 90");
  ASSERT_EQ(table.size(), 2u);
  EXPECT_EQ(find(table, 3, 21, 11), "<none>");
  ASSERT_TRUE(table.parse_csv("6,12,22,f,Vale\n", error)) << error;
  const IDekPropertyObject* f = search(table, 6, 22, 12);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(text_of(object_of(f->GetProperty("CDMA_SiteIDForCell"))->GetProperty("Site_Name")), "Vale");
  EXPECT_EQ(object_of(search(table, 1, 20, 10)->GetProperty("CDMA_SiteIDForCell")),
            object_of(search(table, 2, 20, 10)->GetProperty("CDMA_SiteIDForCell")));
}

// A long list costs little more than its text: a hundred thousand rows of three-sector
// sites take under 160 bytes a row once loaded (the file has about 50).
TEST(CellSiteCsv, ALongListIsHeldCompactly) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer's allocator keeps its own books";
#else
  std::ostringstream csv;
  csv << "pn,latitude,longitude,sector_id,site_name,azimuth,beamwidth\n";
  for (int s = 0; s < 33334; ++s) {
    for (int k = 0; k < 3; ++k) {
      csv << (s * 3 + k) % 512 << ',' << 43.0 + (s % 997) * 1e-3 << ',' << -89.0 - (s / 997) * 1e-3 << ',' << s << '-'
          << k << ",SITE " << s << ',' << k * 120 << ",65\n";
    }
  }
  const std::string text = csv.str();
  const std::size_t before = mallinfo2().uordblks;
  auto table = std::make_unique<CellSiteTable>();
  std::string error;
  ASSERT_TRUE(table->parse_csv(text, error)) << error;
  const double per_row = static_cast<double>(mallinfo2().uordblks - before) / static_cast<double>(table->size());
  EXPECT_LT(per_row, 160.0) << per_row;
  EXPECT_NE(find(*table, 5, -89.0, 43.0), "<none>");
#endif
}

}  // namespace
