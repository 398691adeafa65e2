#include "server/info.h"
#include "server/text.h"

#include <charconv>
#include <utility>

namespace vidoria {
namespace {

// One visitor per kind asked for; only a text can fail to convert.
struct ToText {
  std::string operator()(const std::string& s) const { return s; }
  std::string operator()(bool b) const { return b ? "True" : "False"; }
  std::string operator()(int64_t n) const { return std::to_string(n); }
};

struct ToBoolean {
  bool operator()(const std::string& s) const {
    if (EqualsIgnoreCase(s, "True")) return true;
    if (EqualsIgnoreCase(s, "False")) return false;
    throw EConvertError("Can not convert AnsiString to Boolean.");
  }
  bool operator()(bool b) const { return b; }
  bool operator()(int64_t n) const { return n != 0; }
};

struct ToLargeInt {
  int64_t operator()(const std::string& s) const {
    int64_t n = 0;
    const char* end = s.data() + s.size();
    auto [stop, error] = std::from_chars(s.data(), end, n);
    if (s.empty() || error != std::errc() || stop != end) {
      throw EConvertError("Can not convert AnsiString to LargeInt.");
    }
    return n;
  }
  // Providers store flags and counters in the same record; 1/0 lets a flag be summed or compared
  // with a counter without a special case.
  int64_t operator()(bool b) const { return b ? 1 : 0; }
  int64_t operator()(int64_t n) const { return n; }
};

}  // namespace

std::string Info::TextField(std::string_view name) const {
  const Value* value = Find(name);
  return value ? std::visit(ToText(), *value) : std::string();
}

bool Info::BooleanField(std::string_view name) const {
  const Value* value = Find(name);
  return value ? std::visit(ToBoolean(), *value) : false;
}

int64_t Info::LargeIntField(std::string_view name) const {
  const Value* value = Find(name);
  return value ? std::visit(ToLargeInt(), *value) : 0;
}

void Info::SetTextField(std::string_view name, std::string_view value) {
  Set(name, std::string(value));
}

void Info::SetBooleanField(std::string_view name, bool value) {
  Set(name, value);
}

void Info::SetLargeIntField(std::string_view name, int64_t value) {
  Set(name, value);
}

bool Info::Has(std::string_view name) const {
  return Find(name) != nullptr;
}

void Info::Remove(std::string_view name) {
  std::erase_if(fields_, [name](const auto& field) { return EqualsIgnoreCase(field.first, name); });
}

void Info::Set(std::string_view name, Value value) {
  if (name.empty()) {
    throw EConvertError("TRecord.SetObject: Fields without a name not allowed.");
  }
  for (auto& field : fields_) {
    if (EqualsIgnoreCase(field.first, name)) {
      field.second = std::move(value);
      return;
    }
  }
  fields_.emplace_back(std::string(name), std::move(value));
}

const Info::Value* Info::Find(std::string_view name) const {
  for (const auto& field : fields_) {
    if (EqualsIgnoreCase(field.first, name)) return &field.second;
  }
  return nullptr;
}

}  // namespace vidoria
