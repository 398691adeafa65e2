#include "mp4/read_at.h"

#include <errno.h>
#include <unistd.h>

namespace vidoria::mp4 {

Status ReadAt(int fd, uint64_t offset, std::span<uint8_t> out) {
  size_t done = 0;
  while (done < out.size()) {
    ssize_t n = ::pread(fd, out.data() + done, out.size() - done, off_t(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return Failure{"cannot read the input: " + ErrnoText(errno)};
    }
    // The scan sized every box from the file's length at the start; a shorter read means someone
    // changed the file meanwhile.
    if (n == 0) return Failure{"the input ended early (was it changed while copying?)"};
    done += size_t(n);
  }
  return Ok();
}

}  // namespace vidoria::mp4
