#include "platform/process_runner_command_line.h"

namespace vidoria {

std::string BuildCommandLine(const std::vector<std::string>& parts) {
  std::string line;
  for (const std::string& part : parts) {
    if (!line.empty()) line += ' ';
    line += '"' + part + '"';
  }
  return line;
}

std::vector<std::string> SplitCommandLine(std::string_view line) {
  std::vector<std::string> parts;
  std::string part;
  bool inPart = false;  // an empty pair of quotes is a part too
  bool quoted = false;
  for (const char c : line) {
    if (c == '"') {
      quoted = !quoted;
      inPart = true;
    } else if (!quoted && (c == ' ' || c == '\t')) {
      if (inPart) parts.push_back(std::move(part));
      part.clear();
      inPart = false;
    } else {
      part += c;
      inPart = true;
    }
  }
  if (inPart) parts.push_back(std::move(part));
  return parts;
}

}  // namespace vidoria
