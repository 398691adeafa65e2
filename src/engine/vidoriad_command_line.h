// vidoriad's command line: what the arguments ask for, or why they cannot be understood. No
// arguments at all keep the program what it always was: the server.
//
// A pure function of the arguments; it checks everything that can be checked without the data
// folder or the file system (numbers and their ranges, switch words, counts of operands), so a
// command that runs has only the stored files left to meet.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vidoria {

enum class CommandKind {
  kServe,  // no arguments
  kHelp,
  kVersion,
  kWatch,        // operands: the folders as typed
  kUnwatch,      // operands: the folders as typed
  kSetPort,      // number
  kSetLogin,     // on
  kSetUser,      // operands[0]: the name
  kSetPassword,  // read from the terminal or standard input, never from the arguments
  kSetScan,      // on; number: the minutes while on
  kSetSharing,   // on
  kScan,
  kList,  // listing
  kStatus,
};

enum class Listing { kLibrary, kMovies, kTv, kPlaylists, kFolders };

struct Command {
  CommandKind kind = CommandKind::kServe;
  std::vector<std::string> operands;
  int number = 0;
  bool on = false;
  Listing listing = Listing::kLibrary;

  bool operator==(const Command&) const = default;
};

// The command, or `error` (one line, without the program's name) when the arguments are not one.
struct ParsedCommand {
  Command command;
  std::string error;  // "" when the arguments are a command
};

// `args` without the program's own name (argv[1...]).
ParsedCommand ParseCommandLine(const std::vector<std::string_view>& args);

// The text --help prints.
std::string UsageText();

}  // namespace vidoria
