#include "platform/process_memory.h"

#include <malloc.h>

namespace vidoria {

namespace {

// glibc's defaults suit short programs badly here. Measured with vidoriad (bench/
// memory_bench.sh):
// - The mmap threshold starts at 128 KiB and rises each time a mapped block is freed, so the
//   first burst's larger buffers are mapped and unmapped (fresh zeroed pages each time) until the
//   threshold has caught up: the first burst cost several times the CPU of later ones. A fixed
//   threshold stops the rising; 1 MiB keeps pieces and most generated pages on the heap, and only
//   the few very large pages mapped.
// - Fixing it also fixes the trim threshold (128 KiB), which would shrink the heap's top after
//   every burst's frees, only for the next burst to fault the pages in again. 8 MiB lets a burst
//   reuse them; ReleaseFreeMemory gives them back once the server is quiet.
// - Each thread that allocates may get an arena of its own, up to eight per core, and every arena
//   keeps its free memory: after waves of connections spread over the worker pool's 64 threads
//   the resident set stayed several times the working set. Two arenas bound that while two cores
//   of a home computer still seldom wait on each other's allocations (a streamed piece no longer
//   allocates at all).
constexpr int kMmapThreshold = 1 << 20;
constexpr int kTrimThreshold = 8 << 20;
constexpr int kArenas = 2;

}  // namespace

void ConfigureAllocator() {
  ::mallopt(M_MMAP_THRESHOLD, kMmapThreshold);
  ::mallopt(M_TRIM_THRESHOLD, kTrimThreshold);
  ::mallopt(M_ARENA_MAX, kArenas);
}

void ReleaseFreeMemory() {
  ::malloc_trim(0);
}

}  // namespace vidoria
