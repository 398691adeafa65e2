// The server controls through the window: Start and Stop with their states, the traffic meter's
// texts, a port that is busy, ports and credentials that are refused.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <algorithm>

#include <QClipboard>
#include <QProcess>
#include <QStandardPaths>

#include "app/window_test_rig.h"

namespace vidoria::testing {

namespace {

// Fetches `url` with curl; the body's size, or -1.
qint64 Fetch(const QString& url) {
  QProcess curl;
  curl.start(QStringLiteral("curl"), {"-s", "-o", "/dev/null", "-w", "%{size_download}", url});
  if (!curl.waitForFinished(kWaitMs) || curl.exitCode() != 0) return -1;
  return curl.readAllStandardOutput().toLongLong();
}

// Posts the login form; true when the server let the visitor in (a session cookie came back).
bool LogsIn(int port, const QString& user, const QString& password) {
  QProcess curl;
  curl.start(QStringLiteral("curl"), {"-s", "-o", "/dev/null", "-D", "-", "--data-urlencode",
                                      "user=" + user, "--data-urlencode", "pass=" + password,
                                      QStringLiteral("http://127.0.0.1:%1/login.html").arg(port)});
  if (!curl.waitForFinished(kWaitMs)) return false;
  return curl.readAllStandardOutput().toLower().contains("set-cookie: session=");
}

}  // namespace

class MainWindowServerTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanupTestCase() { ShutDownTestCore(); }

  void StartAndStopDriveTheButtonsTheLinkAndTheMeter() {
    if (QStandardPaths::findExecutable("curl").isEmpty()) QSKIP("curl is not installed");
    WindowRig rig;
    const int port = TestHome::FreePort();
    const QString media = rig.home.Home() + "/media/";
    TestHome::Write(media + "big.mp4", QByteArray(250000, 'v'));
    TestHome::Write(
        rig.home.Data() + "LIBRARY.kavra",
        TestHome::Grid(4, {{"MOVIE", (media + "big.mp4").toStdString(), "big.mp4", "1:01:40"}}));
    TestHome::Write(rig.home.Data() + "settings.kavra", TestHome::Settings(port));
    MainWindow& window = rig.Make();
    StatusBar* bar = window.statusBar();
    StreamingPane* view = window.GetStreamingPane();
    QCOMPARE(view->currentRate->text(), QStringLiteral("0 B"));
    QVERIFY(bar->startStreaming->isEnabled() && bar->stopStreaming->isEnabled());
    QVERIFY(!bar->addressLink->isVisibleTo(&window));

    bar->startStreaming->click();
    const QString address = QStringLiteral("http://127.0.0.1:%1").arg(port);
    QVERIFY(!view->port->isEnabled());
    QVERIFY(bar->addressLink->isVisibleTo(&window));
    QCOMPARE(bar->Address(), address);
    QCOMPARE(view->addressCode->Text(), address);
    QVERIFY(!view->addressCode->isHidden());
    QCOMPARE(view->currentRate->text(), QStringLiteral("0 Kbit/sec"));
    QCOMPARE(view->totalAmount->text(), QStringLiteral("0 Kbit"));
    QCOMPARE(view->peakRate->text(), QStringLiteral("0 Kbit/sec"));
    QTRY_VERIFY_WITH_TIMEOUT(!bar->startStreaming->isEnabled(), kWaitMs);
    QVERIFY(bar->stopStreaming->isEnabled());
    QVERIFY(window.Server().MeterRunning());

    // The video once: the meter counts it (and the headers) into the total.
    QTRY_VERIFY_WITH_TIMEOUT(window.GetEngine().PublishedLibrary() != nullptr, kWaitMs);
    QCOMPARE(Fetch(address + "/big.mp4"), qint64(250000));
    QTRY_VERIFY_WITH_TIMEOUT(
        (window.Server().MeterTick(), window.Server().Meter().Total() >= 250000), kWaitMs);
    QCOMPARE(view->totalAmount->text(), QStringLiteral("2 Mbit"));
    QCOMPARE(view->peakRate->text(),
             QString::fromStdString(TrafficMeter::RateText(window.Server().Meter().Peak())));
    QVERIFY(view->peakRate->text() != QStringLiteral("0 Kbit/sec"));
    // A second without traffic: the rate drops, peak and total stay.
    const QString peak = view->peakRate->text();
    window.Server().MeterTick();
    QCOMPARE(view->currentRate->text(), QStringLiteral("0 Kbit/sec"));
    QCOMPARE(view->peakRate->text(), peak);
    QCOMPARE(view->totalAmount->text(), QStringLiteral("2 Mbit"));

    // The address can be copied for a phone's browser.
    view->copyAddress->click();
    QCOMPARE(QApplication::clipboard()->text(), address);
    // The link opens the browser.
    emit bar->addressLink->linkActivated(address);
    QCOMPARE(rig.opened, QList<QUrl>{QUrl(address)});

    bar->stopStreaming->click();
    QVERIFY(view->port->isEnabled());
    QVERIFY(!bar->addressLink->isVisibleTo(&window));
    QVERIFY(view->addressCode->isHidden());
    QVERIFY(!window.Server().MeterRunning());
    QTRY_COMPARE_WITH_TIMEOUT(rig.StatusText(), QStringLiteral("Server stopped."), kWaitMs);
    QVERIFY(bar->startStreaming->isEnabled());
    QVERIFY(!bar->stopStreaming->isEnabled());
    QCOMPARE(view->totalAmount->text(), QStringLiteral("2 Mbit"));  // frozen while stopped
    QVERIFY(window.GetEngine().Activity().Lines().back().ends_with(" : Server stopped."));

    // Start again: the meter starts from zero.
    bar->startStreaming->click();
    QCOMPARE(view->totalAmount->text(), QStringLiteral("0 Kbit"));
    QCOMPARE(view->peakRate->text(), QStringLiteral("0 Kbit/sec"));
    QTRY_VERIFY_WITH_TIMEOUT(!bar->startStreaming->isEnabled(), kWaitMs);
    QVERIFY(rig.Shown(ScriptedDialogs::Kind::kError).empty());
  }

  void StoredAutorunStartsAsTheStartButtonWould() {
    WindowRig rig;
    const int port = TestHome::FreePort();
    TestHome::Write(rig.home.Data() + "settings.kavra", TestHome::Settings(port, "Autorun ON"));
    MainWindow& window = rig.Make();
    QVERIFY(!window.GetStreamingPane()->port->isEnabled());
    QVERIFY(window.statusBar()->addressLink->isVisibleTo(&window));
    QVERIFY(window.GetStreamingPane()->autorun->isChecked());
    QVERIFY(!window.GetStreamingPane()->autostart->isHidden());
    QTRY_VERIFY_WITH_TIMEOUT(!window.statusBar()->startStreaming->isEnabled(), kWaitMs);
    QCOMPARE(QString::fromStdString(window.GetEngine().ListeningPort()), QString::number(port));
  }

  void TickingAutorunStartsTheServerWhileStartIsEnabled() {
    WindowRig rig;
    const int port = TestHome::FreePort();
    TestHome::Write(rig.home.Data() + "settings.kavra", TestHome::Settings(port));
    MainWindow& window = rig.Make();
    StreamingPane* view = window.GetStreamingPane();
    QVERIFY(view->autostart->isHidden());
    view->autorun->click();
    QVERIFY(!view->autostart->isHidden());
    QVERIFY(!view->port->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(!window.statusBar()->startStreaming->isEnabled(), kWaitMs);
    QCOMPARE(QString::fromStdString(window.GetEngine().ListeningPort()), QString::number(port));
    // Unticking stops nothing; ticking again while listening starts nothing more.
    view->autorun->click();
    QVERIFY(view->autostart->isHidden());
    view->autorun->click();
    QVERIFY(window.GetEngine().Listening());
    QVERIFY(rig.Shown(ScriptedDialogs::Kind::kMessage).empty());
    // Closing stops the server, and says so in the log before it closes.
    window.close();
    const std::vector<std::string> lines = window.GetEngine().Activity().Lines();
    QVERIFY(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
      return line.ends_with(" : Server stopped.");
    }));
  }

  void BusyPortShowsTheListenError() {
    WindowRig rig;
    const int busy = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    QCOMPARE(::bind(busy, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    QCOMPARE(::listen(busy, 1), 0);
    socklen_t length = sizeof address;
    ::getsockname(busy, reinterpret_cast<sockaddr*>(&address), &length);
    TestHome::Write(rig.home.Data() + "settings.kavra",
                    TestHome::Settings(ntohs(address.sin_port)));
    MainWindow& window = rig.Make();
    window.statusBar()->startStreaming->click();
    QTRY_COMPARE_WITH_TIMEOUT(rig.Shown(ScriptedDialogs::Kind::kMessage).size(), size_t(1),
                              kWaitMs);
    QCOMPARE(rig.Shown(ScriptedDialogs::Kind::kMessage)[0].text,
             QStringLiteral("Error starting WebServer!\r\nEWinSockException>Error 10048 in "
                            "function Bind\r\nAddress or Port already in use"));
    // The buttons stay as they were and the meter runs until Stop; no address is offered that
    // nothing listens on.
    QVERIFY(window.statusBar()->startStreaming->isEnabled());
    QVERIFY(window.statusBar()->stopStreaming->isEnabled());
    QVERIFY(window.Server().MeterRunning());
    QVERIFY(window.statusBar()->addressLink->isHidden());
    QVERIFY(!window.GetStreamingPane()->copyAddress->isEnabled());
    ::close(busy);
  }

  void RefusedPortsAndCredentialsChangeNothing_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::newRow("port 0") << "port"
                            << "0";
    QTest::newRow("port over 65535") << "port"
                                     << "65536";
    QTest::newRow("port not a number") << "port"
                                       << "8o";
    // Enciphered, this password would hold a NUL byte, which the settings file cannot store.
    QTest::newRow("password") << "password" << [] {
      const char32_t privateUse = 0xF0000;
      return QString::fromUcs4(&privateUse, 1);
    }();
  }
  void RefusedPortsAndCredentialsChangeNothing() {
    QFETCH(QString, field);
    QFETCH(QString, typed);
    WindowRig rig;
    TestHome::Write(rig.home.Data() + "settings.kavra", TestHome::Settings(8080));
    MainWindow& window = rig.Make();
    StreamingPane* view = window.GetStreamingPane();
    if (field == "port") {
      view->port->setText(typed);
      emit view->port->editingFinished();
      QCOMPARE(view->port->text(), QStringLiteral("8080"));
      QCOMPARE(window.GetEngine().CurrentSettings().port, std::string("8080"));
    } else {
      view->password->setText(typed);
      emit view->password->textEdited(typed);
      QCOMPARE(view->password->text(), QStringLiteral("qorvu"));
      QCOMPARE(window.GetEngine().CurrentSettings().password, std::string("qorvu"));
    }
    QCOMPARE(rig.Shown(ScriptedDialogs::Kind::kError).size(), size_t(1));
    QVERIFY(!rig.Shown(ScriptedDialogs::Kind::kError)[0].text.isEmpty());
  }

  void CredentialsTakeEffectAsTheyAreEdited() {
    if (QStandardPaths::findExecutable("curl").isEmpty()) QSKIP("curl is not installed");
    WindowRig rig;
    const int port = TestHome::FreePort();
    TestHome::Write(rig.home.Data() + "settings.kavra", TestHome::Settings(port));
    MainWindow& window = rig.Make();
    StreamingPane* view = window.GetStreamingPane();
    view->login->click();
    window.statusBar()->startStreaming->click();
    QTRY_VERIFY_WITH_TIMEOUT(!window.statusBar()->startStreaming->isEnabled(), kWaitMs);
    QVERIFY(LogsIn(port, "qorvu", "qorvu"));

    view->username->setText("ann");
    emit view->username->textEdited("ann");
    view->password->setText("pw2");
    emit view->password->textEdited("pw2");
    QVERIFY(LogsIn(port, "ann", "pw2"));
    QVERIFY(!LogsIn(port, "qorvu", "qorvu"));

    // An empty password is taken as typed (the field is empty on the way to a new one), with a
    // warning of what it means.
    view->password->setText("");
    emit view->password->textEdited("");
    QVERIFY2(rig.StatusText().contains("password is empty"), qPrintable(rig.StatusText()));
    QVERIFY(rig.Shown(ScriptedDialogs::Kind::kError).empty());
    QVERIFY(LogsIn(port, "ann", ""));
    rig.CloseAndDestroy();
    const QList<QByteArray> lines = TestHome::Read(rig.home.Data() + "settings.kavra").split('\n');
    QCOMPARE(lines.value(4), QByteArray("ann\r"));
    QCOMPARE(lines.value(5), QByteArray("\r"));
    QCOMPARE(lines.value(6), QByteArray("login ON\r"));
  }

  void SharingSwitchIsStoredInAFileOfItsOwn() {
    {
      // The first start shares.
      WindowRig rig;
      QFile::remove(rig.home.Data() + "sharing.kavra");
      QVERIFY(rig.Make().GetStreamingPane()->sharing->isChecked());
    }
    WindowRig rig;
    const QByteArray settings = TestHome::Settings(8080);
    TestHome::Write(rig.home.Data() + "settings.kavra", settings);
    MainWindow& window = rig.Make();
    StreamingPane* view = window.GetStreamingPane();
    QVERIFY(!view->sharing->isChecked());  // the test home's stored "Share OFF"
    view->sharing->click();
    QVERIFY(window.GetEngine().Sharing());
    QCOMPARE(TestHome::Read(rig.home.Data() + "sharing.kavra"), QByteArray("Share ON\r\n"));
    view->sharing->click();
    QVERIFY(!window.GetEngine().Sharing());
    QVERIFY(!window.GetEngine().SharingRunning());
    QCOMPARE(TestHome::Read(rig.home.Data() + "sharing.kavra"), QByteArray("Share OFF\r\n"));
    QCOMPARE(TestHome::Read(rig.home.Data() + "settings.kavra"), settings);
  }

  void AcceptedSettingsTakeEffectAsEdited() {
    WindowRig rig;
    TestHome::Write(rig.home.Data() + "settings.kavra", TestHome::Settings(8080));
    MainWindow& window = rig.Make();
    StreamingPane* view = window.GetStreamingPane();
    view->port->setText("8181");
    emit view->port->editingFinished();
    view->username->setText("ann");
    emit view->username->textEdited("ann");
    QVERIFY(view->username->isHidden());
    view->login->click();
    QVERIFY(!view->username->isHidden());
    QVERIFY(!view->password->isHidden());
    window.GetFolderScanPane()->autoscan->click();
    window.GetFolderScanPane()->minutes->setValue(20);
    const Settings& settings = window.GetEngine().CurrentSettings();
    QCOMPARE(settings.port, std::string("8181"));
    QCOMPARE(settings.username, std::string("ann"));
    QVERIFY(settings.login && settings.autoscan);
    QCOMPARE(settings.scanMinutes, 20);
    QVERIFY(window.GetEngine().RescanTimerEnabled());
    QCOMPARE(window.GetEngine().RescanInterval(), std::chrono::milliseconds(20 * 60000));
    QVERIFY(rig.Shown(ScriptedDialogs::Kind::kError).empty());
  }
};

}  // namespace vidoria::testing

QTEST_MAIN(vidoria::testing::MainWindowServerTest)
#include "main_window_server_test.moc"
