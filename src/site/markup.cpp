#include "site/markup.h"

namespace vidoria {

namespace {

std::string Lines(std::initializer_list<std::string_view> lines) {
  std::string text;
  for (std::string_view line : lines) {
    text += line;
    text += kCrLf;
  }
  return text;
}

}  // namespace

const std::string& HeaderBlock() {
  static const std::string kBlock = Lines({
      "<!DOCTYPE HTML PUBLIC \"-//WAPFORUM//DTD XHTML Mobile 1.0//EN\" "
      "\"http://www.wapforum.org/DTD/xhtml-mobile10.dtd\">",
      "<html xml:lang=\"en\" xmlns=\"http://www.w3.org/1999/xhtml\"><head>",
      "<meta http-equiv=\"content-type\" content=\"text/html; charset=UTF-8\"> ",
      "",
      "",
      "\t<title>Vidoria</title>",
      "\t<meta name=\"viewport\" content=\"width=320; initial-scale=1.0; maximum-scale=1.0; "
      "user-scalable=0;\">",
      "    <link href=\"/kavra/kavra.css\" rel=\"stylesheet\" type=\"text/css\">",
      "",
      "</head><body orient=\"landscape\">",
      "<div id=\"header\"><a>" + std::string(kMakerName) + "</a></div>",
  });
  return kBlock;
}

const std::string& FooterBlock() {
  static const std::string kBlock = Lines({
      "<div class=\"h3\"></div>",
      "",
      "\t\t<div class=\"c\"></div>",
      "</div>",
      "",
      "</body>",
      "</html>",
  });
  return kBlock;
}

std::string TitleBox(std::string_view title) {
  std::string line = "<div class=\"boxtop\"><div class=\"boxhead\"><h2>";
  line += title;
  line += "</h2></div></div>";
  line += kCrLf;
  return line;
}

const std::string& BackBox() {
  static const std::string kLine = Lines(
      {"<div class=\"boxbottom\"><div class=\"boxfooter\"><h2><a href=\"/\">Back</a></h2></div>"
       "</div>"});
  return kLine;
}

const std::string& MakerBox() {
  static const std::string kLine =
      Lines({"<div class=\"boxbottom\"><div class=\"boxfooter\"><h2><a href=\"" +
             std::string(kMakerAddress) + "\" target=\"_blank\">" + std::string(kMakerName) +
             "</a></h2></div></div>"});
  return kLine;
}

}  // namespace vidoria
