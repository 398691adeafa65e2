#include "app/log_pane.h"

#include <QMetaObject>
#include <QTimer>
#include <QVBoxLayout>

#include "library/activity_log.h"

namespace vidoria {

LogPane::LogPane(QWidget* parent) : QWidget(parent) {
  title = new TitleBar(QStringLiteral("Log"), this);
  model_ = new LogLinesModel(ActivityLog::kKeptLines, this);
  lines = new QListView(this);
  // One line each: the view then never measures the texts it does not show.
  lines->setUniformItemSizes(true);
  lines->setWordWrap(false);
  lines->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lines->setModel(model_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(title);
  layout->addWidget(lines, 1);
}

void LogPane::Post(const std::string& line) {
  bool post = false;
  {
    std::lock_guard lock(pendingLock_);
    pending_.append(QString::fromStdString(line));
    post = !flushPosted_;
    flushPosted_ = true;
  }
  if (!post) return;
  QMetaObject::invokeMethod(
      this, [this] { QTimer::singleShot(kFlushMs, this, &LogPane::Flush); }, Qt::QueuedConnection);
}

void LogPane::Flush() {
  QStringList batch;
  {
    std::lock_guard lock(pendingLock_);
    batch.swap(pending_);
    flushPosted_ = false;
  }
  if (batch.isEmpty()) return;
  model_->Append(batch);
  const QModelIndex last = model_->index(model_->rowCount() - 1);
  lines->setCurrentIndex(last);
  lines->scrollTo(last, QAbstractItemView::PositionAtBottom);
}

}  // namespace vidoria
