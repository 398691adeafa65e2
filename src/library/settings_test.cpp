#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "library/cipher.h"
#include "library/settings.h"
#include "library/settings_switches.h"

namespace vidoria {
namespace {

using Lines = std::vector<std::string>;

// Records what the switches set off, in order ("autorun on", "interval 5", "port 80", ...).
class SettingsTest : public ::testing::Test {
 protected:
  SettingsTest() {
    auto box = [this](const char* name) {
      return [this, name](bool on) { calls_.push_back(std::string(name) + (on ? " on" : " off")); };
    };
    hooks_.autorun = box("autorun");
    hooks_.autostart = box("autostart");
    hooks_.autoscan = box("autoscan");
    hooks_.login = box("login");
    hooks_.scanInterval = [this](int minutes) {
      calls_.push_back("interval " + std::to_string(minutes));
    };
    hooks_.serverPort = [this](int port) { calls_.push_back("port " + std::to_string(port)); };
  }

  void Load(const Lines& lines) { LoadSettings(live_, lines, hooks_); }

  static Lines Stored(const char* autorun, const char* interval, const char* port = "80") {
    return {autorun,        "Autostart OFF",
            "Autoscan OFF", interval,
            "qorvu",        EncodeText(kCypherKey, "qorvu"),
            "login OFF",    port};
  }

  Settings live_;
  SettingsHooks hooks_;
  std::vector<std::string> calls_;
};

TEST_F(SettingsTest, FirstStartDefaultsAreWrittenAsEightLines) {
  EXPECT_EQ(SettingsLines(Settings{}),
            (Lines{"Autorun OFF", "Autostart OFF", "Autoscan OFF", "5", "qorvu",
                   EncodeText(kCypherKey, "qorvu"), "login OFF", "80"}));
}

TEST_F(SettingsTest, LinesReadBackAsTheSameSettings) {
  Settings saved;
  saved.autorun = saved.autostart = saved.autoscan = saved.login = true;
  saved.scanMinutes = 35;
  saved.username = " Ann Lee ";
  saved.password = "pa ss Grüße";
  saved.port = "8080";
  const Lines lines = SettingsLines(saved);
  EXPECT_EQ(lines[0], "Autorun ON");
  EXPECT_EQ(lines[2], "Autoscan ON");
  EXPECT_EQ(lines[6], "login ON");
  EXPECT_NE(lines[5], saved.password);

  Load(lines);
  EXPECT_TRUE(live_.autorun && live_.autostart && live_.autoscan && live_.login);
  EXPECT_EQ(live_.scanMinutes, 35);
  EXPECT_EQ(live_.username, " Ann Lee ");
  EXPECT_EQ(live_.password, "pa ss Grüße");
  EXPECT_EQ(live_.port, "8080");
}

TEST_F(SettingsTest, SwitchesApplyInOrderAfterThePort) {
  Load({"Autorun ON", "Autostart ON", "Autoscan ON", "10", "u", "", "login ON", "8080"});
  EXPECT_EQ(calls_, (Lines{"port 8080", "autorun on", "autostart on", "autoscan on", "interval 10",
                           "login on"}));
}

TEST_F(SettingsTest, AnOnAnywhereInAnyCaseChecksTheBox) {
  const struct {
    const char* line;
    bool on;
  } cases[] = {
      {"autorun on", true},   {"AUTORUN ON", true}, {"xON", true},  {"On", true},
      {"Autorun OFF", false}, {"", false},          {"yes", false}, {"1", false},
  };
  for (const auto& c : cases) {
    Settings live;
    LoadSettings(live, {c.line, c.line, c.line, "5", "u", "", c.line}, {});
    EXPECT_EQ(live.autorun, c.on) << c.line;
    EXPECT_EQ(live.autostart, c.on) << c.line;
    EXPECT_EQ(live.autoscan, c.on) << c.line;
    EXPECT_EQ(live.login, c.on) << c.line;
  }
}

TEST_F(SettingsTest, IntervalIsClampedButNotRounded) {
  const struct {
    const char* line;
    int minutes;
  } cases[] = {{"2", 5}, {"2000", 1440}, {"5", 5},    {"1440", 1440},
               {"7", 7}, {"-3", 5},      {" 15 ", 15}};
  for (const auto& c : cases) {
    Settings live;
    std::vector<int> told;
    SettingsHooks hooks;
    hooks.scanInterval = [&told](int minutes) { told.push_back(minutes); };
    LoadSettings(live, Stored("Autorun OFF", c.line), hooks);
    EXPECT_EQ(live.scanMinutes, c.minutes) << c.line;
    EXPECT_EQ(told, std::vector<int>{c.minutes}) << c.line;
  }
}

TEST_F(SettingsTest, PortFollowsOnlyAWholeNumberAndAMissingLineKeeps80) {
  const struct {
    Lines lines;
    const char* text;
    int port;
  } cases[] = {
      {Stored("Autorun OFF", "5", "8080"), "8080", 8080},
      {Stored("Autorun OFF", "5", "http"), "http", 80},
      {Stored("Autorun OFF", "5", ""), "", 80},
      {Stored("Autorun OFF", "5", "80.5"), "80.5", 80},
  };
  for (const auto& c : cases) {
    Settings live;
    int port = 0;
    SettingsHooks hooks;
    hooks.serverPort = [&port](int p) { port = p; };
    LoadSettings(live, c.lines, hooks);
    EXPECT_EQ(port, c.port) << c.text;
    EXPECT_EQ(live.port, c.text) << "the text is kept as typed";
  }
}

TEST_F(SettingsTest, SevenLinesKeepPort80AndApplyTheRest) {
  Load({"Autorun ON", "Autostart OFF", "Autoscan ON", "60", "ann", EncodeText(kCypherKey, "pw"),
        "login ON"});
  EXPECT_EQ(calls_, (Lines{"port 80", "autorun on", "autoscan on", "interval 60", "login on"}));
  EXPECT_EQ(live_.port, "80");
  EXPECT_EQ(live_.username, "ann");
  EXPECT_EQ(live_.password, "pw");
}

TEST_F(SettingsTest, EmptyPasswordLineReadsBackEmpty) {
  Settings saved;
  saved.password = "";
  const Lines lines = SettingsLines(saved);
  EXPECT_EQ(lines[5], "");
  Load(lines);
  EXPECT_EQ(live_.password, "");
}

TEST_F(SettingsTest, ShortFilesApplyWhatTheyHave) {
  Load({"Autorun ON", "Autostart OFF", "Autoscan OFF", "30", "ann"});
  EXPECT_EQ(live_.username, "ann");
  EXPECT_EQ(live_.password, "qorvu");
  EXPECT_FALSE(live_.login);
}

// A damaged file is set aside whole and the program starts with the defaults, so nothing of it
// may take effect: an autorun line applied before the fault would start the server on a port the
// file never got to say.
TEST_F(SettingsTest, BrokenFilesThrowBeforeApplyingAnything) {
  const Lines cases[] = {
      {},
      {"Autorun ON", "Autostart ON"},
      {"Autorun ON", "Autostart OFF", "Autoscan ON"},
      {"Autorun ON", "Autostart OFF", "Autoscan OFF", "ten", "ann", "", "login ON", "81"},
      {"Autorun OFF", "Autostart OFF", "Autoscan OFF", "", "ann"},
      {"Autorun OFF", "Autostart OFF", "Autoscan OFF", "99999999999"},
  };
  for (const Lines& lines : cases) {
    live_ = Settings{};
    calls_.clear();
    EXPECT_TRUE(SettingsFileProblem(lines).has_value()) << lines.size();
    EXPECT_THROW(Load(lines), SettingsError) << lines.size();
    EXPECT_EQ(calls_, Lines{}) << lines.size();
    EXPECT_EQ(SettingsLines(live_), SettingsLines(Settings{})) << lines.size();
  }
  EXPECT_EQ(SettingsFileProblem(Stored("Autorun ON", "10")), std::nullopt);
}

TEST_F(SettingsTest, ErrorMessagesNameTheLine) {
  try {
    Load({"Autorun OFF", "Autostart OFF"});
    FAIL();
  } catch (const SettingsError& e) {
    EXPECT_NE(std::string(e.what()).find("line 3"), std::string::npos) << e.what();
  }
  try {
    Load({"Autorun OFF", "Autostart OFF", "Autoscan OFF", "soon"});
    FAIL();
  } catch (const SettingsError& e) {
    EXPECT_NE(std::string(e.what()).find("\"soon\""), std::string::npos) << e.what();
  }
}

TEST_F(SettingsTest, SettingsThatWouldNotReadBackAreNotWritten) {
  Settings bad;
  bad.password = "x\xfd";
  EXPECT_TRUE(SettingsProblem(bad).has_value());
  EXPECT_THROW(SettingsLines(bad), SettingsError);
  bad = Settings{};
  bad.username = "ann\r\nlogin ON";
  EXPECT_THROW(SettingsLines(bad), SettingsError);
  bad = Settings{};
  bad.port = "80\n";
  EXPECT_THROW(SettingsLines(bad), SettingsError);
  EXPECT_EQ(SettingsProblem(Settings{}), std::nullopt);
}

// Values that cannot be stored never reach the live settings through the window, but if one does,
// the file is still written: that value keeps its stored line (the default's without one), the
// rest is saved, and the notice never shows the password.
TEST_F(SettingsTest, ValuesThatCannotBeStoredKeepTheirStoredLineAndTheRestIsWritten) {
  const Lines current = Stored("Autorun OFF", "5", "8080");
  Settings live;
  live.autoscan = true;
  live.scanMinutes = 20;
  live.username = "ann\nlogin ON";
  live.password = "x\xfd";
  live.port = "81\r";
  for (const bool withFile : {true, false}) {
    SCOPED_TRACE(withFile);
    Lines notices;
    const Lines lines = SettingsLinesToStore(live, withFile ? current : Lines{}, notices);
    Lines expected = withFile ? current : SettingsLines(Settings{});
    expected[2] = "Autoscan ON";
    expected[3] = "20";
    EXPECT_EQ(lines, expected);
    ASSERT_EQ(notices.size(), 3u);
    EXPECT_EQ(notices[1], std::string("The settings keep the ") +
                              (withFile ? "stored" : "default") +
                              " password: the new one cannot be stored.");
    for (const std::string& notice : notices) EXPECT_EQ(notice.find("x\xfd"), std::string::npos);
  }
  Lines notices;
  live = Settings{};
  live.username = "bob";
  EXPECT_EQ(SettingsLinesToStore(live, current, notices), SettingsLines(live));
  EXPECT_TRUE(notices.empty());
}

TEST_F(SettingsTest, UncheckingAutorunUnchecksAndHidesAutostart) {
  SetAutorun(live_, true, hooks_);
  EXPECT_TRUE(AutostartVisible(live_));
  SetAutostart(live_, true, hooks_);
  SetAutorun(live_, false, hooks_);
  EXPECT_FALSE(live_.autostart);
  EXPECT_FALSE(AutostartVisible(live_));
  EXPECT_EQ(calls_, (Lines{"autorun on", "autostart on", "autorun off", "autostart off"}));
}

TEST_F(SettingsTest, ABoxSetToItsOwnStateSetsNothingOff) {
  SetAutorun(live_, false, hooks_);
  SetLogin(live_, false, hooks_);
  SetAutoscan(live_, true, hooks_);
  SetAutoscan(live_, true, hooks_);
  EXPECT_EQ(calls_, Lines{"autoscan on"});
}

}  // namespace
}  // namespace vidoria
