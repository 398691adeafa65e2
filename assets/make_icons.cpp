// Draws the site's pictures into a folder: the icons the pages name and the blank cover picture.
//
// Usage: make_icons <folder>. The icons are 68 pixels square, twice the 34 pixels the pages show
// them at, so they stay sharp on phone screens; their colours read on light and dark pages.
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "assets/canvas.h"
#include "assets/jpeg_writer.h"
#include "assets/png_writer.h"

namespace vidoria::assets {
namespace {

constexpr int kIconPixels = 68;
constexpr double kGrid = 34;

constexpr Colour kWhite{255, 255, 255};
constexpr Colour kFolder{242, 178, 51};
constexpr Colour kFolderTab{217, 151, 42};
constexpr Colour kPaper{250, 246, 236};
constexpr Colour kFilm{59, 125, 221};
constexpr Colour kScreenCase{43, 165, 154};
constexpr Colour kScreen{226, 246, 243};
constexpr Colour kList{142, 91, 217};
constexpr Colour kListBehind{183, 154, 240};
constexpr Colour kBookRed{224, 86, 59};
constexpr Colour kShelf{138, 106, 74};

void PlayMark(Canvas& c, double x, double y, double size, Colour colour) {
  c.Polygon({{x, y}, {x, y + size}, {x + size * 0.87, y + size / 2}}, colour);
}

void Folder(Canvas& c) {
  c.RoundRect(3, 6, 15, 13, 2, kFolderTab);
  c.RoundRect(6, 8.5, 28, 16, 1, kPaper);
  c.RoundRect(3, 11, 31, 29, 2.5, kFolder);
}

void ListLines(Canvas& c, double x, double y, double length) {
  for (int i = 0; i < 3; ++i) c.Line({x, y + i * 5.5}, {x + length, y + i * 5.5}, 2.2, kWhite);
}

const std::vector<std::pair<std::string, std::function<void(Canvas&)>>>& Icons() {
  static const std::vector<std::pair<std::string, std::function<void(Canvas&)>>> kIcons = {
      {"library.png",
       [](Canvas& c) {
         c.RoundRect(5, 6, 12, 27, 1.2, kBookRed);
         c.RoundRect(13, 9, 20, 27, 1.2, kFilm);
         c.Polygon({{21.5, 9.5}, {27.5, 8}, {31, 26}, {25, 27.5}}, kScreenCase);
         for (double x : {5.0, 13.0}) {
           c.RoundRect(x + 1.5, 12, x + 5.5, 13.5, 0.5, kWhite);
           c.RoundRect(x + 1.5, 22, x + 5.5, 23.5, 0.5, kWhite);
         }
         c.RoundRect(3, 27, 31, 30, 1, kShelf);
       }},
      {"playlists.png",
       [](Canvas& c) {
         c.RoundRect(9, 3, 31, 25, 3.5, kListBehind);
         c.RoundRect(3, 9, 25, 31, 3.5, kList);
         ListLines(c, 7.5, 14.5, 6.5);
         PlayMark(c, 16.5, 15.5, 8, kWhite);
       }},
      {"files.png", [](Canvas& c) { Folder(c); }},
      {"fmovie.png",
       [](Canvas& c) {
         Folder(c);
         PlayMark(c, 13.5, 14.5, 11, kWhite);
       }},
      {"ftv.png",
       [](Canvas& c) {
         Folder(c);
         c.Line({14, 17}, {11.5, 13.5}, 1.4, kWhite);
         c.Line({20, 17}, {22.5, 13.5}, 1.4, kWhite);
         c.RoundRect(9.5, 16.5, 24.5, 26, 1.8, kWhite);
         c.RoundRect(11.3, 18.3, 22.7, 24.2, 0.8, kFolder);
       }},
      {"playlist.png",
       [](Canvas& c) {
         c.RoundRect(3, 4, 31, 30, 4, kList);
         ListLines(c, 8.5, 11.5, 9);
         PlayMark(c, 20, 12, 10, kWhite);
       }},
      {"movie.png",
       [](Canvas& c) {
         c.RoundRect(3, 5, 31, 29, 3, kFilm);
         for (double x = 5.5; x < 29; x += 4.2) {
           c.RoundRect(x, 7, x + 2.2, 9.2, 0.5, kWhite);
           c.RoundRect(x, 24.8, x + 2.2, 27, 0.5, kWhite);
         }
         PlayMark(c, 13.5, 11.5, 11, kWhite);
       }},
      {"tv.png",
       [](Canvas& c) {
         c.Line({13, 8}, {9, 3}, 1.8, kScreenCase);
         c.Line({21, 8}, {25, 3}, 1.8, kScreenCase);
         c.RoundRect(14.5, 25, 19.5, 30, 0.5, kScreenCase);
         c.Line({10.5, 30}, {23.5, 30}, 2.4, kScreenCase);
         c.RoundRect(2.5, 7.5, 31.5, 26.5, 3.5, kScreenCase);
         c.RoundRect(5.5, 10.5, 28.5, 23.5, 1.8, kScreen);
       }},
  };
  return kIcons;
}

// The cover shown for a video without a picture of its own: a calm neutral grey, 4:3.
constexpr int kBlankWidth = 320;
constexpr int kBlankHeight = 240;
constexpr Rgb kBlankColour{128, 132, 138};

int Run(const std::string& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    std::fprintf(stderr, "make_icons: cannot create %s: %s\n", folder.c_str(),
                 error.message().c_str());
    return 1;
  }
  auto write = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
    if (WriteFileBytes(folder + "/" + name, bytes)) return true;
    std::fprintf(stderr, "make_icons: cannot write %s/%s\n", folder.c_str(), name.c_str());
    return false;
  };
  bool ok = true;
  for (const auto& [name, draw] : Icons()) {
    Canvas canvas(kIconPixels, kGrid);
    draw(canvas);
    ok = write(name, EncodePng(kIconPixels, kIconPixels, canvas.Rgba())) && ok;
  }
  ok = write("blank.jpg", EncodeFlatJpeg(kBlankWidth, kBlankHeight, kBlankColour)) && ok;
  return ok ? 0 : 1;
}

}  // namespace
}  // namespace vidoria::assets

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_icons <folder>\n");
    return 2;
  }
  return vidoria::assets::Run(argv[1]);
}
