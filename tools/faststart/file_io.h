// Small POSIX file helpers for the tool: exact reads and writes, and a copier that moves byte
// ranges between files in constant memory. Descriptors are owned by the platform's UniqueFd.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "faststart/mp4.h"
#include "platform/result.h"
#include "platform/unique_fd.h"

namespace vidoria::faststart {

// Appends all of `data` at the descriptor's current position.
Status WriteAll(int fd, std::span<const uint8_t> data);

// Copies byte ranges of one file to the current position of another. The kernel does the copy
// where it can (copy_file_range); otherwise one fixed buffer is reused, so memory use does not
// grow with the file. Holes in the input stay holes: the output position is only advanced over
// them, and the caller sets the final size with ftruncate() so a trailing hole is kept too.
// Writeback of the copied data is started every kWritebackStep bytes, so the caller's final
// fsync overlaps the copy instead of following it. Not thread-safe; one copier per output.
class RangeCopier {
 public:
  static constexpr size_t kBufferSize = 1 << 20;
  static constexpr uint64_t kWritebackStep = 16 << 20;

  Status Copy(int in, uint64_t offset, uint64_t length, int out);

 private:
  Status CopyData(int in, uint64_t offset, uint64_t length, int out);
  Status CopyThroughBuffer(int in, uint64_t offset, uint64_t length, int out);

  void StartWriteback(int out);

  bool kernelCopy_ = true;       // cleared for good once the kernel refuses these two files
  uint64_t writebackStart_ = 0;  // output offset up to which writeback was started
  std::vector<uint8_t> buffer_;
};

}  // namespace vidoria::faststart
