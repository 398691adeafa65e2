#include "platform/result.h"

#include <string.h>

namespace vidoria {

std::string ErrnoText(int error) {
  char buffer[256];
  // GNU strerror_r may return a static string instead of filling the buffer.
  return strerror_r(error, buffer, sizeof buffer);
}

}  // namespace vidoria
