// The dialogs of the running program: Qt's message boxes, input dialog and file dialogs.
#pragma once

#include <QPointer>
#include <QWidget>

#include "app/dialogs.h"

namespace vidoria {

// Each call opens a modal dialog owned by `parent` (the main window; may be null) and runs its
// own event loop until it is answered or closed. A dialog closed from outside (QuitOnSignal
// rejects every modal widget) answers like Cancel / No.
class QtDialogs : public Dialogs {
 public:
  explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}
  // The owner of the dialogs opened from now on (the window is made after its dialogs).
  void SetParent(QWidget* parent) { parent_ = parent; }

  void ShowMessage(const QString& text) override;
  void ShowError(const QString& text) override;
  bool AskYesNo(const QString& text) override;
  bool AskText(const QString& title, const QString& prompt, QString& text,
               Echo echo = Echo::kShown) override;
  QStringList ChooseFiles(const QString& title, const QString& startFolder,
                          const QString& filter) override;
  QString ChooseFolder(const QString& title, const QString& startFolder) override;

  // "MP4|*.mp4|All|*" as Qt's name filters: "MP4 (*.mp4)", "All (*)".
  static QStringList NameFilters(const QString& filter);
  // CR LF and lone CR become LF.
  static QString Lines(const QString& text);

 private:
  QPointer<QWidget> parent_;
};

}  // namespace vidoria
