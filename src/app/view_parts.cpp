#include "app/view_parts.h"

#include <QHBoxLayout>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <algorithm>

namespace vidoria {

namespace {

// An item of a sorted list. Qt orders items by comparing their texts through variants at every
// comparison; this one carries its text's collation key, made once, and its text, which no one
// changes after it is made.
class CollatedItem : public QListWidgetItem {
 public:
  CollatedItem(const QString& text, QCollatorSortKey key)
      : QListWidgetItem(text), text_(text), key_(std::move(key)) {}

  bool Precedes(const CollatedItem& other) const {
    return NameCollation::Less(key_, text_, other.key_, other.text_);
  }
  // Where a sorted list places an item added to it.
  bool operator<(const QListWidgetItem& other) const override {
    const auto* collated = dynamic_cast<const CollatedItem*>(&other);
    return collated ? Precedes(*collated) : QListWidgetItem::operator<(other);
  }

 private:
  QString text_;
  QCollatorSortKey key_;
};

// Unchecked, with a check box the user can toggle.
template <typename Item>
Item* Checkable(Item* item) {
  item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
  item->setCheckState(Qt::Unchecked);
  return item;
}

CollatedItem* NewCollatedItem(NameCollation& collation, const std::string& text) {
  const QString shown = ToQt(text);
  return Checkable(new CollatedItem(shown, collation.Key(shown)));
}

}  // namespace

TitleBar::TitleBar(const QString& text, QWidget* parent) : QLabel(text, parent) {
  setObjectName(QStringLiteral("titleBar"));
  setStyleSheet(
      QStringLiteral("QLabel { background: #2f4f6f; color: white; padding: 4px; "
                     "font-weight: bold; }"));
}

void TitleBar::mousePressEvent(QMouseEvent* event) {
  QLabel::mousePressEvent(event);
  emit Pressed();
}

CheckList::CheckList(bool sorted, QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setSortingEnabled(sorted);
  // One line each: the view lays out 20,000 rows without measuring every text.
  setUniformItemSizes(true);
  setDragEnabled(true);
  setDragDropMode(QAbstractItemView::DragOnly);
}

void CheckList::AddItem(const std::string& text) {
  if (isSortingEnabled()) {
    addItem(NewCollatedItem(collation_, text));
  } else {
    addItem(Checkable(new QListWidgetItem(ToQt(text))));
  }
}

void CheckList::SetItems(const std::vector<std::string>& texts) {
  setUpdatesEnabled(false);
  clear();
  // A sorted list would place every added item on its own (20,000 items: most of the rebuild);
  // the items are sorted once instead, then appended in that order.
  const bool sorted = isSortingEnabled();
  setSortingEnabled(false);
  if (sorted) {
    collation_.StartList(static_cast<qsizetype>(texts.size()));
    std::vector<CollatedItem*> items;
    items.reserve(texts.size());
    for (const std::string& text : texts) items.push_back(NewCollatedItem(collation_, text));
    std::sort(items.begin(), items.end(), [](const CollatedItem* left, const CollatedItem* right) {
      return left->Precedes(*right);
    });
    for (CollatedItem* item : items) addItem(item);
  } else {
    for (const std::string& text : texts) addItem(Checkable(new QListWidgetItem(ToQt(text))));
  }
  setSortingEnabled(sorted);
  if (count() > 0) {
    setCurrentRow(0);
    item(0)->setSelected(true);
  }
  setUpdatesEnabled(true);
}

std::vector<std::string> CheckList::Texts() const {
  std::vector<std::string> texts;
  for (int row = 0; row < count(); ++row) texts.push_back(ToStd(item(row)->text()));
  return texts;
}

std::vector<std::string> CheckList::CheckedOrSelected() const {
  std::vector<std::string> texts;
  for (int row = 0; row < count(); ++row) {
    const QListWidgetItem* entry = item(row);
    if (entry->isSelected() || entry->checkState() == Qt::Checked) {
      texts.push_back(ToStd(entry->text()));
    }
  }
  return texts;
}

std::vector<std::string> CheckList::Selected() const {
  std::vector<std::string> texts;
  for (int row = 0; row < count(); ++row) {
    if (item(row)->isSelected()) texts.push_back(ToStd(item(row)->text()));
  }
  return texts;
}

std::string CheckList::FirstSelected() const {
  for (int row = 0; row < count(); ++row) {
    if (item(row)->isSelected()) return ToStd(item(row)->text());
  }
  return {};
}

void CheckList::Check(int row, bool on) {
  if (QListWidgetItem* entry = item(row)) entry->setCheckState(on ? Qt::Checked : Qt::Unchecked);
}

QToolButton* ActionButton(const QString& tooltip, QStyle::StandardPixmap icon, QWidget* parent) {
  auto* button = new QToolButton(parent);
  button->setText(tooltip);
  button->setToolTip(tooltip);
  button->setIcon(parent->style()->standardIcon(icon));
  button->setToolButtonStyle(Qt::ToolButtonIconOnly);
  button->setAutoRaise(true);
  return button;
}

void LayOutListView(QWidget* view, TitleBar* title, QWidget* list,
                    std::initializer_list<QWidget*> left, std::initializer_list<QWidget*> right) {
  auto* bar = new QHBoxLayout;
  for (QWidget* widget : left) bar->addWidget(widget);
  bar->addStretch();
  for (QWidget* widget : right) bar->addWidget(widget);
  auto* layout = new QVBoxLayout(view);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(title);
  layout->addWidget(list, 1);
  layout->addLayout(bar);
}

std::string ToStd(const QString& text) {
  return text.toStdString();
}

QString ToQt(const std::string& text) {
  return QString::fromStdString(text);
}

QString CountedQuestion(const std::vector<std::string>& items, const QString& one,
                        const QString& many) {
  return items.size() == 1 ? one.arg(ToQt(items.front())) : many.arg(items.size());
}

}  // namespace vidoria
