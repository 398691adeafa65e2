#include "engine/vidoriad_command_line.h"

#include <gtest/gtest.h>

namespace vidoria {
namespace {

Command Made(CommandKind kind, std::vector<std::string> operands = {}, int number = 0,
             bool on = false, Listing listing = Listing::kLibrary) {
  return Command{kind, std::move(operands), number, on, listing};
}

TEST(VidoriadCommandLineTest, CommandsAndTheirValues) {
  const struct {
    std::vector<std::string_view> args;
    Command expected;
  } cases[] = {
      {{}, Made(CommandKind::kServe)},
      {{"--help"}, Made(CommandKind::kHelp)},
      {{"-h"}, Made(CommandKind::kHelp)},
      {{"help"}, Made(CommandKind::kHelp)},
      {{"--version"}, Made(CommandKind::kVersion)},
      {{"watch", "/a", "b c", "-odd"}, Made(CommandKind::kWatch, {"/a", "b c", "-odd"})},
      {{"unwatch", "/gone"}, Made(CommandKind::kUnwatch, {"/gone"})},
      {{"set", "port", "8080"}, Made(CommandKind::kSetPort, {}, 8080)},
      {{"set", "port", "1"}, Made(CommandKind::kSetPort, {}, 1)},
      {{"set", "port", "65535"}, Made(CommandKind::kSetPort, {}, 65535)},
      {{"set", "port", "080"}, Made(CommandKind::kSetPort, {}, 80)},
      {{"set", "login", "on"}, Made(CommandKind::kSetLogin, {}, 0, true)},
      {{"set", "login", "off"}, Made(CommandKind::kSetLogin, {}, 0, false)},
      {{"set", "user", "anna maria"}, Made(CommandKind::kSetUser, {"anna maria"})},
      {{"set", "user", ""}, Made(CommandKind::kSetUser, {""})},
      {{"set", "password"}, Made(CommandKind::kSetPassword)},
      {{"set", "scan", "5"}, Made(CommandKind::kSetScan, {}, 5, true)},
      {{"set", "scan", "1440"}, Made(CommandKind::kSetScan, {}, 1440, true)},
      {{"set", "scan", "off"}, Made(CommandKind::kSetScan, {}, 0, false)},
      {{"set", "sharing", "off"}, Made(CommandKind::kSetSharing, {}, 0, false)},
      {{"set", "sharing", "on"}, Made(CommandKind::kSetSharing, {}, 0, true)},
      {{"scan"}, Made(CommandKind::kScan)},
      {{"status"}, Made(CommandKind::kStatus)},
      {{"list"}, Made(CommandKind::kList, {}, 0, false, Listing::kLibrary)},
      {{"list", "movies"}, Made(CommandKind::kList, {}, 0, false, Listing::kMovies)},
      {{"list", "tv"}, Made(CommandKind::kList, {}, 0, false, Listing::kTv)},
      {{"list", "playlists"}, Made(CommandKind::kList, {}, 0, false, Listing::kPlaylists)},
      {{"list", "folders"}, Made(CommandKind::kList, {}, 0, false, Listing::kFolders)},
  };
  for (const auto& c : cases) {
    const ParsedCommand parsed = ParseCommandLine(c.args);
    std::string line;
    for (const auto arg : c.args) line += std::string(arg) + " ";
    EXPECT_EQ(parsed.error, "") << line;
    EXPECT_EQ(parsed.command, c.expected) << line;
  }
}

// Every refusal is one line that names what was wrong, so a typo is found without the manual.
TEST(VidoriadCommandLineTest, WhatIsNoCommandIsRefusedWithOneLineNamingIt) {
  const struct {
    std::vector<std::string_view> args;
    std::string_view named;
  } cases[] = {
      {{"serve"}, "'serve'"},
      {{"--port", "80"}, "'--port'"},
      {{"watch"}, "FOLDER"},
      {{"unwatch"}, "FOLDER"},
      {{"set"}, "port"},
      {{"set", "colour", "red"}, "'colour'"},
      {{"set", "port"}, "one value"},
      {{"set", "port", "0"}, "'0'"},
      {{"set", "port", "65536"}, "'65536'"},
      {{"set", "port", "-80"}, "'-80'"},
      {{"set", "port", " 80"}, "' 80'"},
      {{"set", "port", "0x50"}, "'0x50'"},
      {{"set", "port", "99999999999"}, "'99999999999'"},
      {{"set", "port", "80", "81"}, "one value"},
      {{"set", "login", "yes"}, "'yes'"},
      {{"set", "login", "ON"}, "'ON'"},
      {{"set", "sharing", ""}, "''"},
      {{"set", "user"}, "one value"},
      {{"set", "user", "a", "b"}, "one value"},
      {{"set", "password", "secret"}, "standard input"},
      {{"set", "scan", "4"}, "'4'"},
      {{"set", "scan", "1441"}, "'1441'"},
      {{"set", "scan", "on"}, "'on'"},
      {{"scan", "/videos"}, "'/videos'"},
      {{"status", "now"}, "'now'"},
      {{"--help", "watch"}, "'watch'"},
      {{"list", "music"}, "'music'"},
      {{"list", "movies", "tv"}, "at most one"},
  };
  for (const auto& c : cases) {
    const ParsedCommand parsed = ParseCommandLine(c.args);
    std::string line;
    for (const auto arg : c.args) line += std::string(arg) + " ";
    EXPECT_NE(parsed.error.find(c.named), std::string::npos) << line << "-> " << parsed.error;
    EXPECT_EQ(parsed.error.find('\n'), std::string::npos) << line;
  }
}

}  // namespace
}  // namespace vidoria
