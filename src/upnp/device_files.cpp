#include "upnp/device_files.h"

#include "library/stored_files.h"
#include "server/session_store.h"

namespace vidoria {

namespace {

std::optional<std::string> FirstLine(const std::string& path) {
  try {
    std::vector<std::string> lines = ReadLineFile(path);
    if (!lines.empty()) return std::move(lines.front());
  } catch (const StoreError&) {
  }
  return std::nullopt;
}

std::optional<std::string> WriteLine(const std::string& path, const std::string& line) {
  try {
    (void)WriteLineFile(path, {line});
  } catch (const StoreError& e) {
    return e.what();
  }
  return std::nullopt;
}

}  // namespace

bool ReadSharingSwitch(const std::string& path) {
  std::string line = FirstLine(path).value_or("");
  for (char& c : line) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return line.find("off") == std::string::npos;
}

std::optional<std::string> WriteSharingSwitch(const std::string& path, bool on) {
  return WriteLine(path, on ? "Share ON" : "Share OFF");
}

bool IsUuid(std::string_view text) {
  if (text.size() != 36) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (c != '-') return false;
    } else if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) {
      return false;
    }
  }
  return true;
}

std::string DeviceUuid(const std::string& path, std::optional<std::string>& problem) {
  problem.reset();
  if (auto stored = FirstLine(path); stored && IsUuid(*stored)) return *stored;
  // The session ids' random version-4 layout, written with the UUID's dashes.
  const std::string hex = NewSessionId();
  if (hex.size() != 32) {
    problem = "The system gave no random bytes for the media server's identity.";
    return {};
  }
  std::string uuid = hex.substr(0, 8) + "-" + hex.substr(8, 4) + "-" + hex.substr(12, 4) + "-" +
                     hex.substr(16, 4) + "-" + hex.substr(20);
  problem = WriteLine(path, uuid);
  return uuid;
}

}  // namespace vidoria
