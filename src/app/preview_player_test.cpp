#include "app/preview_player.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace vidoria {

// The player is a shell script named mplayer in a temporary data folder; it answers with the
// lines the real player prints for the path it is given.
class PreviewPlayerTest : public QObject {
  Q_OBJECT

 private slots:
  void StatusFollowsTitleAndClockUntilStopped() {
    QTemporaryDir data;
    QVERIFY(data.isValid());
    QFile script(data.filePath(QStringLiteral("mplayer")));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(
        "#!/bin/sh\n"
        "case \"$2\" in\n"
        "  *Holiday*) printf 'Playing %s.\\nTitle: Holiday\\n' \"$2\" ;;\n"
        "esac\n"
        "printf 'A:   5.3 V:   5.3 A-V:  0.000 ct:  0.000\\r'\n"
        "echo ready\n"
        "exec sleep 600\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString folder = data.path() + QLatin1Char('/');

    PreviewPlayer player;
    QStringList shown;
    connect(&player, &PreviewPlayer::Status, [&shown](const QString& text) { shown << text; });
    QSignalSpy ended(&player, &PreviewPlayer::Ended);

    QVERIFY(player.Play(folder, QStringLiteral("/videos/Holiday.mp4")));
    // "ready" is no status line: the title and the clock stay.
    QTRY_VERIFY_WITH_TIMEOUT(shown.contains(QStringLiteral("Holiday 0:00:05")), 30000);
    QTest::qWait(3 * PlayerRunner::kPumpMs);
    QCOMPARE(shown.last(), QStringLiteral("Holiday 0:00:05"));
    QVERIFY(shown.size() <= 3);  // one per hand-over at most

    // A second file: the first player ends first, and the title does not carry over.
    shown.clear();
    QVERIFY(player.Play(folder, QStringLiteral("/videos/Trip.mp4")));
    QCOMPARE(ended.count(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(shown, QStringList{QStringLiteral("0:00:05")}, 30000);

    player.Stop();
    QVERIFY(ended.wait(30000));
    QVERIFY(!player.Busy());
  }

  void MissingPlayerIsReportedAndNothingRuns() {
    QTemporaryDir data;
    PreviewPlayer player;
    QVERIFY(!player.Play(data.path() + QLatin1Char('/'), QStringLiteral("/videos/a.mp4")));
    QVERIFY(!player.Busy());
    QVERIFY(player.ErrorText().contains(QStringLiteral("mplayer")));
  }
};

}  // namespace vidoria

QTEST_GUILESS_MAIN(vidoria::PreviewPlayerTest)
#include "preview_player_test.moc"
