// vidoria: the desktop program. It reads no arguments; it ends when its window has closed (or
// at once when the companion's data folder is missing), with its files saved.
#include <QApplication>

#include "app/main_window.h"
#include "app/qt_dialogs.h"
#include "app/qt_main_thread.h"
#include "app/quit_on_signal.h"
#include "engine/process_setup.h"
#include "server/core_runtime.h"

using namespace vidoria;

int main(int argc, char** argv) {
  SetUpProcess();
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Vidoria"));
  QApplication::setApplicationDisplayName(QStringLiteral("Vidoria"));
  QtMainThread mainThread;
  ProcessCore().main = &mainThread;
  int exitCode = 0;
  {
    QtDialogs dialogs;
    MainWindow window(EngineOptions{}, dialogs);
    dialogs.SetParent(&window);
    QuitOnSignal quitOnSignal(&window);
    QObject::connect(&window, &MainWindow::Ended, &app, [] { QApplication::exit(1); });
    if (window.Create()) window.show();
    exitCode = QApplication::exec();
  }  // the engine's server waits for its connections here
  ProcessCore().Shutdown([] { QCoreApplication::processEvents(); });
  ProcessCore().main = nullptr;
  return exitCode;
}
