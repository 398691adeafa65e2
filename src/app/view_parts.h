// Small widgets every view uses: a title bar that reports presses, a list whose items carry
// check boxes, and a tool button with a tooltip. Main thread only.
#pragma once

#include <QLabel>
#include <QListWidget>
#include <QStyle>
#include <QToolButton>
#include <initializer_list>
#include <string>
#include <vector>

#include "app/name_collation.h"

namespace vidoria {

// A view's title bar. A press on it stops the preview player.
class TitleBar : public QLabel {
  Q_OBJECT

 public:
  explicit TitleBar(const QString& text, QWidget* parent = nullptr);

 signals:
  void Pressed();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
};

// A list of texts, each with a check box; several items may be selected. The removal and
// streaming actions act on every item that is checked or selected. Library items can be
// dragged (onto the navigation tree). A sorted list shows its texts in the user's collation
// (NameCollation), whether they come with a rebuild or one by one.
class CheckList : public QListWidget {
  Q_OBJECT

 public:
  explicit CheckList(bool sorted, QWidget* parent = nullptr);

  // Replaces the items (unchecked); item 0 (of the shown order) becomes current and selected.
  void SetItems(const std::vector<std::string>& texts);
  void AddItem(const std::string& text);
  std::vector<std::string> Texts() const;
  // Shown order, top to bottom.
  std::vector<std::string> CheckedOrSelected() const;
  std::vector<std::string> Selected() const;
  // The selected item with the lowest index, "" when none is selected.
  std::string FirstSelected() const;
  void Check(int row, bool on);

 private:
  NameCollation collation_;
};

// A button of a view's bottom bar: an icon, with its text as the tooltip.
QToolButton* ActionButton(const QString& tooltip, QStyle::StandardPixmap icon, QWidget* parent);

// The frame of a list view: its title bar on top, the list filling the middle, and a bottom bar
// with `left` at its start and `right` at its end.
void LayOutListView(QWidget* view, TitleBar* title, QWidget* list,
                    std::initializer_list<QWidget*> left, std::initializer_list<QWidget*> right);

// A question about `items`: `one` with the item's text for a single one, else `many` with their
// count ("Remove %1 entries ...").
QString CountedQuestion(const std::vector<std::string>& items, const QString& one,
                        const QString& many);

std::string ToStd(const QString& text);
QString ToQt(const std::string& text);

}  // namespace vidoria
