// How the process's allocator holds memory, and giving back what it holds free.
#pragma once

namespace vidoria {

// For a program's start, before any thread: fixes the allocator's thresholds and arena count
// (see process_memory.cpp for the choice and the reasons).
void ConfigureAllocator();
// Returns the allocator's free memory to the system. Costs a walk over the heap; meant for
// moments when the program has gone quiet, never for every request.
void ReleaseFreeMemory();

}  // namespace vidoria
