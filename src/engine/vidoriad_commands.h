// vidoriad's commands other than serving: each one runs to its end and gives the exit code
// (0 done, 1 not done, its reason on `err`).
//
// Commands that change a stored file first claim the data folder as the programs do
// (ClaimDataFolder) and hold it until they end, so a program cannot start on the folder halfway
// through; while a program runs on it they change nothing. Every write goes through the stored
// files' own writers, which replace a file atomically. Commands that only look take nothing and
// write nothing, so they also answer while a program runs.
//
// Main thread of a process of its own: `scan` drives an Engine and the process's core.
#pragma once

#include <iosfwd>

#include "engine/vidoriad_command_line.h"
#include "platform/folders.h"

namespace vidoria {

struct CommandContext {
  EnvLookup env = SystemEnv;  // HOME, XDG_*: which data folder
  std::ostream* out = nullptr;
  std::ostream* err = nullptr;
  int input = 0;  // where `set password` reads from
};

// Runs every kind but kServe.
int RunCommand(const Command& command, const CommandContext& context);

}  // namespace vidoria
