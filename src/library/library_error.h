// The library layer's error style: an operation that fails throws a LibraryError (or one of its
// kinds: StoreError, SettingsError, StreamingError) whose what() is the whole message as the
// program shows and logs it, so a caller can report e.what() and go on. Functions that answer a
// question rather than do something return their answer instead: a "Problem" function returns
// why a value cannot be stored (nullopt when it can), and the start-up loaders that recover on
// their own (the ...OrSetAside functions) return the notice to report. Failures of the platform
// layer below (OsError values) are turned into these messages where they are met.
#pragma once

#include <stdexcept>

namespace vidoria {

class LibraryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace vidoria
