#include "app/log_lines_model.h"

#include <algorithm>

namespace vidoria {

LogLinesModel::LogLinesModel(size_t keptLines, QObject* parent)
    : QAbstractListModel(parent), keptLines_(keptLines) {}

void LogLinesModel::Append(const QStringList& lines) {
  if (lines.isEmpty() || keptLines_ == 0) return;
  // Of a batch longer than the bound only its newest lines could stay.
  const qsizetype skipped =
      std::max<qsizetype>(0, lines.size() - static_cast<qsizetype>(keptLines_));
  const size_t adding = static_cast<size_t>(lines.size() - skipped);
  const size_t total = lines_.size() + adding;
  if (total > keptLines_) {
    const int dropped = static_cast<int>(total - keptLines_);
    beginRemoveRows(QModelIndex(), 0, dropped - 1);
    lines_.erase(lines_.begin(), lines_.begin() + dropped);
    endRemoveRows();
  }
  const int first = static_cast<int>(lines_.size());
  beginInsertRows(QModelIndex(), first, first + static_cast<int>(adding) - 1);
  for (qsizetype i = skipped; i < lines.size(); ++i) lines_.push_back(lines[i]);
  endInsertRows();
}

int LogLinesModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(lines_.size());
}

QVariant LogLinesModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  if (role == Qt::DisplayRole || role == Qt::ToolTipRole) return Line(index.row());
  return {};
}

}  // namespace vidoria
