// The desktop program as a user runs it: its own process without a display, a temporary home,
// real clients fetching from it, and SIGTERM ending it with its files saved.
#include <QProcess>
#include <QStandardPaths>

#include "app/window_test_home.h"

#include <QTest>

namespace vidoria::testing {

namespace {

constexpr int kWaitMs = 60000;

// Runs a tool to its end; its standard output, or a null array when it failed.
QByteArray Run(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  if (!process.waitForFinished(kWaitMs) || process.exitStatus() != QProcess::NormalExit ||
      process.exitCode() != 0) {
    return {};
  }
  QByteArray output = process.readAllStandardOutput();
  return output.isNull() ? QByteArray("") : output;
}

}  // namespace

class VidoriaProgramTest : public QObject {
  Q_OBJECT

 private slots:
  void ServesAVideoAndSavesOnSigterm() {
    for (const char* tool : {"curl", "ffmpeg", "ffprobe"}) {
      if (QStandardPaths::findExecutable(tool).isEmpty()) QSKIP("a client tool is missing");
    }
    TestHome home;
    const QString video = home.Home() + "/media/Clip.mp4";
    QDir().mkpath(home.Home() + "/media");
    QVERIFY(!Run("ffmpeg",
                 {"-v", "error", "-f", "lavfi", "-i", "testsrc=duration=2:size=160x120:rate=10",
                  "-c:v", "mpeg4", "-movflags", "+faststart", "-y", video})
                 .isNull());
    const int port = TestHome::FreePort();
    const QByteArray settings = TestHome::Settings(port, "Autorun ON");
    TestHome::Write(home.Data() + "settings.kavra", settings);
    TestHome::Write(home.Data() + "LIBRARY.kavra",
                    TestHome::Grid(4, {{"MOVIE", video.toStdString(), "Clip.mp4", "1:01:40"}}));

    QProcess program;
    program.setProcessEnvironment(Environment(home));
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QStringLiteral(VIDORIA_PATH), {});
    QVERIFY(program.waitForStarted(kWaitMs));

    const QString base = QStringLiteral("http://127.0.0.1:%1/").arg(port);
    const QStringList status = {"-s", "-o", "/dev/null", "-w", "%{http_code} %{size_download}"};
    QTRY_COMPARE_WITH_TIMEOUT(
        Run("curl", QStringList{"-s", "-o", "/dev/null", "-w", "%{http_code}", base}),
        QByteArray("200"), kWaitMs);
    const QString size = QString::number(QFileInfo(video).size());
    QCOMPARE(Run("curl", status + QStringList{base + "Clip.mp4"}),
             (QByteArray("200 ") + size.toLatin1()));
    QCOMPARE(Run("curl", status + QStringList{"-r", "100-199", base + "Clip.mp4"}),
             QByteArray("206 100"));
    const QByteArray probed = Run("ffprobe", {"-v", "error", "-show_entries", "stream=codec_name",
                                              "-of", "csv=p=0", base + "Clip.mp4"});
    QCOMPARE(probed.trimmed(), QByteArray("mpeg4"));

    program.terminate();  // SIGTERM: the window closes as the user would close it
    QVERIFY(program.waitForFinished(kWaitMs));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QCOMPARE(TestHome::Read(home.Data() + "settings.kavra"), settings);
    QVERIFY(TestHome::Read(home.Data() + "LIBRARY.kavra").contains(video.toUtf8()));
    QCOMPARE(TestHome::Read(home.Data() + "PLAYLISTS.kavra"), TestHome::Grid(4, {{"Favorites"}}));
    QCOMPARE(TestHome::Read(home.Data() + "USERS.kavra"), TestHome::Grid(2, {{}}));
    QVERIFY(QFileInfo::exists(home.Data() + "FOLDERS.kavra"));
    // The server wrote its log of the requests into the data folder.
    QVERIFY(!QDir(home.Data() + "LOG").entryList(QDir::Files).isEmpty());
  }

  void SigtermDuringTheFirstRunQuestionAnswersNoAndSaves() {
    TestHome home;
    QProcess program;
    program.setProcessEnvironment(Environment(home));
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QStringLiteral(VIDORIA_PATH), {});
    QVERIFY(program.waitForStarted(kWaitMs));
    // The log folder is made just before the stored files are read and the question is asked;
    // the signal is read in the question's own event loop.
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(home.Data() + "LOG"), kWaitMs);
    program.terminate();
    QVERIFY(program.waitForFinished(kWaitMs));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QCOMPARE(TestHome::Read(home.Data() + "settings.kavra"), TestHome::Settings(80));
    QCOMPARE(TestHome::Read(home.Data() + "LIBRARY.kavra"), TestHome::Grid(4, {{}}));
  }

  // Damaged stored files are set aside and reported in boxes once the window is up; start-up
  // goes on meanwhile (the server listens as stored). SIGTERM dismisses the open box and no
  // further one opens: the program ends by itself, with exit code 0 and its files saved.
  void SigtermWhileStartUpErrorsAreShownEndsCleanly() {
    if (QStandardPaths::findExecutable("curl").isEmpty()) QSKIP("curl is not installed");
    TestHome home;
    const int port = TestHome::FreePort();
    const QByteArray settings = TestHome::Settings(port, "Autorun ON");
    TestHome::Write(home.Data() + "settings.kavra", settings);
    TestHome::Write(home.Data() + "LIBRARY.kavra", "damaged\r\n");
    TestHome::Write(home.Data() + "PLAYLISTS.kavra", "4\r\n9\r\ncut off\r\n");
    TestHome::Write(home.Data() + "USERS.kavra", TestHome::Grid(2, {{"ann", "x"}}));

    QProcess program;
    program.setProcessEnvironment(Environment(home));
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QStringLiteral(VIDORIA_PATH), {});
    QVERIFY(program.waitForStarted(kWaitMs));
    QTRY_COMPARE_WITH_TIMEOUT(Run("curl", {"-s", "-o", "/dev/null", "-w", "%{http_code}",
                                           QStringLiteral("http://127.0.0.1:%1/").arg(port)}),
                              QByteArray("200"), kWaitMs);
    program.terminate();
    QVERIFY(program.waitForFinished(kWaitMs));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QCOMPARE(TestHome::Read(home.Data() + "settings.kavra"), settings);
    QCOMPARE(TestHome::Read(home.Data() + "LIBRARY.kavra.bad"), QByteArray("damaged\r\n"));
    QCOMPARE(TestHome::Read(home.Data() + "PLAYLISTS.kavra.bad"),
             QByteArray("4\r\n9\r\ncut off\r\n"));
    QCOMPARE(TestHome::Read(home.Data() + "LIBRARY.kavra"), TestHome::Grid(4, {{}}));
    QVERIFY(TestHome::Read(home.Data() + "USERS.kavra").contains("ann"));
  }

 private:
  static QProcessEnvironment Environment(const TestHome& home) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home.Home());
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "DISPLAY", "WAYLAND_DISPLAY"}) {
      environment.remove(name);
    }
    return environment;
  }
};

}  // namespace vidoria::testing

QTEST_GUILESS_MAIN(vidoria::testing::VidoriaProgramTest)
#include "vidoria_program_test.moc"
