#pragma once
// Format groups: named value-name tables the host uses to spell enumerated values.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct ValueName {
  std::int64_t value;
  const char* name;
};

class COrbFormatGroupManager {
 public:
  static constexpr int kUnknownGroup = -1;

  // Code of a group by name; kUnknownGroup when no such group is registered.
  int fgGetFormatGroupCode(const char* name) const;
  // Name of value in the group; the value as a number when the group has no name for it.
  void fgFormatValue(std::string& out, int code, double value, int, int) const;

  void add(const char* name, std::span<const ValueName> table);
  std::size_t size() const { return groups_.size(); }

 private:
  struct Group {
    std::string_view name;
    std::span<const ValueName> table;
  };
  std::vector<Group> groups_;
};

COrbFormatGroupManager* GetFormatGroupManager();

// Decoder files register the groups they name, once, at load.
struct FormatGroupRegistration {
  FormatGroupRegistration(const char* name, std::span<const ValueName> table) {
    GetFormatGroupManager()->add(name, table);
  }
};
