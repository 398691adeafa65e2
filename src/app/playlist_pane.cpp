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

  LayOutListView(this, title, list, {createPlaylist, remove, enableStreaming}, {stop, play, help});
}

}  // namespace vidoria
