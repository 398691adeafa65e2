// The check list's rebuild: the order a sorted list shows is the one adding the items one by one
// would give, whatever the texts' case, letters and repeats.
#include <QTest>

#include "app/view_parts.h"

namespace vidoria::testing {

class ViewPartsTest : public QObject {
  Q_OBJECT

 private slots:
  void RebuildOrdersAsItemsAddedOneByOne_data() {
    QTest::addColumn<bool>("sorted");
    QTest::newRow("sorted") << true;
    QTest::newRow("in given order") << false;
  }
  void RebuildOrdersAsItemsAddedOneByOne() {
    QFETCH(bool, sorted);
    const std::vector<std::string> texts{"b.mp4",   "B.mp4",    "a.mp4",      "Été.mp4",
                                         "ete.mp4", "10.mp4",   "9.mp4",      "b.mp4",
                                         "_x.mp4",  "東京.mp4", "Zürich.mp4", ""};
    CheckList oneByOne(sorted);
    for (const std::string& text : texts) oneByOne.AddItem(text);
    CheckList rebuilt(sorted);
    rebuilt.SetItems(texts);
    QCOMPARE(rebuilt.Texts(), oneByOne.Texts());
    QCOMPARE(rebuilt.isSortingEnabled(), sorted);
    QCOMPARE(rebuilt.currentRow(), 0);
    QCOMPARE(rebuilt.Selected(), std::vector<std::string>{rebuilt.Texts().front()});
  }
};

}  // namespace vidoria::testing

QTEST_MAIN(vidoria::testing::ViewPartsTest)
#include "view_parts_test.moc"
