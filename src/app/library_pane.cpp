#include "app/library_pane.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace vidoria {

LibraryPane::LibraryPane(QWidget* parent) : QWidget(parent) {
  title = new TitleBar(QStringLiteral("Library"), this);
  list = new CheckList(/*sorted=*/true, this);
  createPlaylist =
      ActionButton(QStringLiteral("Create a playlist."), QStyle::SP_FileDialogNewFolder, this);
  addFile = ActionButton(QStringLiteral("Add file to library"), QStyle::SP_FileIcon, this);
  addFolder = ActionButton(QStringLiteral("Add folder to library"), QStyle::SP_DirIcon, this);
  remove = ActionButton(QStringLiteral("Remove from library."), QStyle::SP_TrashIcon, this);
  enableStreaming =
      ActionButton(QStringLiteral("Enable streaming for PC"), QStyle::SP_BrowserReload, this);
  search = new QLineEdit(this);
  search->setPlaceholderText(QStringLiteral("search"));
  search->setObjectName(QStringLiteral("search"));
  search->setAccessibleName(QStringLiteral("Search the library"));
  search->setMaximumWidth(140);
  stop = ActionButton(QStringLiteral("Stop"), QStyle::SP_MediaStop, this);
  stop->setEnabled(false);
  play = ActionButton(QStringLiteral("Play"), QStyle::SP_MediaPlay, this);
  help = ActionButton(QStringLiteral("Help"), QStyle::SP_DialogHelpButton, this);

  LayOutListView(this, title, list,
                 {createPlaylist, addFile, addFolder, remove, enableStreaming, search},
                 {stop, play, help});
}

}  // namespace vidoria
