// Reading a new password the way command-line programs do: typed on a terminal without echo and
// asked twice, or taken as one line of piped input (`echo secret | vidoriad set password`).
//
// Main thread. While the echo is off, SIGINT, SIGTERM and SIGHUP give the terminal its echo back
// before they end the process as they would have.
#pragma once

#include <optional>
#include <string>

namespace vidoria {

struct PasswordInput {
  std::optional<std::string> password;
  std::string problem;  // when there is none: why, one line
};

// From `fd`: a terminal gets the prompts on `promptFd` and must see the same password twice;
// any other input gives its first line, its line end (LF or CR LF) removed.
PasswordInput ReadNewPassword(int fd, int promptFd);

}  // namespace vidoria
