// One program per data folder, seen from the desktop program: the real programs in temporary
// homes. A second start raises the running window (or, with vidoriad running, says so in a box)
// and ends without touching the data folder; a window killed with SIGKILL leaves neither its
// lock nor its socket in the way of the next start.
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDirIterator>
#include <QProcess>
#include <QSignalSpy>
#include <QWidget>
#include <cstring>
#include <map>
#include <memory>

#include "app/scripted_dialogs.h"
#include "app/second_start.h"
#include "app/window_test_home.h"
#include "engine/data_folder_claim.h"
#include "server/test_client.h"

#include <QTest>

namespace vidoria::testing {

namespace {

constexpr int kWaitMs = 60000;

// A temporary home whose stored settings listen on a free port (the window starts its server
// at once), with a runtime folder of its own for the window's socket, also for this process.
class Home {
 public:
  Home() {
    QDir().mkpath(Runtime());
    QFile::setPermissions(Runtime(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", Runtime().toUtf8());
    TestHome::Write(home.Data() + "settings.kavra", TestHome::Settings(port, "Autorun ON"));
  }

  QString Runtime() const { return home.Home() + QStringLiteral("/runtime"); }
  std::string DataFolder() const { return home.Data().toStdString(); }
  EnvLookup Env() const { return home.Options(nullptr).env; }

  std::unique_ptr<QProcess> Start(const char* program, QProcess::ProcessChannelMode channels =
                                                           QProcess::ForwardedChannels) const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "DISPLAY", "WAYLAND_DISPLAY"}) {
      environment.remove(name);
    }
    environment.insert("HOME", home.Home());
    environment.insert("XDG_RUNTIME_DIR", Runtime());
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(channels);
    process->start(QString::fromUtf8(program), {});
    return process;
  }

  bool Serving() const {
    TestClient client(std::to_string(port));
    if (!client.Connected()) return false;
    client.Send("GET / HTTP/1.1\r\n\r\n");
    return client.ReadUntil("\r\n").starts_with("HTTP/1.1 200 ");
  }
  // Serving, and done with the first generation of the library (a second after the start).
  bool Settled() const { return Serving() && QFileInfo::exists(home.Data() + "LIBRARY.kavra"); }
  // Every connection in the web log closed: from then on an idle program writes nothing.
  bool Quiet() const {
    const QStringList logs = QDir(home.Data() + "LOG").entryList(QDir::Files);
    for (const QString& log : logs) {
      if (!TestHome::Read(home.Data() + "LOG/" + log).endsWith(" [0 open]\r\n")) return false;
    }
    return !logs.isEmpty();
  }

  // Every entry under the data folder with its bytes, inode and modification time, so that a
  // file rewritten with the same bytes shows as well as a new, moved or removed one.
  std::map<QString, QByteArray> DataFolderState() const {
    std::map<QString, QByteArray> state;
    QDirIterator entries(home.Data(),
                         QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
    while (entries.hasNext()) {
      const QString path = entries.next();
      struct stat st {};
      ::lstat(QFile::encodeName(path).constData(), &st);
      QByteArray& line = state[path];
      line = QByteArray::number(qulonglong(st.st_ino)) + ' ' +
             QByteArray::number(qlonglong(st.st_mtim.tv_sec)) + '.' +
             QByteArray::number(qlonglong(st.st_mtim.tv_nsec));
      if (S_ISREG(st.st_mode)) line += ' ' + TestHome::Read(path);
    }
    return state;
  }

  TestHome home;
  const int port = TestHome::FreePort();
};

bool EndedWell(QProcess& process) {
  return process.state() == QProcess::NotRunning && process.exitStatus() == QProcess::NormalExit &&
         process.exitCode() == 0;
}

// Whether the process runs `program` and has a handler for SIGTERM (its SigCgt mask in /proc).
// Until the exec, the forked child still shows the handlers of this test process.
bool CatchesSigterm(qint64 pid, const char* program) {
  const QString running = QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(pid));
  if (running != QFileInfo(QString::fromUtf8(program)).canonicalFilePath()) return false;
  QFile status(QStringLiteral("/proc/%1/status").arg(pid));
  if (!status.open(QIODevice::ReadOnly)) return false;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith("SigCgt:")) {
      return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (SIGTERM - 1)) & 1;
    }
  }
  return false;
}

// What a window killed with SIGKILL leaves: a socket file nobody listens on.
bool LeaveDeadSocket(const QString& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const QByteArray name = QFile::encodeName(path);
  if (name.size() >= qsizetype(sizeof address.sun_path)) return false;
  std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return bound;
}

}  // namespace

class SecondStartTest : public QObject {
  Q_OBJECT

 private slots:
  void ASecondStartRaisesTheRunningWindowAndEnds() {
    Home home;
    const auto first = home.Start(VIDORIA_PATH);
    QTRY_VERIFY_WITH_TIMEOUT(home.Settled(), kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(home.Quiet(), kWaitMs);
    const auto before = home.DataFolderState();

    // A second start that showed its box instead would wait for an answer here.
    const auto second = home.Start(VIDORIA_PATH);
    QVERIFY(second->waitForFinished(kWaitMs));
    QVERIFY(EndedWell(*second));
    QCOMPARE(home.DataFolderState(), before);
    // vidoriad stops as well; it has no window to raise.
    const auto daemon = home.Start(VIDORIAD_PATH, QProcess::SeparateChannels);
    QVERIFY(daemon->waitForFinished(kWaitMs));
    QCOMPARE(daemon->exitCode(), 1);
    QCOMPARE(daemon->readAllStandardError(),
             QByteArray("Vidoria is already running for this data folder.\n"));
    QCOMPARE(home.DataFolderState(), before);
    QVERIFY(home.Serving());

    first->terminate();
    QVERIFY(first->waitForFinished(kWaitMs));
    QVERIFY(EndedWell(*first));
    QVERIFY(!ProgramRunsOnDataFolder(home.Env()));
  }

  // The window's side in this process: the second start's request brings it back from the
  // taskbar, also when a killed window's socket file was still in the way.
  void TheRunningWindowComesToTheFront() {
    Home home;
    const DataFolderClaim claim = ClaimDataFolder(home.Env());
    QCOMPARE(claim.outcome, DataFolderClaim::Outcome::kClaimed);
    QVERIFY(LeaveDeadSocket(RaiseSocketPath(claim.dataFolder)));
    QWidget window;
    window.showMinimized();
    RaiseListener listener(claim.dataFolder, &window);
    QVERIFY(listener.Listening());
    QSignalSpy raised(&listener, &RaiseListener::Raised);
    const auto before = home.DataFolderState();

    const auto second = home.Start(VIDORIA_PATH);
    QTRY_COMPARE_WITH_TIMEOUT(second->state(), QProcess::NotRunning, kWaitMs);
    QVERIFY(EndedWell(*second));
    QCOMPARE(raised.count(), 1);
    QVERIFY(!window.isMinimized());
    QCOMPARE(home.DataFolderState(), before);
  }

  // vidoriad has no window to raise: the second start says why it does not run, in a box.
  void WithVidoriadRunningTheBoxSaysSo() {
    Home home;
    const auto daemon = home.Start(VIDORIAD_PATH);
    QTRY_VERIFY_WITH_TIMEOUT(home.Settled(), kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(home.Quiet(), kWaitMs);
    const auto before = home.DataFolderState();

    // What the program does, with the box answered here.
    const DataFolderClaim claim = ClaimDataFolder(home.Env());
    QCOMPARE(claim.outcome, DataFolderClaim::Outcome::kHeldByAnother);
    ScriptedDialogs dialogs;
    QCOMPARE(RefuseSecondStart(claim.dataFolder, dialogs), 0);
    QCOMPARE(dialogs.Log().size(), size_t(1));
    QCOMPARE(dialogs.Log()[0].kind, ScriptedDialogs::Kind::kMessage);
    QCOMPARE(dialogs.Log()[0].text,
             QStringLiteral("Vidoria is already running for this data folder."));

    // The real program waits at its box; a signal answers it as the user would, and it ends.
    const auto second = home.Start(VIDORIA_PATH);
    QTRY_VERIFY_WITH_TIMEOUT(CatchesSigterm(second->processId(), VIDORIA_PATH), kWaitMs);
    second->terminate();
    QVERIFY(second->waitForFinished(kWaitMs));
    QVERIFY(EndedWell(*second));
    QCOMPARE(home.DataFolderState(), before);
    QVERIFY(home.Serving());

    daemon->terminate();
    QVERIFY(daemon->waitForFinished(kWaitMs));
    QVERIFY(EndedWell(*daemon));
  }

  void AKilledWindowLeavesNeitherLockNorSocketInTheWay() {
    Home home;
    const auto killed = home.Start(VIDORIA_PATH);
    QTRY_VERIFY_WITH_TIMEOUT(home.Settled(), kWaitMs);
    ::kill(pid_t(killed->processId()), SIGKILL);
    QVERIFY(killed->waitForFinished(kWaitMs));
    QVERIFY(QFileInfo::exists(RaiseSocketPath(home.DataFolder())));
    QVERIFY(!ProgramRunsOnDataFolder(home.Env()));

    const auto next = home.Start(VIDORIA_PATH);
    QTRY_VERIFY_WITH_TIMEOUT(home.Serving() && ProgramRunsOnDataFolder(home.Env()), kWaitMs);
    // It took the socket over: a further start is raised by it, not shown a box.
    const auto again = home.Start(VIDORIA_PATH);
    QVERIFY(again->waitForFinished(kWaitMs));
    QVERIFY(EndedWell(*again));

    next->terminate();
    QVERIFY(next->waitForFinished(kWaitMs));
    QVERIFY(EndedWell(*next));
  }
};

}  // namespace vidoria::testing

QTEST_MAIN(vidoria::testing::SecondStartTest)
#include "second_start_test.moc"
