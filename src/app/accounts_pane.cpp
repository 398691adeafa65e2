#include "app/accounts_pane.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace vidoria {

AccountsPane::AccountsPane(QWidget* parent) : QWidget(parent) {
  title = new TitleBar(QStringLiteral("Users"), this);
  users = new CheckList(/*sorted=*/true, this);
  users->setDragEnabled(false);
  // The same pictures as the library's add and remove buttons, hence the same hints.
  add = ActionButton(QStringLiteral("Add file to library"), QStyle::SP_FileIcon, this);
  remove = ActionButton(QStringLiteral("Remove from library."), QStyle::SP_TrashIcon, this);

  auto* bar = new QHBoxLayout;
  bar->addWidget(add);
  bar->addWidget(remove);
  bar->addStretch();

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(title);
  layout->addWidget(users, 1);
  layout->addLayout(bar);
}

}  // namespace vidoria
