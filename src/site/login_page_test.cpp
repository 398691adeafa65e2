#include "site/login_page.h"

#include <string>

#include <gtest/gtest.h>

#include "site/markup.h"
#include "site/site_test_helpers.h"

namespace vidoria {
namespace {

using testing::CrLfLines;

std::string Form(std::string_view messageLine) {
  std::string page =
      HeaderBlock() +
      CrLfLines({
          R"(<div class="boxtop"><div class="boxhead"><h2>Home</h2></div></div>)",
          R"(<div class="obj"><form action = "/login.html" method = "post" /><table width="100%">)",
      });
  if (!messageLine.empty()) page += CrLfLines({messageLine});
  return page +
         CrLfLines({
             R"(<tr><td width="50%">Username:</td><td width="50%"><label><input type="text" name="user" id="user" /></label></td></tr>)",
             R"(<tr><td width="50%">Password:</td><td width=50%"><label><input type="password" name="pass" id="pass" /></label></td></tr>)",
             R"(<tr><td width="50%"></td>         <td width=50%"><label><input type="submit" name="submit" id="submit" value="submit" /></div></label></td></tr>)",
             R"(</form></td></tr></table></div>)",
         }) +
         MakerBox() + FooterBlock();
}

TEST(LoginPageTest, IsByteExactWithAndWithoutAMessage) {
  EXPECT_EQ(LoginPage("Please login"),
            Form(R"(<div class="obj" align="center">Please login</div>)"));
  EXPECT_EQ(LoginPage(""), Form(""));
  // The program's own texts are markup: they are written as given.
  EXPECT_EQ(LoginPage("<b>Login failed</b>"),
            Form(R"(<div class="obj" align="center"><b>Login failed</b></div>)"));
}

TEST(LoginPageTest, EachGenerationReplacesTheWholePage) {
  PageBuffers pages;
  GenerateLogin("Please login", pages);
  GenerateLogin("Login failed, wrong username/password.", pages);
  GenerateLogin("Login failed, wrong username/password.", pages);
  EXPECT_EQ(*pages.Get(page::kLogin), LoginPage("Login failed, wrong username/password."));
}

}  // namespace
}  // namespace vidoria
