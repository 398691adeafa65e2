// One program per data folder. Both programs claim this home's data folder before anything in
// it is written, renamed or cleared (Engine::Create clears unfinished copies, starts the web log
// and makes folders), and keep the claim until they exit; a second start finds the claim and
// leaves the folder alone.
//
// Plain functions; any thread, though the programs call them once, first thing on their main
// thread.
#pragma once

#include <string>
#include <string_view>

#include "platform/folder_lock.h"
#include "platform/folders.h"

namespace vidoria {

inline constexpr std::string_view kAlreadyRunning =
    "Vidoria is already running for this data folder.";

struct DataFolderClaim {
  enum class Outcome {
    kClaimed,        // this program holds the folder's lock
    kMissing,        // no data folder: the program says so as it always has
    kHeldByAnother,  // another program runs on it: this one must not start
    kUnguarded,      // the lock could not be taken (`problem`); the program runs without it
  };
  Outcome outcome = Outcome::kMissing;
  // As FindDataFolder names it (also when missing); the engine of the claiming program works in
  // exactly this folder (EngineOptions::dataFolder).
  std::string dataFolder;
  FolderLock lock;      // held while kClaimed; the claim ends when it goes
  std::string problem;  // kUnguarded: why, in words for a log line
};

// Finds the data folder of `env`'s home and takes its lock.
DataFolderClaim ClaimDataFolder(const EnvLookup& env = SystemEnv);

// Whether a program runs on the data folder of `env`'s home now. Takes nothing and creates
// nothing; false when there is no data folder or its lock cannot be looked at.
bool ProgramRunsOnDataFolder(const EnvLookup& env = SystemEnv);

}  // namespace vidoria
