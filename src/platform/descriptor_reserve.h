// A few descriptors held back so that the user's files can still be saved when the process's
// descriptor table is full (a connection flood, a library that leaks sockets): a save that meets
// "Too many open files" gives one held descriptor back and tries again, and the reserve is
// filled up again after the save.
//
// Process-wide; any thread (the reserve has a mutex of its own). Another thread may take a slot
// given back before the save does; the server keeps its connections out of the table's last
// slots, so that does not happen by a flood of connections.
#pragma once

#include <functional>

namespace vidoria {

inline constexpr int kReservedDescriptors = 4;

// Starts holding kReservedDescriptors (descriptors of /dev/null), as far as the table allows.
// Once, at the program's start; a process that never calls it holds none.
void HoldDescriptorReserve();

// Takes back what saves spent, as far as the table allows. After each save.
void RefillDescriptorReserve();

// Returns what `open` returns; when it fails because the table is full (EMFILE or ENFILE), one
// held descriptor is given back and `open` is called once more. `open` sets errno on failure.
int OpenUsingReserve(const std::function<int()>& open);

// How many descriptors the reserve holds now (tests, diagnostics).
int HeldDescriptors();

}  // namespace vidoria
