// ContentDirectory search criteria, the part TVs send: "*", comparisons of dc:title, upnp:class,
// @id and @parentID (=, !=, contains, doesNotContain, derivedfrom, exists, startsWith), joined
// with and / or and grouped with parentheses. A property the server does not keep is absent:
// every comparison with it is false and "exists false" true. Pure; any thread.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vidoria {

// What a criterion is tested against: one object's properties.
struct SearchFields {
  std::string_view id;
  std::string_view parentId;
  std::string_view title;
  std::string_view upnpClass;
};

using SearchCriterion = std::function<bool(const SearchFields&)>;

// Nesting deeper than this is refused, so that a request cannot exhaust the stack.
inline constexpr int kMaxCriteriaDepth = 32;

// nullopt when the text is no criteria this server understands.
std::optional<SearchCriterion> ParseSearchCriteria(std::string_view text);

}  // namespace vidoria
