// Names of a TV's objects that stay with what they name: a video's id comes from its file's path
// and a playlist's from its name, so adding or removing files does not make a TV's resume point
// or favourite open another video. Pure; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

namespace vidoria {

// 64-bit FNV-1a: stable across runs and builds, unlike std::hash.
uint64_t StableHash(std::string_view bytes, uint64_t seed = 14695981039346656037ull);

// 16 lower-case hex digits of StableHash(text).
std::string HashKey(std::string_view text);

// Keys unique within one container: the first object with a key keeps it, a later one with the
// same key (the same file listed twice) gets "-2", "-3", ... in the order they are listed.
class UniqueKeys {
 public:
  std::string Next(std::string_view text);

 private:
  std::unordered_map<std::string, int> seen_;
};

}  // namespace vidoria
