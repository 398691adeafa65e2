// Pictures of every view of a window with content, kept in the test artifacts for review.
#include <QImage>
#include <QPixmap>

#include "app/window_test_rig.h"

namespace vidoria::testing {

class MainWindowScreenshotsTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanupTestCase() { ShutDownTestCore(); }

  void EveryViewIsDrawn() {
    WindowRig rig;
    const QString data = rig.home.Data();
    TestHome::Write(data + "LIBRARY.kavra",
                    TestHome::Grid(4, {{"MOVIE", "/v/Holiday.mp4", "Holiday.mp4", "1:01:40"},
                                       {"MOVIE", "/v/Front.mp4", "Front.mp4", "1:01:40"},
                                       {"TV", "/v/Episode 1.mp4", "Episode 1.mp4", "1:01:40"}}));
    TestHome::Write(data + "PLAYLISTS.kavra",
                    TestHome::Grid(4, {{"Favorites", "", "Holiday.mp4", "Front.mp4"}}));
    TestHome::Write(data + "USERS.kavra",
                    TestHome::Grid(2, {{"ann", EncodeText(kCypherKey, "pw")},
                                       {"bob", EncodeText(kCypherKey, "pw")}}));
    TestHome::Write(data + "FOLDERS.kavra", "/home/ann/Videos/\r\n/srv/Videos/\r\n");
    TestHome::Write(data + "settings.kavra",
                    TestHome::Settings(TestHome::FreePort(), "Autorun ON"));
    MainWindow& window = rig.Make();
    QTRY_VERIFY_WITH_TIMEOUT(!window.statusBar()->startStreaming->isEnabled(), kWaitMs);

    const QString artifacts = QStringLiteral(VIDORIA_ARTIFACTS);
    QVERIFY(QDir().mkpath(artifacts));
    const std::vector<std::pair<QString, QTreeWidgetItem*>> views = {
        {"library", window.Tree()->Library()},
        {"playlist", window.Tree()->FindPlaylist("Favorites")},
        {"streaming", window.Tree()->Find("Streaming")},
        {"folder-scan", window.Tree()->Find("Folder scan")},
        {"log", window.Tree()->Find("Log")},
        {"accounts", window.Tree()->Find("Users")}};
    for (const auto& [name, node] : views) {
      QVERIFY(node != nullptr);
      window.Tree()->setCurrentItem(node);
      const QImage picture = window.grab().toImage();
      const QString path = artifacts + "/window-" + name + ".png";
      QFile::remove(path);
      QVERIFY(picture.save(path));
      QCOMPARE(picture.size(), window.size() * picture.devicePixelRatio());
      // A view that drew nothing would leave its area one colour.
      const QImage area = window.FrontView()->grab().toImage();
      QSet<QRgb> colours;
      for (int y = 0; y < area.height(); y += 3) {
        for (int x = 0; x < area.width(); x += 3) colours.insert(area.pixel(x, y));
      }
      QVERIFY2(colours.size() > 2, qPrintable(name));
    }
    // The Streaming view shows the address as a code.
    QVERIFY(!window.GetStreamingPane()->addressCode->isHidden());
  }
};

}  // namespace vidoria::testing

QTEST_MAIN(vidoria::testing::MainWindowScreenshotsTest)
#include "main_window_screenshots_test.moc"
