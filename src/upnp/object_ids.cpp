#include "upnp/object_ids.h"

#include <cstdio>

namespace vidoria {

uint64_t StableHash(std::string_view bytes, uint64_t seed) {
  uint64_t hash = seed;
  for (const char c : bytes) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  return hash;
}

std::string HashKey(std::string_view text) {
  char digits[17];
  std::snprintf(digits, sizeof digits, "%016llx",
                static_cast<unsigned long long>(StableHash(text)));
  return digits;
}

std::string UniqueKeys::Next(std::string_view text) {
  std::string key = HashKey(text);
  const int count = ++seen_[key];
  if (count > 1) key += "-" + std::to_string(count);
  return key;
}

}  // namespace vidoria
