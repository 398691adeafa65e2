#include "faststart/file_io.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

namespace vidoria::faststart {

namespace {

Failure WriteError(int error) {
  return Failure{"cannot write the output: " + ErrnoText(error)};
}

// The scan sized every box from the file's length at the start; a shorter read means someone
// changed the file under us.
Failure InputShrank() {
  return Failure{"the input ended early (was it changed while copying?)"};
}

}  // namespace

Status WriteAll(int fd, std::span<const uint8_t> data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return WriteError(errno);
    }
    done += size_t(n);
  }
  return Ok();
}

Status RangeCopier::Copy(int in, uint64_t offset, uint64_t length, int out) {
  const uint64_t end = offset + length;
  uint64_t pos = offset;
  while (pos < end) {
    off_t data = ::lseek(in, off_t(pos), SEEK_DATA);
    if (data < 0) {
      // ENXIO: nothing but hole from here on. Anything else: no hole support, treat all as data.
      data = errno == ENXIO ? off_t(end) : off_t(pos);
    }
    uint64_t dataStart = std::min<uint64_t>(uint64_t(data), end);
    if (dataStart > pos) {
      if (::lseek(out, off_t(dataStart - pos), SEEK_CUR) < 0) return WriteError(errno);
      pos = dataStart;
      continue;
    }
    off_t hole = ::lseek(in, off_t(pos), SEEK_HOLE);
    uint64_t dataEnd = hole < 0 ? end : std::min<uint64_t>(uint64_t(hole), end);
    if (dataEnd <= pos) dataEnd = end;  // a file changing under us; just copy the rest
    if (Status s = CopyData(in, pos, dataEnd - pos, out); !s) return s;
    pos = dataEnd;
  }
  return Ok();
}

Status RangeCopier::CopyData(int in, uint64_t offset, uint64_t length, int out) {
  while (length > 0 && kernelCopy_) {
    loff_t inOffset = loff_t(offset);
    size_t chunk = size_t(std::min<uint64_t>(length, kWritebackStep));
    ssize_t n = ::copy_file_range(in, &inOffset, out, nullptr, chunk, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      // Refusals that only mean "not between these files" (other file system, old kernel, a
      // file system without support); the buffer copy below works for all of them.
      if (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL ||
          errno == EBADF || errno == ETXTBSY || errno == EPERM) {
        kernelCopy_ = false;
        break;
      }
      return Failure{"cannot copy the media data: " + ErrnoText(errno)};
    }
    if (n == 0) return InputShrank();
    offset += uint64_t(n);
    length -= uint64_t(n);
    StartWriteback(out);
  }
  if (length == 0) return Ok();
  return CopyThroughBuffer(in, offset, length, out);
}

Status RangeCopier::CopyThroughBuffer(int in, uint64_t offset, uint64_t length, int out) {
  if (buffer_.empty()) buffer_.resize(kBufferSize);
  while (length > 0) {
    size_t chunk = size_t(std::min<uint64_t>(length, buffer_.size()));
    std::span<uint8_t> piece(buffer_.data(), chunk);
    if (Status s = ReadAt(in, offset, piece); !s) return s;
    if (Status s = WriteAll(out, piece); !s) return s;
    offset += chunk;
    length -= chunk;
    StartWriteback(out);
  }
  return Ok();
}

void RangeCopier::StartWriteback(int out) {
  off_t end = ::lseek(out, 0, SEEK_CUR);
  if (end < 0 || uint64_t(end) - writebackStart_ < kWritebackStep) return;
  // Only a hint: failures show up again, and are reported, at the caller's fsync.
  ::sync_file_range(out, off_t(writebackStart_), end - off_t(writebackStart_),
                    SYNC_FILE_RANGE_WRITE);
  writebackStart_ = uint64_t(end);
}

}  // namespace vidoria::faststart
