#include "playlists/user_accounts.h"

#include <gtest/gtest.h>

#include "library/cipher.h"
#include "playlists/playlists_for_tests.h"

namespace vidoria {
namespace {

using Names = std::vector<std::string>;

Names NamesOf(const Table& usrGrid) {
  Names names;
  for (int row = 0; row < usrGrid.RowCount(); ++row) names.push_back(usrGrid.Cell(0, row));
  return names;
}

void Add(Table& usrGrid, std::string_view name, std::string_view password = "pw") {
  ASSERT_EQ(AddUser(usrGrid, name, password), std::nullopt) << name;
}

TEST(UserAccountsTest, CancelledPromptsAddKavraWithAnEncipheredPleximor) {
  Table usrGrid(2, 1);
  Add(usrGrid, kNewUserDefault, kNewPasswordDefault);
  EXPECT_EQ(NamesOf(usrGrid), (Names{"Kavra"}));
  EXPECT_NE(usrGrid.Cell(1, 0), "Pleximor");
  EXPECT_EQ(DecodeText(kCypherKey, usrGrid.Cell(1, 0)), "Pleximor");
  EXPECT_EQ(PasswordPromptTitle("Kavra"), "Password for Kavra:");
}

TEST(UserAccountsTest, RemovingANameRemovesEveryRowOfIt) {
  Table usrGrid(2, 1);
  for (const char* name : {"ann", "bob", "ann", "Ann", "ann"}) Add(usrGrid, name);
  RemoveUsers(usrGrid, {"ann"});
  EXPECT_EQ(NamesOf(usrGrid), (Names{"bob", "Ann"}));
  RemoveUsers(usrGrid, {"bob", "Ann", "nobody"});
  EXPECT_EQ(CellsOf(usrGrid), (Cells{{"", ""}}));
}

TEST(UserAccountsTest, TheEmptyRowLeftByRemovingEveryAccountIsFilledNext) {
  Table usrGrid(2, 1);
  Add(usrGrid, "ann");
  RemoveUsers(usrGrid, {"ann"});
  EXPECT_EQ(UserNames(usrGrid), Names{});  // what a restart would list
  Add(usrGrid, "bob");
  EXPECT_EQ(NamesOf(usrGrid), (Names{"bob"}));
}

TEST(UserAccountsTest, NamesAreStoredAsTypedAndABlankOneIsOverwrittenByTheNext) {
  Table usrGrid(2, 1);
  Add(usrGrid, "  ann ");
  Add(usrGrid, "   ");
  Add(usrGrid, "bob");
  Add(usrGrid, "");
  Add(usrGrid, "carl", "");
  EXPECT_EQ(NamesOf(usrGrid), (Names{"  ann ", "bob", "carl"}));
  EXPECT_EQ(usrGrid.Cell(1, 2), "");
}

TEST(UserAccountsTest, AccountsTheUserFileCannotHoldAreRefusedUnchanged) {
  struct Case {
    std::string name;
    std::string password;
  };
  for (const Case& c : {
           Case{"two\nlines", "pw"}, Case{"two\rlines", "pw"},
           Case{"ann", "\xF3\xA0\x80\x80"},      // its lead byte enciphers to NUL
           Case{"ann", "a\xFD"},                 // enciphers to LF
           Case{"ann", std::string("a\0b", 3)},  // NUL enciphers to CR
       }) {
    Table usrGrid = MakeTable({{"kept", "x"}});
    const Table before = usrGrid;
    const std::optional<std::string> problem = AddUser(usrGrid, c.name, c.password);
    ASSERT_TRUE(problem.has_value()) << c.name;
    EXPECT_NE(problem->find("cannot be stored"), std::string::npos) << *problem;
    EXPECT_EQ(usrGrid, before) << c.name;
  }
}

TEST(UserAccountsTest, ANarrowStoredTableIsWidenedToHoldThePassword) {
  Table usrGrid(1, 1);
  Add(usrGrid, "ann", "secret");
  EXPECT_EQ(usrGrid.ColCount(), 2);
  EXPECT_EQ(DecodeText(kCypherKey, usrGrid.Cell(1, 0)), "secret");
}

TEST(UserAccountsTest, TheListStartsEmptyWhenTheFirstNameIsEmpty) {
  EXPECT_EQ(UserNames(MakeTable({{"ann", "x"}, {"", "y"}, {"bob", "z"}})),
            (Names{"ann", "", "bob"}));
  EXPECT_EQ(UserNames(MakeTable({{"", "x"}, {"bob", "z"}})), Names{});
}

}  // namespace
}  // namespace vidoria
