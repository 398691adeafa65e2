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

  auto* bar = new QHBoxLayout;
  bar->addWidget(addFolder);
  bar->addWidget(remove);
  bar->addStretch();
  bar->addWidget(autoscan);
  bar->addWidget(minutes);
  bar->addWidget(new QLabel(QStringLiteral(" minutes "), this));
  bar->addWidget(help);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(title);
  layout->addWidget(folders, 1);
  layout->addLayout(bar);
}

}  // namespace vidoria
