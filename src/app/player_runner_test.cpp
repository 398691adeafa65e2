#include "app/player_runner.h"

#include <signal.h>

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace vidoria {
namespace {

constexpr int kWaitMs = 30000;

// Records lines and ends in the order the runner emits them.
struct Recorder {
  explicit Recorder(PlayerRunner& runner) {
    QObject::connect(&runner, &PlayerRunner::Line,
                     [this](const QString& line) { events << QStringLiteral("line:") + line; });
    QObject::connect(&runner, &PlayerRunner::Ended, [this] { events << QStringLiteral("end"); });
  }
  QStringList events;
};

}  // namespace

// Stand-ins for the player are small shell scripts written into a temporary data folder.
class PlayerRunnerTest : public QObject {
  Q_OBJECT

 private:
  QString WriteScript(const QString& name, const QByteArray& body) {
    const QString path = dir_.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) qFatal("cannot write %s", qPrintable(path));
    file.write("#!/bin/sh\n" + body);
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
  }
  QString DataFolder() const { return dir_.path() + QLatin1Char('/'); }

  QTemporaryDir dir_;

 private slots:
  void initTestCase() { QVERIFY(dir_.isValid()); }

  void PlayPassesVerboseAndPathAndSplitsLines() {
    // Status lines end in a bare CR; a CR LF pair is one end even when split between writes;
    // ESC [ J is the player's clear-to-end-of-screen.
    WriteScript(QStringLiteral("mplayer"),
                "printf '%s|%s|%s\\n' \"$#\" \"$1\" \"$2\"\n"
                "printf 'Playing %s.\\r\\n' \"$2\"\n"
                "printf 'Title: Holiday\\n'\n"
                "printf 'A:   1.0 V:   1.0\\rA:   2.0 V:   2.0\\r\\033[JA:   3.0 V:   3.0\\r'\n"
                "sleep 0.2\n"
                "printf '\\nerror line\\n' >&2\n"
                "printf 'last without end'\n"
                "exit 1\n");
    PlayerRunner runner;
    Recorder recorder(runner);
    QSignalSpy ended(&runner, &PlayerRunner::Ended);
    const QString path = QStringLiteral("/videos/a \"b\" $c.mp4");
    QVERIFY2(runner.Play(DataFolder(), path), qPrintable(runner.ErrorText()));
    QVERIFY(runner.Busy());
    QVERIFY(ended.wait(kWaitMs));
    QCOMPARE(recorder.events, QStringList({
                                  QStringLiteral("line:2|-v|") + path,
                                  QStringLiteral("line:Playing ") + path + QStringLiteral("."),
                                  QStringLiteral("line:Title: Holiday"),
                                  QStringLiteral("line:A:   1.0 V:   1.0"),
                                  QStringLiteral("line:A:   2.0 V:   2.0"),
                                  QStringLiteral("line:A:   3.0 V:   3.0"),
                                  QStringLiteral("line:error line"),
                                  QStringLiteral("line:last without end"),
                                  QStringLiteral("end"),
                              }));
    QVERIFY(!runner.Busy());
  }

  void StopEndsThePlayerAndWhatItStarted() {
    const QString program = WriteScript(QStringLiteral("forever"),
                                        "sleep 600 &\n"
                                        "echo \"child $!\"\n"
                                        "wait\n");
    PlayerRunner runner;
    QSignalSpy lines(&runner, &PlayerRunner::Line);
    QSignalSpy ended(&runner, &PlayerRunner::Ended);
    QVERIFY(runner.Start(program, {}));
    QVERIFY(lines.wait(kWaitMs));
    const QString line = lines.at(0).at(0).toString();
    QVERIFY2(line.startsWith(QStringLiteral("child ")), qPrintable(line));
    const pid_t child = line.mid(6).toInt();
    QVERIFY(child > 0);

    runner.Stop();
    QVERIFY(ended.wait(kWaitMs));
    QVERIFY(!runner.Busy());
    // The player's own child went with it (gone, or a zombie waiting for init).
    QTRY_VERIFY_WITH_TIMEOUT(::kill(child, 0) != 0 || IsZombie(child), kWaitMs);
    runner.Stop();  // nothing left to stop
    QCOMPARE(ended.count(), 1);
  }

  void NewPlayEndsTheRunningOneBeforeStarting() {
    const QString first = WriteScript(QStringLiteral("first"), "echo first\nexec sleep 600\n");
    const QString second = WriteScript(QStringLiteral("second"), "echo second\n");
    PlayerRunner runner;
    Recorder recorder(runner);
    QSignalSpy lines(&runner, &PlayerRunner::Line);
    QSignalSpy ended(&runner, &PlayerRunner::Ended);
    QVERIFY(runner.Start(first, {}));
    QVERIFY(lines.wait(kWaitMs));

    QVERIFY(runner.Start(second, {}));
    QCOMPARE(recorder.events, QStringList({QStringLiteral("line:first"), QStringLiteral("end")}));
    QVERIFY(runner.Busy());
    QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 2, kWaitMs);
    QCOMPARE(recorder.events, QStringList({QStringLiteral("line:first"), QStringLiteral("end"),
                                           QStringLiteral("line:second"), QStringLiteral("end")}));
  }

  void FailedStartReportsAndLeavesNothingBusy() {
    const QString notExecutable = dir_.filePath(QStringLiteral("plain"));
    {
      QFile file(notExecutable);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write("#!/bin/sh\necho never\n");
    }
    const QString running = WriteScript(QStringLiteral("running"), "echo up\nexec sleep 600\n");
    const QString missing = dir_.filePath(QStringLiteral("missing/mplayer"));

    PlayerRunner runner;
    Recorder recorder(runner);
    QSignalSpy lines(&runner, &PlayerRunner::Line);
    QVERIFY(runner.Start(running, {}));
    QVERIFY(lines.wait(kWaitMs));

    // The running player is ended first, then the start fails.
    QVERIFY(!runner.Start(missing, {}));
    QVERIFY(!runner.Busy());
    QVERIFY2(runner.ErrorText().contains(missing), qPrintable(runner.ErrorText()));
    QVERIFY(!runner.Start(notExecutable, {}));
    QVERIFY(!runner.Busy());
    QVERIFY(!runner.ErrorText().isEmpty());
    QCOMPARE(recorder.events, QStringList({QStringLiteral("line:up"), QStringLiteral("end")}));

    // A later play neither waits for nor reports the failed ones.
    const QString good = WriteScript(QStringLiteral("good"), "echo ok\n");
    QSignalSpy ended(&runner, &PlayerRunner::Ended);
    QVERIFY(runner.Start(good, {}));
    QVERIFY(runner.ErrorText().isEmpty());
    QVERIFY(ended.wait(kWaitMs));
    QCOMPARE(recorder.events.last(), QStringLiteral("end"));
    QCOMPARE(recorder.events.count(), 4);
  }

  void DestroyingTheRunnerEndsThePlayer() {
    const QString program = WriteScript(QStringLiteral("pid"), "echo $$\nexec sleep 600\n");
    pid_t pid = 0;
    {
      PlayerRunner runner;
      QSignalSpy lines(&runner, &PlayerRunner::Line);
      QVERIFY(runner.Start(program, {}));
      QVERIFY(lines.wait(kWaitMs));
      pid = lines.at(0).at(0).toString().toInt();
    }
    QVERIFY(pid > 0);
    QVERIFY(::kill(pid, 0) != 0);  // ended and reaped by the runner's process
  }

 private:
  static bool IsZombie(pid_t pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return true;
    const QByteArray text = stat.readAll();
    const int close = text.lastIndexOf(')');
    return close < 0 || text.mid(close + 2, 1) == "Z";
  }
};

}  // namespace vidoria

QTEST_GUILESS_MAIN(vidoria::PlayerRunnerTest)
#include "player_runner_test.moc"
