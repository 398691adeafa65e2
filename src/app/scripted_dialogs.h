// Dialogs for tests: nothing is shown; every call is recorded and answered from a queue.
#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <vector>

#include "app/dialogs.h"

namespace vidoria {

// Main thread only (like the window that calls it). Answers are taken in the order queued, one
// queue per kind of question. A question whose queue is empty gets the Cancel / No answer and
// is marked unanswered, so a test can tell a forgotten answer from a deliberate No.
class ScriptedDialogs : public Dialogs {
 public:
  enum class Kind { kMessage, kError, kYesNo, kText, kFiles, kFolder };

  struct Shown {
    Kind kind;
    QString text;          // message, error or question text; the prompt of a text input
    QString title;         // text input and file dialogs
    QString initial;       // text input: initial text; file dialogs: start folder
    QString filter;        // file dialog
    bool answered = true;  // false when its queue was empty
    bool hidden = false;   // text input: what is typed is not shown
  };

  void QueueYesNo(bool yes) { yesNo_.push_back(yes); }
  // The text entered and OK; QueueTextCancel for Cancel.
  void QueueText(QString text) { texts_.push_back({true, std::move(text)}); }
  void QueueTextCancel() { texts_.push_back({false, {}}); }
  void QueueFiles(QStringList files) { files_.push_back(std::move(files)); }
  void QueueFolder(QString folder) { folders_.push_back(std::move(folder)); }

  // Everything asked so far, oldest first.
  const std::vector<Shown>& Log() const { return shown_; }
  // Forgets what was shown (the queues stay).
  void ClearLog() { shown_.clear(); }
  // True when every queued answer was used.
  bool AllAnswersUsed() const;

  void ShowMessage(const QString& text) override;
  void ShowError(const QString& text) override;
  bool AskYesNo(const QString& text) override;
  bool AskText(const QString& title, const QString& prompt, QString& text,
               Echo echo = Echo::kShown) override;
  QStringList ChooseFiles(const QString& title, const QString& startFolder,
                          const QString& filter) override;
  QString ChooseFolder(const QString& title, const QString& startFolder) override;

 private:
  std::vector<Shown> shown_;
  std::deque<bool> yesNo_;
  struct TextAnswer {
    bool ok = false;
    QString text;
  };
  std::deque<TextAnswer> texts_;
  std::deque<QStringList> files_;
  std::deque<QString> folders_;
};

}  // namespace vidoria
