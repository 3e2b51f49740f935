// The cell-site CSV parser and the searches over what it loads: a bad text adds nothing
// (the table keeps what it had), and every answer is a cell of the PN asked for, inside
// the box asked for.
#include <cmath>
#include <cstdlib>
#include <string>

#include "fuzz_target.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CellSiteTable table;
  std::string error;
  if (!table.parse_csv("7,43.0,-89.0,a,A,90,60\n", error)) std::abort();
  const std::string text(reinterpret_cast<const char*>(data), size);
  const bool ok = table.parse_csv(text, error);
  if (!ok && (table.size() != 1 || error.empty())) std::abort();
  // Places at, near and far from the listed cells, and off the map.
  const double places[][2] = {{-89.0, 43.0}, {-89.01, 43.02}, {0.0, 0.0}, {179.9, -60.0}, {NAN, 1.0}};
  for (std::size_t i = 0; i < table.size() && i < 16; ++i) {
    const CellSite& c = table.cell(i);
    for (const auto& at : places) {
      for (const double x : {at[0], c.longitude}) {
        const std::optional<CellMatch> m = table.nearest(c.pn, x, at[1]);
        if (c.pn < 512 && !m) std::abort();
        if (m && (m->index >= table.size() || table.cell(m->index).pn != c.pn || m->cell != &table.cell(m->index))) {
          std::abort();
        }
        const IDekPropertyObject* found = nullptr;
        table.Search(c.pn, x, at[1], &found);
        if ((found != nullptr) != m.has_value()) std::abort();
        if (found != nullptr) (void)found->GetProperty("Sector_ID");
      }
    }
    const double lat = c.latitude, lon = c.longitude;
    for (const std::size_t k : table.within(lat - 0.5, lon - 0.5, lat + 0.5, lon + 0.5)) {
      const CellSite& in = table.cell(k);
      if (!(std::fabs(in.latitude - lat) <= 0.5 && std::fabs(in.longitude - lon) <= 0.5)) std::abort();
    }
  }
  return 0;
}
