// Exceptions raised by the server core. Their class names show up in log lines and in messages
// built as "ClassName:message", so every class reports its own name.
#pragma once

#include <exception>
#include <stdexcept>
#include <string>

namespace vidoria {

class CoreException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
  virtual const char* ClassName() const noexcept = 0;
};

#define VIDORIA_DECLARE_EXCEPTION(Name, Base)                         \
  class Name : public Base {                                          \
   public:                                                            \
    using Base::Base;                                                 \
    const char* ClassName() const noexcept override { return #Name; } \
  }

VIDORIA_DECLARE_EXCEPTION(EConnection, CoreException);
VIDORIA_DECLARE_EXCEPTION(EWinSockException, EConnection);
VIDORIA_DECLARE_EXCEPTION(EClientLimitReached, EConnection);
VIDORIA_DECLARE_EXCEPTION(EThreadLimitReached, EConnection);
VIDORIA_DECLARE_EXCEPTION(EOutOfResources, CoreException);
VIDORIA_DECLARE_EXCEPTION(EJobError, CoreException);

#undef VIDORIA_DECLARE_EXCEPTION

// The class name of any exception: ours report their own, others give the demangled type name.
std::string ExceptionClassName(const std::exception& e);

}  // namespace vidoria
