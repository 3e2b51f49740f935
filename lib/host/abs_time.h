#pragma once
#include <cstdint>
#include <string>

// Milliseconds since 1970-01-01 00:00:00 UTC.
class COrbMilliSecAbsTime {
 public:
  explicit COrbMilliSecAbsTime(std::int64_t ms = 0) : ms_(ms) {}
  std::int64_t ms() const { return ms_; }
  // "YYYY-MM-DD HH:MM:SS.mmm" in UTC; a format, when given, is ignored.
  void GetAbsTimeStr(std::string& out, const char* format) const;

 private:
  std::int64_t ms_;
};
