// Cell-site list: CSV loading, property objects and the nearest-cell search.
#include "host/cell_refs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

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

const IDekPropertyObject* find(CellSiteTable& table, unsigned pn, double x, double y) {
  static const Stale stale;
  const IDekPropertyObject* cell = &stale;  // Search must overwrite it, also with null
  table.Search(pn, x, y, &cell);
  return cell;
}

std::string sector_of(const IDekPropertyObject* cell) {
  return cell != nullptr ? text_of(cell->GetProperty("Sector_ID")) : "<none>";
}

// ---- CSV ----

TEST(CellSiteCsv, ReadsLinesWithOrWithoutAHeader) {
  CellSiteTable with_header;
  std::string error;
  ASSERT_TRUE(
      with_header.parse_csv("pn,latitude,longitude,sector_id,site_name\r\n"
                            " 10 , 52.52 , 13.405 , 1001 , Mitte \r\n"
                            "\n"
                            "12,52.5,13.45,1002,Mitte\n"
                            "+14,-33.9,+18.4,2001,Cape",
                            error))
      << error;
  EXPECT_EQ(with_header.size(), 3u);
  EXPECT_EQ(sector_of(find(with_header, 10, 13.405, 52.52)), "1001");
  EXPECT_EQ(sector_of(find(with_header, 14, 18.4, -33.9)), "2001");

  CellSiteTable plain;
  ASSERT_TRUE(
      plain.parse_csv("\xEF\xBB\xBF"
                      "7,1,2,A,S\n",
                      error))
      << error;
  EXPECT_EQ(plain.size(), 1u);
  ASSERT_TRUE(plain.parse_csv("", error));
  EXPECT_EQ(plain.size(), 1u);
}

struct BadCsv {
  const char* text;
  const char* message;
};

class CellSiteCsvErrors : public ::testing::TestWithParam<BadCsv> {};

TEST_P(CellSiteCsvErrors, NamesTheLineAndAddsNothing) {
  CellSiteTable table;
  std::string error;
  EXPECT_FALSE(table.parse_csv(GetParam().text, error));
  EXPECT_EQ(error, GetParam().message);
  EXPECT_EQ(table.size(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CellSiteCsvErrors,
    ::testing::Values(BadCsv{"pn,lat,lon,sector,site\n1,2,3,4,5\n1,2,3,4\n",
                             "line 3: expected 5 fields (pn,latitude,longitude,sector_id,site_name), found 4"},
                      BadCsv{"1,2,3,4,5,6\n",
                             "line 1: expected 5 fields (pn,latitude,longitude,sector_id,site_name), found 6"},
                      BadCsv{"1,2,3,4,5\nabc,2,3,4,5\n", "line 2: PN 'abc' is not a number from 0 to 511"},
                      BadCsv{"512,2,3,4,5\n", "line 1: PN '512' is not a number from 0 to 511"},
                      BadCsv{"1,2,3,4,5\n-1,2,3,4,5\n", "line 2: PN '-1' is not a number from 0 to 511"},
                      BadCsv{"1,91,3,4,5\n", "line 1: latitude '91' is not a number from -90 to 90"},
                      BadCsv{"1,nan,3,4,5\n", "line 1: latitude 'nan' is not a number from -90 to 90"},
                      BadCsv{"1,2,,4,5\n", "line 1: longitude '' is not a number from -180 to 180"},
                      BadCsv{"1,2,3x,4,5\n", "line 1: longitude '3x' is not a number from -180 to 180"},
                      BadCsv{"1,2,-180.5,4,5\n", "line 1: longitude '-180.5' is not a number from -180 to 180"},
                      // Only the first line can be a header.
                      BadCsv{"1,2,3,4,5\npn,latitude,longitude,sector_id,site_name\n",
                             "line 2: PN 'pn' is not a number from 0 to 511"}));

TEST(CellSiteCsv, LoadsAFileAndReportsAMissingOne) {
  const auto path = std::filesystem::temp_directory_path() / "cdmadiag_cell_refs_test.csv";
  {
    std::ofstream out(path);
    out << "pn,latitude,longitude,sector_id,site_name\n3,1,2,S1,Site\n";
  }
  CellSiteTable table;
  std::string error;
  EXPECT_TRUE(table.load_csv(path.string(), error)) << error;
  EXPECT_EQ(table.size(), 1u);
  {
    std::ofstream out(path);
    out << "3,1,2,S1\n";
  }
  EXPECT_FALSE(table.load_csv(path.string(), error));
  EXPECT_EQ(error, path.string() + ": line 1: expected 5 fields (pn,latitude,longitude,sector_id,site_name), found 4");
  std::filesystem::remove(path);
  EXPECT_FALSE(table.load_csv(path.string(), error));
  EXPECT_EQ(error, "cannot open cell-site file " + path.string());
}

// ---- Property objects ----

TEST(CellSiteProperties, CellsLeadToTheirSharedSite) {
  CellSiteTable table;
  std::string error;
  ASSERT_TRUE(
      table.parse_csv("10,52.52,13.40,1001,Mitte\n20,52.52,13.40,1002,Mitte\n30,52.60,13.30,3001,Tegel\n", error));
  const IDekPropertyObject* a = find(table, 10, 13.40, 52.52);
  const IDekPropertyObject* b = find(table, 20, 13.40, 52.52);
  const IDekPropertyObject* c = find(table, 30, 13.30, 52.60);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  ASSERT_NE(c, nullptr);
  const IDekPropertyObject* site_a = object_of(a->GetProperty("CDMA_SiteIDForCell"));
  ASSERT_NE(site_a, nullptr);
  EXPECT_EQ(object_of(b->GetProperty("CDMA_SiteIDForCell")), site_a);
  const IDekPropertyObject* site_c = object_of(c->GetProperty("CDMA_SiteIDForCell"));
  EXPECT_NE(site_c, site_a);
  EXPECT_EQ(text_of(site_a->GetProperty("Site_Name")), "Mitte");
  EXPECT_EQ(text_of(site_c->GetProperty("Site_Name")), "Tegel");
  EXPECT_EQ(text_of(b->GetProperty("Sector_ID")), "1002");
}

TEST(CellSiteProperties, OtherNamesAreEmpty) {
  CellSiteTable table;
  table.add(CellSite{5, 1.0, 2.0, "S", "Site"});
  const IDekPropertyObject* cell = find(table, 5, 2.0, 1.0);
  ASSERT_NE(cell, nullptr);
  const IDekPropertyObject* site = object_of(cell->GetProperty("CDMA_SiteIDForCell"));
  ASSERT_NE(site, nullptr);
  EXPECT_TRUE(std::holds_alternative<std::monostate>(cell->GetProperty("Site_Name")));
  EXPECT_TRUE(std::holds_alternative<std::monostate>(cell->GetProperty("sector_id")));
  EXPECT_TRUE(std::holds_alternative<std::monostate>(cell->GetProperty(nullptr)));
  EXPECT_TRUE(std::holds_alternative<std::monostate>(site->GetProperty("Sector_ID")));
  EXPECT_TRUE(std::holds_alternative<std::monostate>(site->GetProperty(nullptr)));
}

// ---- Search in longitude/latitude ----

TEST(CellSiteSearch, FindsTheNearestCellOfThePn) {
  CellSiteTable table;
  table.add(CellSite{10, 52.50, 13.00, "west", "W"});
  table.add(CellSite{10, 52.50, 14.00, "east", "E"});
  table.add(CellSite{11, 52.50, 13.70, "other pn", "O"});
  EXPECT_EQ(sector_of(find(table, 10, 13.6, 52.5)), "east");
  EXPECT_EQ(sector_of(find(table, 10, 13.4, 52.5)), "west");
  EXPECT_EQ(sector_of(find(table, 10, 13.5, 52.5)), "west");  // a tie keeps the first listed
  EXPECT_EQ(sector_of(find(table, 11, 0.0, 0.0)), "other pn");
  EXPECT_EQ(find(table, 12, 13.0, 52.5), nullptr);
  EXPECT_EQ(find(table, 522, 13.0, 52.5), nullptr);  // 10 + 512 is not PN 10
  EXPECT_EQ(find(table, 0xFFFFFFFFu, 13.0, 52.5), nullptr);
}

TEST(CellSiteSearch, PlaceholderPositionsStillGetTheNearestCell) {
  CellSiteTable table;
  table.add(CellSite{10, 10.0, 10.0, "far", "F"});
  table.add(CellSite{10, 0.5, 0.5, "near origin", "N"});
  EXPECT_EQ(sector_of(find(table, 10, 0.0, 0.0)), "near origin");
  EXPECT_NE(find(table, 10, -10000.0, -10000.0), nullptr);
  EXPECT_NE(find(table, 10, std::nan(""), std::nan("")), nullptr);
}

TEST(CellSiteSearch, ScalesLongitudeByTheCosineOfLatitude) {
  CellSiteTable table;
  table.add(CellSite{10, 60.6, 0.0, "north 0.6 deg", "N"});
  table.add(CellSite{10, 60.0, 0.9, "east 0.9 deg of longitude", "E"});
  // At 60 degrees a degree of longitude is half a degree of latitude.
  EXPECT_EQ(sector_of(find(table, 10, 0.0, 60.0)), "east 0.9 deg of longitude");
}

TEST(CellSiteSearch, MeasuresAcrossTheAntimeridian) {
  CellSiteTable table;
  table.add(CellSite{10, 0.0, -179.5, "east", "E"});
  table.add(CellSite{10, 0.0, 179.95, "across", "A"});
  EXPECT_EQ(sector_of(find(table, 10, -179.9, 0.0)), "across");
}

TEST(CellSiteSearch, NullOutPointerIsIgnored) {
  CellSiteTable table;
  table.add(CellSite{10, 0.0, 0.0, "s", "S"});
  table.Search(10, 0.0, 0.0, nullptr);
}

// ---- Search in map coordinates ----

class CellSiteProjected : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(utm33.init(32633));
    // Map positions (UTM 33N) of the two cells, from an independent computation.
    table.add(CellSite{10, 52.55, 13.38, "north", "N"});  // 390158.03, 5823446.58
    table.add(CellSite{10, 52.50, 13.45, "east", "E"});   // 394784.55, 5817781.21
  }
  CCoordinateSystem utm33;
  CellSiteTable table;
};

TEST_F(CellSiteProjected, ComparesProjectedPositions) {
  table.set_projection(&utm33);
  EXPECT_EQ(sector_of(find(table, 10, 394700.0, 5817800.0)), "east");
  EXPECT_EQ(sector_of(find(table, 10, 390200.0, 5823400.0)), "north");
}

TEST_F(CellSiteProjected, CellsAddedLaterAreProjectedToo) {
  table.set_projection(&utm33);
  table.add(CellSite{10, 52.52, 13.40, "mitte", "M"});  // 391440.03, 5820079.67
  EXPECT_EQ(sector_of(find(table, 10, 391450.0, 5820070.0)), "mitte");
}

TEST_F(CellSiteProjected, DroppingTheProjectionReturnsToDegrees) {
  table.set_projection(&utm33);
  table.set_projection(nullptr);
  EXPECT_EQ(sector_of(find(table, 10, 13.45, 52.50)), "east");
  // Map coordinates are now far from every cell; the larger latitude wins, not "east".
  EXPECT_EQ(sector_of(find(table, 10, 394700.0, 5817800.0)), "north");
}

TEST_F(CellSiteProjected, ASystemThatFailedToSetUpMeansDegrees) {
  CCoordinateSystem broken;
  ASSERT_FALSE(broken.init(999999));
  table.set_projection(&broken);
  EXPECT_EQ(sector_of(find(table, 10, 13.45, 52.50)), "east");
}

}  // namespace
