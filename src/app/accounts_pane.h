// The accounts view: the stored user accounts, with buttons to add and remove them. It holds
// controls only; the window connects them.
#pragma once

#include <QToolButton>
#include <QWidget>

#include "app/view_parts.h"

namespace vidoria {

// Main thread only. The child widgets are owned by the view and live as long as it does.
class AccountsPane : public QWidget {
  Q_OBJECT

 public:
  explicit AccountsPane(QWidget* parent = nullptr);

  TitleBar* title;
  CheckList* users;  // sorted
  QToolButton* add;
  QToolButton* remove;  // removes the checked or selected accounts
};

}  // namespace vidoria
