#pragma once
// Cell-reference search over a cell-site list: the nearest cell that radiates a PN,
// preferring a sector whose beam faces the position.
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
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

struct CellSite {
  unsigned pn = 0;
  double latitude = 0.0;
  double longitude = 0.0;
  std::string sector_id;
  std::string site_name;
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

// A likely cell found, and the object the decoders read its names from.
struct CellMatch {
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
  void add(const CellSite& site, const CellBeam& beam = {});
  // Positions searched are map coordinates of this system; the sites are projected
  // the same way so distances compare like with like. Null: longitude/latitude.
  void set_projection(const CCoordinateSystem* system);
  std::size_t size() const { return cells_.size(); }
  // The i-th cell added, i below size().
  const CellSite& cell(std::size_t i) const;
  const CellBeam& beam(std::size_t i) const;

  // The likely cell of a PN at a position (map x/y under the projection, else longitude
  // and latitude): among the PN's cells, one whose beam covers the position wins over
  // any that faces away, however near; then the nearer; ties keep the row listed first.
  std::optional<CellMatch> find(unsigned pn, double x, double y) const;
  // find() for the decoders; records nothing, so one table serves any number of runs.
  void Search(unsigned pn, double x, double y, const IDekPropertyObject** cell) override;

 private:
  struct Site;
  struct Cell;
  void place(Cell& cell) const;

  std::vector<std::unique_ptr<Site>> sites_;
  std::vector<std::unique_ptr<Cell>> cells_;
  std::unordered_map<std::string, Site*> site_by_name_;
  std::vector<std::vector<const Cell*>> by_pn_;  // index PN, cells in the order added
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
