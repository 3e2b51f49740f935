#pragma once
// Cell-reference search over a cell-site list: the nearest cell that radiates a PN,
// preferring a sector whose beam faces the position.
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

class IDekPropertyObject;
using PropertyValue = std::variant<std::monostate, std::string, const IDekPropertyObject*>;

class IDekPropertyObject {
 public:
  virtual ~IDekPropertyObject() = default;
  // "Sector_ID" (text) and "CDMA_SiteIDForCell" (site object) on a cell,
  // "Site_Name" (text) on a site; empty for anything else.
  virtual PropertyValue GetProperty(const char* name) const = 0;
};

class IDekCellRefs_Search {
 public:
  virtual ~IDekCellRefs_Search() = default;
  // Likely cell with this PN at (x, y); *cell is null when none matches.
  virtual void Search(unsigned pn, double x, double y, const IDekPropertyObject** cell) = 0;
};

class CCoordinateSystem;

// The texts of a cell the table holds live in the table; add() copies them.
struct CellSite {
  unsigned pn = 0;
  double latitude = 0.0;
  double longitude = 0.0;
  std::string_view sector_id;
  std::string_view site_name;
};

// Where a sector radiates; a cell without an azimuth radiates all round.
struct CellBeam {
  std::optional<double> azimuth;    // degrees clockwise from north, 0 to 360
  std::optional<double> beamwidth;  // degrees, the whole beam; none with an azimuth: 120
};

// One likely-cell answer a decoder was given, for the outputs. The texts live in the table.
struct CellLookup {
  unsigned pn = 0;
  const CellSite* cell = nullptr;
  double distance_m = 0.0;  // from the position searched to the cell
};

// A cell a const search found: its place in the order added, the object the decoders
// read its names from, and how far it is.
struct CellMatch {
  std::size_t index = 0;
  const CellSite* cell = nullptr;
  const IDekPropertyObject* object = nullptr;
  double distance_m = 0.0;
};

class CellSiteTable final : public IDekCellRefs_Search {
 public:
  CellSiteTable();
  ~CellSiteTable() override;
  CellSiteTable(const CellSiteTable&) = delete;
  CellSiteTable& operator=(const CellSiteTable&) = delete;

  // CSV. A first row that does not start with a number is a header, and columns are
  // then found by name (pn, latitude, longitude needed; sector_id, site_name, azimuth,
  // beamwidth used when present; others ignored); without one the columns are
  // pn,latitude,longitude,sector_id,site_name[,azimuth[,beamwidth]]. Fields may be
  // quoted. Returns false with a message on the first bad row ("line N: ..."), in
  // which case nothing of the text is added.
  bool load_csv(const std::string& path, std::string& error);
  bool parse_csv(const std::string& text, std::string& error);
  bool parse_csv(std::istream& in, std::string& error);
  void add(const CellSite& site, const CellBeam& beam = {});
  // Positions searched are map coordinates of this system; the sites are projected
  // the same way so distances compare like with like. Null: longitude/latitude.
  void set_projection(const CCoordinateSystem* system);
  std::size_t size() const;
  // The i-th cell added, i below size().
  const CellSite& cell(std::size_t i) const;
  CellBeam beam(std::size_t i) const;

  // The likely cell of a PN at map x/y (longitude/latitude without a projection): among
  // the PN's cells, one whose beam covers the position wins over any that faces away,
  // however near; then the nearer; ties keep the row listed first. None when no cell
  // has the PN. Records nothing and changes nothing, so one table serves any number of
  // decoding sessions at once.
  std::optional<CellMatch> nearest(unsigned pn, double x, double y) const;
  // nearest() for the decoders.
  void Search(unsigned pn, double x, double y, const IDekPropertyObject** cell) override;
  // The cells whose latitude and longitude lie in the box (edges included), as indices
  // in the order added.
  std::vector<std::size_t> within(double lat0, double lon0, double lat1, double lon1) const;

 private:
  struct Site;
  struct Cell;
  struct Store;
  struct PnGrid;
  struct Best;
  void place(std::size_t i);
  // The x/y Search measures from: map x/y under the projection, else longitude/latitude.
  double x_of(std::size_t i) const;
  double y_of(std::size_t i) const;
  const Site* site_named(std::string_view name);
  void build_index();
  Best search(unsigned pn, double x, double y) const;
  void consider(Best& best, std::size_t i, double x, double y, double lon_scale) const;

  std::unique_ptr<Store> store_;
  // Per PN, a grid of its cells' places; rebuilt by Search after add(), stale until then.
  std::vector<PnGrid> grids_;
  bool stale_ = false;
  const CCoordinateSystem* system_ = nullptr;
};

// The cell search one decoding session hands its decoders: answers from a shared table
// and keeps, per packet, the cells it gave (one per PN, in the order first asked).
class CellLookups final : public IDekCellRefs_Search {
 public:
  explicit CellLookups(const CellSiteTable* table) : table_(table) {}
  void Search(unsigned pn, double x, double y, const IDekPropertyObject** cell) override;
  const std::vector<CellLookup>& lookups() const { return lookups_; }
  void clear() { lookups_.clear(); }

 private:
  const CellSiteTable* table_;
  std::vector<CellLookup> lookups_;
};
