// The page skeleton every generated page shares and the boxes pages are built from.
//
// A page is: header block, title box, entry boxes, closing box (Back or maker box), footer block.
// Every line of a page ends in CR LF, including the last one. All functions are pure and
// thread-safe.
#pragma once

#include <string>
#include <string_view>

namespace vidoria {

inline constexpr std::string_view kCrLf = "\r\n";

// Start of every entry box. The first cell's start tag is left unclosed before its "<a": pages
// carry it so, and clients that read the pages may rely on the exact bytes.
inline constexpr std::string_view kEntryStart =
    "<div class=\"obj\"><table width=\"100%\"><tr><td width=\"34px\" align=\"center\" "
    "valign=\"middle\"<a href=\"";
inline constexpr std::string_view kEntryEnd = "</td></tr></table></div>";

// Who made the site; named in the header bar and linked from the maker box.
inline constexpr std::string_view kMakerName = "Orvelle";
inline constexpr std::string_view kMakerAddress = "https://orvelle.example/";

// Eleven lines: document type, head with the style sheet, body start and the header bar.
const std::string& HeaderBlock();
// Seven lines, closing the page. Its "</div>" has no partner in the header; pages keep it.
const std::string& FooterBlock();
// One line; `title` is markup, written as given (callers escape names they put in it).
std::string TitleBox(std::string_view title);
// One line linking back to the home page.
const std::string& BackBox();
// One line linking to the maker's site in a new window; closes the home and login pages.
const std::string& MakerBox();

}  // namespace vidoria
