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
#include <limits>
#include <sstream>
#include <stdexcept>
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

// Reads CSV rows one at a time, so a list of a million rows is never held as text. A
// field in double quotes may hold commas and line breaks, "" standing for one quote;
// unquoted fields are trimmed; blank lines are skipped.
class CsvRows {
 public:
  explicit CsvRows(std::streambuf& in) : in_(in) {}

  // False at the end, or with error set.
  bool next(CsvRow& row, std::string& error) {
    while (peek() != kEof) {
      row.line = line_;
      row.fields.clear();
      bool row_has_text = false;
      for (;;) {  // one field per turn
        std::string& field = row.fields.emplace_back();
        while (peek() == ' ' || peek() == '\t') take();
        if (peek() == '"') {
          const std::size_t opened = line_;
          take();
          for (;;) {
            const int c = take();
            if (c == kEof) {
              error = "line " + std::to_string(opened) + ": a quoted field is not closed";
              return false;
            }
            if (c == '"') {
              if (peek() != '"') break;
              take();
            } else if (c == '\n') {
              ++line_;
            }
            field.push_back(static_cast<char>(c));
          }
          while (peek() == ' ' || peek() == '\t' || peek() == '\r') take();
          if (peek() != kEof && peek() != ',' && peek() != '\n') {
            error = "line " + std::to_string(line_) + ": text after a closing quote";
            return false;
          }
          row_has_text = true;
        } else {
          for (int c = peek(); c != kEof && c != ',' && c != '\n'; c = peek()) field.push_back(static_cast<char>(take()));
          const std::string_view kept = trim(field);
          if (kept.size() != field.size()) field = std::string(kept);
          row_has_text = row_has_text || !field.empty();
        }
        if (peek() == ',') {
          take();
          row_has_text = true;
          continue;
        }
        break;
      }
      if (peek() == '\n') {
        take();
        ++line_;
      }
      if (row_has_text) return true;
    }
    return false;
  }

 private:
  static constexpr int kEof = std::char_traits<char>::eof();
  int peek() { return in_.sgetc(); }
  int take() { return in_.sbumpc(); }

  std::streambuf& in_;
  std::size_t line_ = 1;
};

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

// Objects in blocks that never move, so the pointers handed out stay valid as the list
// grows, without an allocation per object.
template <typename T>
class Blocks {
 public:
  static constexpr std::size_t kBlock = 1024;
  std::size_t size() const { return size_; }
  T& operator[](std::size_t i) { return blocks_[i / kBlock][i % kBlock]; }
  const T& operator[](std::size_t i) const { return blocks_[i / kBlock][i % kBlock]; }
  T& emplace_back() {
    if (size_ == blocks_.size() * kBlock) blocks_.push_back(std::make_unique<T[]>(kBlock));
    return (*this)[size_++];
  }
  // Back to n objects; the ones dropped are reset for reuse.
  void shrink(std::size_t n) {
    for (; size_ > n; --size_) (*this)[size_ - 1] = T();
  }

 private:
  std::vector<std::unique_ptr<T[]>> blocks_;
  std::size_t size_ = 0;
};

// Text bytes packed end to end; a view into them stays valid for the table's life.
class TextStore {
 public:
  std::string_view keep(std::string_view s) {
    if (s.empty()) return {};
    if (blocks_.empty() || kBlock - used_ < s.size()) {
      blocks_.push_back(std::make_unique<char[]>(std::max(kBlock, s.size())));
      used_ = 0;
    }
    char* at = blocks_.back().get() + used_;
    std::memcpy(at, s.data(), s.size());
    used_ += s.size();
    return {at, s.size()};
  }

 private:
  static constexpr std::size_t kBlock = std::size_t{64} << 10;
  std::vector<std::unique_ptr<char[]>> blocks_;
  std::size_t used_ = 0;
};

constexpr std::uint32_t kNoCell = UINT32_MAX;

// A name as the decoders print it, in lines of their own: control characters (a line
// break in a quoted field) become spaces. The outputs that quote take the name as listed.
std::string printable(std::string_view name) {
  std::string out(name);
  for (char& c : out) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  }
  return out;
}

}  // namespace

struct CellSiteTable::Site final : IDekPropertyObject {
  PropertyValue GetProperty(const char* property) const override {
    if (property != nullptr && std::strcmp(property, "Site_Name") == 0) return printable(name);
    return {};
  }
  std::string_view name;
};

struct CellSiteTable::Cell final : IDekPropertyObject {
  PropertyValue GetProperty(const char* property) const override {
    if (property == nullptr) return {};
    if (std::strcmp(property, "Sector_ID") == 0) return printable(data.sector_id);
    if (std::strcmp(property, "CDMA_SiteIDForCell") == 0) return static_cast<const IDekPropertyObject*>(site);
    return {};
  }
  CellBeam beam() const {
    CellBeam b;
    if (has_azimuth) b.azimuth = azimuth;
    if (has_beamwidth) b.beamwidth = beamwidth;
    return b;
  }
  CellSite data;
  const Site* site = nullptr;
  double azimuth = 0.0;
  double beamwidth = 0.0;
  bool has_azimuth = false;
  bool has_beamwidth = false;
  bool placed = false;  // false when the projection cannot place the cell
};

// Kept compact: a million-row list costs about a hundred bytes a row.
struct CellSiteTable::Store {
  Blocks<Cell> cells;
  Blocks<Site> sites;
  TextStore texts;
  std::vector<std::array<double, 2>> projected;  // map x/y of each cell under a projection
  // Open addressing over site numbers + 1 (0: empty), sized a power of two.
  std::vector<std::uint32_t> site_slots;

  std::size_t slot_of(std::string_view name) const {
    const std::size_t mask = site_slots.size() - 1;
    for (std::size_t h = std::hash<std::string_view>()(name) & mask;; h = (h + 1) & mask) {
      const std::uint32_t s = site_slots[h];
      if (s == 0 || sites[s - 1].name == name) return h;
    }
  }
  void rehash(std::size_t capacity) {
    site_slots.assign(capacity, 0);
    for (std::size_t i = 0; i < sites.size(); ++i) site_slots[slot_of(sites[i].name)] = static_cast<std::uint32_t>(i + 1);
  }
};

// A PN's cells by where they are: a grid over their bounding box, about one cell a
// bucket, so a search looks at the few buckets around the position.
struct CellSiteTable::PnGrid {
  double x0 = 0.0, y0 = 0.0;  // corner of the box
  double x1 = 0.0, y1 = 0.0;  // the other corner
  double w = 1.0, h = 1.0;    // of a bucket
  std::size_t nx = 0, ny = 0;
  std::vector<std::uint32_t> start;    // of each bucket in cells, one more at the end
  std::vector<std::uint32_t> cells;    // bucket by bucket, in the order added within one
  std::uint32_t first = kNoCell;       // the first placed cell listed
  bool listed = false;  // a place off the finite plane: cells kept in the order added, searched one by one

  std::size_t column(double x) const {
    const double c = std::floor((x - x0) / w);
    return c <= 0.0 ? 0 : c >= static_cast<double>(nx - 1) ? nx - 1 : static_cast<std::size_t>(c);
  }
  std::size_t row(double y) const {
    const double r = std::floor((y - y0) / h);
    return r <= 0.0 ? 0 : r >= static_cast<double>(ny - 1) ? ny - 1 : static_cast<std::size_t>(r);
  }
};

struct CellSiteTable::Best {
  std::uint32_t cell = kNoCell;
  double d = 0.0;  // squared distance, in the search's units
  bool covers = false;
};

CellSiteTable::CellSiteTable() : store_(std::make_unique<Store>()), grids_(kPnCount) { store_->rehash(64); }

CellSiteTable::~CellSiteTable() = default;

bool CellSiteTable::load_csv(const std::string& path, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot open cell-site file " + path;
    return false;
  }
  if (!parse_csv(in, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

bool CellSiteTable::parse_csv(const std::string& text, std::string& error) {
  std::istringstream in(text);
  return parse_csv(in, error);
}

bool CellSiteTable::parse_csv(std::istream& in, std::string& error) {
  std::streambuf& buf = *in.rdbuf();
  // A UTF-8 byte order mark.
  for (const char bom : {'\xEF', '\xBB', '\xBF'}) {
    if (buf.sgetc() != std::char_traits<char>::to_int_type(bom)) break;
    buf.sbumpc();
  }
  CsvRows rows(buf);
  CsvRow row;
  ColumnMap map;
  for (std::size_t c = 0; c < kColumnCount; ++c) map[c] = c;
  std::size_t header_fields = 0;
  Store& st = *store_;
  const std::size_t cells_before = st.cells.size();
  const std::size_t sites_before = st.sites.size();
  const bool stale_before = stale_;
  // A bad row takes back what the rows before it added (their texts stay unused).
  const auto fail = [&](const std::string& message) {
    error = message;
    st.cells.shrink(cells_before);
    if (!st.projected.empty()) st.projected.resize(cells_before);
    if (st.sites.size() != sites_before) {
      st.sites.shrink(sites_before);
      st.rehash(st.site_slots.size());
    }
    stale_ = stale_before;
    return false;
  };
  bool first = true;
  std::string unreadable;
  while (rows.next(row, unreadable)) {
    const auto at = [&row] { return "line " + std::to_string(row.line) + ": "; };
    if (first && is_header(row)) {
      first = false;
      if (const std::string why = map_header(row, map); !why.empty()) return fail(at() + why);
      header_fields = row.fields.size();
      continue;
    }
    first = false;
    CellSite site;
    CellBeam beam;
    if (const std::string why = parse_site(row, map, header_fields, site, beam); !why.empty()) return fail(at() + why);
    add(site, beam);
  }
  if (!unreadable.empty()) return fail(unreadable);
  if (st.cells.size() != cells_before) build_index();
  return true;
}

const CellSiteTable::Site* CellSiteTable::site_named(std::string_view name) {
  Store& st = *store_;
  std::size_t slot = st.slot_of(name);
  if (st.site_slots[slot] != 0) return &st.sites[st.site_slots[slot] - 1];
  Site& site = st.sites.emplace_back();
  site.name = st.texts.keep(name);
  if (2 * st.sites.size() > st.site_slots.size()) {
    st.rehash(2 * st.site_slots.size());
  } else {
    st.site_slots[slot] = static_cast<std::uint32_t>(st.sites.size());
  }
  return &site;
}

// A PN outside 0..511 is kept but can never be found.
void CellSiteTable::add(const CellSite& data, const CellBeam& beam) {
  Store& st = *store_;
  const Site* site = site_named(data.site_name);
  Cell& cell = st.cells.emplace_back();
  cell.data = data;
  cell.data.site_name = site->name;
  cell.data.sector_id = st.texts.keep(data.sector_id);
  cell.site = site;
  cell.has_azimuth = beam.azimuth.has_value();
  cell.azimuth = beam.azimuth.value_or(0.0);
  cell.has_beamwidth = beam.beamwidth.has_value();
  cell.beamwidth = beam.beamwidth.value_or(0.0);
  if (system_ != nullptr) st.projected.emplace_back();
  place(st.cells.size() - 1);
  stale_ = true;
}

const CellSite& CellSiteTable::cell(std::size_t i) const {
  if (i >= store_->cells.size()) throw std::out_of_range("CellSiteTable::cell");
  return store_->cells[i].data;
}

CellBeam CellSiteTable::beam(std::size_t i) const {
  if (i >= store_->cells.size()) throw std::out_of_range("CellSiteTable::beam");
  return store_->cells[i].beam();
}

std::size_t CellSiteTable::size() const { return store_->cells.size(); }

void CellSiteTable::set_projection(const CCoordinateSystem* system) {
  // A system that failed to set up leaves positions in longitude/latitude.
  system_ = system != nullptr && system->valid() ? system : nullptr;
  Store& st = *store_;
  st.projected.clear();
  if (system_ != nullptr) st.projected.resize(st.cells.size());
  for (std::size_t i = 0; i < st.cells.size(); ++i) place(i);
  if (st.cells.size() > 0) build_index();
}

void CellSiteTable::place(std::size_t i) {
  Store& st = *store_;
  Cell& cell = st.cells[i];
  if (system_ == nullptr) {
    cell.placed = true;
    return;
  }
  std::array<double, 2>& xy = st.projected[i];
  cell.placed = system_->forward(cell.data.longitude, cell.data.latitude, xy[0], xy[1]);
}

double CellSiteTable::x_of(std::size_t i) const {
  return system_ == nullptr ? store_->cells[i].data.longitude : store_->projected[i][0];
}
double CellSiteTable::y_of(std::size_t i) const {
  return system_ == nullptr ? store_->cells[i].data.latitude : store_->projected[i][1];
}

void CellSiteTable::build_index() {
  const Store& st = *store_;
  std::vector<std::vector<std::uint32_t>> by_pn(kPnCount);
  for (std::size_t i = 0; i < st.cells.size(); ++i) {
    const Cell& c = st.cells[i];
    if (c.placed && c.data.pn < kPnCount) by_pn[c.data.pn].push_back(static_cast<std::uint32_t>(i));
  }
  for (unsigned pn = 0; pn < kPnCount; ++pn) {
    std::vector<std::uint32_t>& list = by_pn[pn];
    PnGrid& g = grids_[pn];
    g = PnGrid();
    if (list.empty()) continue;
    g.first = list.front();
    g.x0 = g.x1 = x_of(list.front());
    g.y0 = g.y1 = y_of(list.front());
    for (const std::uint32_t i : list) {
      g.x0 = std::min(g.x0, x_of(i));
      g.x1 = std::max(g.x1, x_of(i));
      g.y0 = std::min(g.y0, y_of(i));
      g.y1 = std::max(g.y1, y_of(i));
      g.listed = g.listed || !std::isfinite(x_of(i)) || !std::isfinite(y_of(i));
    }
    const double wide = g.x1 - g.x0;
    const double tall = g.y1 - g.y0;
    g.listed = g.listed || !std::isfinite(wide) || !std::isfinite(tall);
    if (g.listed) {
      g.nx = g.ny = 1;
      g.start = {0, static_cast<std::uint32_t>(list.size())};
      g.cells = std::move(list);
      continue;
    }
    // About one cell a bucket, buckets about square.
    const auto n = static_cast<double>(list.size());
    double cols = 1.0;
    double rows = 1.0;
    if (wide > 0.0 && tall > 0.0) {
      const double side = std::sqrt(wide * tall / n);
      cols = std::clamp(std::ceil(wide / side), 1.0, n);
      rows = std::clamp(std::ceil(tall / side), 1.0, n);
    } else if (wide > 0.0) {
      cols = n;
    } else if (tall > 0.0) {
      rows = n;
    }
    g.nx = static_cast<std::size_t>(cols);
    g.ny = static_cast<std::size_t>(rows);
    g.w = wide > 0.0 ? wide / cols : 1.0;
    g.h = tall > 0.0 ? tall / rows : 1.0;
    g.start.assign(g.nx * g.ny + 1, 0);
    for (const std::uint32_t i : list) ++g.start[g.row(y_of(i)) * g.nx + g.column(x_of(i)) + 1];
    for (std::size_t b = 1; b < g.start.size(); ++b) g.start[b] += g.start[b - 1];
    g.cells.resize(list.size());
    std::vector<std::uint32_t> fill(g.start.begin(), g.start.end() - 1);
    for (const std::uint32_t i : list) g.cells[fill[g.row(y_of(i)) * g.nx + g.column(x_of(i))]++] = i;
  }
  stale_ = false;
}

// The distance is measured as the position's own: without a projection x/y are
// degrees, a degree of longitude shrinking with the cosine of the latitude and
// differences wrapping at the antimeridian.
void CellSiteTable::consider(Best& best, std::size_t i, double x, double y, double lon_scale) const {
  double dx = x - x_of(i);
  if (system_ == nullptr) dx = std::remainder(dx, 360.0) * lon_scale;
  const double dy = y - y_of(i);
  const double d = dx * dx + dy * dy;
  const bool covers = beam_covers(store_->cells[i].beam(), dx, dy);
  // A covering beam wins over any that faces away, however near; then the nearer; then
  // the cell listed first.
  if (best.cell == kNoCell || (covers && !best.covers) ||
      (covers == best.covers && (d < best.d || (d == best.d && i < best.cell)))) {
    best = {static_cast<std::uint32_t>(i), d, covers};
  }
}

CellSiteTable::Best CellSiteTable::search(unsigned pn, double x, double y) const {
  Best best;
  if (pn >= kPnCount) return best;
  const double lon_scale = system_ == nullptr ? std::cos(y * std::numbers::pi / 180.0) : 1.0;
  const Store& st = *store_;
  // A position off the finite plane, or a cell there, compares no distances: the first
  // placed cell listed is the answer, as a scan in the order added would give.
  const auto first_of = [&](std::uint32_t i) {
    double dx = x - x_of(i);
    if (system_ == nullptr) dx = std::remainder(dx, 360.0) * lon_scale;
    const double dy = y - y_of(i);
    return Best{i, dx * dx + dy * dy, true};
  };
  if (stale_) {
    // Added to since the last index: one pass in the order added, as the index answers.
    if (!std::isfinite(x) || !std::isfinite(y)) {
      for (std::size_t i = 0; i < st.cells.size(); ++i) {
        if (st.cells[i].placed && st.cells[i].data.pn == pn) return first_of(static_cast<std::uint32_t>(i));
      }
      return best;
    }
    for (std::size_t i = 0; i < st.cells.size(); ++i) {
      if (st.cells[i].placed && st.cells[i].data.pn == pn) consider(best, i, x, y, lon_scale);
    }
    return best;
  }
  const PnGrid& g = grids_[pn];
  if (g.cells.empty()) return best;
  if (!std::isfinite(x) || !std::isfinite(y)) return first_of(g.first);
  if (g.listed) {
    // The scan the index stands for, with the rule's first-listed tie-break built in.
    for (const std::uint32_t i : g.cells) {
      double dx = x - x_of(i);
      if (system_ == nullptr) dx = std::remainder(dx, 360.0) * lon_scale;
      const double dy = y - y_of(i);
      const double d = dx * dx + dy * dy;
      const bool covers = beam_covers(st.cells[i].beam(), dx, dy);
      if (best.cell == kNoCell || (covers && !best.covers) || (covers == best.covers && d < best.d)) best = {i, d, covers};
    }
    return best;
  }
  // Where a difference would wrap at the antimeridian the grid's geometry does not hold.
  if (system_ == nullptr && std::max(g.x1, x) - std::min(g.x0, x) > 180.0) {
    for (const std::uint32_t i : g.cells) consider(best, i, x, y, lon_scale);
    return best;
  }
  // Rings of buckets around the position's, until no bucket left can hold a cell nearer
  // than a covering one found (a cell facing away can never beat it).
  const auto ci = static_cast<std::ptrdiff_t>(g.column(x));
  const auto cj = static_cast<std::ptrdiff_t>(g.row(y));
  const auto nx = static_cast<std::ptrdiff_t>(g.nx);
  const auto ny = static_cast<std::ptrdiff_t>(g.ny);
  const double sx = std::fabs(lon_scale);
  // Bucket edges are recomputed here, so allow for rounding in the bound.
  const double slack = 1e-9 * (std::fabs(g.x0) + std::fabs(g.x1) + std::fabs(g.y0) + std::fabs(g.y1) + g.w + g.h);
  const auto visit = [&](std::ptrdiff_t i, std::ptrdiff_t j) {
    if (i < 0 || j < 0 || i >= nx || j >= ny) return;
    const std::size_t b = static_cast<std::size_t>(j) * g.nx + static_cast<std::size_t>(i);
    for (std::uint32_t k = g.start[b]; k < g.start[b + 1]; ++k) consider(best, g.cells[k], x, y, lon_scale);
  };
  for (std::ptrdiff_t r = 0;; ++r) {
    if (r == 0) {
      visit(ci, cj);
    } else {
      for (std::ptrdiff_t i = ci - r; i <= ci + r; ++i) {
        visit(i, cj - r);
        visit(i, cj + r);
      }
      for (std::ptrdiff_t j = cj - r + 1; j <= cj + r - 1; ++j) {
        visit(ci - r, j);
        visit(ci + r, j);
      }
    }
    // The nearest any bucket outside the rings done can be.
    double bound = std::numeric_limits<double>::infinity();
    if (ci - r > 0) bound = std::min(bound, (x - (g.x0 + static_cast<double>(ci - r) * g.w) - slack) * sx);
    if (ci + r < nx - 1) bound = std::min(bound, ((g.x0 + static_cast<double>(ci + r + 1) * g.w) - x - slack) * sx);
    if (cj - r > 0) bound = std::min(bound, y - (g.y0 + static_cast<double>(cj - r) * g.h) - slack);
    if (cj + r < ny - 1) bound = std::min(bound, (g.y0 + static_cast<double>(cj + r + 1) * g.h) - y - slack);
    if (bound == std::numeric_limits<double>::infinity()) break;  // every bucket done
    if (best.cell != kNoCell && best.covers && bound > 0.0 && bound * bound > best.d) break;
  }
  return best;
}

std::optional<CellMatch> CellSiteTable::nearest(unsigned pn, double x, double y) const {
  const Best best = search(pn, x, y);
  if (best.cell == kNoCell) return std::nullopt;
  // Without a projection the scaled degrees are on a sphere of the mean earth radius.
  constexpr double kMetresPerDegree = 6371008.8 * std::numbers::pi / 180.0;
  return CellMatch{best.cell, &store_->cells[best.cell].data, &store_->cells[best.cell],
                   std::sqrt(best.d) * (system_ == nullptr ? kMetresPerDegree : 1.0)};
}

std::vector<std::size_t> CellSiteTable::within(double lat0, double lon0, double lat1, double lon1) const {
  const Store& st = *store_;
  std::vector<std::size_t> out;
  const auto inside = [&](std::size_t i) {
    const CellSite& c = st.cells[i].data;
    return c.latitude >= lat0 && c.latitude <= lat1 && c.longitude >= lon0 && c.longitude <= lon1;
  };
  // The grids are in longitude/latitude only without a projection, and hold neither
  // unplaced cells nor PNs past 511.
  if (stale_ || system_ != nullptr) {
    for (std::size_t i = 0; i < st.cells.size(); ++i) {
      if (inside(i)) out.push_back(i);
    }
    return out;
  }
  for (std::size_t i = 0; i < st.cells.size(); ++i) {
    if (st.cells[i].data.pn >= kPnCount && inside(i)) out.push_back(i);
  }
  for (const PnGrid& g : grids_) {
    if (g.cells.empty() || lon1 < g.x0 || lon0 > g.x1 || lat1 < g.y0 || lat0 > g.y1) continue;
    if (g.listed) {
      for (const std::uint32_t i : g.cells) {
        if (inside(i)) out.push_back(i);
      }
      continue;
    }
    const std::size_t i0 = g.column(lon0), i1 = g.column(lon1), j0 = g.row(lat0), j1 = g.row(lat1);
    for (std::size_t j = j0; j <= j1; ++j) {
      for (std::uint32_t k = g.start[j * g.nx + i0]; k < g.start[j * g.nx + i1 + 1]; ++k) {
        if (inside(g.cells[k])) out.push_back(g.cells[k]);
      }
    }
  }
  std::sort(out.begin(), out.end());
  return out;
}

void CellSiteTable::Search(unsigned pn, double x, double y, const IDekPropertyObject** cell) {
  if (cell == nullptr) return;
  if (stale_) build_index();
  const std::optional<CellMatch> found = nearest(pn, x, y);
  *cell = found ? found->object : nullptr;
}

void CellLookups::Search(unsigned pn, double x, double y, const IDekPropertyObject** cell) {
  if (cell == nullptr) return;
  *cell = nullptr;
  if (table_ == nullptr) return;
  const std::optional<CellMatch> m = table_->nearest(pn, x, y);
  if (!m) return;
  *cell = m->object;
  for (const CellLookup& l : lookups_) {
    if (l.pn == pn) return;
  }
  lookups_.push_back({pn, m->cell, m->distance_m});
}
