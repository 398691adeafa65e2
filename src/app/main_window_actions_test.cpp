// The window's play, fast-start and account buttons, with small scripts standing in for the
// player and the fast-start tool.
#include <signal.h>

#include "app/window_test_rig.h"

namespace vidoria::testing {

namespace {

// Announces a title and one status line, then plays until it is ended.
constexpr const char* kPlayer =
    "#!/bin/sh\n"
    "echo $$ >> \"$(dirname \"$0\")/pids\"\n"
    "printf 'Playing %s.\\n' \"$2\"\n"
    "printf 'Title: Holiday\\n'\n"
    "printf 'A:   5.3 V:   5.3 A-V:  0.000\\r'\n"
    "exec sleep 60\n";

void WriteLibrary(const TestHome& home, const QStringList& names, const QString& folder = "/v/") {
  std::vector<std::vector<std::string>> rows;
  for (const QString& name : names) {
    rows.push_back({"MOVIE", (folder + name).toStdString(), name.toStdString(), "1:01:40"});
  }
  TestHome::Write(home.Data() + "LIBRARY.kavra", TestHome::Grid(4, rows));
  TestHome::Write(home.Data() + "settings.kavra", TestHome::Settings(80));
}

QList<int> PlayerPids(const TestHome& home) {
  QList<int> pids;
  for (const QByteArray& line : TestHome::Read(home.Data() + "pids").split('\n')) {
    if (!line.isEmpty()) pids << line.toInt();
  }
  return pids;
}

bool Running(int pid) {
  return ::kill(pid, 0) == 0;
}

// The log lines that follow " : " and start with `prefix`, in order.
QStringList LogLines(Engine& engine, const QString& prefix) {
  QStringList found;
  for (const std::string& line : engine.Activity().Lines()) {
    const QString text = QString::fromStdString(line).section(QStringLiteral(" : "), 1);
    if (text.startsWith(prefix)) found << text;
  }
  return found;
}

}  // namespace

class MainWindowActionsTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanupTestCase() { ShutDownTestCore(); }

  void PlayShowsThePlayersStatusAndStopEndsIt_data() {
    QTest::addColumn<QString>("stopper");
    QTest::newRow("library Stop") << "library";
    QTest::newRow("playlist Stop") << "playlist";
    QTest::newRow("title bar") << "title";
  }
  void PlayShowsThePlayersStatusAndStopEndsIt() {
    QFETCH(QString, stopper);
    WindowRig rig;
    WriteLibrary(rig.home, {"a.mp4", "b.m4v"});
    TestHome::Write(rig.home.Data() + "mplayer", kPlayer, /*executable=*/true);
    MainWindow& window = rig.Make();
    QVERIFY(!window.GetLibraryPane()->stop->isEnabled());

    window.GetLibraryPane()->list->clearSelection();  // none selected: the first item plays
    window.GetLibraryPane()->play->click();
    QTRY_COMPARE_WITH_TIMEOUT(rig.StatusText(), QStringLiteral("Holiday 0:00:05"), kWaitMs);
    QVERIFY(window.GetLibraryPane()->stop->isEnabled());
    QVERIFY(window.GetPlaylistPane()->stop->isEnabled());
    QCOMPARE(LogLines(window.GetEngine(), "Holiday").last(), QStringLiteral("Holiday 0:00:05"));
    const QList<int> pids = PlayerPids(rig.home);
    QCOMPARE(pids.size(), 1);

    if (stopper == "library") window.GetLibraryPane()->stop->click();
    if (stopper == "playlist") window.GetPlaylistPane()->stop->click();
    if (stopper == "title") QTest::mouseClick(window.GetLibraryPane()->title, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!window.GetLibraryPane()->stop->isEnabled(), kWaitMs);
    QVERIFY(!window.GetPlaylistPane()->stop->isEnabled());
    QCOMPARE(rig.StatusText(), QString());
    QVERIFY(!window.Player().Busy());
    QTRY_VERIFY_WITH_TIMEOUT(!Running(pids[0]), kWaitMs);
  }

  void ANewPlayEndsTheRunningOne() {
    WindowRig rig;
    WriteLibrary(rig.home, {"a.mp4", "b.mp4"});
    TestHome::Write(rig.home.Data() + "mplayer", kPlayer, /*executable=*/true);
    MainWindow& window = rig.Make();
    CheckList* list = window.GetLibraryPane()->list;
    window.GetLibraryPane()->play->click();
    QTRY_COMPARE_WITH_TIMEOUT(rig.StatusText(), QStringLiteral("Holiday 0:00:05"), kWaitMs);
    list->clearSelection();
    list->item(1)->setSelected(true);
    window.GetLibraryPane()->play->click();
    QTRY_COMPARE_WITH_TIMEOUT(PlayerPids(rig.home).size(), 2, kWaitMs);
    const QList<int> pids = PlayerPids(rig.home);
    QVERIFY(!Running(pids[0]));
    QTRY_COMPARE_WITH_TIMEOUT(rig.StatusText(), QStringLiteral("Holiday 0:00:05"), kWaitMs);
    QVERIFY(LogLines(window.GetEngine(), "Playing ").isEmpty());  // that line sets no status text
    QVERIFY(window.Player().Busy());
    window.close();  // closing ends the player too
    QTRY_VERIFY_WITH_TIMEOUT(!Running(pids[1]), kWaitMs);
  }

  void PlayerThatCannotStartOrPlayIsReported_data() {
    QTest::addColumn<QByteArray>("player");  // empty: none in the data folder
    QTest::addColumn<QString>("message");
    QTest::newRow("missing") << QByteArray() << "Cannot start";
    QTest::newRow("exits at once")
        << QByteArray("#!/bin/sh\nprintf 'Failed to open %s.\\n' \"$2\"\n")
        << "The player ended without playing /v/a.mp4.\nFailed to open /v/a.mp4.";
  }
  void PlayerThatCannotStartOrPlayIsReported() {
    QFETCH(QByteArray, player);
    QFETCH(QString, message);
    WindowRig rig;
    WriteLibrary(rig.home, {"a.mp4"});
    if (!player.isEmpty()) {
      TestHome::Write(rig.home.Data() + "mplayer", player, /*executable=*/true);
    }
    MainWindow& window = rig.Make();
    window.GetLibraryPane()->play->click();
    QTRY_COMPARE_WITH_TIMEOUT(rig.Shown(ScriptedDialogs::Kind::kError).size(), size_t(1), kWaitMs);
    QVERIFY2(rig.Shown(ScriptedDialogs::Kind::kError)[0].text.startsWith(message),
             qPrintable(rig.Shown(ScriptedDialogs::Kind::kError)[0].text));
    QVERIFY(!window.Player().Busy());
    QVERIFY(!window.GetLibraryPane()->stop->isEnabled());
    // The window stays usable: the next play starts again.
    window.GetLibraryPane()->play->click();
    QTRY_COMPARE_WITH_TIMEOUT(rig.Shown(ScriptedDialogs::Kind::kError).size(), size_t(2), kWaitMs);
  }

  void EnableStreamingWalksTheChosenMp4Files_data() {
    QTest::addColumn<bool>("fromPlaylist");
    QTest::addColumn<QStringList>("order");
    // The library list is sorted as English sorts ("a" before "B") and walked top down; the
    // playlist keeps its slot order and is walked bottom up.
    QTest::newRow("library") << false << QStringList{"a.mp4", "B.MP4"};
    QTest::newRow("playlist") << true << QStringList{"a.mp4", "B.MP4"};
  }
  void EnableStreamingWalksTheChosenMp4Files() {
    QFETCH(bool, fromPlaylist);
    QFETCH(QStringList, order);
    WindowRig rig;
    const QString media = rig.home.Home() + "/media/";
    for (const char* name : {"a.mp4", "B.MP4", "c.m4v", "d.mp3"}) {
      TestHome::Write(media + name, name);
    }
    WriteLibrary(rig.home, {"a.mp4", "B.MP4", "c.m4v", "d.mp3"}, media);
    TestHome::Write(rig.home.Data() + "PLAYLISTS.kavra",
                    TestHome::Grid(6, {{"Mine", "", "B.MP4", "c.m4v", "a.mp4", "d.mp3"}}));
    TestHome::Write(rig.home.Program() + "faststart", "#!/bin/sh\ncp \"$1\" \"$2\"\n",
                    /*executable=*/true);
    MainWindow& window = rig.Make();
    CheckList* list = window.GetLibraryPane()->list;
    QToolButton* button = window.GetLibraryPane()->enableStreaming;
    if (fromPlaylist) {
      window.Tree()->setCurrentItem(window.Tree()->FindPlaylist("Mine"));
      list = window.GetPlaylistPane()->list;
      button = window.GetPlaylistPane()->enableStreaming;
    }
    QCOMPARE(list->count(), 4);
    for (int row = 0; row < list->count(); ++row) list->Check(row, true);
    button->click();
    QVERIFY(!button->isEnabled());  // held while the files are rewritten
    QTRY_VERIFY_WITH_TIMEOUT(!window.GetEngine().StreamingRunning(), kWaitMs);
    QVERIFY(button->isEnabled());

    QStringList enabled;
    for (const QString& line : LogLines(window.GetEngine(), "Enabling Streaming on ")) {
      enabled << line.mid(QStringLiteral("Enabling Streaming on ").size());
    }
    QCOMPARE(enabled, order);
    QCOMPARE(LogLines(window.GetEngine(), "Streaming enabled").size(), 2);
    QVERIFY(LogLines(window.GetEngine(), "Could not").isEmpty());
    QCOMPARE(TestHome::Read(media + "B.MP4"), QByteArray("B.MP4"));
    QVERIFY(!QFileInfo::exists(media + "qfsTemp.mp4"));
    QVERIFY(button->isEnabled());
    QVERIFY(rig.Shown(ScriptedDialogs::Kind::kError).empty());
  }

  void AccountsAreAddedAndRemoved() {
    WindowRig rig;
    TestHome::Write(rig.home.Data() + "settings.kavra", TestHome::Settings(80));
    MainWindow& window = rig.Make();
    window.Tree()->setCurrentItem(window.Tree()->Find("PLAYLISTS"));
    AccountsPane* accounts = window.GetAccountsPane();
    rig.dialogs.QueueText("ann");
    rig.dialogs.QueueText("pw");
    accounts->add->click();
    rig.dialogs.QueueTextCancel();
    rig.dialogs.QueueTextCancel();
    accounts->add->click();
    const auto asked = rig.Shown(ScriptedDialogs::Kind::kText);
    QCOMPARE(asked.size(), size_t(4));
    QCOMPARE(asked[0].title, QStringLiteral("New Username:"));
    QCOMPARE(asked[0].initial, QStringLiteral("Kavra"));
    QCOMPARE(asked[1].title, QStringLiteral("Password for ann:"));
    QCOMPARE(asked[1].initial, QStringLiteral("Pleximor"));
    QCOMPARE(asked[3].title, QStringLiteral("Password for Kavra:"));
    // The new user lands where the language puts it, not after every capital.
    QCOMPARE(accounts->users->Texts(), (std::vector<std::string>{"ann", "Kavra"}));

    accounts->users->Check(0, true);
    accounts->remove->click();
    QCOMPARE(window.GetEngine().UserNames(), std::vector<std::string>{"Kavra"});
    QCOMPARE(accounts->users->Texts(), std::vector<std::string>{"Kavra"});
    rig.CloseAndDestroy();
    QVERIFY(TestHome::Read(rig.home.Data() + "USERS.kavra").contains("Kavra"));
    QVERIFY(!TestHome::Read(rig.home.Data() + "USERS.kavra").contains("ann"));
  }

  void LibraryButtonsAddSearchAndRemove() {
    WindowRig rig;
    TestHome::Write(rig.home.Data() + "settings.kavra", TestHome::Settings(80));
    const QString media = rig.home.Home() + "/media/";
    TestHome::Write(media + "Alpha One.mp4", "x");
    TestHome::Write(media + "shows/Beta.mp4", "x");
    TestHome::Write(media + "shows/skip.mp3", "x");
    MainWindow& window = rig.Make();
    LibraryPane* library = window.GetLibraryPane();

    rig.dialogs.QueueFiles({media + "Alpha One.mp4"});
    library->addFile->click();
    rig.dialogs.QueueFolder(media + "shows");
    library->addFolder->click();
    QCOMPARE(window.GetFolderScanPane()->folders->Texts(),
             std::vector<std::string>{(media + "shows/").toStdString()});
    QTRY_COMPARE_WITH_TIMEOUT(library->list->count(), 2, kWaitMs);
    const auto files = rig.Shown(ScriptedDialogs::Kind::kFiles);
    QCOMPARE(files.size(), size_t(1));
    QCOMPARE(files[0].title, QStringLiteral("Select File(s)"));
    QCOMPARE(files[0].filter, QStringLiteral("MP4|*.mp4"));
    QCOMPARE(rig.Shown(ScriptedDialogs::Kind::kFolder)[0].title,
             QStringLiteral("Select folder containing video files"));

    // Search: a name's start after a blank; fewer than two characters list everything.
    library->search->setText(" one");
    emit library->search->textEdited(" one");
    QCOMPARE(library->list->Texts(), std::vector<std::string>{"Alpha One.mp4"});
    QCOMPARE(rig.StatusText(), QStringLiteral("1 item"));
    library->search->setText("a");
    emit library->search->textEdited("a");
    QCOMPARE(library->list->count(), 2);

    // A click in the list counts the selection.
    library->list->selectAll();
    emit library->list->itemClicked(library->list->item(0));
    QCOMPARE(rig.StatusText(), QStringLiteral("2 items selected"));

    // Remove the checked entry; a playlist holding it loses it.
    window.GetEngine().AddToPlaylist("Favorites", {"Alpha One.mp4", "Beta.mp4"});
    library->list->clearSelection();
    library->list->Check(0, true);
    rig.dialogs.QueueYesNo(false);  // asked first: No keeps it
    library->remove->click();
    QCOMPARE(library->list->count(), 2);
    rig.dialogs.QueueYesNo(true);
    library->remove->click();
    QCOMPARE(rig.Shown(ScriptedDialogs::Kind::kYesNo).back().text,
             QStringLiteral("Remove Alpha One.mp4 from the library? The file stays on the disk."));
    QCOMPARE(library->list->Texts(), std::vector<std::string>{"Beta.mp4"});
    QCOMPARE(window.GetEngine().PlaylistListing("Favorites").items,
             std::vector<std::string>{"Beta.mp4"});

    // Removing the watched folder keeps its entries in the library.
    window.GetFolderScanPane()->folders->Check(0, true);
    rig.dialogs.QueueYesNo(true);
    window.GetFolderScanPane()->remove->click();
    QCOMPARE(window.GetFolderScanPane()->folders->count(), 0);
    QCOMPARE(window.GetEngine().WatchedFolders().size(), size_t(0));
    QCOMPARE(library->list->Texts(), std::vector<std::string>{"Beta.mp4"});
    QVERIFY(rig.dialogs.AllAnswersUsed());
  }

  void HelpOpensTheManualBesideTheProgram() {
    WindowRig rig;
    TestHome::Write(rig.home.Data() + "settings.kavra", TestHome::Settings(80));
    MainWindow& window = rig.Make();
    window.GetFolderScanPane()->help->click();
    QCOMPARE(rig.opened, QList<QUrl>{QUrl::fromLocalFile(rig.home.Program() + "help.pdf")});
  }
};

}  // namespace vidoria::testing

QTEST_MAIN(vidoria::testing::MainWindowActionsTest)
#include "main_window_actions_test.moc"
