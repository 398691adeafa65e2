// Turns the output of an external tool into the lines a console would show.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vidoria {

// A line ends at CR, LF or a CR LF pair (one end, even when the pair is split between two
// reads): players end their progress lines with a bare CR so that the console overwrites them.
// Terminal control sequences (ESC [ ... final byte, ESC ] ... BEL or ESC \, and other ESC
// sequences) are dropped; everything else is kept byte for byte, empty lines included.
// Not thread-safe; one splitter per output stream.
class OutputLines {
 public:
  // A line that grows this long without an end is handed out as it stands; the rest follows as
  // the next line.
  static constexpr size_t kMaxLineBytes = 4096;

  // Takes the next piece of output and appends the lines it completes to `lines`.
  void Feed(std::string_view bytes, std::vector<std::string>& lines);
  // End of output: a last line that had no end is appended too.
  void Finish(std::vector<std::string>& lines);

 private:
  enum class Escape { kNone, kStart, kControl, kText, kTextEsc };

  void Take(char c, std::vector<std::string>& lines);

  std::string line_;
  Escape escape_ = Escape::kNone;
  bool afterCr_ = false;  // the last byte ended a line with CR: an LF now belongs to it
};

}  // namespace vidoria
