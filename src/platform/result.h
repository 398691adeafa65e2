// The platform layer's error style: its functions return values and never throw for what the
// system refuses. An operation that can fail for a reason worth reporting returns OsResult<T> (or
// OsStatus when it produces nothing); one whose only answer is "found or not" returns an empty
// value ("", nullopt, false) as its header says. Callers above word the failure for their users.
// Exceptions are left to misuse (std::logic_error: a runner started twice) and to memory.
#pragma once

#include <cassert>
#include <optional>
#include <string>
#include <utility>

namespace vidoria {

// The system's text for an errno value ("No such file or directory"). Any thread.
std::string ErrnoText(int error);

// What failed: `what` names the step in words meant to follow the subject ("write failed",
// "cannot be opened"); `code` is the errno value, 0 when the reason is not the system's.
struct OsError {
  std::string what;
  int code = 0;

  // what + ": " + ErrnoText(code); `what` alone when code is 0, the system's text alone when
  // `what` is empty.
  std::string Text() const {
    if (code == 0) return what;
    return what.empty() ? ErrnoText(code) : what + ": " + ErrnoText(code);
  }
};

// A value, or the error that kept it from being had. E is OsError unless a function needs more.
template <typename T, typename E = OsError>
class [[nodiscard]] OsResult {
 public:
  OsResult(T value) : value_(std::move(value)) {}
  OsResult(E error) : error_(std::move(error)) {}

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

  // Only when !ok().
  const E& Error() const {
    assert(!Ok());
    return error_;
  }

 private:
  std::optional<T> value_;
  E error_{};
};

// For operations that produce nothing but may fail.
struct Done {};
template <typename E = OsError>
using OsStatusOf = OsResult<Done, E>;
using OsStatus = OsStatusOf<>;
inline OsStatus OsOk() {
  return Done{};
}

}  // namespace vidoria
