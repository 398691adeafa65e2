// A value or the reason it could not be had. The tool reports every failure as one line,
// "faststart: <input>: <reason>", so a reason is plain text worded to follow that prefix.
#pragma once

#include <cassert>
#include <optional>
#include <string>
#include <utility>

namespace vidoria::faststart {

struct Failure {
  std::string reason;
};

template <typename T>
class Result {
 public:
  Result(T value) : value_(std::move(value)) {}
  Result(Failure failure) : reason_(std::move(failure.reason)) {}

  bool Ok() const { return value_.has_value(); }
  explicit operator bool() const { return Ok(); }

  T& Value() {
    assert(Ok());
    return *value_;
  }
  const T& Value() const {
    assert(Ok());
    return *value_;
  }
  T& operator*() { return Value(); }
  const T& operator*() const { return Value(); }
  T* operator->() { return &Value(); }
  const T* operator->() const { return &Value(); }

  // Empty when ok().
  const std::string& Reason() const { return reason_; }

 private:
  std::optional<T> value_;
  std::string reason_;
};

// For operations that produce nothing but may fail.
struct Done {};
using Status = Result<Done>;
inline Status Ok() {
  return Done{};
}

}  // namespace vidoria::faststart
