// The one error of the stored-file layer.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "library/library_error.h"

namespace vidoria {

// what(): action + " " + path + ": " + reason, e.g.
// "Cannot read /home/u/.local/share/Kelvane3/LIBRARY.kavra: not a grid file (line 1 is no count)".
// Reason() alone is short enough to quote in a status or dialog line beside the file name.
class StoreError : public LibraryError {
 public:
  StoreError(std::string_view action, std::string path, std::string reason)
      : LibraryError(std::string(action) + " " + path + ": " + reason),
        path_(std::move(path)),
        reason_(std::move(reason)) {}

  const std::string& Path() const { return path_; }
  const std::string& Reason() const { return reason_; }

 private:
  std::string path_;
  std::string reason_;
};

}  // namespace vidoria
