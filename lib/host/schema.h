#pragma once
// The host schema: one id per distinct attribute name, assigned on first lookup.
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class IOrbSchemaAccessor2 {
 public:
  virtual ~IOrbSchemaAccessor2() = default;
  virtual std::uint32_t GetAttributeId(const char* name) = 0;
};

class Schema final : public IOrbSchemaAccessor2 {
 public:
  std::uint32_t GetAttributeId(const char* name) override;
  // Name of an id for output; "" for an id the schema never gave out.
  std::string_view name_of(std::uint32_t id) const;
  std::size_t size() const;

 private:
  mutable std::mutex mutex_;
  std::unordered_map<std::string, std::uint32_t> ids_;
  std::vector<const std::string*> names_;  // index id - 1; stable node pointers
};

// The process-wide schema the library resolves its attribute names against.
Schema* GetSchemaDefsDynamic();
