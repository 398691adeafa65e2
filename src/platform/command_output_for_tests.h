// Test helper: what a shell command prints, for tests that judge files with real tools (ffprobe,
// curl) rather than with the code under test.
#pragma once

#include <cstdio>
#include <string>

namespace vidoria {

// Standard output of `command` run by /bin/sh, whole; "" when it could not be started.
inline std::string CommandOutput(const std::string& command) {
  std::string out;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  ::pclose(pipe);
  return out;
}

}  // namespace vidoria
