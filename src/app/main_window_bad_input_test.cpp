// What the user hands the window to scan, good and bad: dropped paths and the file and folder
// dialogs' choices that are missing, unreadable or unstorable, names with quotes and letters
// beyond ASCII, a huge folder, and a close that arrives while a scan pass runs.
#include <signal.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QSignalSpy>
#include <QTimer>

#include "app/quit_on_signal.h"
#include "app/window_test_rig.h"

namespace vidoria::testing {

namespace {

void Drop(MainWindow& window, const QStringList& paths) {
  QMimeData mime;
  QList<QUrl> urls;
  for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
  mime.setUrls(urls);
  const QPoint point = window.rect().center();
  QDragEnterEvent enter(point, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &enter);
  QDropEvent drop(QPointF(point), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &drop);
}

// The activity lines' texts (after " : "), in order.
QStringList LogTexts(Engine& engine) {
  QStringList texts;
  for (const std::string& line : engine.Activity().Lines()) {
    texts << QString::fromStdString(line).section(QStringLiteral(" : "), 1);
  }
  return texts;
}

// Begins the scan timer's pass now, as its ticks two seconds apart would.
void BeginScanPass(MainWindow& window) {
  const auto now = Engine::Clock::now();
  window.GetEngine().Tick(now + std::chrono::seconds(10));
  window.GetEngine().Tick(now + std::chrono::seconds(20));
}

// Runs the scan timer's pass now, the window serving its events until the pass is over.
void RunScanPass(MainWindow& window) {
  BeginScanPass(window);
  QTRY_VERIFY_WITH_TIMEOUT(!window.GetEngine().Scanning(), kWaitMs);
}

QString MakeHugeFolder(const TestHome& home, int files) {
  const QString folder = home.Home() + "/huge/";
  QDir().mkpath(folder);
  for (int i = 0; i < files; ++i) {
    QFile file(folder + QStringLiteral("clip %1.mp4").arg(i, 4, 10, QLatin1Char('0')));
    if (!file.open(QIODevice::WriteOnly)) qFatal("cannot write %s", qPrintable(file.fileName()));
  }
  return folder;
}

}  // namespace

class MainWindowBadInputTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanupTestCase() { ShutDownTestCore(); }

  void HandedOverPathsAreScannedOrRefused_data() {
    QTest::addColumn<QString>("how");        // drop, file (dialog) or folder (dialog)
    QTest::addColumn<QStringList>("files");  // made under the media folder
    QTest::addColumn<QString>("chosen");     // relative to the media folder
    QTest::addColumn<QStringList>("added");  // the library list afterwards
    QTest::addColumn<QString>("refusal");    // part of the error dialog; empty: none
    QTest::addColumn<QString>("logged");     // part of an activity line; empty: not checked
    const QString quotes = QStringLiteral("say \"hi\" 'now'.mp4");
    const QString letters = QStringLiteral("Fête à Zürich – 東京.mp4");
    QTest::newRow("dropped: missing")
        << "drop" << QStringList{} << "gone.mp4" << QStringList{} << "gone.mp4 does not exist."
        << "gone.mp4 does not exist.";
    QTest::newRow("dropped: unreadable folder") << "drop" << QStringList{"locked/a.mp4"} << "locked"
                                                << QStringList{} << "locked cannot be read"
                                                << "";
    QTest::newRow("dropped: quotes")
        << "drop" << QStringList{quotes} << quotes << QStringList{quotes} << ""
        << "";
    QTest::newRow("dropped: LF in the name")
        << "drop" << QStringList{"two\nlines.mp4"} << "two\nlines.mp4" << QStringList{}
        << "two\\nlines.mp4 has a line break"
        << "two\\nlines.mp4 has a line break";
    QTest::newRow("dropped folder: CR in a name inside")
        << "drop" << QStringList{"mixed/good.mp4", "mixed/bad\rname.mp4"} << "mixed"
        << QStringList{"good.mp4"} << ""
        << "mixed/: ";
    QTest::newRow("dropped folder: LF in a subfolder's name")
        << "drop" << QStringList{"deep/fine.mp4", "deep/odd\nsub/c.mp4"} << "deep"
        << QStringList{"fine.mp4"} << ""
        << "deep/: ";
    QTest::newRow("dropped: letters beyond ASCII")
        << "drop" << QStringList{letters} << letters << QStringList{letters} << ""
        << "";
    QTest::newRow("add file: LF in the name") << "file" << QStringList{"a\nb.mp4"} << "a\nb.mp4"
                                              << QStringList{} << "a\\nb.mp4 has a line break"
                                              << "";
    QTest::newRow("add folder: missing")
        << "folder" << QStringList{} << "nowhere" << QStringList{} << "nowhere does not exist."
        << "";
    QTest::newRow("add folder: LF in its name") << "folder" << QStringList{"x\ny/a.mp4"} << "x\ny"
                                                << QStringList{} << "x\\ny has a line break"
                                                << "";
  }
  void HandedOverPathsAreScannedOrRefused() {
    QFETCH(QString, how);
    QFETCH(QStringList, files);
    QFETCH(QString, chosen);
    QFETCH(QStringList, added);
    QFETCH(QString, refusal);
    QFETCH(QString, logged);
    if (chosen == "locked" && ::geteuid() == 0) QSKIP("root reads every folder");
    WindowRig rig;
    TestHome::Write(rig.home.Data() + "settings.kavra", TestHome::Settings(80));
    const QString media = rig.home.Home() + "/media/";
    QDir().mkpath(media);
    for (const QString& file : files) TestHome::Write(media + file, "x");
    if (chosen == "locked") QFile::setPermissions(media + "locked", QFile::Permissions());
    MainWindow& window = rig.Make();

    if (how == "drop") {
      Drop(window, {media + chosen});
    } else if (how == "file") {
      rig.dialogs.QueueFiles({media + chosen});
      window.GetLibraryPane()->addFile->click();
    } else {
      rig.dialogs.QueueFolder(media + chosen);
      window.GetLibraryPane()->addFolder->click();
    }
    QTRY_COMPARE_WITH_TIMEOUT(rig.Shown(ScriptedDialogs::Kind::kError).size(),
                              size_t(refusal.isEmpty() ? 0 : 1), kWaitMs);
    if (!refusal.isEmpty()) {
      const QString error = rig.Shown(ScriptedDialogs::Kind::kError)[0].text;
      QVERIFY2(error.contains(refusal), qPrintable(error));
      QCOMPARE(window.GetFolderScanPane()->folders->count(), 0);  // a refused folder is not watched
    }
    RunScanPass(window);
    QStringList listed;
    for (const std::string& item : window.GetLibraryPane()->list->Texts()) {
      listed << QString::fromStdString(item);
    }
    QCOMPARE(listed, added);
    if (!logged.isEmpty()) {
      QVERIFY2(!LogTexts(window.GetEngine()).filter(logged).isEmpty(),
               qPrintable(LogTexts(window.GetEngine()).join('\n')));
    }
    // The library file can still be written, and reads back as the window showed it.
    rig.CloseAndDestroy();
    QCOMPARE(rig.Shown(ScriptedDialogs::Kind::kError).size(), size_t(refusal.isEmpty() ? 0 : 1));
    MainWindow& again = rig.Make();
    QCOMPARE(again.GetLibraryPane()->list->count(), int(added.size()));
    for (int row = 0; row < added.size(); ++row) {
      QCOMPARE(again.GetLibraryPane()->list->item(row)->text(), added[row]);
    }
    QCOMPARE(rig.Shown(ScriptedDialogs::Kind::kError).size(), size_t(refusal.isEmpty() ? 0 : 1));
    QFile::setPermissions(media + "locked", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  }

  void ScanPassShowsItsStatusTextsInOrder() {
    WindowRig rig;
    TestHome::Write(rig.home.Data() + "settings.kavra", TestHome::Settings(80));
    const QString folder = rig.home.Home() + "/media/";
    TestHome::Write(folder + "a.mp4", "x");
    MainWindow& window = rig.Make();
    Drop(window, {folder});
    RunScanPass(window);
    const QStringList texts = LogTexts(window.GetEngine());
    const qsizetype scanning = texts.indexOf("Scanning " + folder);
    QVERIFY2(scanning >= 0, qPrintable(texts.join('\n')));
    QCOMPARE(texts.mid(scanning),
             (QStringList{"Scanning " + folder, "a.mp4 (1 of 1)", "Updating Library",
                          "Checking files", "Generating website", "1 item"}));
    // The generation's texts are cleared; the list's count is what stays.
    QCOMPARE(rig.StatusText(), QStringLiteral("1 item"));
  }

  // A huge folder scans in one pass while the window goes on serving its events; the pass's
  // texts come in order and the list shows every file once it is over.
  void HugeFolderScansWholeWhileTheWindowServes() {
    constexpr int kFiles = 3000;
    WindowRig rig;
    TestHome::Write(rig.home.Data() + "settings.kavra", TestHome::Settings(80));
    const QString folder = MakeHugeFolder(rig.home, kFiles);
    MainWindow& window = rig.Make();
    int turns = 0;
    QTimer turn;
    connect(&turn, &QTimer::timeout, [&turns] { ++turns; });
    turn.start(0);
    Drop(window, {folder});
    RunScanPass(window);
    turn.stop();
    QVERIFY2(turns > 1, "the event loop turned during the pass");
    QCOMPARE(window.GetLibraryPane()->list->count(), kFiles);
    const QStringList texts = LogTexts(window.GetEngine());
    const qsizetype scanning = texts.indexOf("Scanning " + folder);
    QVERIFY(scanning >= 0);
    for (int i = 1; i <= kFiles; ++i) {
      const QString text = texts.value(scanning + i);
      QVERIFY2(text.endsWith(QStringLiteral(" (%1 of %2)").arg(i).arg(kFiles)), qPrintable(text));
    }
    const QList<QByteArray> stored = TestHome::Read(rig.home.Data() + "LIBRARY.kavra").split('\n');
    QCOMPARE(stored.value(1), QByteArray("3000\r"));
    rig.CloseAndDestroy();
  }

  // SIGTERM during a pass closes the window: the pass stops at its next file, the stored files
  // are complete, and nothing is reported.
  void CloseDuringAPassStopsItAndSavesCompleteFiles() {
    constexpr int kFiles = 3000;
    WindowRig rig;
    TestHome::Write(rig.home.Data() + "settings.kavra", TestHome::Settings(80));
    const QString folder = MakeHugeFolder(rig.home, kFiles);
    MainWindow& window = rig.Make();
    QuitOnSignal quit(&window);
    QSignalSpy handled(&quit, &QuitOnSignal::Handled);
    Drop(window, {folder});
    BeginScanPass(window);
    QVERIFY(window.GetEngine().Scanning());
    ::raise(SIGTERM);
    QTRY_COMPARE_WITH_TIMEOUT(handled.count(), 1, kWaitMs);
    QVERIFY(!window.isVisible());
    QVERIFY(!window.GetEngine().Scanning());
    const int rows = window.GetEngine().LibraryTable().RowCount();
    // The grid file holds exactly the rows the pass had added: its count line and every row.
    const QList<QByteArray> stored = TestHome::Read(rig.home.Data() + "LIBRARY.kavra").split('\n');
    QCOMPARE(stored.value(1), QByteArray::number(rows) + "\r");
    QCOMPARE(stored.size(), 2 + 4 * rows + 1);
    QCOMPARE(TestHome::Read(rig.home.Data() + "settings.kavra"), TestHome::Settings(80));
    QVERIFY(rig.Shown(ScriptedDialogs::Kind::kError).empty());
    rig.window.reset();
  }
};

}  // namespace vidoria::testing

QTEST_MAIN(vidoria::testing::MainWindowBadInputTest)
#include "main_window_bad_input_test.moc"
