#include "app/playlist_pane.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace vidoria {

PlaylistPane::PlaylistPane(QWidget* parent) : QWidget(parent) {
  title = new TitleBar(QStringLiteral("Playlists"), this);
  list = new CheckList(/*sorted=*/false, this);
  createPlaylist =
      ActionButton(QStringLiteral("Create a playlist."), QStyle::SP_FileDialogNewFolder, this);
  remove =
      ActionButton(QStringLiteral("Remove from playlist."), QStyle::SP_DialogDiscardButton, this);
  enableStreaming =
      ActionButton(QStringLiteral("Enable streaming for PC"), QStyle::SP_BrowserReload, this);
  stop = ActionButton(QStringLiteral("Stop"), QStyle::SP_MediaStop, this);
  stop->setEnabled(false);
  play = ActionButton(QStringLiteral("Play"), QStyle::SP_MediaPlay, this);
  help = ActionButton(QStringLiteral("Help"), QStyle::SP_DialogHelpButton, this);

  auto* bar = new QHBoxLayout;
  bar->addWidget(createPlaylist);
  bar->addWidget(remove);
  bar->addWidget(enableStreaming);
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
