// TEMPORARY stand-in for the cell-site table, so the command links before its host
// implementation exists. app/CMakeLists.txt builds this file only while lib/host
// defines no CellSiteTable; delete it when that lands.
#include "host/cell_refs.h"

struct CellSiteTable::Site {};
struct CellSiteTable::Cell {};

CellSiteTable::CellSiteTable() = default;
CellSiteTable::~CellSiteTable() = default;
bool CellSiteTable::load_csv(const std::string&, std::string& error) {
  error = "cell-site tables are not available in this build";
  return false;
}
bool CellSiteTable::parse_csv(const std::string&, std::string& error) {
  error = "cell-site tables are not available in this build";
  return false;
}
void CellSiteTable::add(const CellSite&) {}
void CellSiteTable::set_projection(const CCoordinateSystem* system) { system_ = system; }
void CellSiteTable::Search(unsigned, double, double, const IDekPropertyObject** cell) {
  if (cell != nullptr) *cell = nullptr;
}
void CellSiteTable::place(Cell&) const {}
