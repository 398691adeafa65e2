// What request threads may read of the library and the playlists: an immutable copy.
#pragma once

#include <memory>
#include <mutex>

#include "library/table.h"
#include "library/table_layouts.h"

namespace vidoria {

// The tables as they were when the main thread last changed them. Request threads take the current
// view and read it without any lock; the main thread publishes a new one after every change.
struct LibraryView {
  Table libraryTable{LibraryColumn::kCount, 1};
  Table playlistTable{PlaylistColumn::kCount, 1};
  Table listFileTable{ListFileColumn::kCount, 1};  // rows follow playlistTable's
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
