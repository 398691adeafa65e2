#include "server/exceptions.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <typeinfo>

namespace vidoria {

std::string ExceptionClassName(const std::exception& e) {
  if (auto* own = dynamic_cast<const CoreException*>(&e)) return own->ClassName();
  const char* mangled = typeid(e).name();
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> demangled(
      abi::__cxa_demangle(mangled, nullptr, nullptr, &status), std::free);
  return status == 0 && demangled ? demangled.get() : mangled;
}

}  // namespace vidoria
