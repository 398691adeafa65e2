// What the drivers share. Their one way to fail: a broken expectation prints where and aborts, so
// libFuzzer and the replay driver (replay_main.cpp) both see a crash and keep the input.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace vidoria::fuzz {

[[noreturn]] inline void Broken(const char* file, int line, const char* what) {
  std::fprintf(stderr, "%s:%d: expectation broken: %s\n", file, line, what);
  std::abort();
}

// A stable hash of the input (FNV-1a), for choices a driver derives from it.
inline uint64_t Hash(std::string_view data) {
  uint64_t hash = 14695981039346656037u;
  for (const char c : data) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211u;
  }
  return hash;
}

}  // namespace vidoria::fuzz

#define FUZZ_EXPECT(condition)                                                 \
  do {                                                                         \
    if (!(condition)) ::vidoria::fuzz::Broken(__FILE__, __LINE__, #condition); \
  } while (false)
