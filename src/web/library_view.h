// What request threads may read of the library and the playlists: an immutable copy.
#pragma once

#include <memory>
#include <mutex>

#include "library/table.h"

namespace vidoria {

// The tables as they were when the main thread last changed them. Request threads take the current
// view and read it without any lock; the main thread publishes a new one after every change.
struct LibraryView {
  Table myGrid{4, 1};      // class, full path, file name, duration
  Table playlists{4, 1};   // name, generated page, item slots
  Table playlists2{4, 1};  // column 3: the playlist's list file, same row as in playlists
};

class LibraryViewHolder {
 public:
  LibraryViewHolder() : current_(std::make_shared<const LibraryView>()) {}
  void Publish(LibraryView view) {
    auto fresh = std::make_shared<const LibraryView>(std::move(view));
    std::lock_guard lock(mu_);
    current_ = std::move(fresh);
  }
  std::shared_ptr<const LibraryView> Current() const {
    std::lock_guard lock(mu_);
    return current_;
  }

 private:
  mutable std::mutex mu_;  // guards the pointer; the view itself never changes
  std::shared_ptr<const LibraryView> current_;
};

}  // namespace vidoria
