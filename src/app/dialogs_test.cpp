#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "app/qt_dialogs.h"
#include "app/scripted_dialogs.h"

namespace vidoria {
namespace {

constexpr int kWaitMs = 30000;

// Answers the next modal dialog as soon as it is open: polls the event loop until a modal
// widget of type T appears, then hands it to `answer`. Tests fail (not hang) if none comes.
template <typename T>
void AnswerNextModal(std::function<void(T*)> answer, bool* done) {
  auto* timer = new QTimer;
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, answer, done] {
    T* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
    if (dialog == nullptr || !dialog->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    answer(dialog);
    *done = true;
  });
  timer->start();
}

}  // namespace

class DialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void ScriptedAnswersInQueueOrderAndRecordsQuestions() {
    ScriptedDialogs dialogs;
    dialogs.QueueYesNo(true);
    dialogs.QueueYesNo(false);
    dialogs.QueueText(QStringLiteral("Road trip"));
    dialogs.QueueTextCancel();
    dialogs.QueueFiles({QStringLiteral("/v/a.mp4"), QStringLiteral("/v/b.mp4")});
    dialogs.QueueFolder(QStringLiteral("/v/"));

    QVERIFY(dialogs.AskYesNo(QStringLiteral("first")));
    QVERIFY(!dialogs.AskYesNo(QStringLiteral("second")));
    QString name = QStringLiteral("Favorites");
    QVERIFY(dialogs.AskText(QStringLiteral("Rename playlist"), QString(), name));
    QCOMPARE(name, QStringLiteral("Road trip"));
    QVERIFY(!dialogs.AskText(QStringLiteral("Rename playlist"), QString(), name));
    QCOMPARE(name, QStringLiteral("Road trip"));
    QCOMPARE(dialogs.ChooseFiles(QStringLiteral("Select File(s)"), QStringLiteral("/home/"),
                                 QStringLiteral("MP4|*.mp4")),
             QStringList({QStringLiteral("/v/a.mp4"), QStringLiteral("/v/b.mp4")}));
    QCOMPARE(dialogs.ChooseFolder(QStringLiteral("Select folder"), QString()),
             QStringLiteral("/v/"));
    dialogs.ShowError(QStringLiteral("broken"));
    QVERIFY(dialogs.AllAnswersUsed());

    const auto& log = dialogs.Log();
    QCOMPARE(log.size(), size_t{7});
    QVERIFY(log[0].kind == ScriptedDialogs::Kind::kYesNo);
    QCOMPARE(log[1].text, QStringLiteral("second"));
    QCOMPARE(log[2].title, QStringLiteral("Rename playlist"));
    QCOMPARE(log[2].initial, QStringLiteral("Favorites"));
    QCOMPARE(log[4].filter, QStringLiteral("MP4|*.mp4"));
    QCOMPARE(log[4].initial, QStringLiteral("/home/"));
    QVERIFY(log[5].kind == ScriptedDialogs::Kind::kFolder);
    QVERIFY(log[6].kind == ScriptedDialogs::Kind::kError);
    for (const auto& shown : log) QVERIFY(shown.answered);
  }

  void ScriptedWithoutAnswerSaysNoAndMarksIt() {
    ScriptedDialogs dialogs;
    QVERIFY(!dialogs.AskYesNo(QStringLiteral("scan?")));
    QCOMPARE(dialogs.ChooseFiles(QString(), QString(), QString()), QStringList());
    dialogs.ShowMessage(QStringLiteral("hello"));
    QCOMPARE(dialogs.Log().size(), size_t{3});
    QVERIFY(!dialogs.Log()[0].answered);
    QVERIFY(!dialogs.Log()[1].answered);
    QVERIFY(dialogs.Log()[2].answered);  // a message needs no answer
  }

  void NameFiltersReadPipeSeparatedPairs() {
    QCOMPARE(QtDialogs::NameFilters(QStringLiteral("MP4|*.mp4")),
             QStringList({QStringLiteral("MP4 (*.mp4)")}));
    QCOMPARE(QtDialogs::NameFilters(QStringLiteral("Videos|*.mp4;*.m4v|All|*")),
             QStringList({QStringLiteral("Videos (*.mp4 *.m4v)"), QStringLiteral("All (*)")}));
    QCOMPARE(QtDialogs::NameFilters(QString()), QStringList());
  }

  void QuestionShowsLinesAndAnswersYesNoOrClosed() {
    QWidget window;
    QtDialogs dialogs(&window);
    const QString question = QStringLiteral(
        "Do you want to your default\rMy Documents and My Video folders\r"
        "scanned for compatible files?\r");
    QString shownText;
    bool done = false;
    AnswerNextModal<QMessageBox>(
        [&](QMessageBox* box) {
          shownText = box->text();
          box->button(QMessageBox::Yes)->click();
        },
        &done);
    QVERIFY(dialogs.AskYesNo(question));
    QVERIFY(done);
    QCOMPARE(shownText, QStringLiteral("Do you want to your default\nMy Documents and My Video "
                                       "folders\nscanned for compatible files?\n"));

    AnswerNextModal<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::No)->click(); },
                                 &done);
    QVERIFY(!dialogs.AskYesNo(question));
    AnswerNextModal<QMessageBox>([](QMessageBox* box) { box->reject(); }, &done);
    QVERIFY(!dialogs.AskYesNo(question));
  }

  void ErrorBoxIsCriticalWithOk() {
    QtDialogs dialogs(nullptr);
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool done = false;
    AnswerNextModal<QMessageBox>(
        [&](QMessageBox* box) {
          icon = box->icon();
          box->button(QMessageBox::Ok)->click();
        },
        &done);
    dialogs.ShowError(QStringLiteral("Error starting WebServer!\r\nEWinSockException>x"));
    QVERIFY(done);
    QCOMPARE(icon, QMessageBox::Critical);
  }

  void TextInputReturnsTextOrNothingOnCancel() {
    QtDialogs dialogs(nullptr);
    QString initial;
    bool done = false;
    AnswerNextModal<QInputDialog>(
        [&](QInputDialog* input) {
          initial = input->textValue();
          input->setTextValue(QStringLiteral("Road trip"));
          input->accept();
        },
        &done);
    QString name = QStringLiteral("Favorites");
    QVERIFY(dialogs.AskText(QStringLiteral("Rename playlist"), QString(), name));
    QCOMPARE(initial, QStringLiteral("Favorites"));
    QCOMPARE(name, QStringLiteral("Road trip"));

    AnswerNextModal<QInputDialog>(
        [](QInputDialog* input) {
          input->setTextValue(QStringLiteral("typed, then cancelled"));
          input->reject();
        },
        &done);
    QVERIFY(!dialogs.AskText(QStringLiteral("Rename playlist"), QString(), name));
    QCOMPARE(name, QStringLiteral("Road trip"));
  }

  void FileDialogsFilterAndReturnChoices() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString movie = dir.filePath(QStringLiteral("Holiday.mp4"));
    QFile file(movie);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    QtDialogs dialogs(nullptr);
    QStringList filters;
    bool several = false;
    bool done = false;
    AnswerNextModal<QFileDialog>(
        [&](QFileDialog* files) {
          filters = files->nameFilters();
          several = files->fileMode() == QFileDialog::ExistingFiles;
          files->selectFile(movie);
          static_cast<QDialog*>(files)->accept();
        },
        &done);
    QCOMPARE(dialogs.ChooseFiles(QStringLiteral("Select File(s)"), dir.path(),
                                 QStringLiteral("MP4|*.mp4")),
             QStringList({movie}));
    QCOMPARE(filters, QStringList({QStringLiteral("MP4 (*.mp4)")}));
    QVERIFY(several);

    AnswerNextModal<QFileDialog>(
        [&](QFileDialog* folders) {
          folders->selectFile(dir.path());
          static_cast<QDialog*>(folders)->accept();
        },
        &done);
    QCOMPARE(
        dialogs.ChooseFolder(QStringLiteral("Select folder containing video files"), dir.path()),
        dir.path());

    AnswerNextModal<QFileDialog>([](QFileDialog* folders) { folders->reject(); }, &done);
    QCOMPARE(dialogs.ChooseFolder(QStringLiteral("Select folder"), dir.path()), QString());
  }

  void WindowDeletedWhileBoxIsOpenCountsAsNo() {
    auto* window = new QWidget;
    QtDialogs dialogs(window);
    bool done = false;
    AnswerNextModal<QMessageBox>([window](QMessageBox*) { delete window; }, &done);
    QVERIFY(!dialogs.AskYesNo(QStringLiteral("still there?")));
    QVERIFY(done);
  }
};

}  // namespace vidoria

QTEST_MAIN(vidoria::DialogsTest)
#include "dialogs_test.moc"
