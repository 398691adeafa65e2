// The preview player on its own: plays a file on the computer and reports the player's title
// and playback position as a status line, at most once per hand-over of its output.
#pragma once

#include <QObject>
#include <QString>

#include "app/player_runner.h"
#include "app/player_status.h"

namespace vidoria {

// Main thread only. The window shows each Status() in its status bar (and log), enables its
// Stop buttons on the first one, and on Ended() disables them and clears the status text.
class PreviewPlayer : public QObject {
  Q_OBJECT

 public:
  explicit PreviewPlayer(QObject* parent = nullptr);

  // Empties the title, ends a running player (its Ended() comes first), then starts
  // dataFolder + "mplayer" -v `path`. False when the player cannot be started: ErrorText()
  // says why (for the error dialog) and nothing is busy.
  bool Play(const QString& dataFolder, const QString& path);
  // Ends the player at once; Ended() follows. Nothing happens when none runs.
  void Stop() { runner_.Stop(); }

  bool Busy() const { return runner_.Busy(); }
  const QString& ErrorText() const { return runner_.ErrorText(); }

 signals:
  // After a hand-over of output lines that changed it: the title and the position (either may
  // be empty), trimmed.
  void Status(const QString& text);
  void Ended();

 private:
  PlayerRunner runner_;
  PlayerStatus status_;
  bool changed_ = false;  // a status line arrived since the last Status()
};

}  // namespace vidoria
