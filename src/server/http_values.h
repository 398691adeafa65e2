// Name/value lists of HTTP: query strings, form bodies and cookies.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vidoria {

// An ordered list of names (matched case-insensitively, spelled as first used), each with one or
// more values. Raw text is collected with AddText and parsed lazily on the next access; values are
// kept exactly as sent: no trimming, no '+' to space, no %-decoding. Not thread-safe: a list
// belongs to one connection's job.
class HttpValues {
 public:
  // Appends raw text; it is parsed at the next access. After a change through SetValue the text
  // is appended to the written-back list, so AddText always extends what Text() returns.
  void AddText(std::string_view text);
  // The raw text while no value was changed through SetValue; after a change, the list written
  // back as name=value pairs joined by the delimiter, one pair per value.
  std::string Text() const;
  void SetText(std::string_view text);  // Clear() then AddText

  // The last value of `name`, "" when absent.
  std::string Value(std::string_view name) const;
  // Replaces the last value of `name` (adding the name when absent); "" removes that last value.
  void SetValue(std::string_view name, std::string_view value);

  size_t Count() const;
  std::string Name(size_t index) const;
  std::string ValueAt(size_t index) const;  // the last value of the name at `index`
  // Empties the list and the raw text; a delimiter given to SetDelimiter stays.
  void Clear();

  // "&" when none was set. One of two or more characters is a multipart boundary, whose bodies
  // are not parsed into values.
  std::string Delimiter() const;
  void SetDelimiter(std::string_view delimiter);

  // %-decodes every name and every value (see PercentDecode); names that become equal are merged,
  // their values kept in order. The text is written back from the list afterwards.
  void PercentDecodeAll();

 private:
  struct Entry {
    std::string name;
    std::vector<std::string> values;
  };
  void Parse() const;
  Entry* Find(std::string_view name) const;

  mutable std::vector<Entry> entries_;
  mutable std::string raw_;
  mutable bool parsePending_ = false;
  bool textOutdated_ = false;
  std::string delimiter_;
  // Picked from the raw text at each parse while delimiter_ is empty; forgotten by Clear().
  mutable std::string chosenDelimiter_;
};

// Every '%' followed by two hex digits becomes that byte; any other '%' stays as written. '+' is
// left alone.
std::string PercentDecode(std::string_view text);

}  // namespace vidoria
