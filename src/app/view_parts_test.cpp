// The check list's rebuild: the order a sorted list shows is the one adding the items one by one
// would give, whatever the texts' case, letters and repeats; and it is the order the user's
// language gives names.
#include <QLocale>
#include <QTest>

#include "app/view_parts.h"

namespace vidoria::testing {

using Texts = std::vector<std::string>;

class ViewPartsTest : public QObject {
  Q_OBJECT

 private slots:
  // Each case picks its language; a list takes the default locale when it is made.
  void init() { QLocale::setDefault(QLocale::c()); }
  void cleanupTestCase() { QLocale::setDefault(QLocale::system()); }

  void SortedListFollowsTheLanguage_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<Texts>("given");
    QTest::addColumn<Texts>("shown");
    const Texts mixed{"Zoo.mp4", "apple.mp4", "Été.mp4", "Zebra.mp4", "ete.mp4", "Banana.mp4"};
    QTest::newRow("case and accents after the letters")
        << "fr_FR" << mixed
        << Texts{"apple.mp4", "Banana.mp4", "ete.mp4", "Été.mp4", "Zebra.mp4", "Zoo.mp4"};
    QTest::newRow("German umlauts among their letters")
        << "de_DE" << Texts{"Zucker.mp4", "Öl.mp4", "Apfel.mp4", "Ozon.mp4", "Äpfel.mp4"}
        << Texts{"Apfel.mp4", "Äpfel.mp4", "Öl.mp4", "Ozon.mp4", "Zucker.mp4"};
    QTest::newRow("Swedish letters after Z")
        << "sv_SE" << Texts{"Zucker.mp4", "Öl.mp4", "Apfel.mp4", "Ozon.mp4", "Äpfel.mp4"}
        << Texts{"Apfel.mp4", "Ozon.mp4", "Zucker.mp4", "Äpfel.mp4", "Öl.mp4"};
    QTest::newRow("numbers by value")
        << "en_US" << Texts{"Episode 10.mp4", "Episode 2.mp4", "Episode 1.mp4", "episode 3.mp4",
                            "Track 100.mp4",  "Track 20.mp4",  "2001.mp4",      "300.mp4"}
        << Texts{"300.mp4",       "2001.mp4",       "Episode 1.mp4", "Episode 2.mp4",
                 "episode 3.mp4", "Episode 10.mp4", "Track 20.mp4",  "Track 100.mp4"};
    QTest::newRow("equal numbers by their digits")
        << "en_US" << Texts{"1.mp4", "001.mp4", "01.mp4", "1.mp4"}
        << Texts{"001.mp4", "01.mp4", "1.mp4", "1.mp4"};
    QTest::newRow("no language: by character codes")
        << "C" << mixed
        << Texts{"Banana.mp4", "Zebra.mp4", "Zoo.mp4", "apple.mp4", "ete.mp4", "Été.mp4"};
  }
  void SortedListFollowsTheLanguage() {
    QFETCH(QString, locale);
    QFETCH(Texts, given);
    QFETCH(Texts, shown);
    QLocale::setDefault(QLocale(locale));
    CheckList rebuilt(/*sorted=*/true);
    rebuilt.SetItems(given);
    QCOMPARE(rebuilt.Texts(), shown);
    // Again from the kept keys, with the list not empty.
    rebuilt.SetItems(Texts(given.rbegin(), given.rend()));
    QCOMPARE(rebuilt.Texts(), shown);
    // A new folder or user lands in its place.
    CheckList oneByOne(/*sorted=*/true);
    for (const std::string& text : given) oneByOne.AddItem(text);
    QCOMPARE(oneByOne.Texts(), shown);
  }

  void RebuildOrdersAsItemsAddedOneByOne_data() {
    QTest::addColumn<bool>("sorted");
    QTest::addColumn<QString>("locale");
    QTest::newRow("sorted") << true << "C";
    // Numbers by value make texts the collation holds equal ("01.mp4", "1.mp4").
    QTest::newRow("sorted in French") << true << "fr_FR";
    QTest::newRow("in given order") << false << "C";
  }
  void RebuildOrdersAsItemsAddedOneByOne() {
    QFETCH(bool, sorted);
    QFETCH(QString, locale);
    QLocale::setDefault(QLocale(locale));
    const std::vector<std::string> texts{
        "b.mp4",  "B.mp4",    "a.mp4",      "Été.mp4", "ete.mp4", "10.mp4", "9.mp4", "b.mp4",
        "_x.mp4", "東京.mp4", "Zürich.mp4", "",        "1.mp4",   "01.mp4", "É.mp4", "E\u0301.mp4"};
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
