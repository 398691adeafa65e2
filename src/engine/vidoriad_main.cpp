// vidoriad: the program without a window, for home servers. Without arguments it is the server
// (vidoriad_serve.h); with a command it sets up or looks at the data folder and exits
// (vidoriad --help).
#include <unistd.h>

#include <iostream>
#include <string_view>
#include <vector>

#include "engine/process_setup.h"
#include "engine/vidoriad_command_line.h"
#include "engine/vidoriad_commands.h"
#include "engine/vidoriad_serve.h"

using namespace vidoria;

int main(int argc, char** argv) {
  SetUpProcess();
  const ParsedCommand parsed =
      ParseCommandLine(std::vector<std::string_view>(argv + (argc > 0 ? 1 : 0), argv + argc));
  if (!parsed.error.empty()) {
    std::cerr << "vidoriad: " << parsed.error << " (vidoriad --help lists the commands)"
              << std::endl;
    return 2;
  }
  if (parsed.command.kind == CommandKind::kServe) return Serve();
  return RunCommand(
      parsed.command,
      CommandContext{
          .env = SystemEnv, .out = &std::cout, .err = &std::cerr, .input = STDIN_FILENO});
}
