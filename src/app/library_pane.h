// The library view: the library's entries for the chosen tree node, with the buttons that add,
// remove, search, play and prepare them. It holds controls only; the window connects them.
#pragma once

#include <QLineEdit>
#include <QToolButton>
#include <QWidget>

#include "app/view_parts.h"

namespace vidoria {

// Main thread only. The child widgets are owned by the view and live as long as it does.
class LibraryPane : public QWidget {
  Q_OBJECT

 public:
  explicit LibraryPane(QWidget* parent = nullptr);

  TitleBar* title;  // the selected node's title; "Library" at first
  CheckList* list;  // sorted
  QToolButton* createPlaylist;
  QToolButton* addFile;
  QToolButton* addFolder;
  QToolButton* remove;
  QToolButton* enableStreaming;
  QLineEdit* search;  // empty at first, "search" shown as its hint
  QToolButton* stop;  // disabled until the player prints its first line
  QToolButton* play;
  QToolButton* help;
};

}  // namespace vidoria
