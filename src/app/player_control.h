// Plays library files with the preview player, one after another, and turns its output into the
// status line; the two Stop buttons follow it.
#pragma once

#include <QObject>
#include <QToolButton>
#include <deque>
#include <string>
#include <vector>

#include "app/dialogs.h"
#include "app/player_runner.h"
#include "app/player_status.h"
#include "engine/engine.h"

namespace vidoria {

// Main thread only. Borrows the engine, the dialogs and the buttons (all outlive it).
class PlayerControl : public QObject {
  Q_OBJECT

 public:
  PlayerControl(Engine& engine, Dialogs& dialogs, std::vector<QToolButton*> stopButtons,
                QObject* parent = nullptr);

  // Plays `paths` in turn; a player that still runs is ended first. The Stop buttons turn on
  // with the player's first line and off at its end; the status (title and position) is shown
  // and logged at most once per hand-over of the player's output, when a status line came.
  // A player that ends by itself before it showed a playback position (it could not open the
  // file, or is no player) is reported in an error dialog with its last line of output.
  void Play(std::vector<std::string> paths);
  // Ends the running player and drops the files still waiting.
  void Stop();
  bool Busy() const { return runner_.Busy(); }

 signals:
  // The status text changed (a line arrived, or the player ended).
  void StatusChanged();

 private:
  void PlayNext();
  void Line(const QString& line);
  void LinesDelivered();
  void Ended();

  Engine& engine_;
  Dialogs& dialogs_;
  std::vector<QToolButton*> stopButtons_;
  PlayerRunner runner_;
  PlayerStatus status_;
  std::deque<std::string> waiting_;
  std::string playing_;    // the file of the running player
  std::string lastLine_;   // its last output line that was not blank
  bool stopped_ = false;   // ended by Stop, not by itself
  bool starting_ = false;  // the end of the previous player arrives inside the next start
  bool changed_ = false;   // a status line arrived since the status was last shown
};

}  // namespace vidoria
