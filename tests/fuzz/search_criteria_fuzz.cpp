// Fuzz entry point for a Search request's criteria, which any control point on the network sends:
// ParseSearchCriteria on the input's text, then the criterion, when there is one, on a few
// objects.
//
// Expectations: parsing ends (nesting is bounded, so no input exhausts the stack); the same text
// parses the same way twice; a criterion that parsed answers the same for the same object;
// "(" + criteria + ")" parses when the criteria do (until the nesting bound) and answers alike;
// "*" inside anything else is refused.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_expect.h"
#include "upnp/search_criteria.h"

namespace vidoria {
namespace {

const SearchFields kObjects[] = {
    {"library/all/00ff", "library/all", "Tom & Jerry", "object.item.videoItem"},
    {"library", "0", "Library", "object.container.storageFolder"},
    {"", "", "", ""},
};

}  // namespace
}  // namespace vidoria

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vidoria;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto criterion = ParseSearchCriteria(text);
  const auto again = ParseSearchCriteria(text);
  FUZZ_EXPECT(criterion.has_value() == again.has_value());
  const auto grouped = ParseSearchCriteria("(" + std::string(text) + ")");
  if (!criterion) return 0;
  // Blanks as the parser reads them (isspace: form feed and vertical tab too).
  const bool star = text.find_first_not_of(" \t\n\v\f\r") != std::string_view::npos &&
                    text.substr(text.find_first_not_of(" \t\n\v\f\r")).starts_with("*");
  for (const SearchFields& object : kObjects) {
    const bool match = (*criterion)(object);
    FUZZ_EXPECT(match == (*again)(object));
    if (grouped) FUZZ_EXPECT(match == (*grouped)(object));
  }
  // Only a criterion that is "*" alone may be taken without grouping; grouped, it is refused.
  if (!star) {
    // A criterion at the nesting bound may not take one more pair of parentheses.
    FUZZ_EXPECT(grouped.has_value() || text.find('(') != std::string_view::npos);
  }
  return 0;
}
