// The real preview player, started from the window on a short file made by ffmpeg. It opens its
// own video window, so the test runs under a virtual X display (xvfb-run); it is skipped where the
// player, ffmpeg or a display is missing.
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include "app/window_test_rig.h"

namespace vidoria::testing {

class MainWindowMplayerTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanupTestCase() { ShutDownTestCore(); }

  void PlayingShowsThePlayersPositionAndEndsByItself() {
    const QString mplayer = QStandardPaths::findExecutable("mplayer");
    if (mplayer.isEmpty() || QStandardPaths::findExecutable("ffmpeg").isEmpty()) {
      QSKIP("mplayer or ffmpeg is not installed");
    }
    if (qEnvironmentVariableIsEmpty("DISPLAY")) QSKIP("no X display (run under xvfb-run)");
    WindowRig rig;
    // The player reads its configuration from the home it runs in: there is no sound device.
    qputenv("HOME", rig.home.Home().toUtf8());
    TestHome::Write(rig.home.Home() + "/.mplayer/config", "ao=null\n");
    QVERIFY(QFile::link(mplayer, rig.home.Data() + "mplayer"));
    const QString clip = rig.home.Home() + "/media/Clip.mp4";
    QDir().mkpath(rig.home.Home() + "/media");
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg",
                 {"-v", "error", "-f", "lavfi", "-i", "testsrc=duration=3:size=160x120:rate=10",
                  "-f", "lavfi", "-i", "sine=duration=3", "-c:v", "mpeg4", "-c:a", "aac",
                  "-shortest", "-y", clip});
    QVERIFY(ffmpeg.waitForFinished(kWaitMs) && ffmpeg.exitCode() == 0);
    TestHome::Write(rig.home.Data() + "LIBRARY.kavra",
                    TestHome::Grid(4, {{"MOVIE", clip.toStdString(), "Clip.mp4", "1:01:40"}}));
    TestHome::Write(rig.home.Data() + "settings.kavra", TestHome::Settings(80));
    MainWindow& window = rig.Make();

    window.GetLibraryPane()->play->click();
    // The status bar shows what plays and the playback time from the player's status lines,
    // never its start-up chatter.
    const QRegularExpression position(QStringLiteral("^Clip\\.mp4 0:00:0[0-9]$"));
    QTRY_VERIFY_WITH_TIMEOUT(position.match(rig.StatusText()).hasMatch(), kWaitMs);
    QVERIFY(window.GetLibraryPane()->stop->isEnabled());
    // Three seconds later it has ended by itself.
    QTRY_VERIFY_WITH_TIMEOUT(!window.Player().Busy(), kWaitMs);
    QVERIFY(!window.GetLibraryPane()->stop->isEnabled());
    QCOMPARE(rig.StatusText(), QString());
    QVERIFY(rig.Shown(ScriptedDialogs::Kind::kError).empty());
    for (const std::string& line : window.GetEngine().Activity().Lines()) {
      QVERIFY2(line.find("cpuid") == std::string::npos, line.c_str());
    }
  }
};

}  // namespace vidoria::testing

QTEST_MAIN(vidoria::testing::MainWindowMplayerTest)
#include "main_window_mplayer_test.moc"
