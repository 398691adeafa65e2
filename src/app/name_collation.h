// The order in which the user's language lists names: letters first, then accents and letter
// case ("apple" before "Zebra", "Été" among the E's), and runs of digits by their value ("Episode
// 2" before "Episode 10"). Under the C locale, which names no language, it is code point order.
// Main thread only.
#pragma once

#include <QCollator>
#include <QHash>
#include <QString>

namespace vidoria {

class NameCollation {
 public:
  // Orders as the default locale did at construction.
  NameCollation();

  // A list of `rows` names is about to be keyed. Keys are kept across lists, since a view shows
  // the same names rebuild after rebuild; once they outnumber twice the longest list, they are
  // dropped and made again as needed.
  void StartList(qsizetype rows);

  // `text`'s key, made once per distinct text.
  QCollatorSortKey Key(const QString& text);

  // A strict total order: texts the collation holds equal ("01" and "1") go by their character
  // codes, so that every way of building a list gives the same order.
  static bool Less(const QCollatorSortKey& leftKey, const QString& left,
                   const QCollatorSortKey& rightKey, const QString& right);

 private:
  QCollator collator_;
  QHash<QString, QCollatorSortKey> keys_;
  qsizetype longestList_ = 0;
};

}  // namespace vidoria
