// Named, typed values that providers keep per request or per connection.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "server/exceptions.h"

namespace vidoria {

class EConvertError : public CoreException {
 public:
  using CoreException::CoreException;
  const char* ClassName() const noexcept override { return "EConvertError"; }
};

// Fields are matched by name case-insensitively and keep the spelling of their first Set. Reading
// an absent field gives "", false or 0. Reading converts: a boolean reads as "True"/"False" or 1/0,
// a number as its decimal text or as non-zero; a text reads as a number only when it is a decimal
// number (optional '-', digits, in range) and as a boolean only when it is "True" or "False" (any
// case). Any other text raises EConvertError "Can not convert AnsiString to LargeInt." or
// "... to Boolean.". Setting a field replaces its value and kind. Not thread-safe: owned by one
// connection's job.
class Info {
 public:
  using Value = std::variant<std::string, bool, int64_t>;

  std::string TextField(std::string_view name) const;
  bool BooleanField(std::string_view name) const;
  int64_t LargeIntField(std::string_view name) const;

  // An empty name raises EConvertError "TRecord.SetObject: Fields without a name not allowed.".
  void SetTextField(std::string_view name, std::string_view value);
  void SetBooleanField(std::string_view name, bool value);
  void SetLargeIntField(std::string_view name, int64_t value);

  bool Has(std::string_view name) const;
  void Remove(std::string_view name);
  size_t Count() const { return fields_.size(); }
  void Clear() { fields_.clear(); }

 private:
  void Set(std::string_view name, Value value);
  const Value* Find(std::string_view name) const;

  std::vector<std::pair<std::string, Value>> fields_;
};

}  // namespace vidoria
