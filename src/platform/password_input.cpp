#include "platform/password_input.h"

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string_view>

namespace vidoria {
namespace {

// What a signal handler needs to give the echo back; set only while the echo is off.
int gEchoFd = -1;
termios gEchoSaved{};

void RestoreEchoAndDie(int signalNumber) {
  ::tcsetattr(gEchoFd, TCSANOW, &gEchoSaved);
  std::signal(signalNumber, SIG_DFL);
  ::raise(signalNumber);
}

// Turns the terminal's echo off while it lives.
class EchoOff {
 public:
  explicit EchoOff(int fd) : fd_(fd) {
    if (::tcgetattr(fd_, &saved_) != 0) return;
    installed_ = true;
    gEchoFd = fd_;
    gEchoSaved = saved_;
    for (size_t i = 0; i < kSignalCount; ++i)
      previous_[i] = std::signal(kSignals[i], RestoreEchoAndDie);
    termios quiet = saved_;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;  // the Enter key still ends the line on screen
    // TCSANOW: what was typed ahead (or pasted) stays to be read.
    on_ = ::tcsetattr(fd_, TCSANOW, &quiet) == 0;
  }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;
  ~EchoOff() {
    if (!installed_) return;
    if (on_) ::tcsetattr(fd_, TCSANOW, &saved_);
    for (size_t i = 0; i < kSignalCount; ++i) std::signal(kSignals[i], previous_[i]);
    gEchoFd = -1;
  }

 private:
  static constexpr size_t kSignalCount = 3;
  static constexpr int kSignals[kSignalCount] = {SIGINT, SIGTERM, SIGHUP};
  int fd_;
  termios saved_{};
  bool installed_ = false;  // the handlers
  bool on_ = false;         // the echo is off
  void (*previous_[kSignalCount])(int) = {SIG_DFL, SIG_DFL, SIG_DFL};
};

void Write(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    text.remove_prefix(static_cast<size_t>(n));
  }
}

// One line without its end; nullopt at the end of the input before any byte.
std::optional<std::string> ReadLine(int fd) {
  std::string line;
  bool any = false;
  for (char c;;) {
    const ssize_t n = ::read(fd, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    any = true;
    if (c == '\n') break;
    line += c;
  }
  if (!any) return std::nullopt;
  if (line.ends_with('\r')) line.pop_back();
  return line;
}

}  // namespace

PasswordInput ReadNewPassword(int fd, int promptFd) {
  if (!::isatty(fd)) {
    auto line = ReadLine(fd);
    if (!line) return {std::nullopt, "no password on standard input"};
    return {std::move(line), ""};
  }
  std::optional<std::string> first, second;
  {
    EchoOff echoOff(fd);
    Write(promptFd, "New password: ");
    first = ReadLine(fd);
    if (first) {
      Write(promptFd, "Once more: ");
      second = ReadLine(fd);
    }
  }
  if (!first || !second) return {std::nullopt, "no password was typed"};
  if (*first != *second) return {std::nullopt, "the two passwords differ"};
  return {std::move(first), ""};
}

}  // namespace vidoria
