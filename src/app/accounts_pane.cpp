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

  LayOutListView(this, title, users, {add, remove}, {});
}

}  // namespace vidoria
