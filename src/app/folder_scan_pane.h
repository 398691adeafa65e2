// The Folder scan view: the watched folders and the periodic rescan's switch and interval. It
// holds controls only; the window connects them.
#pragma once

#include <QCheckBox>
#include <QSpinBox>
#include <QToolButton>
#include <QWidget>

#include "app/view_parts.h"

namespace vidoria {

// Main thread only. The child widgets are owned by the view and live as long as it does.
class FolderScanPane : public QWidget {
  Q_OBJECT

 public:
  explicit FolderScanPane(QWidget* parent = nullptr);

  TitleBar* title;
  CheckList* folders;  // sorted
  QToolButton* addFolder;
  QToolButton* remove;  // removes the checked or selected watched folders
  QCheckBox* autoscan;
  QSpinBox* minutes;  // 5 to 1440, step 5
  QToolButton* help;
};

}  // namespace vidoria
