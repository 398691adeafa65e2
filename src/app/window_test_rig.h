// A window under test: a temporary home, scripted dialogs, the engine's own core with Qt's main
// thread, and a recorder for the URLs the window asks the desktop to open.
#pragma once

#include <QApplication>
#include <QLocale>
#include <QTest>
#include <memory>

#include "app/main_window.h"
#include "app/qt_main_thread.h"
#include "app/scripted_dialogs.h"
#include "app/window_test_home.h"

namespace vidoria::testing {

inline constexpr int kWaitMs = 30000;

// One core for the test program: servers of every test use it; cleanupTestCase shuts it down.
inline CoreRuntime& TestCore() {
  static QtMainThread mainThread;
  static CoreRuntime* core = [] {
    auto* runtime = new CoreRuntime;
    runtime->main = &mainThread;
    return runtime;
  }();
  return *core;
}
inline void ShutDownTestCore() {
  TestCore().Shutdown([] { QCoreApplication::processEvents(); });
}

struct WindowRig {
  // The lists sort as the session's language does: one language for every machine the tests
  // run on.
  explicit WindowRig(bool withDataFolder = true) : home(withDataFolder) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  }

  // Makes the window; Create() and show() when asked.
  MainWindow& Make(bool createAndShow = true) {
    window = std::make_unique<MainWindow>(home.Options(&TestCore()), dialogs);
    window->openUrl = [this](const QUrl& url) { opened << url; };
    window->Server().lookUpAddress = [] { return std::string("127.0.0.1"); };
    if (createAndShow) {
      if (!window->Create()) qFatal("the window was not created");
      window->show();
    }
    return *window;
  }
  // The user closes the window; then it is destroyed.
  void CloseAndDestroy() {
    window->close();
    window.reset();
  }
  std::vector<ScriptedDialogs::Shown> Shown(ScriptedDialogs::Kind kind) const {
    std::vector<ScriptedDialogs::Shown> found;
    for (const auto& shown : dialogs.Log()) {
      if (shown.kind == kind) found.push_back(shown);
    }
    return found;
  }
  QString StatusText() const { return window->statusBar()->Status(); }

  TestHome home;
  ScriptedDialogs dialogs;
  QList<QUrl> opened;
  std::unique_ptr<MainWindow> window;
};

}  // namespace vidoria::testing
