// vidoria: the desktop program. It reads no arguments; it ends when its window has closed (or
// at once when the companion's data folder is missing, or when another program runs on it),
// with its files saved.
#include <QApplication>
#include <iostream>
#include <optional>

#include "app/main_window.h"
#include "app/qt_dialogs.h"
#include "app/qt_main_thread.h"
#include "app/quit_on_signal.h"
#include "app/second_start.h"
#include "engine/data_folder_claim.h"
#include "engine/process_setup.h"
#include "server/core_runtime.h"

using namespace vidoria;

int main(int argc, char** argv) {
  SetUpProcess();
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Vidoria"));
  QApplication::setApplicationDisplayName(QStringLiteral("Vidoria"));
  // Before anything touches the data folder, and held until the process ends.
  const DataFolderClaim claim = ClaimDataFolder();
  if (claim.outcome == DataFolderClaim::Outcome::kHeldByAnother) {
    QtDialogs dialogs;
    QuitOnSignal quitOnSignal(nullptr);  // a signal answers the box
    return RefuseSecondStart(claim.dataFolder, dialogs);
  }
  if (claim.outcome == DataFolderClaim::Outcome::kUnguarded) {
    std::cerr << "vidoria: a second start on this data folder cannot be refused: " << claim.problem
              << std::endl;
  }
  QtMainThread mainThread;
  ProcessCore().main = &mainThread;
  int exitCode = 0;
  {
    QtDialogs dialogs;
    EngineOptions options;
    options.dataFolder = claim.dataFolder;
    MainWindow window(std::move(options), dialogs);
    dialogs.SetParent(&window);
    QuitOnSignal quitOnSignal(&window);
    std::optional<RaiseListener> raiseListener;
    if (claim.outcome == DataFolderClaim::Outcome::kClaimed) {
      raiseListener.emplace(claim.dataFolder, &window);
    }
    QObject::connect(&window, &MainWindow::Ended, &app, [] { QApplication::exit(1); });
    if (window.Create()) window.show();
    exitCode = QApplication::exec();
  }  // the engine's server waits for its connections here
  ProcessCore().Shutdown([] { QCoreApplication::processEvents(); });
  ProcessCore().main = nullptr;
  return exitCode;
}
