#include "site/markup.h"

#include <string>

#include <gtest/gtest.h>

#include "site/fixed_pages.h"
#include "site/site_test_helpers.h"

namespace vidoria {
namespace {

using testing::CrLfLines;

const std::string kHeader = CrLfLines({
    R"(<!DOCTYPE HTML PUBLIC "-//WAPFORUM//DTD XHTML Mobile 1.0//EN" "http://www.wapforum.org/DTD/xhtml-mobile10.dtd">)",
    R"(<html xml:lang="en" xmlns="http://www.w3.org/1999/xhtml"><head>)",
    R"(<meta http-equiv="content-type" content="text/html; charset=UTF-8"> )",
    "",
    "",
    "\t<title>Vidoria</title>",
    "\t"
    R"(<meta name="viewport" content="width=320; initial-scale=1.0; maximum-scale=1.0; user-scalable=0;">)",
    R"(    <link href="/kavra/kavra.css" rel="stylesheet" type="text/css">)",
    "",
    R"(</head><body orient="landscape">)",
    R"(<div id="header"><a>Orvelle</a></div>)",
});

const std::string kFooter = CrLfLines({
    R"(<div class="h3"></div>)",
    "",
    "\t\t"
    R"(<div class="c"></div>)",
    "</div>",
    "",
    "</body>",
    "</html>",
});

const std::string kBack = CrLfLines(
    {R"(<div class="boxbottom"><div class="boxfooter"><h2><a href="/">Back</a></h2></div></div>)"});

TEST(MarkupTest, HeaderAndFooterBlocksAreByteExact) {
  EXPECT_EQ(HeaderBlock(), kHeader);
  EXPECT_EQ(FooterBlock(), kFooter);
  EXPECT_EQ(BackBox(), kBack);
}

TEST(MarkupTest, MakerBoxOpensTheMakersSiteInANewWindow) {
  const std::string& box = MakerBox();
  EXPECT_TRUE(box.starts_with(R"(<div class="boxbottom"><div class="boxfooter"><h2><a href=")"));
  EXPECT_NE(box.find(R"(" target="_blank">)"), std::string::npos);
  EXPECT_TRUE(box.ends_with("</a></h2></div></div>\r\n"));
  EXPECT_EQ(box.find("\r\n"), box.size() - 2);  // one line
}

TEST(FixedPagesTest, HomePageIsByteExact) {
  const std::string expected =
      kHeader +
      CrLfLines({
          R"(<div class="boxtop"><div class="boxhead"><h2>Home</h2></div></div>)",
          R"(<div class="obj"><table width="100%"><tr><td width="34px" align="center" valign="middle"<a href="/library.html">   <img src="/kavra/library.png">    </a></td><td> <a href="/library.html">Library</a>       </td></tr></table></div>)",
          R"(<div class="obj"><table width="100%"><tr><td width="34px" align="center" valign="middle"<a href="/playlists.html"> <img src="/kavra/playlists.png">  </a></td><td> <a href="/playlists.html">Playlists</a>   </td></tr></table></div>)",
      }) +
      MakerBox() + kFooter;
  EXPECT_EQ(HomePage(), expected);
}

TEST(FixedPagesTest, LibraryIndexPageIsByteExact) {
  const std::string expected =
      kHeader +
      CrLfLines({
          R"(<div class="boxtop"><div class="boxhead"><h2><a href="/">Home</a> - Library</h2></div></div>)",
          R"(<div class="obj"><table width="100%"><tr><td width="34px" align="center" valign="middle"<a href="/list&library">  <img src="/kavra/files.png"> </a></td><td> <a href="/list&library">Entire collection</a></td></tr></table></div>)",
          R"(<div class="obj"><table width="100%"><tr><td width="34px" align="center" valign="middle"<a href="/list&movies">   <img src="/kavra/fmovie.png"></a></td><td> <a href="/list&movies">Movie collection</a></td></tr></table></div>)",
          R"(<div class="obj"><table width="100%"><tr><td width="34px" align="center" valign="middle"<a href="/list&tvshows">  <img src="/kavra/ftv.png">   </a></td><td> <a href="/list&tvshows">TV Show collection</a></td></tr></table></div>)",
      }) +
      kBack + kFooter;
  EXPECT_EQ(LibraryIndexPage(), expected);
}

TEST(FixedPagesTest, BuildersStoreIntoTheirBuffers) {
  PageBuffers pages;
  BuildHomePage(pages);
  BuildLibraryIndexPage(pages);
  EXPECT_EQ(*pages.Get(page::kIndex), HomePage());
  EXPECT_EQ(*pages.Get(page::kLibraryMenu), LibraryIndexPage());
}

}  // namespace
}  // namespace vidoria
