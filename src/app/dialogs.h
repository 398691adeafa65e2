// Every box and dialog the main window shows goes through this interface, so that tests can
// see what the window asked and answer it without a modal loop.
#pragma once

#include <QString>
#include <QStringList>

namespace vidoria {

// Texts may break lines with CR, LF or CR LF; an implementation shows each as a line break.
// Main thread only. Every call returns when the user (or the script) has answered.
class Dialogs {
 public:
  virtual ~Dialogs() = default;

  // A message with an OK button ("Please install Kelvane v3 or v4", the listen error).
  virtual void ShowMessage(const QString& text) = 0;
  // An error dialog with an OK button (a failed action, a failed address lookup).
  virtual void ShowError(const QString& text) = 0;
  // A question with Yes and No; true for Yes. Closing the box counts as No.
  virtual bool AskYesNo(const QString& text) = 0;
  // How a text input shows what is typed.
  enum class Echo { kShown, kHidden };
  // A one-line text input (renaming a playlist) showing `text` at first, `prompt` beside the
  // field (the title when `prompt` is empty). On OK: true, and `text` holds what was entered; on
  // Cancel: false, and `text` is unchanged. A password is asked with Echo::kHidden.
  virtual bool AskText(const QString& title, const QString& prompt, QString& text,
                       Echo echo = Echo::kShown) = 0;
  // Existing files to open, several selectable, starting in `startFolder`. `filter` is
  // "description|pattern[;pattern...]" pairs joined by '|' ("MP4|*.mp4"). Empty on Cancel.
  virtual QStringList ChooseFiles(const QString& title, const QString& startFolder,
                                  const QString& filter) = 0;
  // An existing folder, starting in `startFolder`. Empty on Cancel.
  virtual QString ChooseFolder(const QString& title, const QString& startFolder) = 0;
};

}  // namespace vidoria
