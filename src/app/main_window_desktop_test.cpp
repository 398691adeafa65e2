// The window as a desktop program: its keyboard shortcuts and context menus reach the same
// actions as its buttons, the log and accounts views have nodes of their own, and the window
// opens where it was left.
#include <QAction>
#include <QDir>
#include <QMenu>
#include <QSplitter>

#include "app/window_test_rig.h"

namespace vidoria::testing {

namespace {

// A library of three movies in /v/, and a player that records what it was asked to play.
void WriteHome(const TestHome& home) {
  std::vector<std::vector<std::string>> rows;
  for (const char* name : {"a.mp4", "b.mp4", "c.mp4"}) {
    rows.push_back({"MOVIE", std::string("/v/") + name, name, "1:01:40"});
  }
  TestHome::Write(home.Data() + "LIBRARY.kavra", TestHome::Grid(4, rows));
  TestHome::Write(home.Data() + "settings.kavra", TestHome::Settings(80));
  TestHome::Write(home.Data() + "mplayer",
                  "#!/bin/sh\necho \"$2\" >> \"$(dirname \"$0\")/played\"\nexec sleep 60\n",
                  /*executable=*/true);
}

QAction* FindAction(QMenu* menu, const QString& text) {
  for (QAction* action : menu->actions()) {
    if (action->text() == text) return action;
    if (action->menu()) {
      if (QAction* inner = FindAction(action->menu(), text)) return inner;
    }
  }
  return nullptr;
}

void Select(CheckList* list, const QString& text) {
  list->clearSelection();
  const auto found = list->findItems(text, Qt::MatchExactly);
  if (found.isEmpty()) qFatal("no item %s", qPrintable(text));
  list->setCurrentItem(found.first(), QItemSelectionModel::ClearAndSelect);
}

}  // namespace

class MainWindowDesktopTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanupTestCase() { ShutDownTestCore(); }

  void ShortcutsRunTheButtonsActions() {
    WindowRig rig;
    WriteHome(rig.home);
    MainWindow& window = rig.Make();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    LibraryPane* library = window.GetLibraryPane();

    QTest::keyClick(&window, Qt::Key_F1);
    QCOMPARE(rig.opened.size(), 1);
    QVERIFY(rig.opened[0].path().endsWith("/help.pdf"));

    window.Tree()->setCurrentItem(window.Tree()->Find("Streaming"));
    QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(window.FrontView(), library);
    QVERIFY(library->search->hasFocus());

    // Delete in the search field edits the text; in the list it removes the chosen entry.
    library->search->setText("ab");
    library->search->setCursorPosition(0);
    QTest::keyClick(library->search, Qt::Key_Delete);
    QCOMPARE(library->search->text(), QStringLiteral("b"));
    QCOMPARE(library->list->count(), 3);
    library->list->setFocus();
    Select(library->list, "b.mp4");
    rig.dialogs.QueueYesNo(true);
    QTest::keyClick(library->list, Qt::Key_Delete);
    QCOMPARE(library->list->Texts(), (std::vector<std::string>{"a.mp4", "c.mp4"}));

    // Enter on an entry plays it.
    Select(library->list, "c.mp4");
    QTest::keyClick(library->list, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(TestHome::Read(rig.home.Data() + "played"), QByteArray("/v/c.mp4\n"),
                              kWaitMs);

    // F2 renames the selected playlist.
    window.Tree()->setCurrentItem(window.Tree()->FindPlaylist("Favorites"));
    library->createPlaylist->click();
    QTreeWidgetItem* created = window.Tree()->Playlists()->child(1);
    window.Tree()->setCurrentItem(created);
    rig.dialogs.QueueText("Trip");
    QTest::keyClick(&window, Qt::Key_F2);
    QCOMPARE(created->text(0), QStringLiteral("Trip"));

    QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier);
    QVERIFY(!window.isVisible());
    QVERIFY(TestHome::Read(rig.home.Data() + "PLAYLISTS.kavra").contains("Trip"));
  }

  void ContextMenusReclassifyFillPlaylistsAndOpenTheFolder() {
    WindowRig rig;
    WriteHome(rig.home);
    MainWindow& window = rig.Make();
    CheckList* list = window.GetLibraryPane()->list;
    Select(list, "b.mp4");
    FindAction(window.EntryMenuForTests(false), "Move to TV Shows")->trigger();
    QCOMPARE(window.GetEngine().LibraryTable().Cell(LibraryColumn::kClass, 1), "TV");

    Select(list, "a.mp4");
    FindAction(window.EntryMenuForTests(false), "Favorites")->trigger();
    QCOMPARE(window.GetEngine().PlaylistListing("Favorites").items,
             std::vector<std::string>{"a.mp4"});

    FindAction(window.EntryMenuForTests(false), "Open containing folder")->trigger();
    QCOMPARE(rig.opened.value(0), QUrl::fromLocalFile("/v"));

    // A held button holds its menu entry.
    window.GetLibraryPane()->remove->setEnabled(false);
    QVERIFY(!FindAction(window.EntryMenuForTests(false), "Remove")->isEnabled());

    QTreeWidgetItem* favorites = window.Tree()->FindPlaylist("Favorites");
    window.Tree()->setCurrentItem(favorites);
    rig.dialogs.QueueText("Best");
    FindAction(window.PlaylistNodeMenuForTests(favorites), "Rename")->trigger();
    QCOMPARE(favorites->text(0), QStringLiteral("Best"));
  }

  void LogAndUsersHaveNodesUnderAdvanced() {
    WindowRig rig;
    WriteHome(rig.home);
    MainWindow& window = rig.Make();
    QTreeWidgetItem* advanced = window.Tree()->Advanced();
    QStringList children;
    for (int i = 0; i < advanced->childCount(); ++i) children << advanced->child(i)->text(0);
    QCOMPARE(children, (QStringList{"Streaming", "Folder scan", "Log", "Users"}));
    window.Tree()->setCurrentItem(advanced->child(2));
    QCOMPARE(window.FrontView(), window.GetLogPane());
    window.Tree()->setCurrentItem(advanced->child(3));
    QCOMPARE(window.FrontView(), window.GetAccountsPane());
  }

  void WindowCarriesItsIconAndHidesTypedPasswords() {
    WindowRig rig;
    WriteHome(rig.home);
    MainWindow& window = rig.Make();
    QVERIFY(!window.windowIcon().pixmap(32, 32).isNull());
    rig.dialogs.QueueText("ann");
    rig.dialogs.QueueText("secret");
    window.GetAccountsPane()->add->click();
    const auto asked = rig.Shown(ScriptedDialogs::Kind::kText);
    QCOMPARE(asked.size(), size_t(2));
    QVERIFY(!asked[0].hidden);
    QVERIFY(asked[1].hidden);
  }

  // With a playlist on screen, a scan's end shows that playlist again rather than an empty view.
  void ScanKeepsThePlaylistOnScreen() {
    WindowRig rig;
    WriteHome(rig.home);
    TestHome::Write(rig.home.Data() + "PLAYLISTS.kavra",
                    TestHome::Grid(4, {{"Trip", "", "a.mp4", "b.mp4"}}));
    MainWindow& window = rig.Make();
    window.Tree()->setCurrentItem(window.Tree()->FindPlaylist("Trip"));
    QCOMPARE(window.GetPlaylistPane()->list->count(), 2);
    TestHome::Write(rig.home.Home() + "/new/d.mp4", "x");
    window.GetEngine().QueueDropped({(rig.home.Home() + "/new/").toStdString()});
    window.GetEngine().ScanWatchedFolders();
    QTRY_VERIFY_WITH_TIMEOUT(!window.GetEngine().Scanning(), kWaitMs);
    QCOMPARE(window.FrontView(), window.GetPlaylistPane());
    QCOMPARE(window.GetPlaylistPane()->list->count(), 2);
    QCOMPARE(rig.StatusText(), QStringLiteral("2 items"));
  }

  void FileDialogsStartInTheDocumentsFolder() {
    WindowRig rig;
    WriteHome(rig.home);
    QDir().mkpath(rig.home.Home() + "/Documents");
    MainWindow& window = rig.Make();
    window.GetLibraryPane()->addFile->click();
    window.GetLibraryPane()->addFolder->click();
    const QString documents = rig.home.Home() + "/Documents/";
    QCOMPARE(rig.Shown(ScriptedDialogs::Kind::kFiles).at(0).initial, documents);
    QCOMPARE(rig.Shown(ScriptedDialogs::Kind::kFolder).at(0).initial, documents);
  }

  void WindowOpensWhereItWasLeft() {
    WindowRig rig;
    WriteHome(rig.home);
    MainWindow& first = rig.Make();
    QCOMPARE(first.size(), QSize(600, 440));  // the first start
    first.setGeometry(QRect(30, 40, 700, 500));
    first.findChild<QSplitter*>()->setSizes({220, 480});
    rig.CloseAndDestroy();
    QVERIFY(TestHome::Read(rig.home.Data() + "window.kavra").endsWith("\r\n"));

    MainWindow& second = rig.Make();
    QCOMPARE(second.geometry(), QRect(30, 40, 700, 500));
    QCOMPARE(second.findChild<QSplitter*>()->sizes().value(0), 220);
    rig.CloseAndDestroy();

    // A damaged file, or a place on no screen, gives the first start's size again.
    for (const QByteArray& stored :
         {QByteArray("garbage\r\n"), QByteArray("90000 90000 700 500 220 0\r\n")}) {
      TestHome::Write(rig.home.Data() + "window.kavra", stored);
      MainWindow& again = rig.Make();
      QCOMPARE(again.size(), QSize(600, 440));
      rig.CloseAndDestroy();
    }
  }
};

}  // namespace vidoria::testing

QTEST_MAIN(vidoria::testing::MainWindowDesktopTest)
#include "main_window_desktop_test.moc"
