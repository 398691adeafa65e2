#include "app/quit_on_signal.h"

#include <signal.h>

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <functional>

#include "app/qt_dialogs.h"

namespace vidoria {
namespace {

constexpr int kWaitMs = 30000;

// A main window that records its close events and whether a dialog was still open then.
class Window : public QWidget {
 public:
  int closes = 0;
  bool modalOpenAtClose = false;

 protected:
  void closeEvent(QCloseEvent* event) override {
    ++closes;
    modalOpenAtClose = QApplication::activeModalWidget() != nullptr;
    QWidget::closeEvent(event);
  }
};

// Runs `then` once a modal widget of type T is open and visible (polling the event loop).
template <typename T>
void WhenModalOpen(std::function<void()> then) {
  auto* timer = new QTimer;
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, then] {
    auto* modal = qobject_cast<T*>(QApplication::activeModalWidget());
    if (modal == nullptr || !modal->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    then();
  });
  timer->start();
}

}  // namespace

class QuitOnSignalTest : public QObject {
  Q_OBJECT

 private slots:
  void TermWhileMessageBoxIsOpenDismissesItThenClosesWindow() {
    Window window;
    window.show();
    QuitOnSignal quit(&window);
    QSignalSpy handled(&quit, &QuitOnSignal::Handled);
    QtDialogs dialogs(&window);

    WhenModalOpen<QMessageBox>([] { ::raise(SIGTERM); });
    QVERIFY(!dialogs.AskYesNo(QStringLiteral("Do you want to your default\r...")));
    QTRY_COMPARE_WITH_TIMEOUT(handled.count(), 1, kWaitMs);
    QCOMPARE(handled.at(0).at(0).toInt(), SIGTERM);
    QCOMPARE(window.closes, 1);
    QVERIFY(!window.modalOpenAtClose);
    QVERIFY(!window.isVisible());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
  }

  void IntWithNestedDialogsDismissesAllOfThem() {
    Window window;
    window.show();
    QuitOnSignal quit(&window);
    QtDialogs dialogs(&window);
    bool innerAnswer = true;

    // A box opened from inside the rename dialog's loop; the signal comes while both are open.
    WhenModalOpen<QInputDialog>([&] {
      WhenModalOpen<QMessageBox>([] { ::raise(SIGINT); });
      innerAnswer = dialogs.AskYesNo(QStringLiteral("inner"));
    });
    QString name = QStringLiteral("Favorites");
    QVERIFY(!dialogs.AskText(QStringLiteral("Rename playlist"), QString(), name));
    QCOMPARE(name, QStringLiteral("Favorites"));
    QVERIFY(!innerAnswer);
    QTRY_COMPARE_WITH_TIMEOUT(window.closes, 1, kWaitMs);
    QVERIFY(!window.modalOpenAtClose);
  }

  void SignalWithoutDialogClosesWindowOnce() {
    Window window;
    window.show();
    QuitOnSignal quit(&window);
    QSignalSpy handled(&quit, &QuitOnSignal::Handled);
    ::raise(SIGTERM);
    QVERIFY(handled.wait(kWaitMs));
    QCOMPARE(window.closes, 1);
    QVERIFY(!window.isVisible());
  }

  void WindowGoneStillDismissesDialogs() {
    auto* window = new Window;
    QuitOnSignal quit(window);
    delete window;
    QSignalSpy handled(&quit, &QuitOnSignal::Handled);
    QtDialogs dialogs(nullptr);
    WhenModalOpen<QMessageBox>([] { ::raise(SIGTERM); });
    QVERIFY(!dialogs.AskYesNo(QStringLiteral("still asking?")));
    QTRY_COMPARE_WITH_TIMEOUT(handled.count(), 1, kWaitMs);
  }

  void DestructionPutsBackThePreviousHandlers() {
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction before[2];
    ::sigaction(SIGTERM, &ignore, &before[0]);
    ::sigaction(SIGINT, &ignore, &before[1]);
    {
      Window window;
      QuitOnSignal quit(&window);
    }
    struct sigaction term = {}, interrupt = {};
    ::sigaction(SIGTERM, &before[0], &term);
    ::sigaction(SIGINT, &before[1], &interrupt);
    QVERIFY(term.sa_handler == SIG_IGN);
    QVERIFY(interrupt.sa_handler == SIG_IGN);
  }
};

}  // namespace vidoria

QTEST_MAIN(vidoria::QuitOnSignalTest)
#include "quit_on_signal_test.moc"
