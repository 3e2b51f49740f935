// Cell-site list: CSV loading, property objects and the nearest-cell search.
#include "host/cell_refs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>

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

TEST(CellSiteCsv, ReadsLinesWithOrWithoutAHeader) {
  CellSiteTable table;
  std::string error;
  ASSERT_TRUE(table.parse_csv(
      "\xEF\xBB\xBFpn,latitude,longitude,sector_id,site_name\r\n 10 , 52.52 , 13.405 , 1001 , Mitte \r\n\n"
      "+14,-33.9,+18.4,2001,Cape",
      error))
      << error;
  EXPECT_EQ(table.size(), 2u);
  EXPECT_EQ(find(table, 10, 13.405, 52.52), "1001");
  EXPECT_EQ(find(table, 14, 18.4, -33.9), "2001");
  ASSERT_TRUE(table.parse_csv("7,1,2,A,S\n", error));
  EXPECT_EQ(table.size(), 3u);
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

TEST(CellSiteCsv, FindsColumnsByHeaderNameInQuotedFieldsAndIgnoresOthers) {
  CellSiteTable table;
  std::string error;
  ASSERT_TRUE(table.parse_csv("\"Site Name\",Azimuth,notes,PN,Lat,Lon,\"Sector ID\"\r\n"
                              "\"Mitte, \"\"Alex\"\"\",-90,\"two\nlines\",10,52.52,13.405,\" 1001 \"\n"
                              "Tegel,,,11,52.55,13.29,1101\n",
                              error))
      << error;
  const IDekPropertyObject* mitte = search(table, 10, 13.405, 52.52);
  ASSERT_NE(mitte, nullptr);
  EXPECT_EQ(text_of(mitte->GetProperty("Sector_ID")), " 1001 ");  // quotes keep spaces
  EXPECT_EQ(text_of(object_of(mitte->GetProperty("CDMA_SiteIDForCell"))->GetProperty("Site_Name")),
            "Mitte, \"Alex\"");
  EXPECT_EQ(find(table, 11, 13.29, 52.55), "1101");
  ASSERT_TRUE(table.parse_csv("12,1,2,S,Site,45.5,65\n", error)) << error;  // without a header, by position
  EXPECT_EQ(table.size(), 3u);
}

TEST(CellSiteCsv, LoadsAFileAndReportsAMissingOne) {
  const auto path = std::filesystem::temp_directory_path() / "cdmadiag_cell_refs_test.csv";
  std::ofstream(path) << "3,1,2,S1\n";
  CellSiteTable table;
  std::string error;
  EXPECT_FALSE(table.load_csv(path.string(), error));
  EXPECT_EQ(error, path.string() +
                       ": line 1: expected 5 to 7 fields (pn,latitude,longitude,sector_id,site_name[,azimuth[,beamwidth]]), "
                       "found 4");
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
  const std::optional<CellMatch> m = table.find(10, 0.2, 0.0);
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

}  // namespace
