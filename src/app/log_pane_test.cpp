// The log view's lines: kept in order up to the bound, appended as one batch per flush whoever
// posted them.
#include <QSignalSpy>
#include <QTest>
#include <thread>
#include <vector>

#include "app/log_pane.h"
#include "library/activity_log.h"

namespace vidoria::testing {

class LogPaneTest : public QObject {
  Q_OBJECT

 private slots:
  void BatchesKeepTheNewestLinesInOrder_data() {
    QTest::addColumn<int>("kept");
    QTest::addColumn<QList<int>>("batches");  // sizes, appended in turn
    QTest::newRow("under the bound") << 10 << QList<int>{3, 4};
    QTest::newRow("exactly the bound") << 10 << QList<int>{4, 6};
    QTest::newRow("over the bound across batches") << 10 << QList<int>{7, 7, 7};
    QTest::newRow("one batch longer than the bound") << 10 << QList<int>{2, 25};
  }
  void BatchesKeepTheNewestLinesInOrder() {
    QFETCH(int, kept);
    QFETCH(QList<int>, batches);
    LogLinesModel model(static_cast<size_t>(kept));
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    int next = 0;
    for (int size : batches) {
      QStringList batch;
      for (int i = 0; i < size; ++i) batch << QString::number(next++);
      model.Append(batch);
    }
    QCOMPARE(inserted.count(), batches.size());
    QVERIFY(removed.count() <= batches.size());
    const int expected = std::min(kept, next);
    QCOMPARE(model.rowCount(), expected);
    for (int row = 0; row < expected; ++row) {
      QCOMPARE(model.Line(row), QString::number(next - expected + row));
    }
  }

  // Lines from many threads arrive in one insertion, each thread's in its own order, the
  // newest last and current.
  void LinesPostedFromThreadsArriveAsOneBatch() {
    LogPane pane;
    QSignalSpy inserted(pane.lines->model(), &QAbstractItemModel::rowsInserted);
    constexpr int kThreads = 4;
    constexpr int kEach = 4000;
    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t) {
      posters.emplace_back([&pane, t] {
        for (int i = 0; i < kEach; ++i) pane.Post(std::to_string(t) + " " + std::to_string(i));
      });
    }
    for (std::thread& poster : posters) poster.join();
    QTRY_COMPARE(inserted.count(), 1);
    QCOMPARE(pane.LineCount(), int(ActivityLog::kKeptLines));
    std::vector<int> last(kThreads, -1);
    for (int row = 0; row < pane.LineCount(); ++row) {
      const QStringList parts = pane.Line(row).split(' ');
      const int thread = parts[0].toInt();
      const int index = parts[1].toInt();
      QVERIFY(index > last[thread]);
      last[thread] = index;
    }
    QCOMPARE(pane.lines->currentIndex().row(), pane.LineCount() - 1);
  }
};

}  // namespace vidoria::testing

QTEST_MAIN(vidoria::testing::LogPaneTest)
#include "log_pane_test.moc"
