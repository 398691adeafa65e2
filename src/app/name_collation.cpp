#include "app/name_collation.h"

#include <algorithm>

namespace vidoria {

namespace {

// Small lists (folders, users) keep their keys however often they change.
constexpr qsizetype kAlwaysKept = 1000;

}  // namespace

NameCollation::NameCollation() : collator_(QLocale()) {
  // File names number their parts without leading zeros; people read those numbers as numbers,
  // as the desktop's file dialogs do.
  collator_.setNumericMode(true);
}

void NameCollation::StartList(qsizetype rows) {
  longestList_ = std::max(longestList_, rows);
  if (keys_.size() > 2 * longestList_ + kAlwaysKept) keys_.clear();
  // A table left to grow as keys come moves every key made so far at each doubling: for a first
  // list of 20,000 names that cost more than making the keys.
  keys_.reserve(std::max(keys_.size(), rows));
}

QCollatorSortKey NameCollation::Key(const QString& text) {
  const auto found = keys_.constFind(text);
  if (found != keys_.cend()) return *found;
  return *keys_.emplace(text, collator_.sortKey(text));
}

bool NameCollation::Less(const QCollatorSortKey& leftKey, const QString& left,
                         const QCollatorSortKey& rightKey, const QString& right) {
  const int order = leftKey.compare(rightKey);
  return order != 0 ? order < 0 : left < right;
}

}  // namespace vidoria
