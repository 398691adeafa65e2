// `vidoriad list` and `status`: what the stored files hold, read without a claim and without
// writing anything (a damaged file is reported, never set aside), so both answer while a
// program runs; its writes replace whole files, so a read never sees half of one.
#include <filesystem>
#include <ostream>

#include "engine/address.h"
#include "engine/stored_settings.h"
#include "engine/vidoriad_command_parts.h"
#include "library/list_order.h"
#include "library/stored_files.h"
#include "library/table_layouts.h"
#include "platform/lock_holder.h"
#include "playlists/playlist_table.h"
#include "upnp/device_files.h"

namespace vidoria {
namespace {

bool Exists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}

// The stored tables and folders as a start would have them (a missing file is the first start's
// content); `problem` says which file could not be read.
struct StoredTables {
  Table library{LibraryColumn::kCount, 1};
  Table playlists{PlaylistColumn::kCount, 1};
  std::vector<std::string> folders;
  std::optional<std::string> problem;
};

StoredTables ReadTables(const std::string& dataFolder) {
  StoredTables tables;
  tables.playlists.SetCell(PlaylistColumn::kName, 0, std::string(kFavorites));
  try {
    if (const std::string path = dataFolder + std::string(kLibraryFileName); Exists(path)) {
      LoadGrid(tables.library, path);
    }
    if (const std::string path = dataFolder + std::string(kPlaylistsFileName); Exists(path)) {
      LoadGrid(tables.playlists, path);
    }
    if (const std::string path = dataFolder + std::string(kFoldersFileName); Exists(path)) {
      tables.folders = ReadLineFile(path);
    }
  } catch (const LibraryError& e) {
    tables.problem = e.what();
  }
  SortLikeList(tables.folders);
  return tables;
}

bool InListing(const std::string& libraryClass, Listing listing) {
  switch (listing) {
    case Listing::kMovies:
      return libraryClass == "MOVIE";
    case Listing::kTv:
      return libraryClass == "TV";
    default:
      return !libraryClass.empty();  // the window's LIBRARY node: every classified file
  }
}

void ListPlaylists(std::ostream& out, const Table& playlists) {
  for (int row = 0; row < playlists.RowCount(); ++row) {
    if (playlists.Cell(PlaylistColumn::kName, row).empty()) continue;
    out << playlists.Cell(PlaylistColumn::kName, row) << "\n";
    for (int slot = PlaylistColumn::kFirstSlot; slot < playlists.ColCount(); ++slot) {
      if (!playlists.Cell(slot, row).empty()) out << "  " << playlists.Cell(slot, row) << "\n";
    }
  }
}

// Which program holds the data folder, when the kernel says (the lock's holder); its name in
// words otherwise.
std::string RunningProgram(const EnvLookup& env, const std::string& dataFolder) {
  if (!ProgramRunsOnDataFolder(env)) return "no";
  const std::string holder = FolderLockHolderName(dataFolder);
  if (holder == "vidoriad" || holder == "vidoria") return "yes, " + holder;
  return "yes, a vidoriad or vidoria";
}

std::string OnOff(bool on) {
  return on ? "on" : "off";
}

}  // namespace

int List(const CommandContext& context, Listing listing) {
  const auto dataFolder = DataFolderToLook(context);
  if (!dataFolder) return 1;
  const StoredTables tables = ReadTables(*dataFolder);
  if (tables.problem) {
    *context.err << "vidoriad: " << *tables.problem << std::endl;
    return 1;
  }
  std::ostream& out = *context.out;
  if (listing == Listing::kFolders) {
    for (const std::string& folder : tables.folders) out << folder << "\n";
  } else if (listing == Listing::kPlaylists) {
    ListPlaylists(out, tables.playlists);
  } else {
    // Name and path, a tab between them: names repeat, paths do not.
    const Table& library = tables.library;
    for (int row = 0; row < library.RowCount(); ++row) {
      if (!InListing(library.Cell(LibraryColumn::kClass, row), listing)) continue;
      out << library.Cell(LibraryColumn::kName, row) << "\t"
          << library.Cell(LibraryColumn::kPath, row) << "\n";
    }
  }
  out << std::flush;
  return 0;
}

int Status(const CommandContext& context) {
  const auto dataFolder = DataFolderToLook(context);
  if (!dataFolder) return 1;
  std::ostream& out = *context.out;
  const StoredSettings stored = LookAtStoredSettings(*dataFolder + std::string(kSettingsFileName));
  const Settings& settings = stored.settings;
  const std::string port = std::to_string(PortValue(settings.port));
  const std::string address = LanAddress();
  out << "Data folder:  " << *dataFolder << "\n"
      << "Running:      " << RunningProgram(context.env, *dataFolder) << "\n";
  if (stored.damage) {
    out << "Settings:     damaged (" << *stored.damage << "); a start uses the defaults below\n";
  }
  out << "Port:         " << port << "\n"
      << "Address:      http://" << (address.empty() ? "127.0.0.1" : address) << ":" << port
      << "/\n"
      << "Sharing:      " << OnOff(ReadSharingSwitch(*dataFolder + std::string(kSharingFileName)))
      << " (TVs and players on this network)\n"
      << "Login:        " << (settings.login ? "on, as " + settings.username : std::string("off"))
      << "\n"
      << "Rescan:       "
      << (settings.autoscan ? "every " + std::to_string(settings.scanMinutes) + " minutes"
                            : std::string("off"))
      << "\n";
  const StoredTables tables = ReadTables(*dataFolder);
  if (tables.problem) {
    out << "Library:      " << *tables.problem << "\n" << std::flush;
    return 0;
  }
  int movies = 0, tv = 0, playlists = 0;
  for (int row = 0; row < tables.library.RowCount(); ++row) {
    movies += tables.library.Cell(LibraryColumn::kClass, row) == "MOVIE";
    tv += tables.library.Cell(LibraryColumn::kClass, row) == "TV";
  }
  for (int row = 0; row < tables.playlists.RowCount(); ++row) {
    playlists += !tables.playlists.Cell(PlaylistColumn::kName, row).empty();
  }
  out << "Movies:       " << movies << "\n"
      << "TV shows:     " << tv << "\n"
      << "Playlists:    " << playlists << "\n"
      << "Watched:      " << tables.folders.size()
      << (tables.folders.size() == 1 ? " folder" : " folders") << "\n"
      << std::flush;
  return 0;
}

}  // namespace vidoria
