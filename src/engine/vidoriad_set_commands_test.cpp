// `vidoriad set ...` with the real program in a temporary home: the settings file read back.
#include <set>

#include <gtest/gtest.h>

#include "engine/vidoriad_run_for_tests.h"
#include "library/cipher.h"

namespace vidoria {
namespace {

namespace fs = std::filesystem;
using testing::VidoriadCommandTest;

// The settings file's eight lines, the first start's unless changed.
std::string SettingsFile(std::map<int, std::string> changed) {
  const std::string lines[] = {"Autorun OFF",  "Autostart OFF",
                               "Autoscan OFF", "5",
                               "qorvu",        EncodeText(kCypherKey, "qorvu"),
                               "login OFF",    "80"};
  std::string text;
  for (int line = 1; line <= 8; ++line) {
    text += (changed.count(line) ? changed[line] : lines[line - 1]) + "\r\n";
  }
  return text;
}

std::set<std::string> Names(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename());
  return names;
}

TEST_F(VidoriadCommandTest, EachSettingIsStoredAsTheWindowStoresIt) {
  const struct {
    std::string before;  // "" = no settings file yet
    std::vector<std::string> args;
    std::string input;
    std::string after;
  } cases[] = {
      {"", {"set", "port", "8080"}, "", SettingsFile({{8, "8080"}})},
      {SettingsFile({{8, "8080"}}), {"set", "port", "0443"}, "", SettingsFile({{8, "443"}})},
      {SettingsFile({}), {"set", "login", "on"}, "", SettingsFile({{7, "login ON"}})},
      {SettingsFile({{7, "login ON"}}), {"set", "login", "off"}, "", SettingsFile({})},
      {SettingsFile({}), {"set", "user", "anna maria"}, "", SettingsFile({{5, "anna maria"}})},
      {SettingsFile({}),
       {"set", "password"},
       "s3cret pass\n",
       SettingsFile({{6, EncodeText(kCypherKey, "s3cret pass")}})},
      {SettingsFile({}),
       {"set", "password"},
       "s3cret\r\nsecond line\n",
       SettingsFile({{6, EncodeText(kCypherKey, "s3cret")}})},
      {SettingsFile({}),
       {"set", "password"},
       "p\xC3\xA4ss",
       SettingsFile({{6, EncodeText(kCypherKey, "p\xC3\xA4ss")}})},
      {SettingsFile({}), {"set", "scan", "60"}, "", SettingsFile({{3, "Autoscan ON"}, {4, "60"}})},
      {SettingsFile({{3, "Autoscan ON"}, {4, "30"}}),
       {"set", "scan", "off"},
       "",
       SettingsFile({{4, "30"}})},
      // The other lines as a start reads them: hand-written switches and a clamped interval.
      {"Autorun on\r\nAutostart ON\r\nAutoscan off\r\n3\r\nbob\r\n" + EncodeText(kCypherKey, "pw") +
           "\r\nlogin ON\r\n8080\r\n",
       {"set", "port", "9090"},
       "",
       "Autorun ON\r\nAutostart ON\r\nAutoscan OFF\r\n5\r\nbob\r\n" + EncodeText(kCypherKey, "pw") +
           "\r\nlogin ON\r\n9090\r\n"},
  };
  for (const auto& c : cases) {
    std::string line;
    for (const auto& arg : c.args) line += arg + " ";
    fs::remove(data_ / "settings.kavra");
    if (!c.before.empty()) Write(data_ / "settings.kavra", c.before);
    const auto run = Vidoriad(c.args, c.input);
    EXPECT_EQ(run.exitCode, 0) << line << run.err;
    EXPECT_EQ(run.err, "") << line;
    EXPECT_NE(run.out, "") << line;
    EXPECT_EQ(Read(data_ / "settings.kavra"), c.after) << line;
    // Only the settings file: no temporary copy left, no other stored file made.
    EXPECT_EQ(Names(data_),
              (std::set<std::string>{"settings.kavra", "sharing.kavra", "vidoria.lock"}))
        << line;
  }
}

TEST_F(VidoriadCommandTest, SharingHasItsOwnFile) {
  EXPECT_EQ(Vidoriad({"set", "sharing", "on"}).exitCode, 0);
  EXPECT_EQ(Read(data_ / "sharing.kavra"), "Share ON\r\n");
  EXPECT_EQ(Vidoriad({"set", "sharing", "off"}).exitCode, 0);
  EXPECT_EQ(Read(data_ / "sharing.kavra"), "Share OFF\r\n");
  EXPECT_FALSE(fs::exists(data_ / "settings.kavra"));
}

// A value the settings file cannot hold is refused with the reason, and the file stays as it
// was: a password whose enciphered bytes would end the line, a name with a line break.
TEST_F(VidoriadCommandTest, WhatCannotBeStoredLeavesTheFileAsItWas) {
  const std::string before = SettingsFile({{5, "anna"}, {7, "login ON"}});
  // Made by the first claim of the folder, as by any program's start, and then kept.
  Write(data_ / "vidoria.lock", "");
  const struct {
    std::vector<std::string> args;
    std::string input;
    std::string reason;
  } cases[] = {
      {{"set", "password"},
       "ab\xF3"
       "c\n",
       "password"},                                 // 0xF3 enciphers to NUL
      {{"set", "password"}, "\xFD\n", "password"},  // 0xFD enciphers to LF
      {{"set", "password"}, "", "no password on standard input"},
      {{"set", "user", "anna\nmaria"}, "", "user name"},
  };
  for (const auto& c : cases) {
    Write(data_ / "settings.kavra", before);
    const auto state = DataFolderState();
    const auto run = Vidoriad(c.args, c.input);
    EXPECT_EQ(run.exitCode, 1) << c.args.back();
    EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line: " << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(DataFolderState(), state) << c.args.back();
  }
}

// On a terminal the password is typed twice and never shown.
TEST_F(VidoriadCommandTest, APasswordTypedOnTheTerminalIsNotEchoed) {
  Write(data_ / "settings.kavra", SettingsFile({}));
  const auto run = VidoriadOnTerminal(
      {"set", "password"}, {{"New password: ", "Se cret-7\n"}, {"Once more: ", "Se cret-7\n"}});
  EXPECT_EQ(run.exitCode, 0) << run.out;
  EXPECT_EQ(run.out.find("Se cret"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("password is changed"), std::string::npos) << run.out;
  EXPECT_EQ(Read(data_ / "settings.kavra"),
            SettingsFile({{6, EncodeText(kCypherKey, "Se cret-7")}}));

  const auto state = DataFolderState();
  const auto differ = VidoriadOnTerminal({"set", "password"},
                                         {{"New password: ", "one\n"}, {"Once more: ", "other\n"}});
  EXPECT_EQ(differ.exitCode, 1);
  EXPECT_NE(differ.out.find("the two passwords differ"), std::string::npos) << differ.out;
  EXPECT_EQ(DataFolderState(), state);
}

// A damaged settings file is set aside as a start sets it aside, so the change loses nothing.
TEST_F(VidoriadCommandTest, ADamagedSettingsFileIsKeptAsideBeforeTheChange) {
  Write(data_ / "settings.kavra", "Autorun ON\r\nAutostart OFF\r\n");
  const auto run = Vidoriad({"set", "port", "8080"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_NE(run.err.find("settings.kavra.bad"), std::string::npos) << run.err;
  EXPECT_EQ(Read(data_ / "settings.kavra.bad"), "Autorun ON\r\nAutostart OFF\r\n");
  EXPECT_EQ(Read(data_ / "settings.kavra"), SettingsFile({{8, "8080"}}));
}

}  // namespace
}  // namespace vidoria
