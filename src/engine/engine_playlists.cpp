// The engine's playlists and accounts: every change regenerates what it touches and publishes
// the tables for request threads.
#include "engine/engine.h"
#include "library/line_breaks.h"
#include "library/table_layouts.h"
#include "playlists/playlist_delete.h"
#include "playlists/playlist_edit.h"
#include "playlists/playlist_table.h"
#include "playlists/playlist_view.h"
#include "playlists/user_accounts.h"
#include "site/file_exists.h"
#include "site/playlist_pages.h"
#include "site/playlists_page.h"

namespace vidoria {

PlaylistRegeneration Engine::Regeneration() {
  return {
      .playlist =
          [this](int row) {
            status_.Show("Generating " + playlistTable_.Cell(PlaylistColumn::kName, row));
            GeneratePlayList(row, playlistTable_, playlistListFiles_, libraryTable_, ExistingFile,
                             pages_);
            status_.Clear();
          },
      .playlistsPage =
          [this] {
            status_.Show("Generating Playlists");
            GeneratePlayLists(playlistTable_, pages_);
            status_.Clear();
          },
      .currentView =
          [this] {
            if (options_.refreshView) options_.refreshView();
          },
      .libraryList =
          [this] {
            StoreLibrary();
            if (options_.rebuildLibraryList) options_.rebuildLibraryList();
          },
  };
}

ListResult Engine::PlaylistListing(std::string_view name) const {
  return PlaylistViewItems(playlistTable_, name);
}

std::string Engine::CreatePlaylist(const std::vector<std::string>& selected) {
  std::string name = vidoria::CreatePlaylist(playlistTable_, selected, Regeneration());
  PublishLibrary();
  return name;
}

void Engine::AddToPlaylist(std::string_view name, const std::vector<std::string>& selected) {
  UpdatePlaylist(playlistTable_, name, selected, Regeneration());
  PublishLibrary();
}

void Engine::RemoveFromPlaylist(std::string_view name, const std::vector<std::string>& items) {
  if (name.empty()) {
    RemoveFromEveryPlaylist(playlistTable_, items, Regeneration());
  } else {
    vidoria::RemoveFromPlaylist(playlistTable_, name, items, Regeneration());
  }
  PublishLibrary();
}

bool Engine::DeletePlaylist(std::string_view name) {
  const bool deleted =
      vidoria::DeletePlaylist(playlistTable_, playlistListFiles_, name, Regeneration());
  PublishLibrary();
  return deleted;
}

RenameOutcome Engine::RenamePlaylist(std::string_view oldName, std::string_view newName) {
  const RenameOutcome outcome =
      vidoria::RenamePlaylist(playlistTable_, oldName, newName, Regeneration());
  if (outcome == RenameOutcome::kLineBreak) {
    activity_.Add("Not renamed: " + Printable(oldName) + " keeps its name; " + Printable(newName) +
                  " has a line break, which the playlist file cannot store.");
  }
  PublishLibrary();
  return outcome;
}

std::optional<std::string> Engine::DropOnTree(DropNode node, std::string_view nodeText,
                                              const std::vector<std::string>& selected) {
  auto created =
      vidoria::DropOnTree(node, nodeText, playlistTable_, libraryTable_, selected, Regeneration());
  PublishLibrary();
  return created;
}

std::vector<std::string> Engine::UserNames() const {
  return vidoria::UserNames(userTable_);
}

std::optional<std::string> Engine::AddUser(std::string_view name, std::string_view password) {
  auto problem = vidoria::AddUser(userTable_, name, password);
  if (problem) {
    // The password stays out of the log.
    activity_.Add(HasLineBreak(name) ? "Not added: the user name " + Printable(name) +
                                           " has a line break, which the user file cannot store."
                                     : "Not added: the password for the user " + std::string(name) +
                                           " cannot be stored.");
  }
  return problem;
}

void Engine::RemoveUsers(const std::vector<std::string>& names) {
  vidoria::RemoveUsers(userTable_, names);
}

}  // namespace vidoria
