// The log view: the activity log's lines, newest last and selected.
#pragma once

#include <QListView>
#include <QStringList>
#include <QWidget>
#include <mutex>
#include <string>

#include "app/log_lines_model.h"
#include "app/view_parts.h"

namespace vidoria {

// Main thread only, except Post, which any thread may call (the activity log tells its listener
// on the thread that added the line). Posted lines wait and are appended together at most every
// kFlushMs, with one scroll per batch: a scan logs a line per file, the player many a second.
class LogPane : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kFlushMs = 50;

  explicit LogPane(QWidget* parent = nullptr);

  // Any thread; a line posted while the view is being destroyed is dropped.
  void Post(const std::string& line);
  // Appends what was posted now (the flush timer calls it; tests may).
  void Flush();

  int LineCount() const { return model_->rowCount(); }
  QString Line(int row) const { return model_->Line(row); }

  TitleBar* title;
  QListView* lines;

 private:
  LogLinesModel* model_;
  std::mutex pendingLock_;  // guards pending_ and flushPosted_
  QStringList pending_;
  bool flushPosted_ = false;
};

}  // namespace vidoria
