// Test helper: an environment of the test's own, where unset names read as "".
#pragma once

#include <map>
#include <string>

#include "platform/folders.h"

namespace vidoria {

inline EnvLookup EnvFrom(std::map<std::string, std::string> vars) {
  return [vars = std::move(vars)](const char* name) {
    const auto it = vars.find(name);
    return it == vars.end() ? std::string() : it->second;
  };
}

}  // namespace vidoria
