#include "upnp/search_criteria.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace vidoria {

namespace {

struct Token {
  enum class Kind { kWord, kString, kOpen, kClose } kind;
  std::string text;
};

bool SameLetters(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

bool ContainsLetters(std::string_view text, std::string_view part) {
  return std::search(text.begin(), text.end(), part.begin(), part.end(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         }) != text.end();
}

std::optional<std::vector<Token>> Tokens(std::string_view text) {
  std::vector<Token> tokens;
  for (size_t at = 0; at < text.size();) {
    const char c = text[at];
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++at;
    } else if (c == '(' || c == ')') {
      tokens.push_back({c == '(' ? Token::Kind::kOpen : Token::Kind::kClose, {}});
      ++at;
    } else if (c == '"') {
      std::string value;
      for (++at;; ++at) {
        if (at >= text.size()) return std::nullopt;  // unterminated
        if (text[at] == '"') break;
        if (text[at] == '\\' && at + 1 < text.size()) ++at;
        value += text[at];
      }
      ++at;
      tokens.push_back({Token::Kind::kString, std::move(value)});
    } else {
      const size_t end = text.find_first_of(" \t\r\n()\"", at);
      tokens.push_back({Token::Kind::kWord, std::string(text.substr(at, end - at))});
      at = end == std::string_view::npos ? text.size() : end;
    }
  }
  return tokens;
}

// The property's value, nullopt when the server keeps no such property.
std::optional<std::string_view> Property(const SearchFields& fields, const std::string& name) {
  if (name == "dc:title") return fields.title;
  if (name == "upnp:class") return fields.upnpClass;
  if (name == "@id") return fields.id;
  if (name == "@parentID") return fields.parentId;
  return std::nullopt;
}

class Parser {
 public:
  explicit Parser(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}

  std::optional<SearchCriterion> All() {
    auto criterion = Or(0);
    if (!criterion || at_ != tokens_.size()) return std::nullopt;
    return criterion;
  }

 private:
  bool Word(std::string_view word) {
    if (at_ < tokens_.size() && tokens_[at_].kind == Token::Kind::kWord &&
        SameLetters(tokens_[at_].text, word)) {
      ++at_;
      return true;
    }
    return false;
  }

  std::optional<SearchCriterion> Or(int depth) {
    auto left = And(depth);
    while (left && Word("or")) {
      auto right = And(depth);
      if (!right) return std::nullopt;
      left = [l = *left, r = *right](const SearchFields& f) { return l(f) || r(f); };
    }
    return left;
  }

  std::optional<SearchCriterion> And(int depth) {
    auto left = Primary(depth);
    while (left && Word("and")) {
      auto right = Primary(depth);
      if (!right) return std::nullopt;
      left = [l = *left, r = *right](const SearchFields& f) { return l(f) && r(f); };
    }
    return left;
  }

  std::optional<SearchCriterion> Primary(int depth) {
    if (at_ >= tokens_.size()) return std::nullopt;
    if (tokens_[at_].kind == Token::Kind::kOpen) {
      if (depth >= kMaxCriteriaDepth) return std::nullopt;
      ++at_;
      auto inner = Or(depth + 1);
      if (!inner || at_ >= tokens_.size() || tokens_[at_].kind != Token::Kind::kClose) {
        return std::nullopt;
      }
      ++at_;
      return inner;
    }
    if (tokens_[at_].kind != Token::Kind::kWord || at_ + 2 >= tokens_.size()) return std::nullopt;
    const std::string property = tokens_[at_].text;
    const Token& op = tokens_[at_ + 1];
    const Token& value = tokens_[at_ + 2];
    if (op.kind != Token::Kind::kWord) return std::nullopt;
    at_ += 3;
    if (SameLetters(op.text, "exists")) {
      if (value.kind != Token::Kind::kWord) return std::nullopt;
      const bool wanted = SameLetters(value.text, "true");
      if (!wanted && !SameLetters(value.text, "false")) return std::nullopt;
      return [property, wanted](const SearchFields& f) {
        return Property(f, property).has_value() == wanted;
      };
    }
    if (value.kind != Token::Kind::kString) return std::nullopt;
    using Test = bool (*)(std::string_view, std::string_view);
    Test test = nullptr;
    if (op.text == "=") {
      test = [](std::string_view v, std::string_view w) { return v == w; };
    } else if (op.text == "!=") {
      test = [](std::string_view v, std::string_view w) { return v != w; };
    } else if (SameLetters(op.text, "contains")) {
      test = [](std::string_view v, std::string_view w) { return ContainsLetters(v, w); };
    } else if (SameLetters(op.text, "doesNotContain")) {
      test = [](std::string_view v, std::string_view w) { return !ContainsLetters(v, w); };
    } else if (SameLetters(op.text, "startsWith")) {
      test = [](std::string_view v, std::string_view w) {
        return v.size() >= w.size() && SameLetters(v.substr(0, w.size()), w);
      };
    } else if (SameLetters(op.text, "derivedfrom")) {
      // A class is derived from itself and from every class its name extends.
      test = [](std::string_view v, std::string_view w) {
        return SameLetters(v, w) ||
               (v.size() > w.size() && v[w.size()] == '.' && SameLetters(v.substr(0, w.size()), w));
      };
    } else {
      return std::nullopt;  // < <= > >= and anything else: no property here is ordered
    }
    return [property, test, wanted = value.text](const SearchFields& f) {
      const auto have = Property(f, property);
      return have && test(*have, wanted);
    };
  }

  std::vector<Token> tokens_;
  size_t at_ = 0;
};

}  // namespace

std::optional<SearchCriterion> ParseSearchCriteria(std::string_view text) {
  auto tokens = Tokens(text);
  if (!tokens) return std::nullopt;
  if (tokens->size() == 1 && tokens->front().kind == Token::Kind::kWord &&
      tokens->front().text == "*") {
    return [](const SearchFields&) { return true; };
  }
  return Parser(std::move(*tokens)).All();
}

}  // namespace vidoria
