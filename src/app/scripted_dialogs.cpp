#include "app/scripted_dialogs.h"

namespace vidoria {

namespace {

// The next queued answer, or `none` (and `answered` cleared) when the queue is empty.
template <typename T>
T Next(std::deque<T>& queue, T none, bool& answered) {
  if (queue.empty()) {
    answered = false;
    return none;
  }
  T answer = std::move(queue.front());
  queue.pop_front();
  return answer;
}

}  // namespace

bool ScriptedDialogs::AllAnswersUsed() const {
  return yesNo_.empty() && texts_.empty() && files_.empty() && folders_.empty();
}

void ScriptedDialogs::ShowMessage(const QString& text) {
  shown_.push_back({Kind::kMessage, text, {}, {}, {}});
}

void ScriptedDialogs::ShowError(const QString& text) {
  shown_.push_back({Kind::kError, text, {}, {}, {}});
}

bool ScriptedDialogs::AskYesNo(const QString& text) {
  shown_.push_back({Kind::kYesNo, text, {}, {}, {}});
  return Next(yesNo_, false, shown_.back().answered);
}

bool ScriptedDialogs::AskText(const QString& title, const QString& prompt, QString& text,
                              Echo echo) {
  shown_.push_back({Kind::kText, prompt, title, text, {}, true, echo == Echo::kHidden});
  const TextAnswer answer = Next(texts_, TextAnswer(), shown_.back().answered);
  if (answer.ok) text = answer.text;
  return answer.ok;
}

QStringList ScriptedDialogs::ChooseFiles(const QString& title, const QString& startFolder,
                                         const QString& filter) {
  shown_.push_back({Kind::kFiles, {}, title, startFolder, filter});
  return Next(files_, QStringList(), shown_.back().answered);
}

QString ScriptedDialogs::ChooseFolder(const QString& title, const QString& startFolder) {
  shown_.push_back({Kind::kFolder, {}, title, startFolder, {}});
  return Next(folders_, QString(), shown_.back().answered);
}

}  // namespace vidoria
