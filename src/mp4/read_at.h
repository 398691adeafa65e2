// Exact reads at an offset, the only file access the box parser needs.
#pragma once

#include <cstdint>
#include <span>

#include "mp4/result.h"

namespace vidoria::mp4 {

// Reads exactly out.size() bytes at `offset`; the input ending early is a failure.
Status ReadAt(int fd, uint64_t offset, std::span<uint8_t> out);

}  // namespace vidoria::mp4
