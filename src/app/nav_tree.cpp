#include "app/nav_tree.h"

#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QUrl>

namespace vidoria {

namespace {

QTreeWidgetItem* Node(const QString& title, QTreeWidgetItem* parent = nullptr) {
  auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem;
  item->setText(0, title);
  return item;
}

}  // namespace

NavTree::NavTree(QWidget* parent) : QTreeWidget(parent) {
  setHeaderHidden(true);
  setColumnCount(1);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setAcceptDrops(true);
  setDropIndicatorShown(true);
  setExpandsOnDoubleClick(false);
  library_ = Node(QStringLiteral("LIBRARY"));
  Node(QStringLiteral("Movies"), library_);
  Node(QStringLiteral("TV Shows"), library_);
  advanced_ = Node(QStringLiteral("ADVANCED"));
  Node(QStringLiteral("Streaming"), advanced_);
  Node(QStringLiteral("Folder scan"), advanced_);
  Node(QStringLiteral("Log"), advanced_);
  Node(QStringLiteral("Users"), advanced_);
  playlists_ = Node(QStringLiteral("PLAYLISTS"));
  addTopLevelItems({library_, advanced_, playlists_});
  ExpandSections();

  connect(this, &QTreeWidget::currentItemChanged, this, [this] {
    if (!quiet_) emit SelectionChanged();
  });
  connect(this, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
    if (item == beforePress_) emit Clicked();
  });
  connect(this, &QTreeWidget::itemDoubleClicked, this,
          [this](QTreeWidgetItem* item) { emit DoubleClicked(item); });
}

QTreeWidgetItem* NavTree::Find(const QString& title) const {
  const auto found =
      findItems(title, Qt::MatchExactly | Qt::MatchCaseSensitive | Qt::MatchRecursive);
  return found.isEmpty() ? nullptr : found.first();
}

QTreeWidgetItem* NavTree::FindPlaylist(const QString& name) const {
  for (int i = 0; i < playlists_->childCount(); ++i) {
    if (playlists_->child(i)->text(0) == name) return playlists_->child(i);
  }
  return nullptr;
}

QTreeWidgetItem* NavTree::AddPlaylist(const QString& name) {
  QTreeWidgetItem* item = Node(name, playlists_);
  playlists_->setExpanded(true);
  scrollToItem(item);
  return item;
}

bool NavTree::IsPlaylist(const QTreeWidgetItem* item) const {
  return item != nullptr && item->parent() == playlists_;
}

QString NavTree::SelectedTitle() const {
  const QTreeWidgetItem* item = currentItem();
  return item ? item->text(0) : QString();
}

DropNode NavTree::Classify(const QTreeWidgetItem* item) const {
  if (item == nullptr) return DropNode::kNone;
  if (item == playlists_) return DropNode::kPlaylists;
  if (IsPlaylist(item)) return DropNode::kPlaylist;
  if (item->parent() == library_ && item->text(0) == QStringLiteral("Movies")) {
    return DropNode::kMovies;
  }
  if (item->parent() == library_ && item->text(0) == QStringLiteral("TV Shows")) {
    return DropNode::kTvShows;
  }
  return DropNode::kOther;
}

void NavTree::SelectQuietly(QTreeWidgetItem* item) {
  quiet_ = true;
  setCurrentItem(item);
  quiet_ = false;
}

void NavTree::ExpandSections() {
  for (QTreeWidgetItem* section : {library_, playlists_, advanced_}) {
    section->setExpanded(true);
    for (int i = 0; i < section->childCount(); ++i) section->child(i)->setExpanded(true);
  }
}

void NavTree::mousePressEvent(QMouseEvent* event) {
  beforePress_ = currentItem();
  QTreeWidget::mousePressEvent(event);
}

// The tree accepts every drag, always as a copy: a move would make the list that the entries
// came from delete them.
void NavTree::dragEnterEvent(QDragEnterEvent* event) {
  event->setDropAction(Qt::CopyAction);
  event->accept();
}

void NavTree::dragMoveEvent(QDragMoveEvent* event) {
  event->setDropAction(Qt::CopyAction);
  event->accept();
}

void NavTree::dropEvent(QDropEvent* event) {
  event->setDropAction(Qt::CopyAction);
  event->accept();
  if (event->mimeData()->hasUrls()) {
    emit PathsDropped(DroppedPaths(event->mimeData()));
    return;
  }
  QTreeWidgetItem* item = itemAt(event->position().toPoint());
  emit EntriesDropped(Classify(item), item ? item->text(0) : QString());
}

std::vector<std::string> DroppedPaths(const QMimeData* mime) {
  std::vector<std::string> paths;
  for (const QUrl& url : mime->urls()) {
    if (!url.isLocalFile()) continue;
    const QString path = url.toLocalFile();
    if (!path.trimmed().isEmpty()) paths.push_back(path.toStdString());
  }
  return paths;
}

}  // namespace vidoria
