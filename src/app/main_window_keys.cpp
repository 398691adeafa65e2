// The desktop's ways to the window's actions: keyboard shortcuts and context menus. Each runs
// the same action as the view's button (a held button holds its shortcut and menu entry too).
#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <QShortcut>
#include <QUrl>

#include "app/main_window.h"

namespace vidoria {

namespace {

// Copies the button's state into the action, so a held button holds the menu entry.
QAction* ButtonAction(QMenu* menu, const QString& text, QToolButton* button) {
  QAction* action = menu->addAction(text, button, [button] { button->click(); });
  action->setEnabled(button->isEnabled());
  return action;
}

}  // namespace

void MainWindow::ConnectKeys() {
  const auto key = [this](const QKeySequence& sequence, auto handler) {
    auto* shortcut = new QShortcut(sequence, this);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, handler);
  };
  key(QKeySequence::HelpContents, [this] { Help(); });
  // Spelled out: a desktop theme without a Quit key sequence would leave the window without one.
  key(QKeySequence(Qt::CTRL | Qt::Key_Q), [this] { close(); });
  key(QKeySequence::Find, [this] {
    if (views_->currentWidget() != library_) tree_->setCurrentItem(tree_->Library());
    library_->search->setFocus(Qt::ShortcutFocusReason);
    library_->search->selectAll();
  });
  // A text field keeps its own Delete: the shortcut only sees the key when no field wants it.
  key(QKeySequence::Delete, [this] {
    if (tree_->hasFocus() && tree_->IsPlaylist(tree_->currentItem())) {
      status_->removePlaylist->click();
    } else if (views_->currentWidget() == library_) {
      library_->remove->click();
    } else if (views_->currentWidget() == playlist_) {
      playlist_->remove->click();
    } else if (views_->currentWidget() == folders_) {
      folders_->remove->click();
    }
  });
  key(QKeySequence(Qt::Key_F2), [this] { Rename(tree_->currentItem()); });

  // Enter, or a double-click, on a video plays it.
  for (CheckList* list : {library_->list, playlist_->list}) {
    connect(list, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
      player_->Play(engine_->PathsToPlay(item->text().toStdString()));
    });
  }

  for (CheckList* list : {library_->list, playlist_->list}) {
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list, &QWidget::customContextMenuRequested, this, [this, list](const QPoint& at) {
      // The entry under the pointer joins the selection unless it is part of it already.
      if (QListWidgetItem* item = list->itemAt(at); item && !item->isSelected()) {
        list->setCurrentItem(item, QItemSelectionModel::ClearAndSelect);
      }
      QMenu* menu = EntryMenu(list == playlist_->list);
      menu->setAttribute(Qt::WA_DeleteOnClose);
      menu->popup(list->viewport()->mapToGlobal(at));
    });
  }
  tree_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(tree_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    QTreeWidgetItem* item = tree_->itemAt(at);
    if (!tree_->IsPlaylist(item)) return;
    tree_->setCurrentItem(item);
    QMenu* menu = PlaylistNodeMenu(item);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(tree_->viewport()->mapToGlobal(at));
  });
}

QMenu* MainWindow::EntryMenu(bool fromPlaylist) {
  auto* menu = new QMenu(this);
  const std::vector<std::string> selected = SelectedEntries();
  ButtonAction(menu, QStringLiteral("Play"), fromPlaylist ? playlist_->play : library_->play);
  menu->addSeparator();
  const auto drop = [this](DropNode node, const QString& text) {
    return [this, node, text] { DropEntries(node, text); };
  };
  menu->addAction(QStringLiteral("Move to Movies"), this,
                  drop(DropNode::kMovies, QStringLiteral("Movies")))
      ->setEnabled(!selected.empty());
  menu->addAction(QStringLiteral("Move to TV Shows"), this,
                  drop(DropNode::kTvShows, QStringLiteral("TV Shows")))
      ->setEnabled(!selected.empty());
  QMenu* playlists = menu->addMenu(QStringLiteral("Add to playlist"));
  playlists->setEnabled(!selected.empty());
  for (int row = 0; row < tree_->Playlists()->childCount(); ++row) {
    const QString name = tree_->Playlists()->child(row)->text(0);
    playlists->addAction(name, this, drop(DropNode::kPlaylist, name));
  }
  menu->addSeparator();
  ButtonAction(menu, QStringLiteral("Enable streaming for PC"),
               fromPlaylist ? playlist_->enableStreaming : library_->enableStreaming);
  ButtonAction(menu, QStringLiteral("Remove"), fromPlaylist ? playlist_->remove : library_->remove);
  menu->addSeparator();
  std::vector<std::string> paths;
  if (!selected.empty()) paths = engine_->PathsToPlay(selected.front());
  QAction* open = menu->addAction(QStringLiteral("Open containing folder"), this, [this, paths] {
    const QString folder = QFileInfo(QString::fromStdString(paths.front())).absolutePath();
    openUrl(QUrl::fromLocalFile(folder));
  });
  open->setEnabled(!paths.empty());
  return menu;
}

QMenu* MainWindow::PlaylistNodeMenu(QTreeWidgetItem* item) {
  auto* menu = new QMenu(this);
  menu->addAction(QStringLiteral("Rename"), this, [this, item] { Rename(item); });
  ButtonAction(menu, QStringLiteral("Remove"), status_->removePlaylist);
  return menu;
}

}  // namespace vidoria
