// Whether a library row's media file is there, asked while pages are generated.
#pragma once

#include <functional>
#include <string>

namespace vidoria {

// True when `path` names an existing file. Generators take it as a parameter so that tests and
// benchmarks decide which files exist; the program passes ExistingFile.
using FileExists = std::function<bool(const std::string& path)>;

// The real check: something that is not a folder exists at `path` (links are followed).
bool ExistingFile(const std::string& path);

}  // namespace vidoria
