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
  search->setMaximumWidth(140);
  stop = ActionButton(QStringLiteral("Stop"), QStyle::SP_MediaStop, this);
  stop->setEnabled(false);
  play = ActionButton(QStringLiteral("Play"), QStyle::SP_MediaPlay, this);
  help = ActionButton(QStringLiteral("Help"), QStyle::SP_DialogHelpButton, this);

  auto* bar = new QHBoxLayout;
  for (QWidget* widget : {static_cast<QWidget*>(createPlaylist), static_cast<QWidget*>(addFile),
                          static_cast<QWidget*>(addFolder), static_cast<QWidget*>(remove),
                          static_cast<QWidget*>(enableStreaming), static_cast<QWidget*>(search)}) {
    bar->addWidget(widget);
  }
  bar->addStretch();
  bar->addWidget(stop);
  bar->addWidget(play);
  bar->addWidget(help);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(title);
  layout->addWidget(list, 1);
  layout->addLayout(bar);
}

}  // namespace vidoria
