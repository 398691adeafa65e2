// The navigation tree's actions, the playlist operations through the window's buttons, and drops
// of library entries and of files.
#include <QMimeData>

#include "app/window_test_rig.h"

namespace vidoria::testing {

namespace {

// Two classified entries, one unused row, and playlists named like sections and panels.
void WriteLibraryAndPlaylists(const TestHome& home) {
  TestHome::Write(home.Data() + "LIBRARY.kavra",
                  TestHome::Grid(4, {{"MOVIE", "/v/a.mp4", "a.mp4", "1:01:40"},
                                     {"TV", "/v/b.mp4", "b.mp4", "1:01:40"},
                                     {"", "/v/c.mp4", "c.mp4", "1:01:40"}}));
  TestHome::Write(home.Data() + "PLAYLISTS.kavra",
                  TestHome::Grid(4, {{"Favorites"},
                                     {"Streaming", "", "a.mp4"},
                                     {"Log"},
                                     {"Users"},
                                     {"Mine", "", "a.mp4", "b.mp4"}}));
  TestHome::Write(home.Data() + "settings.kavra", TestHome::Settings(80));
}

// Drops `mime` on `target` at `point`, as a drag from elsewhere would.
void Drop(QWidget* target, const QPoint& point, QMimeData* mime) {
  QDragEnterEvent enter(point, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  QDropEvent drop(QPointF(point), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
}

void DropEntriesOn(NavTree* tree, QTreeWidgetItem* item) {
  QMimeData mime;
  mime.setData(QStringLiteral("application/x-qabstractitemmodeldatalist"), "entries");
  const QPoint point =
      item ? tree->visualItemRect(item).center() : QPoint(5, tree->viewport()->height() - 5);
  Drop(tree->viewport(), point, &mime);
}

void SelectOnly(CheckList* list, const QString& text) {
  list->clearSelection();
  const auto found = list->findItems(text, Qt::MatchExactly);
  QVERIFY(found.size() == 1);
  found.first()->setSelected(true);
}

}  // namespace

class MainWindowNavigationTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanupTestCase() { ShutDownTestCore(); }

  void ClickActionShowsTheViewOfTheNode_data() {
    QTest::addColumn<QString>("node");  // "playlist:" + name, or a section's title
    QTest::addColumn<QString>("view");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<bool>("createShown");
    QTest::addColumn<bool>("removeShown");
    QTest::addColumn<QStringList>("items");
    const QStringList ab = {"a.mp4", "b.mp4"};
    QTest::newRow("LIBRARY") << "LIBRARY"
                             << "library"
                             << "_" << true << false << ab;
    QTest::newRow("Movies") << "Movies"
                            << "library"
                            << "MOVIE" << true << false << QStringList{"a.mp4"};
    QTest::newRow("TV Shows") << "TV Shows"
                              << "library"
                              << "TV" << true << false << QStringList{"b.mp4"};
    QTest::newRow("ADVANCED") << "ADVANCED"
                              << "folders"
                              << "" << false << false << QStringList{};
    QTest::newRow("Streaming") << "Streaming"
                               << "streaming"
                               << "" << false << false << QStringList{};
    QTest::newRow("Folder scan") << "Folder scan"
                                 << "folders"
                                 << "" << false << false << QStringList{};
    QTest::newRow("PLAYLISTS") << "PLAYLISTS"
                               << "playlist"
                               << "" << true << false << QStringList{"a.mp4", "a.mp4", "b.mp4"};
    QTest::newRow("a playlist") << "playlist:Mine"
                                << "playlist"
                                << "" << true << true << ab;
    QTest::newRow("an empty playlist") << "playlist:Favorites"
                                       << "playlist"
                                       << "" << true << true << QStringList{};
    QTest::newRow("playlist named Streaming") << "playlist:Streaming"
                                              << "streaming"
                                              << "" << false << false << QStringList{};
    QTest::newRow("playlist named Log") << "playlist:Log"
                                        << "log"
                                        << "" << false << false << QStringList{};
    QTest::newRow("playlist named Users") << "playlist:Users"
                                          << "accounts"
                                          << "" << false << false << QStringList{};
  }
  void ClickActionShowsTheViewOfTheNode() {
    QFETCH(QString, node);
    QFETCH(QString, view);
    QFETCH(QString, filter);
    QFETCH(bool, createShown);
    QFETCH(bool, removeShown);
    QFETCH(QStringList, items);
    WindowRig rig;
    WriteLibraryAndPlaylists(rig.home);
    MainWindow& window = rig.Make();
    // Start from a playlist node, so that every row changes the buttons' visibility.
    window.Tree()->setCurrentItem(window.Tree()->FindPlaylist("Mine"));

    QTreeWidgetItem* item = node.startsWith("playlist:") ? window.Tree()->FindPlaylist(node.mid(9))
                                                         : window.Tree()->Find(node);
    QVERIFY(item != nullptr);
    window.Tree()->setCurrentItem(item);

    const std::map<QString, QWidget*> views = {{"library", window.GetLibraryPane()},
                                               {"playlist", window.GetPlaylistPane()},
                                               {"streaming", window.GetStreamingPane()},
                                               {"folders", window.GetFolderScanPane()},
                                               {"log", window.GetLogPane()},
                                               {"accounts", window.GetAccountsPane()}};
    QCOMPARE(window.FrontView(), views.at(view));
    QCOMPARE(QString::fromStdString(window.GetEngine().LibraryFilter()), filter);
    QCOMPARE(window.statusBar()->createPlaylist->isVisibleTo(&window), createShown);
    QCOMPARE(window.statusBar()->removePlaylist->isVisibleTo(&window), removeShown);
    QCOMPARE(window.GetLibraryPane()->title->text(), item->text(0));
    QCOMPARE(window.GetPlaylistPane()->title->text(), item->text(0));
    CheckList* list =
        view == "playlist" ? window.GetPlaylistPane()->list : window.GetLibraryPane()->list;
    QStringList shown;
    if (view == "library" || view == "playlist") {
      for (const std::string& text : list->Texts()) shown << QString::fromStdString(text);
      QCOMPARE(shown, items);
      QCOMPARE(rig.StatusText(), items.size() == 1 ? QStringLiteral("1 item")
                                                   : QString::number(items.size()) + " items");
    } else {
      QCOMPARE(rig.StatusText(), QString());
    }
    // Selecting a node expands every section.
    QVERIFY(window.Tree()->Library()->isExpanded() && window.Tree()->Advanced()->isExpanded());
  }

  void PlaylistActionsThroughTheWindow() {
    WindowRig rig;
    WriteLibraryAndPlaylists(rig.home);
    MainWindow& window = rig.Make();
    NavTree* tree = window.Tree();
    CheckList* library = window.GetLibraryPane()->list;

    // Create with a selection: the selected entry becomes the first item.
    SelectOnly(library, "a.mp4");
    window.statusBar()->createPlaylist->click();
    QTreeWidgetItem* created = tree->FindPlaylist("Playlist 1");
    QVERIFY(created != nullptr);
    QCOMPARE(window.GetEngine().PlaylistListing("Playlist 1").items,
             (std::vector<std::string>{"a.mp4"}));

    // Entries dropped on a playlist node join it; a held entry is skipped.
    library->selectAll();
    DropEntriesOn(tree, created);
    QCOMPARE(window.GetEngine().PlaylistListing("Playlist 1").items,
             (std::vector<std::string>{"a.mp4", "b.mp4"}));

    // Dropped on "TV Shows": the entry changes class.
    SelectOnly(library, "a.mp4");
    DropEntriesOn(tree, tree->Find("TV Shows"));
    tree->setCurrentItem(tree->Find("TV Shows"));
    QCOMPARE(library->Texts(), (std::vector<std::string>{"a.mp4", "b.mp4"}));

    // Dropped where no node is: a new playlist.
    DropEntriesOn(tree, nullptr);
    QTreeWidgetItem* second = tree->FindPlaylist("Playlist 2");
    QVERIFY(second != nullptr);

    // Renaming: a new name, a taken one (refused with a message), a reserved one (nothing).
    rig.dialogs.QueueText("Trip");
    emit tree->itemDoubleClicked(second, 0);
    QCOMPARE(second->text(0), QStringLiteral("Trip"));
    QCOMPARE(window.GetPlaylistPane()->title->text(), QStringLiteral("Trip"));
    rig.dialogs.QueueText("Playlist 1");
    emit tree->itemDoubleClicked(second, 0);
    QCOMPARE(second->text(0), QStringLiteral("Trip"));
    QCOMPARE(rig.Shown(ScriptedDialogs::Kind::kError).size(), size_t(1));
    rig.dialogs.QueueText("Movies");
    emit tree->itemDoubleClicked(second, 0);
    QCOMPARE(second->text(0), QStringLiteral("Trip"));
    QCOMPARE(rig.Shown(ScriptedDialogs::Kind::kError).size(), size_t(1));
    const size_t asked = rig.Shown(ScriptedDialogs::Kind::kText).size();
    for (const char* section : {"ADVANCED", "Streaming", "Folder scan", "LIBRARY"}) {
      emit tree->itemDoubleClicked(tree->Find(section), 0);
    }
    QCOMPARE(rig.Shown(ScriptedDialogs::Kind::kText).size(), asked);
    QCOMPARE(rig.Shown(ScriptedDialogs::Kind::kText)[0].title, QStringLiteral("Rename playlist"));
    QCOMPARE(rig.Shown(ScriptedDialogs::Kind::kText)[0].initial, QStringLiteral("Playlist 2"));

    // Removing a ticked item from the chosen playlist.
    tree->setCurrentItem(created);
    CheckList* items = window.GetPlaylistPane()->list;
    QCOMPARE(items->Texts(), (std::vector<std::string>{"a.mp4", "b.mp4"}));
    items->clearSelection();
    items->Check(1, true);
    window.GetPlaylistPane()->remove->click();
    QCOMPARE(window.GetEngine().PlaylistListing("Playlist 1").items,
             (std::vector<std::string>{"a.mp4"}));

    // Removing the selected playlist, once the user says so: its node goes and PLAYLISTS is
    // shown.
    rig.dialogs.QueueYesNo(false);
    window.statusBar()->removePlaylist->click();
    QVERIFY(tree->FindPlaylist("Playlist 1") != nullptr);
    rig.dialogs.QueueYesNo(true);
    window.statusBar()->removePlaylist->click();
    QVERIFY(tree->FindPlaylist("Playlist 1") == nullptr);
    QCOMPARE(tree->currentItem(), tree->Playlists());
    QCOMPARE(window.FrontView(), static_cast<QWidget*>(window.GetPlaylistPane()));
    QVERIFY(rig.dialogs.AllAnswersUsed());
  }

  void RenameRefusalsAreShownAndChangeNothing_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty") << ""
                           << "A playlist needs a name.";
    QTest::newRow("taken") << "Streaming"
                           << "Another playlist is already named \"Streaming\".";
    QTest::newRow("LF") << "Two\nLines"
                        << "A playlist name cannot contain a line break.";
    QTest::newRow("CR") << "Two\rLines"
                        << "A playlist name cannot contain a line break.";
  }
  void RenameRefusalsAreShownAndChangeNothing() {
    QFETCH(QString, typed);
    QFETCH(QString, message);
    WindowRig rig;
    WriteLibraryAndPlaylists(rig.home);
    MainWindow& window = rig.Make();
    QTreeWidgetItem* mine = window.Tree()->FindPlaylist("Mine");
    window.Tree()->setCurrentItem(mine);
    rig.dialogs.QueueText(typed);
    emit window.Tree()->itemDoubleClicked(mine, 0);
    const auto errors = rig.Shown(ScriptedDialogs::Kind::kError);
    QCOMPARE(errors.size(), size_t(1));
    QCOMPARE(errors[0].text, message);
    QCOMPARE(mine->text(0), QStringLiteral("Mine"));
    QCOMPARE(window.GetPlaylistPane()->title->text(), QStringLiteral("Mine"));
    QCOMPARE(window.GetEngine().PlaylistListing("Mine").items,
             (std::vector<std::string>{"a.mp4", "b.mp4"}));
    // The stored playlists keep the old name and stay writable.
    rig.CloseAndDestroy();
    const QByteArray stored = TestHome::Read(rig.home.Data() + "PLAYLISTS.kavra");
    QVERIFY(stored.contains("\r\nMine\r\n"));
    QVERIFY(!stored.contains("Lines"));
  }

  void DroppedFilesAreQueuedAndScanned_data() {
    QTest::addColumn<bool>("onTree");
    QTest::newRow("on the window") << false;
    QTest::newRow("on the tree") << true;
  }
  void DroppedFilesAreQueuedAndScanned() {
    QFETCH(bool, onTree);
    WindowRig rig;
    TestHome::Write(rig.home.Data() + "settings.kavra", TestHome::Settings(80));
    const QString media = rig.home.Home() + "/media/";
    TestHome::Write(media + "one.mp4", "x");
    TestHome::Write(media + "deep/two.MP4", "x");
    TestHome::Write(media + "deep/notes.txt", "x");
    MainWindow& window = rig.Make();
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(media + "one.mp4"), QUrl::fromLocalFile(media + "deep")});
    if (onTree) {
      Drop(window.Tree()->viewport(), QPoint(5, 5), &mime);
    } else {
      Drop(&window, window.rect().center(), &mime);
    }
    QCOMPARE(rig.StatusText(), QStringLiteral("2 items added"));
    QTRY_COMPARE_WITH_TIMEOUT(window.GetLibraryPane()->list->count(), 2, kWaitMs);
    QCOMPARE(window.GetLibraryPane()->list->Texts(),
             (std::vector<std::string>{"one.mp4", "two.MP4"}));
    // A dropped folder is scanned, not watched.
    QCOMPARE(window.GetFolderScanPane()->folders->count(), 0);
  }
};

}  // namespace vidoria::testing

QTEST_MAIN(vidoria::testing::MainWindowNavigationTest)
#include "main_window_navigation_test.moc"
