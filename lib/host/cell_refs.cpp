#include "host/cell_refs.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <numbers>
#include <sstream>
#include <string_view>

#include "host/map_projections.h"

namespace {

constexpr unsigned kPnCount = 512;
constexpr std::size_t kFieldCount = 5;

std::string_view trim(std::string_view s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(" \t\r");
  return s.substr(first, last - first + 1);
}

std::vector<std::string_view> split_fields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  while (true) {
    const auto comma = line.find(',', start);
    fields.push_back(trim(line.substr(start, comma == std::string_view::npos ? comma : comma - start)));
    if (comma == std::string_view::npos) return fields;
    start = comma + 1;
  }
}

template <typename T>
bool parse_number(std::string_view s, T& out) {
  if (s.empty()) return false;
  if (s.front() == '+') s.remove_prefix(1);
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return ec == std::errc() && end == s.data() + s.size();
}

// Parses one data line; an empty result means success, otherwise the reason.
std::string parse_site(std::string_view line, CellSite& site) {
  const auto f = split_fields(line);
  if (f.size() != kFieldCount) {
    return "expected 5 fields (pn,latitude,longitude,sector_id,site_name), found " + std::to_string(f.size());
  }
  if (!parse_number(f[0], site.pn) || site.pn >= kPnCount) {
    return "PN '" + std::string(f[0]) + "' is not a number from 0 to 511";
  }
  if (!parse_number(f[1], site.latitude) || !(std::fabs(site.latitude) <= 90.0)) {
    return "latitude '" + std::string(f[1]) + "' is not a number from -90 to 90";
  }
  if (!parse_number(f[2], site.longitude) || !(std::fabs(site.longitude) <= 180.0)) {
    return "longitude '" + std::string(f[2]) + "' is not a number from -180 to 180";
  }
  site.sector_id = f[3];
  site.site_name = f[4];
  return {};
}

bool is_header(std::string_view line) {
  unsigned pn = 0;
  return !parse_number(split_fields(line).front(), pn);
}

}  // namespace

struct CellSiteTable::Site final : IDekPropertyObject {
  explicit Site(std::string n) : name(std::move(n)) {}
  PropertyValue GetProperty(const char* property) const override {
    if (property != nullptr && std::strcmp(property, "Site_Name") == 0) return name;
    return {};
  }
  std::string name;
};

struct CellSiteTable::Cell final : IDekPropertyObject {
  PropertyValue GetProperty(const char* property) const override {
    if (property == nullptr) return {};
    if (std::strcmp(property, "Sector_ID") == 0) return data.sector_id;
    if (std::strcmp(property, "CDMA_SiteIDForCell") == 0) return static_cast<const IDekPropertyObject*>(site);
    return {};
  }
  CellSite data;
  const Site* site = nullptr;
  // Where Search measures from: map x/y under the projection, else longitude/latitude.
  double x = 0.0;
  double y = 0.0;
  bool placed = false;  // false when the projection cannot place the cell
};

CellSiteTable::CellSiteTable() : by_pn_(kPnCount) {}

CellSiteTable::~CellSiteTable() = default;

bool CellSiteTable::load_csv(const std::string& path, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot open cell-site file " + path;
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (!parse_csv(text.str(), error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

bool CellSiteTable::parse_csv(const std::string& text, std::string& error) {
  std::string_view rest(text);
  if (rest.starts_with("\xEF\xBB\xBF")) rest.remove_prefix(3);  // UTF-8 byte order mark
  std::vector<CellSite> parsed;
  bool first = true;
  for (std::size_t line_no = 1; !rest.empty(); ++line_no) {
    const auto eol = rest.find('\n');
    const std::string_view line = trim(rest.substr(0, eol));
    rest = eol == std::string_view::npos ? std::string_view() : rest.substr(eol + 1);
    if (line.empty()) continue;
    const bool header = first && is_header(line);
    first = false;
    if (header) continue;
    CellSite site;
    if (const std::string why = parse_site(line, site); !why.empty()) {
      error = "line " + std::to_string(line_no) + ": " + why;
      return false;
    }
    parsed.push_back(std::move(site));
  }
  for (const CellSite& site : parsed) add(site);
  return true;
}

// A PN outside 0..511 is kept but can never be found.
void CellSiteTable::add(const CellSite& data) {
  auto [it, inserted] = site_by_name_.try_emplace(data.site_name, nullptr);
  if (inserted) {
    sites_.push_back(std::make_unique<Site>(data.site_name));
    it->second = sites_.back().get();
  }
  auto cell = std::make_unique<Cell>();
  cell->data = data;
  cell->site = it->second;
  place(*cell);
  if (data.pn < kPnCount) by_pn_[data.pn].push_back(cell.get());
  cells_.push_back(std::move(cell));
}

const CellSite& CellSiteTable::cell(std::size_t i) const { return cells_.at(i)->data; }

void CellSiteTable::set_projection(const CCoordinateSystem* system) {
  // A system that failed to set up leaves positions in longitude/latitude.
  system_ = system != nullptr && system->valid() ? system : nullptr;
  for (auto& cell : cells_) place(*cell);
}

void CellSiteTable::place(Cell& cell) const {
  if (system_ == nullptr) {
    cell.x = cell.data.longitude;
    cell.y = cell.data.latitude;
    cell.placed = true;
    return;
  }
  cell.placed = system_->forward(cell.data.longitude, cell.data.latitude, cell.x, cell.y);
}

void CellSiteTable::Search(unsigned pn, double x, double y, const IDekPropertyObject** cell) {
  if (cell == nullptr) return;
  *cell = nullptr;
  if (pn >= kPnCount) return;
  // Without a projection x/y are degrees: a degree of longitude shrinks with the
  // cosine of the latitude, and differences wrap at the antimeridian.
  const double lon_scale = system_ == nullptr ? std::cos(y * std::numbers::pi / 180.0) : 1.0;
  double best = 0.0;
  for (const Cell* c : by_pn_[pn]) {
    if (!c->placed) continue;
    double dx = x - c->x;
    if (system_ == nullptr) {
      dx = std::remainder(dx, 360.0) * lon_scale;
    }
    const double dy = y - c->y;
    const double d = dx * dx + dy * dy;
    // Ties keep the cell listed first; a non-finite position picks the first cell.
    if (*cell == nullptr || d < best) {
      *cell = c;
      best = d;
    }
  }
  if (*cell == nullptr) return;
  for (const CellLookup& l : lookups_) {
    if (l.pn == pn) return;
  }
  // Without a projection the scaled degrees are on a sphere of the mean earth radius.
  constexpr double kMetresPerDegree = 6371008.8 * std::numbers::pi / 180.0;
  const double distance = std::sqrt(best) * (system_ == nullptr ? kMetresPerDegree : 1.0);
  lookups_.push_back({pn, &static_cast<const Cell*>(*cell)->data, distance});
}
