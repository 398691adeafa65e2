// Fuzz entry point for the settings reader: the input is settings.kavra's bytes, cut into lines
// by the line file reader and applied with LoadSettings to first-start settings, as start-up does.
// Only the parse is driven; what start-up does with a refused file is not this driver's business.
//
// Whatever the lines, the interval stays within its bounds, the hooks run in the documented
// order, each at most once, the server hears the port the settings hold, and a refusal is a
// SettingsError that applied nothing after its line. Settings that load and may be stored must
// survive a save: their lines, through the line file format and read again, give them back.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_expect.h"
#include "library/cipher.h"
#include "library/settings.h"
#include "library/stored_files.h"

namespace vidoria {
namespace {

// Hook calls in the order they came ("port 81", "autorun on", ...).
struct Recorder {
  std::vector<std::string> calls;
  std::vector<int> ports;
  std::vector<int> intervals;
  SettingsHooks hooks;

  Recorder() {
    auto box = [this](const char* name) {
      return [this, name](bool on) { calls.push_back(std::string(name) + (on ? " on" : " off")); };
    };
    hooks.autorun = box("autorun");
    hooks.autostart = box("autostart");
    hooks.autoscan = box("autoscan");
    hooks.login = box("login");
    hooks.scanInterval = [this](int minutes) {
      calls.push_back("interval");
      intervals.push_back(minutes);
    };
    hooks.serverPort = [this](int port) {
      calls.push_back("port");
      ports.push_back(port);
    };
  }
};

bool SameSettings(const Settings& a, const Settings& b) {
  return a.autorun == b.autorun && a.autostart == b.autostart && a.autoscan == b.autoscan &&
         a.scanMinutes == b.scanMinutes && a.username == b.username && a.password == b.password &&
         a.login == b.login && a.port == b.port;
}

// Loading first-start settings from a fresh file: from off, a switch can only be turned on, in
// this order, the port always first and the interval between the scan and login switches.
void CheckCalls(const Recorder& recorder) {
  static const std::vector<std::string> kOrder = {"port",        "autorun on", "autostart on",
                                                  "autoscan on", "interval",   "login on"};
  size_t next = 0;
  for (const std::string& call : recorder.calls) {
    while (next < kOrder.size() && kOrder[next] != call) ++next;
    FUZZ_EXPECT(next < kOrder.size());  // known, in order and never twice
    ++next;
  }
  FUZZ_EXPECT(!recorder.calls.empty() && recorder.calls.front() == "port");
}

void CheckRoundTrip(const Settings& loaded) {
  std::vector<std::string> lines;
  try {
    lines = SettingsLines(loaded);
  } catch (const std::exception&) {
    fuzz::Broken(__FILE__, __LINE__, "settings without a SettingsProblem can be stored");
  }
  FUZZ_EXPECT(lines.size() == 8);
  const std::vector<std::string> reread = ParseLines(LineFileBytes(lines, "settings.kavra"));
  FUZZ_EXPECT(reread == lines);
  Settings again;
  try {
    LoadSettings(again, reread, {});
  } catch (const std::exception&) {
    fuzz::Broken(__FILE__, __LINE__, "stored settings load");
  }
  FUZZ_EXPECT(SameSettings(again, loaded));
}

}  // namespace
}  // namespace vidoria

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vidoria;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> lines = ParseLines(input);
  const Settings defaults;
  Settings live;
  Recorder recorder;
  try {
    LoadSettings(live, lines, recorder.hooks);
  } catch (const SettingsError& error) {
    // All or nothing: a damaged file changes nothing and runs no hook, and the reason is the
    // one the file check gives (the caller reports it after the file's name).
    FUZZ_EXPECT(SettingsFileProblem(lines) == std::string(error.what()));
    FUZZ_EXPECT(recorder.calls.empty());
    FUZZ_EXPECT(SameSettings(live, defaults));
    return 0;
  } catch (const std::exception&) {
    fuzz::Broken(__FILE__, __LINE__, "only a SettingsError refuses settings");
  }
  FUZZ_EXPECT(!SettingsFileProblem(lines));

  FUZZ_EXPECT(live.scanMinutes >= kMinScanMinutes && live.scanMinutes <= kMaxScanMinutes);
  CheckCalls(recorder);
  FUZZ_EXPECT(recorder.ports.size() == 1 && recorder.ports[0] == PortValue(live.port));
  FUZZ_EXPECT(live.port == (lines.size() >= 8 ? lines[7] : defaults.port));

  FUZZ_EXPECT(lines.size() >= 4);
  FUZZ_EXPECT(recorder.intervals.size() == 1 && recorder.intervals[0] == live.scanMinutes);
  if (lines.size() >= 5) FUZZ_EXPECT(live.username == lines[4]);
  if (lines.size() >= 6) FUZZ_EXPECT(EncodeText(kCypherKey, live.password) == lines[5]);

  if (!SettingsProblem(live)) {
    CheckRoundTrip(live);
  } else {
    // Only the password can be at fault: the line reader leaves no line break in the others.
    // An enciphered NUL is the one byte a line can hold that the password check refuses.
    FUZZ_EXPECT(PasswordProblem(live.password).has_value());
    FUZZ_EXPECT(lines.size() >= 6 && lines[5].find('\0') != std::string::npos);
  }
  return 0;
}
