#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "platform/autostart.h"

namespace vidoria {
namespace {

namespace fs = std::filesystem;

class AutostartTest : public ::testing::Test {
 protected:
  AutostartTest() {
    std::string pattern = (fs::temp_directory_path() / "vidoria-autostart-XXXXXX").string();
    home_ = ::mkdtemp(pattern.data());
  }
  ~AutostartTest() override { fs::remove_all(home_); }

  EnvLookup Environment() const {
    return [this](const char* name) {
      const auto it = variables_.find(name);
      return it == variables_.end() ? std::string() : it->second;
    };
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::string home_;
  std::map<std::string, std::string> variables_;
};

TEST_F(AutostartTest, ShortcutLivesInTheConfigHomesAutostartFolder) {
  const struct {
    std::map<std::string, std::string> variables;
    const char* path;
  } cases[] = {
      {{{"HOME", "/home/ann"}}, "/home/ann/.config/autostart/Vidoria 1.4.desktop"},
      {{{"HOME", "/home/ann/"}}, "/home/ann/.config/autostart/Vidoria 1.4.desktop"},
      {{{"HOME", "/home/ann"}, {"XDG_CONFIG_HOME", "/cfg"}}, "/cfg/autostart/Vidoria 1.4.desktop"},
      {{{"HOME", "/home/ann"}, {"XDG_CONFIG_HOME", ""}},
       "/home/ann/.config/autostart/Vidoria 1.4.desktop"},
      {{{"HOME", "/home/ann"}, {"XDG_CONFIG_HOME", "cfg"}},
       "/home/ann/.config/autostart/Vidoria 1.4.desktop"},
      {{}, ""},
  };
  for (const auto& c : cases) {
    variables_ = c.variables;
    EXPECT_EQ(StartupShortcutPath(Environment()), c.path);
  }
}

TEST_F(AutostartTest, CreateWritesTheEntryAndDeleteRemovesIt) {
  variables_ = {{"HOME", home_}};  // no .config yet: it is made
  const std::string shortcut = home_ + "/.config/autostart/Vidoria 1.4.desktop";
  ASSERT_TRUE(CreateStartupShortcut("/opt/vidoria/vidoria", Environment()));
  EXPECT_EQ(Read(shortcut),
            "[Desktop Entry]\n"
            "Type=Application\n"
            "Name=Vidoria 1.4\n"
            "Exec=/opt/vidoria/vidoria\n"
            "Path=/opt/vidoria/\n"
            "X-GNOME-Autostart-enabled=true\n");
  // Creating again replaces it and leaves no temporary file behind.
  ASSERT_TRUE(CreateStartupShortcut("/opt/v2/vidoria", Environment()));
  EXPECT_NE(Read(shortcut).find("Exec=/opt/v2/vidoria\n"), std::string::npos);
  EXPECT_EQ(std::distance(fs::directory_iterator(home_ + "/.config/autostart"), {}), 1);

  EXPECT_TRUE(DeleteStartupShortcut(Environment()));
  EXPECT_FALSE(fs::exists(shortcut));
  EXPECT_TRUE(DeleteStartupShortcut(Environment())) << "an absent shortcut counts as deleted";
}

TEST_F(AutostartTest, ProgramPathsWithReservedCharactersAreQuoted) {
  const struct {
    const char* program;
    const char* exec;
    const char* folder;
  } cases[] = {
      {"/opt/My Apps/vidoria", R"(Exec="/opt/My Apps/vidoria")", "Path=/opt/My Apps/"},
      {"/opt/a$b/v", R"(Exec="/opt/a\\$b/v")", "Path=/opt/a$b/"},
      {R"(/opt/a\b/v)", R"(Exec="/opt/a\\\\b/v")", R"(Path=/opt/a\\b/)"},
      {"/opt/100%/v", "Exec=/opt/100%%/v", "Path=/opt/100%/"},
      {"/opt/\"q\"/v", R"(Exec="/opt/\\"q\\"/v")", R"(Path=/opt/"q"/)"},
  };
  for (const auto& c : cases) {
    const std::string text = StartupShortcutText(c.program);
    EXPECT_NE(text.find(std::string(c.exec) + "\n"), std::string::npos) << text;
    EXPECT_NE(text.find(std::string(c.folder) + "\n"), std::string::npos) << text;
  }
}

TEST_F(AutostartTest, FailuresAreReportedNotThrown) {
  variables_ = {};
  EXPECT_FALSE(CreateStartupShortcut("/opt/vidoria/vidoria", Environment()));
  EXPECT_FALSE(DeleteStartupShortcut(Environment()));
  // The config home is a file, so no folder can be made under it.
  std::ofstream(home_ + "/file") << "x";
  variables_ = {{"XDG_CONFIG_HOME", home_ + "/file"}};
  EXPECT_FALSE(CreateStartupShortcut("/opt/vidoria/vidoria", Environment()));
}

}  // namespace
}  // namespace vidoria
