#include "app/log_pane.h"

#include <QMetaObject>
#include <QVBoxLayout>

#include "library/activity_log.h"

namespace vidoria {

LogPane::LogPane(QWidget* parent) : QWidget(parent) {
  title = new TitleBar(QStringLiteral("Log"), this);
  lines = new QListWidget(this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(title);
  layout->addWidget(lines, 1);
}

void LogPane::Append(const QString& line) {
  lines->addItem(line);
  while (lines->count() > static_cast<int>(ActivityLog::kKeptLines)) delete lines->takeItem(0);
  lines->setCurrentRow(lines->count() - 1);
}

void LogPane::Post(const std::string& line) {
  QMetaObject::invokeMethod(
      this, [this, text = QString::fromStdString(line)] { Append(text); }, Qt::QueuedConnection);
}

}  // namespace vidoria
