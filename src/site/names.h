// How file and playlist names are written into pages and list files.
//
// Names are stored as the user or the file system gave them (UTF-8, any bytes). Pages must show
// them as text and link to them so that the server finds them again: the server percent-decodes
// the whole name of a request (after dropping "/list&" and every slash), so every href written
// here decodes back to the stored name. A plain ASCII name made of letters, digits and ". - _ ~"
// comes out unchanged, except in ListHref for the few names a browser would take for a character
// reference. All functions are pure and thread-safe.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vidoria {

// Counts the bytes the Append functions would write, without writing them, so that a page can be
// given its whole size before it is written.
struct TextSize {
  size_t bytes = 0;
  TextSize& operator+=(char) {
    ++bytes;
    return *this;
  }
  TextSize& operator+=(std::string_view text) {
    bytes += text.size();
    return *this;
  }
};

// Escapes & < > " ' (and CR, LF, so that an entry stays one line) for link texts and attribute
// values.
std::string HtmlText(std::string_view text);
// HtmlText(text) appended to `out` (or counted).
void AppendHtmlText(std::string& out, std::string_view text);
void AppendHtmlText(TextSize& out, std::string_view text);

// Percent-encodes one path segment, byte by byte, upper-case hex. Kept as they are: letters,
// digits, "-._~" and "!$(),+=:@". Everything else is encoded, among it: space, '/' and '\' (a
// name is one segment, and the server drops raw slashes), '*' (the server cuts a request at its
// first raw '*'), '&' ("list&" inside a file name would route it to the playlist pages), ';' and
// '#', '?', '%', quotes, '<', '>', control bytes and every byte of a non-ASCII character.
std::string PathSegment(std::string_view name);
// PathSegment(name) appended to `out` (or counted).
void AppendPathSegment(std::string& out, std::string_view name);
void AppendPathSegment(TextSize& out, std::string_view name);

// A name for the hrefs "/list&" + name, which keep the raw '&' their paths always had: encoded as
// PathSegment, and when a browser would read "&" + the start of the name as a character reference
// (a playlist named "not mine" or "copy 2": "&not" and "&copy" decode without a semicolon), its
// first byte is percent-encoded too, which the server decodes like any other.
std::string ListHref(std::string_view name);

// A name for a line of a list file ("/" + list name + "*" + file name). List files are plain text
// that clients read line by line and fetch: names stay as they are, except CR and LF, which would
// split the line; they become %0D and %0A, which the server decodes back.
std::string ListLineName(std::string_view name);
// ListLineName(name) appended to `out` (or counted).
void AppendListLineName(std::string& out, std::string_view name);
void AppendListLineName(TextSize& out, std::string_view name);
// The list-name part of such a line, also with '*' as %2A: the server cuts a line at its first
// '*' and looks up only what follows, so a '*' in a playlist name would cut off its file name.
std::string ListLineListName(std::string_view name);

// The link text of a media file: its name without the last four characters (the ".mp4"),
// counted as UTF-8 characters so that no character is cut in half; "" for shorter names.
std::string_view ItemTitle(std::string_view fileName);

}  // namespace vidoria
