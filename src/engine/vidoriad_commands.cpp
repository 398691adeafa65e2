#include "engine/vidoriad_commands.h"

#include <ostream>

#include "engine/engine.h"
#include "engine/vidoriad_command_parts.h"

namespace vidoria {

std::optional<DataFolderClaim> ClaimForChange(const CommandContext& context) {
  DataFolderClaim claim = ClaimDataFolder(context.env);
  switch (claim.outcome) {
    case DataFolderClaim::Outcome::kMissing:
      *context.err << kMissingCompanion << std::endl;
      return std::nullopt;
    case DataFolderClaim::Outcome::kHeldByAnother:
      // Its own copy of the files would overwrite ours when it closes.
      *context.err << kAlreadyRunning << " Stop it first; nothing was changed." << std::endl;
      return std::nullopt;
    case DataFolderClaim::Outcome::kUnguarded:
      // As the server itself goes on without the lock (a folder where no lock file can be made).
      *context.err << "vidoriad: a program starting meanwhile cannot be held off: " << claim.problem
                   << std::endl;
      break;
    case DataFolderClaim::Outcome::kClaimed:
      break;
  }
  return claim;
}

std::optional<std::string> DataFolderToLook(const CommandContext& context) {
  const DataFolders folders = FindDataFolder(DataHome(context.env));
  if (!folders.dataFolderOk) {
    *context.err << kMissingCompanion << std::endl;
    return std::nullopt;
  }
  return folders.dataFolder;
}

int RunCommand(const Command& command, const CommandContext& context) {
  switch (command.kind) {
    case CommandKind::kServe:
      break;
    case CommandKind::kHelp:
      *context.out << UsageText();
      return 0;
    case CommandKind::kVersion:
      *context.out << "vidoriad (" << kProgramTitle << ")" << std::endl;
      return 0;
    case CommandKind::kWatch:
      return Watch(context, command.operands);
    case CommandKind::kUnwatch:
      return Unwatch(context, command.operands);
    case CommandKind::kSetPort:
      return SetPort(context, command.number);
    case CommandKind::kSetLogin:
      return SetLogin(context, command.on);
    case CommandKind::kSetUser:
      return SetUser(context, command.operands.at(0));
    case CommandKind::kSetPassword:
      return SetPassword(context);
    case CommandKind::kSetScan:
      return SetScan(context, command.on, command.number);
    case CommandKind::kSetSharing:
      return SetSharing(context, command.on);
    case CommandKind::kScan:
      return Scan(context);
    case CommandKind::kList:
      return List(context, command.listing);
    case CommandKind::kStatus:
      return Status(context);
  }
  *context.err << "vidoriad: serving is not a command here" << std::endl;
  return 2;
}

}  // namespace vidoria
