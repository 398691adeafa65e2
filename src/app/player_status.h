// Turns the preview player's console output, one line at a time, into the one-line status the
// window shows while a file plays: the title the player announced and the playback position.
#pragma once

#include <string>
#include <string_view>

namespace vidoria {

// Plain value logic; the owner (main thread) feeds it the lines of one player run.
class PlayerStatus {
 public:
  // A new run: the title is emptied.
  void Start() {
    title_.clear();
    sawPosition_ = false;
  }

  // Reads one output line and returns the status text for it: the title, a blank and the
  // position, trimmed. Only the first matching rule applies (exact, case-sensitive tests):
  //  - "itle:" in the line: the title becomes the line without its first "Title:", trimmed
  //    (so "title: x" makes the whole trimmed line the title);
  //  - else "ame:": the title becomes the line without its first "name:", trimmed;
  //  - else "Layer": the position is the text before the first "Layer", trimmed;
  //  - else "V:": the position is the text before the first "V:", trimmed; when it holds
  //    "A:", the number after it is the playback time in seconds (decimal point "."),
  //    written as H:MM:SS rounded to whole seconds. A text there that is no number is shown
  //    as it stands.
  // Any other line keeps the title and gives an empty position.
  std::string Take(std::string_view line);

  const std::string& Title() const { return title_; }
  // A line of this run matched the "Layer" or "V:" rule: the player got as far as playing.
  bool SawPosition() const { return sawPosition_; }

 private:
  std::string title_;
  bool sawPosition_ = false;
};

}  // namespace vidoria
