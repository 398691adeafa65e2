#include "site/login_page.h"

#include "site/markup.h"

namespace vidoria {

namespace {

void AddLine(std::string& page, std::string_view line) {
  page += line;
  page += kCrLf;
}

}  // namespace

std::string LoginPage(std::string_view message) {
  std::string page = HeaderBlock();
  page += TitleBox("Home");
  // The form's lines are kept as browsers and clients have always received them, stray tags and
  // the unpaired quotes in width=50%" included; browsers render them as intended.
  AddLine(page,
          "<div class=\"obj\"><form action = \"/login.html\" method = \"post\" />"
          "<table width=\"100%\">");
  if (!message.empty()) {
    page += "<div class=\"obj\" align=\"center\">";
    page += message;
    AddLine(page, "</div>");
  }
  AddLine(page,
          "<tr><td width=\"50%\">Username:</td><td width=\"50%\"><label><input type=\"text\" "
          "name=\"user\" id=\"user\" /></label></td></tr>");
  AddLine(page,
          "<tr><td width=\"50%\">Password:</td><td width=50%\"><label><input type=\"password\" "
          "name=\"pass\" id=\"pass\" /></label></td></tr>");
  AddLine(page,
          "<tr><td width=\"50%\"></td>         <td width=50%\"><label><input type=\"submit\" "
          "name=\"submit\" id=\"submit\" value=\"submit\" /></div></label></td></tr>");
  AddLine(page, "</form></td></tr></table></div>");
  page += MakerBox();
  page += FooterBlock();
  return page;
}

void GenerateLogin(std::string_view message, PageBuffers& pages) {
  pages.Set(page::kLogin, LoginPage(message));
}

}  // namespace vidoria
