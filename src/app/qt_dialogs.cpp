#include "app/qt_dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

#include <algorithm>

namespace vidoria {

namespace {

// Dialogs live on the heap with the window as parent and are watched with a QPointer: should
// the window be deleted while a dialog's loop runs, the dialog goes with it and counts as
// cancelled, instead of being deleted twice.
template <typename Dialog, typename Answer, typename Read>
Answer Run(Dialog* created, Answer cancelled, Read read) {
  QPointer<Dialog> dialog(created);
  const int result = dialog->exec();
  if (dialog.isNull()) return cancelled;
  Answer answer = result == QDialog::Rejected ? cancelled : read(*dialog, result);
  delete dialog.data();
  return answer;
}

int RunBox(QWidget* parent, QMessageBox::Icon icon, const QString& text,
           QMessageBox::StandardButtons buttons) {
  auto* box = new QMessageBox(icon, QApplication::applicationDisplayName(), QtDialogs::Lines(text),
                              buttons, parent);
  return Run(box, int{QMessageBox::NoButton}, [](QMessageBox&, int result) { return result; });
}

}  // namespace

void QtDialogs::ShowMessage(const QString& text) {
  RunBox(parent_, QMessageBox::Information, text, QMessageBox::Ok);
}

void QtDialogs::ShowError(const QString& text) {
  RunBox(parent_, QMessageBox::Critical, text, QMessageBox::Ok);
}

bool QtDialogs::AskYesNo(const QString& text) {
  return RunBox(parent_, QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No) ==
         QMessageBox::Yes;
}

bool QtDialogs::AskText(const QString& title, const QString& prompt, QString& text, Echo echo) {
  auto* dialog = new QInputDialog(parent_);
  dialog->setWindowTitle(title);
  // A box without words beside its field leaves the user guessing; and a window manager cuts a
  // title longer than the box.
  dialog->setLabelText(prompt.isEmpty() ? title : prompt);
  dialog->setTextEchoMode(echo == Echo::kHidden ? QLineEdit::Password : QLineEdit::Normal);
  dialog->setMinimumWidth(std::max(360, dialog->fontMetrics().horizontalAdvance(title) + 160));
  dialog->setTextValue(text);
  return Run(dialog, false, [&text](QInputDialog& input, int) {
    text = input.textValue();
    return true;
  });
}

QStringList QtDialogs::ChooseFiles(const QString& title, const QString& startFolder,
                                   const QString& filter) {
  auto* dialog = new QFileDialog(parent_, title, startFolder);
  dialog->setFileMode(QFileDialog::ExistingFiles);
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  dialog->setNameFilters(NameFilters(filter));
  return Run(dialog, QStringList(), [](QFileDialog& files, int) { return files.selectedFiles(); });
}

QString QtDialogs::ChooseFolder(const QString& title, const QString& startFolder) {
  auto* dialog = new QFileDialog(parent_, title, startFolder);
  dialog->setFileMode(QFileDialog::Directory);
  dialog->setOption(QFileDialog::ShowDirsOnly);
  return Run(dialog, QString(), [](QFileDialog& folders, int) {
    const QStringList chosen = folders.selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.constFirst();
  });
}

QStringList QtDialogs::NameFilters(const QString& filter) {
  const QStringList parts = filter.split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    filters << parts[i] + QStringLiteral(" (") + patterns + QLatin1Char(')');
  }
  return filters;
}

QString QtDialogs::Lines(const QString& text) {
  QString lines = text;
  lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return lines;
}

}  // namespace vidoria
