#include "web/library_lookup.h"

#include "library/table_layouts.h"
#include "platform/file_names.h"
#include "server/http_values.h"
#include "server/text.h"

namespace vidoria {

namespace {

std::string ReplaceAll(std::string text, std::string_view from, std::string_view to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

std::string WithoutSlashes(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c != '/' && c != '\\') out += c;
  }
  return out;
}

// The folder of the last library row with this file name; later rows win.
std::string FolderOfLastRow(const Table& libraryTable, std::string_view name) {
  std::string folder;
  for (int row = 0; row < libraryTable.RowCount(); ++row) {
    if (libraryTable.Cell(LibraryColumn::kName, row) == name) {
      folder = FolderOf(libraryTable.Cell(LibraryColumn::kPath, row));
    }
  }
  return folder;
}

std::string TextAfterStar(std::string_view text) {
  const size_t star = text.find('*');
  return std::string(star == std::string_view::npos ? text : TrimControl(text.substr(star + 1)));
}

}  // namespace

void LookUpVideo(std::string_view fileName, const LookupContext& context, LibraryLookup& result) {
  context.activity("Loading Video " + std::string(fileName));
  result.name = PercentDecode(WithoutSlashes(fileName));
  result.folder = FolderOfLastRow(context.view.libraryTable, result.name);
}

void LookUpSubtitles(std::string_view fileName, const LookupContext& context,
                     LibraryLookup& result) {
  result.name = PercentDecode(WithoutSlashes(TextAfterStar(fileName)));
  constexpr std::string_view kSubtitles = ".srt";
  if (!result.name.ends_with(kSubtitles)) return;
  const std::string video = result.name.substr(0, result.name.size() - kSubtitles.size()) + ".mp4";
  result.folder = FolderOfLastRow(context.view.libraryTable, video);
}

void LookUpImage(std::string_view fileName, const LookupContext& context, LibraryLookup& result) {
  context.activity("Loading Image " + std::string(fileName));
  result.name = std::string(fileName);
  std::string found;
  bool special = false;
  for (std::string_view fixed : {"/folder.jpg", "/cover.jpg"}) {
    if (fileName.find(fixed) != std::string_view::npos) found = fileName;
  }
  for (std::string_view fixed :
       {"/backdrop.jpg", "/background.jpg", "/wallpaper.jpg", "/fanart.jpg"}) {
    if (fileName.find(fixed) != std::string_view::npos) {
      found = fileName;
      special = true;
    }
  }
  std::string picture;
  if (found.empty()) {
    result.name = PercentDecode(WithoutSlashes(TextAfterStar(result.name)));
    const std::string videoName = ReplaceAll(result.name, ".jpg", ".mp4");
    const std::string folder = FolderOfLastRow(context.view.libraryTable, videoName);
    if (!folder.empty()) result.folder = folder;
  } else {
    found = ReplaceAll(PercentDecode(found), "//", "/");
    if (const size_t slash = found.find('/'); slash != std::string::npos) found.erase(slash, 1);
    const size_t slash = found.find('/');
    picture = slash == std::string::npos
                  ? found
                  : std::string(TrimControl(std::string_view(found).substr(slash + 1)));
    context.activity("Loading Image 4 " + picture);
    const std::string list = slash == std::string::npos
                                 ? std::string()
                                 : std::string(TrimControl(found.substr(0, slash)));
    context.activity("Loading Image 5 " + list);
    if (!list.empty() && list != "library") {
      context.activity("Loading Image 6 " + list);
      const Table& playlistTable = context.view.playlistTable;
      const Table& libraryTable = context.view.libraryTable;
      for (int p = 0; p < playlistTable.RowCount(); ++p) {
        if (playlistTable.Cell(PlaylistColumn::kName, p) != list) continue;
        for (int row = 0; row < libraryTable.RowCount(); ++row) {
          if (libraryTable.Cell(LibraryColumn::kName, row) !=
              playlistTable.Cell(PlaylistColumn::kFirstSlot, p))
            continue;
          result.folder = FolderOf(libraryTable.Cell(LibraryColumn::kPath, row));
          if (!result.folder.empty()) result.name = picture;
          context.activity("Loading Image 7 " + result.folder + picture);
        }
      }
    }
  }
  // Without a folder there is nothing to look at: names are never tried relative to wherever the
  // process happens to run.
  auto exists = [&](const std::string& name) {
    return !result.folder.empty() && context.fileExists(result.folder + name);
  };
  if (exists(result.name)) {
    context.activity("Loading Image 71 " + result.folder + picture);
  } else if (!special && exists("cover.jpg")) {
    result.name = "cover.jpg";
    context.activity("Loading Image 72 " + result.folder + picture);
  } else if (!special && exists("folder.jpg")) {
    context.activity("Loading Image 73 " + result.folder + picture);
    result.name = "folder.jpg";
  } else if (!special) {
    result.name = "kavra/blank.jpg";
    result.folder = context.programFolder;
  }
  context.activity("Loading Image 8 " + result.folder + "*" + result.name);
}

}  // namespace vidoria
