// The window while a fast start runs: the buttons that would disturb it stay off (also when a
// scan tick comes meanwhile), and closing the window ends the tool, gives the file back its own
// name and saves the stored files.
#include <signal.h>

#include <QMimeData>
#include <QTimer>
#include <functional>

#include "app/window_test_rig.h"

namespace vidoria::testing {

namespace {

// Records its process id beside itself, then works until it is ended (writing nothing).
constexpr const char* kSlowTool =
    "#!/bin/sh\n"
    "echo $$ > \"$(dirname \"$0\")/tool.pid\"\n"
    "exec sleep 60\n";

// Runs `then` once, from the event loop, as soon as `ready` holds.
void When(std::function<bool()> ready, std::function<void()> then) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, ready, then] {
    if (!ready()) return;
    timer->stop();
    timer->deleteLater();
    then();
  });
  timer->start();
}

}  // namespace

class MainWindowBusyTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanupTestCase() { ShutDownTestCore(); }

  void FastStartHoldsTheButtonsAndACloseGivesTheFileBack() {
    WindowRig rig;
    const QString media = rig.home.Home() + "/media/";
    TestHome::Write(media + "a.mp4", "original a");
    TestHome::Write(media + "b.mp4", "original b");
    TestHome::Write(media + "new.mp4", "x");
    TestHome::Write(rig.home.Data() + "LIBRARY.kavra",
                    TestHome::Grid(4, {{"MOVIE", (media + "a.mp4").toStdString(), "a.mp4"},
                                       {"MOVIE", (media + "b.mp4").toStdString(), "b.mp4"}}));
    TestHome::Write(rig.home.Data() + "settings.kavra", TestHome::Settings(80));
    TestHome::Write(rig.home.Program() + "faststart", kSlowTool, /*executable=*/true);
    MainWindow& window = rig.Make();
    LibraryPane* library = window.GetLibraryPane();
    library->list->Check(0, true);
    library->list->Check(1, true);

    const QString pidFile = rig.home.Program() + "tool.pid";
    QList<QToolButton*> heldDuringTheRun;
    bool scanRanDuringTheRun = true;
    int toolPid = 0;
    When(
        [&] { return QFileInfo(pidFile).size() > 0; },
        [&] {
          toolPid = TestHome::Read(pidFile).trimmed().toInt();
          // A drop queues a scan; its ticks come and wait for the tool.
          window.GetEngine().QueueDropped({(media + "new.mp4").toStdString()});
          const auto now = Engine::Clock::now();
          window.GetEngine().Tick(now + std::chrono::seconds(10));
          window.GetEngine().Tick(now + std::chrono::seconds(20));
          scanRanDuringTheRun = window.GetEngine().LibraryTable().RowCount() != 2;
          for (QToolButton* button :
               {library->enableStreaming, library->remove, library->addFile, library->addFolder,
                window.GetPlaylistPane()->enableStreaming, window.GetFolderScanPane()->addFolder}) {
            if (!button->isEnabled()) heldDuringTheRun << button;
          }
          window.close();
        });
    library->enableStreaming->click();  // the run goes on while the window serves
    QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), kWaitMs);
    QVERIFY(!window.GetEngine().StreamingRunning());

    // Only what must wait for the run is held: adding files goes on.
    QCOMPARE(heldDuringTheRun, (QList<QToolButton*>{library->enableStreaming, library->remove,
                                                    window.GetPlaylistPane()->enableStreaming}));
    QVERIFY(!scanRanDuringTheRun);
    QVERIFY(toolPid > 0);
    QCOMPARE(::kill(toolPid, 0), -1);  // ended and reaped
    // The first file is back under its own name, untouched; the second was never started.
    QCOMPARE(TestHome::Read(media + "a.mp4"), QByteArray("original a"));
    QCOMPARE(TestHome::Read(media + "b.mp4"), QByteArray("original b"));
    QVERIFY(!QFileInfo::exists(media + "qfsTemp.mp4"));
    QCOMPARE(TestHome::Read(pidFile).trimmed().toInt(), toolPid);  // no second run
    QVERIFY(TestHome::Read(rig.home.Data() + "LIBRARY.kavra").contains("b.mp4"));
    QCOMPARE(TestHome::Read(rig.home.Data() + "settings.kavra"), TestHome::Settings(80));
    QVERIFY(rig.Shown(ScriptedDialogs::Kind::kError).empty());
    rig.window.reset();
  }

  void FastStartThatEndsNormallyGivesTheButtonsBack() {
    WindowRig rig;
    const QString media = rig.home.Home() + "/media/";
    TestHome::Write(media + "a.mp4", "a");
    TestHome::Write(rig.home.Data() + "LIBRARY.kavra",
                    TestHome::Grid(4, {{"MOVIE", (media + "a.mp4").toStdString(), "a.mp4"}}));
    TestHome::Write(rig.home.Data() + "settings.kavra", TestHome::Settings(80));
    TestHome::Write(rig.home.Program() + "faststart", "#!/bin/sh\ncp \"$1\" \"$2\"\n",
                    /*executable=*/true);
    MainWindow& window = rig.Make();
    window.GetLibraryPane()->list->Check(0, true);
    // A scan pass right before: its end must not count for the run after it, nor the reverse.
    window.GetEngine().QueueFile((media + "a.mp4").toStdString());
    const auto now = Engine::Clock::now();
    window.GetEngine().Tick(now + std::chrono::seconds(10));
    window.GetEngine().Tick(now + std::chrono::seconds(20));
    QTRY_VERIFY_WITH_TIMEOUT(!window.GetEngine().Scanning(), kWaitMs);
    QVERIFY(window.GetLibraryPane()->enableStreaming->isEnabled());
    window.GetLibraryPane()->enableStreaming->click();
    QTRY_VERIFY_WITH_TIMEOUT(!window.GetEngine().StreamingRunning(), kWaitMs);
    QCOMPARE(TestHome::Read(media + "a.mp4"), QByteArray("a"));
    for (QToolButton* button :
         {window.GetLibraryPane()->enableStreaming, window.GetLibraryPane()->remove,
          window.GetLibraryPane()->addFile}) {
      QVERIFY(button->isEnabled());
    }
  }
};

}  // namespace vidoria::testing

QTEST_MAIN(vidoria::testing::MainWindowBusyTest)
#include "main_window_busy_test.moc"
