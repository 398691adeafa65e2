// A value or the reason it could not be had. The tool reports every failure as one line,
// "faststart: <input>: <reason>", so a reason is plain text worded to follow that prefix.
#pragma once

#include <string>

#include "platform/result.h"

namespace vidoria::mp4 {

struct Failure {
  std::string reason;
};

// The platform's result with a plain-text reason, readable whether or not it failed.
template <typename T>
class Result : public OsResult<T, Failure> {
 public:
  using OsResult<T, Failure>::OsResult;

  // Empty when Ok().
  const std::string& Reason() const {
    static const std::string kNone;
    return this->Ok() ? kNone : this->Error().reason;
  }
};

// For operations that produce nothing but may fail.
using Status = Result<Done>;
inline Status Ok() {
  return Done{};
}

}  // namespace vidoria::mp4
