// The navigation tree's actions and the playlist operations behind the window's buttons and
// drops.
#include <algorithm>
#include <iterator>
#include <utility>

#include "app/main_window.h"
#include "library/table_layouts.h"
#include "playlists/playlist_rename.h"

namespace vidoria {

void MainWindow::ConnectNavigation() {
  connect(tree_, &NavTree::SelectionChanged, this, &MainWindow::SelectionChanged);
  connect(tree_, &NavTree::Clicked, this, &MainWindow::ClickAction);
  connect(tree_, &NavTree::DoubleClicked, this, &MainWindow::Rename);
  connect(tree_, &NavTree::EntriesDropped, this, &MainWindow::DropEntries);
  connect(tree_, &NavTree::PathsDropped, this, &MainWindow::QueuePaths);
}

void MainWindow::ConnectPlaylists() {
  for (QToolButton* button :
       {library_->createPlaylist, playlist_->createPlaylist, status_->createPlaylist}) {
    connect(button, &QToolButton::clicked, this, &MainWindow::CreatePlaylist);
  }
  connect(status_->removePlaylist, &QToolButton::clicked, this,
          &MainWindow::DeleteSelectedPlaylist);
  connect(playlist_->remove, &QToolButton::clicked, this, &MainWindow::RemoveFromPlaylist);
}

void MainWindow::SelectionChanged() {
  tree_->ExpandSections();
  ClickAction();
}

void MainWindow::ClickAction() {
  const QString title = tree_->SelectedTitle();
  engine_->Status().Clear();
  library_->title->setText(title);
  playlist_->title->setText(title);
  status_->createPlaylist->hide();
  status_->removePlaylist->hide();

  std::string filter;
  if (title == QStringLiteral("LIBRARY")) filter = "_";
  if (title == QStringLiteral("Movies")) filter = "MOVIE";
  if (title == QStringLiteral("TV Shows")) filter = "TV";
  engine_->SetLibraryFilter(filter);

  // Panels a title opens; tested before the playlists, so a playlist named like one opens it.
  const std::pair<QString, QWidget*> panels[] = {{QStringLiteral("Folder scan"), folders_},
                                                 {QStringLiteral("ADVANCED"), folders_},
                                                 {QStringLiteral("Streaming"), streaming_},
                                                 {QStringLiteral("Log"), log_},
                                                 {QStringLiteral("Users"), accounts_}};
  const auto panel = std::find_if(std::begin(panels), std::end(panels),
                                  [&](const auto& entry) { return entry.first == title; });

  if (!filter.empty()) {
    views_->setCurrentWidget(library_);
    status_->createPlaylist->show();
    UpdateLibraryList(/*store=*/true);
  } else if (panel != std::end(panels)) {
    views_->setCurrentWidget(panel->second);
    engine_->Status().Clear();
  } else if (title == QStringLiteral("PLAYLISTS")) {
    status_->createPlaylist->show();
    views_->setCurrentWidget(playlist_);
    UpdatePlaylistList("");
  } else {
    const std::string name = title.toStdString();
    const Table& playlists = engine_->PlaylistTable();
    for (int row = 0; row < playlists.RowCount(); ++row) {
      if (playlists.Cell(PlaylistColumn::kName, row) != name) continue;
      views_->setCurrentWidget(playlist_);
      status_->createPlaylist->show();
      status_->removePlaylist->show();
      UpdatePlaylistList(name);
      break;  // every matching row lists the same items: the listing takes all rows of the name
    }
  }
  RefreshStatus();
}

void MainWindow::Rename(QTreeWidgetItem* item) {
  if (!tree_->IsPlaylist(item)) return;
  const QString oldName = item->text(0);
  if (!RenamablePlaylist(oldName.toStdString())) return;
  QString newName = oldName;
  if (!dialogs_.AskText(QStringLiteral("Rename playlist"), QString(), newName)) newName = oldName;
  switch (engine_->RenamePlaylist(oldName.toStdString(), newName.toStdString())) {
    case RenameOutcome::kRenamed:
      item->setText(0, newName);
      playlist_->title->setText(newName);
      break;
    case RenameOutcome::kEmpty:
      dialogs_.ShowError(QStringLiteral("A playlist needs a name."));
      break;
    case RenameOutcome::kTaken:
      dialogs_.ShowError(QStringLiteral("Another playlist is already named \"%1\".").arg(newName));
      break;
    case RenameOutcome::kLineBreak:
      dialogs_.ShowError(QStringLiteral("A playlist name cannot contain a line break."));
      break;
    case RenameOutcome::kNotRenamable:
    case RenameOutcome::kReserved:
      break;
  }
  RefreshStatus();
}

std::vector<std::string> MainWindow::SelectedEntries() const {
  std::vector<std::string> selected = library_->list->Selected();
  for (std::string& item : playlist_->list->Selected()) selected.push_back(std::move(item));
  return selected;
}

void MainWindow::DropEntries(DropNode node, const QString& nodeText) {
  if (auto created = engine_->DropOnTree(node, nodeText.toStdString(), SelectedEntries())) {
    tree_->AddPlaylist(QString::fromStdString(*created));
  }
  RefreshStatus();
}

void MainWindow::CreatePlaylist() {
  const std::string name = engine_->CreatePlaylist(SelectedEntries());
  tree_->AddPlaylist(QString::fromStdString(name));
  RefreshStatus();
}

void MainWindow::DeleteSelectedPlaylist() {
  QTreeWidgetItem* item = tree_->currentItem();
  if (tree_->IsPlaylist(item) &&
      !dialogs_.AskYesNo(
          QStringLiteral("Remove the playlist \"%1\"? Its videos stay in the library.")
              .arg(item->text(0)))) {
    return;
  }
  if (tree_->IsPlaylist(item) && engine_->DeletePlaylist(item->text(0).toStdString())) {
    tree_->SelectQuietly(tree_->Playlists());
    delete item;
  }
  tree_->SelectQuietly(tree_->Playlists());
  tree_->setFocus();
  ClickAction();
}

void MainWindow::RemoveFromPlaylist() {
  QTreeWidgetItem* item = tree_->currentItem();
  std::string scope;
  if (tree_->IsPlaylist(item)) {
    scope = item->text(0).toStdString();
  } else if (item != tree_->Playlists()) {
    return;
  }
  const std::vector<std::string> items = playlist_->list->CheckedOrSelected();
  if (scope.empty() && tree_->IsPlaylist(item)) return;  // a nameless playlist holds nothing
  engine_->RemoveFromPlaylist(scope, items);
  RefreshStatus();
}

}  // namespace vidoria
