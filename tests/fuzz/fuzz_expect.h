// The drivers' one way to fail: a broken expectation prints where and aborts, so libFuzzer and
// the replay driver (replay_main.cpp) both see a crash and keep the input.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace vidoria::fuzz {

[[noreturn]] inline void Broken(const char* file, int line, const char* what) {
  std::fprintf(stderr, "%s:%d: expectation broken: %s\n", file, line, what);
  std::abort();
}

}  // namespace vidoria::fuzz

#define FUZZ_EXPECT(condition)                                                 \
  do {                                                                         \
    if (!(condition)) ::vidoria::fuzz::Broken(__FILE__, __LINE__, #condition); \
  } while (false)
