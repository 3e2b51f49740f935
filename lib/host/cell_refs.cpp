#include "host/cell_refs.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <cmath>
#include <cstring>
#include <fstream>
#include <numbers>
#include <sstream>
#include <string_view>

#include "host/map_projections.h"

namespace {

constexpr unsigned kPnCount = 512;
// A sector with an azimuth but no beamwidth: the usual three-sector split.
constexpr double kDefaultBeamwidth = 120.0;

enum Column : std::uint8_t { kPn, kLatitude, kLongitude, kSectorId, kSiteName, kAzimuth, kBeamwidth, kColumnCount };
constexpr std::size_t kRequiredColumns = 3;  // pn, latitude, longitude
constexpr std::size_t kPositionalColumns = 5;  // without a header: up to site_name, azimuth and beamwidth optional

// Header names of each column after lower-casing, spaces and hyphens read as '_'.
constexpr std::array<std::array<std::string_view, 4>, kColumnCount> kColumnNames = {{
    {"pn", "pn_offset", "pilot_pn", ""},
    {"latitude", "lat", "", ""},
    {"longitude", "lon", "lng", "long"},
    {"sector_id", "sector", "cell_id", ""},
    {"site_name", "site", "", ""},
    {"azimuth", "azimuth_deg", "az", ""},
    {"beamwidth", "beam_width", "beamwidth_deg", "hbw"},
}};

std::string_view trim(std::string_view s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(" \t\r");
  return s.substr(first, last - first + 1);
}

struct CsvRow {
  std::size_t line = 0;  // where the row starts, from 1
  std::vector<std::string> fields;
};

// Splits CSV text into rows. A field in double quotes may hold commas and line breaks,
// "" standing for one quote; unquoted fields are trimmed; blank lines are skipped.
bool split_rows(std::string_view text, std::vector<CsvRow>& rows, std::string& error) {
  std::size_t line = 1;
  std::size_t i = 0;
  while (i < text.size()) {
    CsvRow row;
    row.line = line;
    bool row_has_text = false;
    for (;;) {  // one field per turn
      std::string field;
      while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
      if (i < text.size() && text[i] == '"') {
        const std::size_t opened = line;
        ++i;
        for (;;) {
          if (i == text.size()) {
            error = "line " + std::to_string(opened) + ": a quoted field is not closed";
            return false;
          }
          if (text[i] == '"') {
            if (i + 1 < text.size() && text[i + 1] == '"') {
              field.push_back('"');
              i += 2;
              continue;
            }
            ++i;
            break;
          }
          if (text[i] == '\n') ++line;
          field.push_back(text[i++]);
        }
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r')) ++i;
        if (i < text.size() && text[i] != ',' && text[i] != '\n') {
          error = "line " + std::to_string(line) + ": text after a closing quote";
          return false;
        }
        row_has_text = true;
      } else {
        const std::size_t end = text.find_first_of(",\n", i);
        field = trim(text.substr(i, end == std::string_view::npos ? std::string_view::npos : end - i));
        i = end == std::string_view::npos ? text.size() : end;
        row_has_text = row_has_text || !field.empty();
      }
      row.fields.push_back(std::move(field));
      if (i < text.size() && text[i] == ',') {
        ++i;
        row_has_text = true;
        continue;
      }
      break;
    }
    if (i < text.size()) {  // at the line break
      ++i;
      ++line;
    }
    if (row_has_text) rows.push_back(std::move(row));
  }
  return true;
}

std::string column_key(std::string_view name) {
  std::string key;
  for (const char c : trim(name)) {
    key.push_back(c == ' ' || c == '-' ? '_' : static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  }
  return key;
}

template <typename T>
bool parse_number(std::string_view s, T& out) {
  if (s.empty()) return false;
  if (s.front() == '+') s.remove_prefix(1);
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return ec == std::errc() && end == s.data() + s.size();
}

bool is_header(const CsvRow& row) {
  unsigned pn = 0;
  return !parse_number(std::string_view(row.fields.front()), pn);
}

// Field index of each column, kNone where the file has none; an empty result means success.
constexpr std::size_t kNone = SIZE_MAX;
using ColumnMap = std::array<std::size_t, kColumnCount>;

std::string map_header(const CsvRow& header, ColumnMap& map) {
  map.fill(kNone);
  for (std::size_t f = 0; f < header.fields.size(); ++f) {
    const std::string key = column_key(header.fields[f]);
    for (std::size_t c = 0; c < kColumnCount; ++c) {
      if (key.empty() || std::ranges::find(kColumnNames[c], key) == kColumnNames[c].end()) continue;
      if (map[c] != kNone) return "the header names column '" + std::string(kColumnNames[c][0]) + "' twice";
      map[c] = f;
    }
  }
  for (std::size_t c = 0; c < kRequiredColumns; ++c) {
    if (map[c] == kNone) {
      return "the header has no '" + std::string(kColumnNames[c][0]) + "' column (needs pn, latitude, longitude)";
    }
  }
  return {};
}

// Parses one data row; an empty result means success, otherwise the reason.
std::string parse_site(const CsvRow& row, const ColumnMap& map, std::size_t header_fields, CellSite& site,
                       CellBeam& beam) {
  const auto& f = row.fields;
  if (header_fields == 0 && (f.size() < kPositionalColumns || f.size() > kColumnCount)) {
    return "expected 5 to 7 fields (pn,latitude,longitude,sector_id,site_name[,azimuth[,beamwidth]]), found " +
           std::to_string(f.size());
  }
  if (header_fields != 0 && f.size() != header_fields) {
    return "expected " + std::to_string(header_fields) + " fields as in the header, found " + std::to_string(f.size());
  }
  const auto field = [&](Column c) -> std::string_view {
    return map[c] == kNone || map[c] >= f.size() ? std::string_view() : std::string_view(f[map[c]]);
  };
  if (!parse_number(field(kPn), site.pn) || site.pn >= kPnCount) {
    return "PN '" + std::string(field(kPn)) + "' is not a number from 0 to 511";
  }
  if (!parse_number(field(kLatitude), site.latitude) || !(std::fabs(site.latitude) <= 90.0)) {
    return "latitude '" + std::string(field(kLatitude)) + "' is not a number from -90 to 90";
  }
  if (!parse_number(field(kLongitude), site.longitude) || !(std::fabs(site.longitude) <= 180.0)) {
    return "longitude '" + std::string(field(kLongitude)) + "' is not a number from -180 to 180";
  }
  site.sector_id = field(kSectorId);
  site.site_name = field(kSiteName);
  double value = 0.0;
  if (const std::string_view az = field(kAzimuth); !az.empty()) {
    if (!parse_number(az, value) || !(std::fabs(value) <= 360.0)) {
      return "azimuth '" + std::string(az) + "' is not a number of degrees from 0 to 360";
    }
    beam.azimuth = value < 0.0 ? value + 360.0 : value;
  }
  if (const std::string_view bw = field(kBeamwidth); !bw.empty()) {
    if (!parse_number(bw, value) || !(value > 0.0 && value <= 360.0)) {
      return "beamwidth '" + std::string(bw) + "' is not a number of degrees above 0, at most 360";
    }
    beam.beamwidth = value;
  }
  return {};
}

// Whether a sector's beam covers the bearing from its site to a position (east, north of
// it, in metres or scaled degrees): the bearing, clockwise from north, is within half
// the beamwidth of the azimuth, edges included. A cell without an azimuth radiates all
// round, and a position on the site or not finite is covered by every beam.
bool beam_covers(const CellBeam& beam, double east, double north) {
  if (!beam.azimuth) return true;
  const double width = beam.beamwidth.value_or(kDefaultBeamwidth);
  if (width >= 360.0 || !std::isfinite(east) || !std::isfinite(north) || (east == 0.0 && north == 0.0)) return true;
  const double bearing = std::atan2(east, north) * 180.0 / std::numbers::pi;
  return std::fabs(std::remainder(bearing - *beam.azimuth, 360.0)) <= width / 2.0;
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
  CellBeam beam;
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
  std::vector<CsvRow> rows;
  if (!split_rows(rest, rows, error)) return false;
  ColumnMap map;
  for (std::size_t c = 0; c < kColumnCount; ++c) map[c] = c;
  std::size_t header_fields = 0;
  if (!rows.empty() && is_header(rows.front())) {
    if (const std::string why = map_header(rows.front(), map); !why.empty()) {
      error = "line " + std::to_string(rows.front().line) + ": " + why;
      return false;
    }
    header_fields = rows.front().fields.size();
  }
  std::vector<std::pair<CellSite, CellBeam>> parsed;
  for (std::size_t r = header_fields == 0 ? 0 : 1; r < rows.size(); ++r) {
    CellSite site;
    CellBeam beam;
    if (const std::string why = parse_site(rows[r], map, header_fields, site, beam); !why.empty()) {
      error = "line " + std::to_string(rows[r].line) + ": " + why;
      return false;
    }
    parsed.emplace_back(std::move(site), beam);
  }
  for (const auto& [site, beam] : parsed) add(site, beam);
  return true;
}

// A PN outside 0..511 is kept but can never be found.
void CellSiteTable::add(const CellSite& data, const CellBeam& beam) {
  auto [it, inserted] = site_by_name_.try_emplace(data.site_name, nullptr);
  if (inserted) {
    sites_.push_back(std::make_unique<Site>(data.site_name));
    it->second = sites_.back().get();
  }
  auto cell = std::make_unique<Cell>();
  cell->data = data;
  cell->beam = beam;
  cell->site = it->second;
  place(*cell);
  if (data.pn < kPnCount) by_pn_[data.pn].push_back(cell.get());
  cells_.push_back(std::move(cell));
}

const CellSite& CellSiteTable::cell(std::size_t i) const { return cells_.at(i)->data; }
const CellBeam& CellSiteTable::beam(std::size_t i) const { return cells_.at(i)->beam; }

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

std::optional<CellMatch> CellSiteTable::find(unsigned pn, double x, double y) const {
  if (pn >= kPnCount) return std::nullopt;
  // Without a projection x/y are degrees: a degree of longitude shrinks with the
  // cosine of the latitude, and differences wrap at the antimeridian.
  const double lon_scale = system_ == nullptr ? std::cos(y * std::numbers::pi / 180.0) : 1.0;
  const Cell* found = nullptr;
  double best = 0.0;
  bool best_covers = false;
  for (const Cell* c : by_pn_[pn]) {
    if (!c->placed) continue;
    double dx = x - c->x;
    if (system_ == nullptr) {
      dx = std::remainder(dx, 360.0) * lon_scale;
    }
    const double dy = y - c->y;
    const double d = dx * dx + dy * dy;
    const bool covers = beam_covers(c->beam, dx, dy);
    // A non-finite position picks the first cell.
    if (found == nullptr || (covers && !best_covers) || (covers == best_covers && d < best)) {
      found = c;
      best = d;
      best_covers = covers;
    }
  }
  if (found == nullptr) return std::nullopt;
  // Without a projection the scaled degrees are on a sphere of the mean earth radius.
  constexpr double kMetresPerDegree = 6371008.8 * std::numbers::pi / 180.0;
  return CellMatch{&found->data, found, std::sqrt(best) * (system_ == nullptr ? kMetresPerDegree : 1.0)};
}

void CellSiteTable::Search(unsigned pn, double x, double y, const IDekPropertyObject** cell) {
  if (cell == nullptr) return;
  const std::optional<CellMatch> m = find(pn, x, y);
  *cell = m ? m->object : nullptr;
}

void CellLookups::Search(unsigned pn, double x, double y, const IDekPropertyObject** cell) {
  if (cell == nullptr) return;
  *cell = nullptr;
  if (table_ == nullptr) return;
  const std::optional<CellMatch> m = table_->find(pn, x, y);
  if (!m) return;
  *cell = m->object;
  for (const CellLookup& l : lookups_) {
    if (l.pn == pn) return;
  }
  lookups_.push_back({pn, m->cell, m->distance_m});
}
