// The log view: the activity log's lines, newest last and selected.
#pragma once

#include <QListWidget>
#include <QWidget>
#include <string>

#include "app/view_parts.h"

namespace vidoria {

// Main thread only, except Post, which any thread may call (the activity log tells its listener
// on the thread that added the line): the line is appended by the view's event loop.
class LogPane : public QWidget {
  Q_OBJECT

 public:
  explicit LogPane(QWidget* parent = nullptr);

  void Append(const QString& line);
  // Any thread; a line posted while the view is being destroyed is dropped.
  void Post(const std::string& line);

  TitleBar* title;
  QListWidget* lines;
};

}  // namespace vidoria
