#include "framework/value_names.h"

namespace cdmadiag {

std::string group_text(const char* group, double value) {
  const COrbFormatGroupManager* groups = GetFormatGroupManager();
  std::string out;
  groups->fgFormatValue(out, groups->fgGetFormatGroupCode(group), value, 0, 0);
  return out;
}

}  // namespace cdmadiag
