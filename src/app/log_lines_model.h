// The log view's lines as a model: appended in batches, the oldest dropped past a bound, so that
// adding a line costs the same with ten lines shown or ten thousand.
#pragma once

#include <QAbstractListModel>
#include <QString>
#include <QStringList>
#include <deque>

namespace vidoria {

// Main thread only (a Qt model). Rows are the lines, oldest first.
class LogLinesModel : public QAbstractListModel {
  Q_OBJECT

 public:
  explicit LogLinesModel(size_t keptLines, QObject* parent = nullptr);

  // Appends `lines` in order, then drops the oldest beyond the bound: one insertion and at most
  // one removal whatever the batch's size.
  void Append(const QStringList& lines);
  QString Line(int row) const { return lines_[static_cast<size_t>(row)]; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;

 private:
  const size_t keptLines_;
  std::deque<QString> lines_;
};

}  // namespace vidoria
