#include "engine/vidoriad_command_line.h"

#include <charconv>
#include <optional>

#include "library/settings.h"

namespace vidoria {
namespace {

ParsedCommand Error(std::string message) {
  return {Command{}, std::move(message)};
}

ParsedCommand Ok(Command command) {
  return {std::move(command), ""};
}

std::optional<bool> Switch(std::string_view word) {
  if (word == "on") return true;
  if (word == "off") return false;
  return std::nullopt;
}

// Digits only: a sign, blanks or a hex prefix would be a typing slip, not a number meant.
std::optional<int> Number(std::string_view text, int least, int most) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != text.npos) {
    return std::nullopt;
  }
  int value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  if (value < least || value > most) return std::nullopt;
  return value;
}

ParsedCommand ParseSet(const std::vector<std::string_view>& args) {
  if (args.size() < 2)
    return Error("set needs a setting: port, login, user, password, scan or sharing");
  const std::string_view name = args[1];
  const size_t values = args.size() - 2;
  Command command;
  if (name == "password") {
    // On the command line it would stay in the shell's history and in every process list.
    if (values != 0)
      return Error(
          "set password takes no value: it reads the password from the terminal or standard input");
    command.kind = CommandKind::kSetPassword;
    return Ok(command);
  }
  if (name != "port" && name != "login" && name != "user" && name != "scan" && name != "sharing") {
    return Error("unknown setting '" + std::string(name) +
                 "' (port, login, user, password, scan or sharing)");
  }
  if (values != 1) return Error("set " + std::string(name) + " needs one value");
  const std::string_view value = args[2];
  if (name == "port") {
    const auto port = Number(value, 1, 65535);
    if (!port)
      return Error("the port must be a number from 1 to 65535, not '" + std::string(value) + "'");
    command.kind = CommandKind::kSetPort;
    command.number = *port;
  } else if (name == "user") {
    command.kind = CommandKind::kSetUser;
    command.operands = {std::string(value)};
  } else if (name == "scan") {
    command.kind = CommandKind::kSetScan;
    if (value != "off") {
      const auto minutes = Number(value, kMinScanMinutes, kMaxScanMinutes);
      if (!minutes) {
        return Error("set scan takes minutes from " + std::to_string(kMinScanMinutes) + " to " +
                     std::to_string(kMaxScanMinutes) + " or off, not '" + std::string(value) + "'");
      }
      command.on = true;
      command.number = *minutes;
    }
  } else {
    const auto on = Switch(value);
    if (!on)
      return Error("set " + std::string(name) + " takes on or off, not '" + std::string(value) +
                   "'");
    command.kind = name == "login" ? CommandKind::kSetLogin : CommandKind::kSetSharing;
    command.on = *on;
  }
  return Ok(command);
}

ParsedCommand ParseList(const std::vector<std::string_view>& args) {
  Command command;
  command.kind = CommandKind::kList;
  if (args.size() == 1) return Ok(command);
  if (args.size() > 2) return Error("list takes at most one of movies, tv, playlists, folders");
  const std::string_view what = args[1];
  if (what == "movies") {
    command.listing = Listing::kMovies;
  } else if (what == "tv") {
    command.listing = Listing::kTv;
  } else if (what == "playlists") {
    command.listing = Listing::kPlaylists;
  } else if (what == "folders") {
    command.listing = Listing::kFolders;
  } else {
    return Error("cannot list '" + std::string(what) + "' (movies, tv, playlists or folders)");
  }
  return Ok(command);
}

}  // namespace

ParsedCommand ParseCommandLine(const std::vector<std::string_view>& args) {
  if (args.empty()) return Ok(Command{});
  const std::string_view verb = args[0];
  Command command;
  if (verb == "watch" || verb == "unwatch") {
    if (args.size() < 2) return Error(std::string(verb) + " needs at least one FOLDER");
    command.kind = verb == "watch" ? CommandKind::kWatch : CommandKind::kUnwatch;
    command.operands.assign(args.begin() + 1, args.end());
    return Ok(command);
  }
  if (verb == "set") return ParseSet(args);
  if (verb == "list") return ParseList(args);
  const struct {
    std::string_view word;
    CommandKind kind;
  } kAlone[] = {{"scan", CommandKind::kScan},   {"status", CommandKind::kStatus},
                {"--help", CommandKind::kHelp}, {"-h", CommandKind::kHelp},
                {"help", CommandKind::kHelp},   {"--version", CommandKind::kVersion}};
  for (const auto& alone : kAlone) {
    if (verb != alone.word) continue;
    if (args.size() > 1) {
      return Error(std::string(verb) + " takes nothing after it, not '" + std::string(args[1]) +
                   "'");
    }
    command.kind = alone.kind;
    return Ok(command);
  }
  return Error("unknown command '" + std::string(verb) + "'");
}

std::string UsageText() {
  return R"(Usage: vidoriad [COMMAND]

Without a command, vidoriad is the server: it serves the library on the stored port until
SIGTERM or SIGINT, rescanning the watched folders as the settings say.

Commands that change the stored settings or folders (only while no vidoriad or vidoria runs
on the data folder):
  watch FOLDER...         scan these folders, now and at every rescan
  unwatch FOLDER...       stop watching these folders (their files stay in the library)
  set port N              the server's port, 1 to 65535 (used from the next start)
  set login on|off        whether phones must log in first
  set user NAME           the login's user name
  set password            the login's password, read from the terminal without echo,
                          or as one line from standard input
  set scan MINUTES|off    rescan the watched folders every 5 to 1440 minutes, or not
  set sharing on|off      share with TVs and players on this network
  scan                    scan the watched folders once, store the library and exit

Commands that only look (also while a program runs):
  list [movies|tv|playlists|folders]
                          the library (every classified file), or one part of it
  status                  the settings, the address, the counts, and whether a program runs
  --help                  this text
  --version               the program's version

Exit status: 0 done, 1 not done (the reason is on standard error), 2 not understood.
)";
}

}  // namespace vidoria
