#include "site/fixed_pages.h"

#include "site/markup.h"

namespace vidoria {

namespace {

// These entries keep their uneven inner spacing: the pages stay byte for byte what phones and
// client programs have always been sent.
std::string Entry(std::string_view rest) {
  std::string line(kEntryStart);
  line += rest;
  line += kEntryEnd;
  line += kCrLf;
  return line;
}

}  // namespace

const std::string& HomePage() {
  static const std::string kPage =
      HeaderBlock() + TitleBox("Home") +
      Entry(
          "/library.html\">   <img src=\"/kavra/library.png\">    </a></td><td> "
          "<a href=\"/library.html\">Library</a>       ") +
      Entry(
          "/playlists.html\"> <img src=\"/kavra/playlists.png\">  </a></td><td> "
          "<a href=\"/playlists.html\">Playlists</a>   ") +
      MakerBox() + FooterBlock();
  return kPage;
}

const std::string& LibraryIndexPage() {
  static const std::string kPage =
      HeaderBlock() + TitleBox("<a href=\"/\">Home</a> - Library") +
      Entry(
          "/list&library\">  <img src=\"/kavra/files.png\"> </a></td><td> "
          "<a href=\"/list&library\">Entire collection</a>") +
      Entry(
          "/list&movies\">   <img src=\"/kavra/fmovie.png\"></a></td><td> "
          "<a href=\"/list&movies\">Movie collection</a>") +
      Entry(
          "/list&tvshows\">  <img src=\"/kavra/ftv.png\">   </a></td><td> "
          "<a href=\"/list&tvshows\">TV Show collection</a>") +
      BackBox() + FooterBlock();
  return kPage;
}

void BuildHomePage(PageBuffers& pages) {
  pages.Set(page::kIndex, HomePage());
}

void BuildLibraryIndexPage(PageBuffers& pages) {
  pages.Set(page::kLibraryMenu, LibraryIndexPage());
}

}  // namespace vidoria
