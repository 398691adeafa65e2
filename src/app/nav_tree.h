// The navigation tree: LIBRARY (Movies, TV Shows), ADVANCED (Streaming, Folder scan, Log, Users)
// and PLAYLISTS with one child per playlist. It reports clicks, selection changes, double-clicks
// and drops; what they do is the window's.
#pragma once

#include <QTreeWidget>
#include <string>
#include <vector>

#include "playlists/tree_drop.h"

namespace vidoria {

// Main thread only. Node titles are read-only for the user; they change only through the
// window (playlists added, removed, renamed).
class NavTree : public QTreeWidget {
  Q_OBJECT

 public:
  explicit NavTree(QWidget* parent = nullptr);

  QTreeWidgetItem* Library() const { return library_; }
  QTreeWidgetItem* Advanced() const { return advanced_; }
  QTreeWidgetItem* Playlists() const { return playlists_; }
  // The first node titled `title` (any depth), or null.
  QTreeWidgetItem* Find(const QString& title) const;
  // The child of PLAYLISTS titled `name`, or null.
  QTreeWidgetItem* FindPlaylist(const QString& name) const;
  QTreeWidgetItem* AddPlaylist(const QString& name);  // scrolled into view
  bool IsPlaylist(const QTreeWidgetItem* item) const;
  // The selected node's title, "" when none.
  QString SelectedTitle() const;
  // What a drop onto `item` (null: no node there) means.
  DropNode Classify(const QTreeWidgetItem* item) const;
  // Selects `item` without reporting a selection change, so the caller decides what follows.
  void SelectQuietly(QTreeWidgetItem* item);
  void ExpandSections();

 signals:
  void SelectionChanged();
  // A click on the node that was already selected (a click that selects a node reports
  // SelectionChanged only).
  void Clicked();
  void DoubleClicked(QTreeWidgetItem* item);
  // Entries of the window's lists dropped on a node.
  void EntriesDropped(DropNode node, const QString& nodeText);
  // Files or folders from the desktop dropped on the tree.
  void PathsDropped(const std::vector<std::string>& paths);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  QTreeWidgetItem* library_;
  QTreeWidgetItem* advanced_;
  QTreeWidgetItem* playlists_;
  QTreeWidgetItem* beforePress_ = nullptr;
  bool quiet_ = false;
};

// The local paths of the file URLs in `mime`, blank ones left out.
std::vector<std::string> DroppedPaths(const class QMimeData* mime);

}  // namespace vidoria
