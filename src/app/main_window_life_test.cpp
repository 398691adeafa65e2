// The window's life: start-up with and without stored files, the first-run question, the
// missing companion, errors of start-up, and closing (also by SIGTERM) with the files saved.
#include <signal.h>

#include <QSignalSpy>

#include "app/quit_on_signal.h"
#include "app/window_test_rig.h"

namespace vidoria::testing {

class MainWindowLifeTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanupTestCase() { ShutDownTestCore(); }

  void FirstStartAsksAndStartsWithFavorites_data() {
    QTest::addColumn<bool>("answer");
    QTest::newRow("yes queues the video folder") << true;
    QTest::newRow("no leaves the library empty") << false;
  }
  void FirstStartAsksAndStartsWithFavorites() {
    QFETCH(bool, answer);
    WindowRig rig;
    TestHome::Write(rig.home.Home() + "/Videos/holiday.mp4", "x");
    rig.dialogs.QueueYesNo(answer);
    MainWindow& window = rig.Make();

    const auto questions = rig.Shown(ScriptedDialogs::Kind::kYesNo);
    QCOMPARE(questions.size(), size_t(1));
    QCOMPARE(questions[0].text, QString::fromUtf8(kFirstRunQuestion.data()));
    QCOMPARE(window.windowTitle(), QStringLiteral("Vidoria 1.4"));
    QCOMPARE(window.size(), QSize(600, 440));
    QCOMPARE(window.FrontView(), static_cast<QWidget*>(window.GetLibraryPane()));
    QCOMPARE(window.Tree()->currentItem(), window.Tree()->Library());
    QCOMPARE(window.Tree()->Playlists()->childCount(), 1);
    QCOMPARE(window.Tree()->Playlists()->child(0)->text(0), QStringLiteral("Favorites"));
    QCOMPARE(window.GetEngine().ScanQueued(), answer);
    if (answer) {
      // The scan timer's pass adds the file and refreshes the shown list.
      QTRY_COMPARE_WITH_TIMEOUT(window.GetLibraryPane()->list->count(), 1, kWaitMs);
      QCOMPARE(window.GetLibraryPane()->list->item(0)->text(), QStringLiteral("holiday.mp4"));
    } else {
      QCOMPARE(window.GetLibraryPane()->list->count(), 0);
    }
    rig.CloseAndDestroy();
    // A first start writes the defaults at close.
    QCOMPARE(TestHome::Read(rig.home.Data() + "settings.kavra"), TestHome::Settings(80));
    QVERIFY(rig.dialogs.AllAnswersUsed());
  }

  void StoredFilesFillTheViews() {
    WindowRig rig;
    const QString data = rig.home.Data();
    TestHome::Write(data + "LIBRARY.kavra",
                    TestHome::Grid(4, {{"MOVIE", "/v/a.mp4", "a.mp4", "1:01:40"},
                                       {"TV", "/v/b.mp4", "b.mp4", "1:01:40"}}));
    TestHome::Write(data + "PLAYLISTS.kavra",
                    TestHome::Grid(4, {{"Trip", "", "a.mp4"}, {"Gone", "", "missing.mp4"}}));
    TestHome::Write(data + "USERS.kavra",
                    TestHome::Grid(2, {{"ann", EncodeText(kCypherKey, "pw")}}));
    TestHome::Write(data + "FOLDERS.kavra", "/v/\r\n");
    const int port = TestHome::FreePort();
    TestHome::Write(data + "settings.kavra", TestHome::Settings(port));
    MainWindow& window = rig.Make();

    QVERIFY(rig.Shown(ScriptedDialogs::Kind::kYesNo).empty());
    QCOMPARE(window.GetLibraryPane()->list->count(), 2);
    QCOMPARE(window.Tree()->Playlists()->childCount(), 2);
    QCOMPARE(window.Tree()->Playlists()->child(1)->text(0), QStringLiteral("Gone"));
    QCOMPARE(window.GetAccountsPane()->users->count(), 1);
    QCOMPARE(window.GetFolderScanPane()->folders->count(), 1);
    QCOMPARE(window.GetStreamingPane()->port->text(), QString::number(port));
    QCOMPARE(rig.StatusText(), QStringLiteral("2 items"));
    // The first generation, a second after the first show, prunes the missing item.
    QTRY_VERIFY_WITH_TIMEOUT(window.GetEngine().PlaylistListing("Gone").items.empty(), kWaitMs);
    QCOMPARE(window.GetEngine().PlaylistListing("Trip").items, std::vector<std::string>{"a.mp4"});
    QVERIFY(rig.Shown(ScriptedDialogs::Kind::kError).empty());
    // The log view follows the activity log, lines from the server's threads included.
    LogPane* log = window.GetLogPane();
    QTRY_COMPARE_WITH_TIMEOUT(log->LineCount(), int(window.GetEngine().Activity().Lines().size()),
                              kWaitMs);
    QVERIFY(log->Line(0).endsWith(" : Vidoria 1.4 Started"));
    QCOMPARE(log->lines->currentIndex().row(), log->LineCount() - 1);
    rig.CloseAndDestroy();
    QVERIFY(TestHome::Read(data + "PLAYLISTS.kavra").contains("Trip"));
    QVERIFY(!TestHome::Read(data + "PLAYLISTS.kavra").contains("missing.mp4"));
  }

  void UnreadableStoredFileIsShownOnceTheWindowIsUp() {
    WindowRig rig;
    TestHome::Write(rig.home.Data() + "LIBRARY.kavra", "not a grid\r\n");
    TestHome::Write(rig.home.Data() + "settings.kavra", TestHome::Settings(80));
    MainWindow& window = rig.Make(/*createAndShow=*/false);
    QVERIFY(window.Create());
    QVERIFY(rig.Shown(ScriptedDialogs::Kind::kError).empty());  // start-up is never held up
    window.show();
    QTRY_COMPARE_WITH_TIMEOUT(rig.Shown(ScriptedDialogs::Kind::kError).size(), size_t(1), kWaitMs);
    QVERIFY(rig.Shown(ScriptedDialogs::Kind::kError)[0].text.contains("LIBRARY.kavra"));
    QVERIFY(window.isVisible());
    QCOMPARE(window.Tree()->Playlists()->childCount(), 1);
  }

  void MissingCompanionShowsMessageThenOpensTheMakersSite() {
    WindowRig rig(/*withDataFolder=*/false);
    MainWindow& window = rig.Make(/*createAndShow=*/false);
    QSignalSpy ended(&window, &MainWindow::Ended);
    QVERIFY(!window.Create());
    const auto messages = rig.Shown(ScriptedDialogs::Kind::kMessage);
    QCOMPARE(messages.size(), size_t(1));
    QCOMPARE(messages[0].text, QStringLiteral("Please install Kelvane v3 or v4"));
    QVERIFY(rig.opened.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, kWaitMs);
    QCOMPARE(rig.opened, QList<QUrl>{QUrl(QString::fromLatin1(kMakerSite))});
    rig.CloseAndDestroy();
    // Nothing is read or written.
    QVERIFY(!QFileInfo::exists(rig.home.Home() + "/.local/share/Kelvane3"));
    QVERIFY(!QFileInfo::exists(rig.home.Home() + "/.local/share/Kelvane 4"));
  }

  void SigtermClosesTheWindowAndSavesTheFiles() {
    WindowRig rig;
    TestHome::Write(rig.home.Data() + "settings.kavra", TestHome::Settings(8123));
    TestHome::Write(rig.home.Data() + "LIBRARY.kavra",
                    TestHome::Grid(4, {{"MOVIE", "/v/a.mp4", "a.mp4", "1:01:40"}}));
    MainWindow& window = rig.Make();
    window.GetEngine().AddUser("bob", "secret");
    QuitOnSignal quit(&window);
    QSignalSpy handled(&quit, &QuitOnSignal::Handled);
    ::raise(SIGTERM);
    QTRY_COMPARE_WITH_TIMEOUT(handled.count(), 1, kWaitMs);
    QVERIFY(!window.isVisible());
    // The close saved everything, the users file included.
    QCOMPARE(TestHome::Read(rig.home.Data() + "settings.kavra"), TestHome::Settings(8123));
    QVERIFY(TestHome::Read(rig.home.Data() + "USERS.kavra").contains("bob"));
    QVERIFY(TestHome::Read(rig.home.Data() + "LIBRARY.kavra").contains("/v/a.mp4"));
    rig.window.reset();
  }
};

}  // namespace vidoria::testing

QTEST_MAIN(vidoria::testing::MainWindowLifeTest)
#include "main_window_life_test.moc"
