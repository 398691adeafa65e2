#include "engine/vidoriad_serve.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <csignal>
#include <iostream>

#include "engine/address.h"
#include "engine/data_folder_claim.h"
#include "engine/engine.h"
#include "server/main_thread.h"

namespace vidoria {

int Serve() {
  // Before anything touches the data folder, and held until the process ends.
  const DataFolderClaim claim = ClaimDataFolder();
  if (claim.outcome == DataFolderClaim::Outcome::kHeldByAnother) {
    std::cerr << kAlreadyRunning << std::endl;
    return 1;
  }
  if (claim.outcome == DataFolderClaim::Outcome::kUnguarded) {
    std::cerr << "vidoriad: a second start on this data folder cannot be refused: " << claim.problem
              << std::endl;
  }
  // Blocked before any thread starts, so every thread inherits the mask and the signals arrive
  // only through the signal descriptor, on this thread.
  // A shell starting us in the background sets SIGINT to be ignored; we want it.
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  const int signalFd = ::signalfd(-1, &signals, SFD_CLOEXEC);
  if (signalFd < 0) {
    std::cerr << "vidoriad: cannot watch for signals" << std::endl;
    return 1;
  }

  LoopMainThread mainThread;
  ProcessCore().main = &mainThread;
  int exitCode = 0;
  {
    EngineOptions options;
    options.dataFolder = claim.dataFolder;
    options.reportError = [](const std::string& message) {
      std::cerr << "vidoriad: " << message << std::endl;
    };
    Engine engine(std::move(options));
    ServerNotifications notifications;
    notifications.listening = [&engine] {
      const std::string address = LanAddress();
      const std::string port = engine.ListeningPort();
      std::cout << "vidoriad: serving on port " << port << "; open http://"
                << (address.empty() ? "127.0.0.1" : address) << ":" << port << "/ on a phone"
                << std::endl;
    };
    notifications.listenFailed = [&engine](const std::string&, const std::string& message) {
      std::cerr << "vidoriad: cannot listen on port " << PortValue(engine.CurrentSettings().port)
                << ": " << message << std::endl;
    };
    engine.SetServerNotifications(std::move(notifications));
    if (engine.Create()) {
      // Always listen: there is no window whose Start button could do it later.
      if (!engine.CurrentSettings().autorun) engine.StartServer();
      // Nobody adds files through a window here. With the switch "Scan folders every" on, the
      // watched folders are scanned as the server starts, so that files added while it was down
      // are served at once rather than one whole interval (5 minutes to a day) later.
      if (engine.CurrentSettings().autoscan) engine.ScanWatchedFolders();
      engine.Shown(Engine::Clock::now());
      for (;;) {
        pollfd watch{signalFd, POLLIN, 0};
        if (::poll(&watch, 1, 100) > 0) break;
        mainThread.ProcessPending();
        engine.Tick(Engine::Clock::now());
      }
      engine.Close();
      engine.Destroy();
    } else {
      std::cerr << kMissingCompanion << std::endl;
      exitCode = 1;
    }
  }  // the engine's server waits for its connections here
  ProcessCore().Shutdown([&] { mainThread.ProcessPending(); });
  ::close(signalFd);
  return exitCode;
}

}  // namespace vidoria
