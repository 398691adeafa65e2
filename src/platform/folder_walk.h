// Listing the files under a folder, and this platform's shortcuts (symbolic links).
// Plain functions without shared state; any thread.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace vidoria {

// Every file under `folder` exactly once: first the files of the folder in the order the file
// system returns them, then the files under each subfolder, subfolders again in that order. Paths
// are folder (with '/' ensured) + relative path.
// - Listed: regular files and symbolic links to regular files, hidden (dot) names included.
// - Not listed and not walked: folders whose name starts with '.', symbolic links to folders (a
//   walk never leaves the tree it was given and never loops), links that lead nowhere, and
//   devices, pipes and sockets (reading a pipe would block whoever serves it).
// - A folder that cannot be read contributes nothing; a folder reached twice (bind mounts) is
//   walked once. "" gives nothing.
std::vector<std::string> ListFilesRecursive(const std::string& folder);

// What a caller of a long walk may want to hear and say while it goes on (any member may be
// empty). The walk runs on the caller's thread and calls these on it.
struct WalkWatch {
  // Asked before each folder is read: true ends the walk, with the files listed so far.
  std::function<bool()> stopped;
  // A folder below the walked one that could not be read (gone meanwhile, no permission), with
  // the errno of the failure; its files are missing from the list.
  std::function<void(const std::string& folder, int error)> unreadable;
};
std::vector<std::string> ListFilesRecursive(const std::string& folder, const WalkWatch& watch);

// A symbolic link is this platform's shortcut. For a link: its target as an absolute path - fully
// resolved (chains of links, "..") when the target exists, otherwise the stored target taken
// relative to the link's folder. "" when `path` is no symbolic link.
std::string ResolveShortcut(const std::string& path);

}  // namespace vidoria
