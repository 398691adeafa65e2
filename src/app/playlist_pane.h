// The playlist view: the items of the chosen playlist (or of every playlist), unsorted, with
// the buttons that edit, play and prepare them. It holds controls only; the window connects them.
#pragma once

#include <QToolButton>
#include <QWidget>

#include "app/view_parts.h"

namespace vidoria {

// Main thread only. The child widgets are owned by the view and live as long as it does.
class PlaylistPane : public QWidget {
  Q_OBJECT

 public:
  explicit PlaylistPane(QWidget* parent = nullptr);

  TitleBar* title;  // the selected node's title; "Playlists" at first
  CheckList* list;  // in slot order
  QToolButton* createPlaylist;
  QToolButton* remove;
  QToolButton* enableStreaming;
  QToolButton* stop;  // disabled until the player prints its first line
  QToolButton* play;
  QToolButton* help;
};

}  // namespace vidoria
