// Line breaks in values that end up in stored files. Every stored file keeps one value per line,
// so a CR or LF inside a value cannot be stored: it would cut the value and shift every later
// one. Pure functions; any thread.
#pragma once

#include <string>
#include <string_view>

namespace vidoria {

bool HasLineBreak(std::string_view text);

// `text` with CR and LF written as \r and \n and other control bytes as \xNN, so that a message
// naming it stays one line and whole.
std::string Printable(std::string_view text);

}  // namespace vidoria
