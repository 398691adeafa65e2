#include "app/folder_scan_pane.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "library/settings.h"

namespace vidoria {

FolderScanPane::FolderScanPane(QWidget* parent) : QWidget(parent) {
  title = new TitleBar(QStringLiteral("Autoscan folders"), this);
  folders = new CheckList(/*sorted=*/true, this);
  folders->setDragEnabled(false);
  addFolder = ActionButton(QStringLiteral("Add folder to library"), QStyle::SP_DirIcon, this);
  remove = ActionButton(QStringLiteral("Remove from library."), QStyle::SP_TrashIcon, this);
  autoscan = new QCheckBox(QStringLiteral("Scan folders every"), this);
  minutes = new QSpinBox(this);
  minutes->setRange(kMinScanMinutes, kMaxScanMinutes);
  minutes->setSingleStep(5);
  minutes->setValue(5);
  help = ActionButton(QStringLiteral("Help"), QStyle::SP_DialogHelpButton, this);

  LayOutListView(this, title, folders, {addFolder, remove},
                 {autoscan, minutes, new QLabel(QStringLiteral(" minutes "), this), help});
}

}  // namespace vidoria
