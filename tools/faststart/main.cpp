// faststart INPUT OUTPUT
//
// Exit status: 0 when OUTPUT was written, 1 when it could not be (one line on stderr,
// "faststart: INPUT: reason", and no OUTPUT), 2 for a wrong command line. Quiet on success: the
// media library runs this with its output captured and unread.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>

#include "faststart/faststart.h"

namespace {

constexpr char kUsage[] =
    "usage: faststart INPUT OUTPUT\n"
    "Writes OUTPUT, a copy of the MP4 file INPUT with its index (the moov box) moved before the\n"
    "media data, so that players can start it while it downloads. A file that is already laid\n"
    "out this way is copied unchanged. INPUT is never modified.\n";

// A signal must not leave a half-written temporary file behind; the handler can only use what
// was stored before, in plain memory.
char tempPath[4096];
volatile sig_atomic_t tempPathValid = 0;

void RememberTempFile(const std::string& path) {
  tempPathValid = 0;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  if (path.empty() || path.size() >= sizeof tempPath) return;
  std::memcpy(tempPath, path.c_str(), path.size() + 1);
  std::atomic_signal_fence(std::memory_order_seq_cst);
  tempPathValid = 1;
}

void RemoveTempFileAndDie(int signalNumber) {
  if (tempPathValid) ::unlink(tempPath);
  // SA_RESETHAND restored the default action: die of the same signal, as the caller expects.
  ::raise(signalNumber);
}

void InstallSignalHandlers() {
  struct sigaction action = {};
  action.sa_handler = RemoveTempFileAndDie;
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) sigaction(signalNumber, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc != 3 || argv[1][0] == '\0' || argv[2][0] == '\0') {
    std::fputs(kUsage, stderr);
    return 2;
  }
  InstallSignalHandlers();

  vidoria::faststart::Options options;
  options.tempFileChanged = RememberTempFile;
  auto result = vidoria::faststart::MakeFastStart(argv[1], argv[2], options);
  if (!result) {
    std::fprintf(stderr, "faststart: %s: %s\n", argv[1], result.Reason().c_str());
    return 1;
  }
  return 0;
}
