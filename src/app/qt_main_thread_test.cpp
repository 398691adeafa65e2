#include "app/qt_main_thread.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>
#include <atomic>
#include <stdexcept>
#include <thread>

namespace vidoria {

class QtMainThreadTest : public QObject {
  Q_OBJECT

 private slots:
  void WorkFromAnotherThreadRunsInTheEventLoopAndWaits() {
    QtMainThread main;
    QVERIFY(main.IsMainThread());
    std::atomic<bool> workerIsMain{true};
    std::atomic<bool> returned{false};
    QThread* ranOn = nullptr;
    std::thread worker([&] {
      workerIsMain = main.IsMainThread();
      main.RunAndWait([&] { ranOn = QThread::currentThread(); });
      returned = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(returned.load(), 30000);
    worker.join();
    QVERIFY(!workerIsMain);
    QCOMPARE(ranOn, QCoreApplication::instance()->thread());
  }

  void AnExceptionOfTheWorkReachesTheWaitingThread() {
    QtMainThread main;
    std::atomic<bool> caught{false};
    std::thread worker([&] {
      try {
        main.RunAndWait([] { throw std::runtime_error("refused"); });
      } catch (const std::runtime_error& e) {
        caught = std::string(e.what()) == "refused";
      }
    });
    // The work runs inside a processEvents() pump, as at shutdown.
    QTRY_VERIFY_WITH_TIMEOUT(caught.load(), 30000);
    worker.join();
  }

  void OnTheMainThreadTheWorkRunsAtOnce() {
    QtMainThread main;
    bool ran = false;
    main.RunAndWait([&] { ran = true; });
    QVERIFY(ran);
  }
};

}  // namespace vidoria

QTEST_GUILESS_MAIN(vidoria::QtMainThreadTest)
#include "qt_main_thread_test.moc"
