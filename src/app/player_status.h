// Turns the preview player's console output, one line at a time, into the one-line status the
// window shows while a file plays: the title the player announced and the playback position.
#pragma once

#include <string>
#include <string_view>

namespace vidoria {

// Plain value logic; the owner (main thread) feeds it the lines of one player run.
class PlayerStatus {
 public:
  // A new run: title, position and text are emptied.
  void Start() { *this = PlayerStatus(); }

  // Reads one output line. True when it is one of the lines the status is made of; then Text()
  // is the title, a blank and the position, trimmed. Other lines (the player's start-up
  // chatter: "CPU vendor name: ...", codec and audio details) change nothing.
  //  - "Playing NAME." (the player opens a file): the title becomes NAME's file name;
  //  - a clip-information field whose name ends in "itle:" or "ame:" ("Title: x", " title: x",
  //    " name: x"; the field name comes first on the line): the title becomes the rest of the
  //    line after the field name's ':' (a "Title:" anywhere wins over a "name:" field), trimmed;
  //  - the playback line, which starts with "A:" or "V:": the position is the number after
  //    "A:" (the audio clock), or, without audio, after "V:", in seconds (decimal point "."),
  //    written as H:MM:SS rounded to whole seconds. A text there that is no number is shown as
  //    it stands.
  bool Take(std::string_view line);

  const std::string& Text() const { return text_; }
  const std::string& Title() const { return title_; }
  // A line of this run was a playback line: the player got as far as playing.
  bool SawPosition() const { return sawPosition_; }

 private:
  std::string title_;
  std::string position_;
  std::string text_;
  bool sawPosition_ = false;
};

}  // namespace vidoria
