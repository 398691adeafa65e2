#include "playlists/user_accounts.h"

#include <gtest/gtest.h>

#include "library/cipher.h"
#include "playlists/playlists_for_tests.h"

namespace vidoria {
namespace {

using Names = std::vector<std::string>;

Names NamesOf(const Table& userTable) {
  Names names;
  for (int row = 0; row < userTable.RowCount(); ++row)
    names.push_back(userTable.Cell(UserColumn::kName, row));
  return names;
}

void Add(Table& userTable, std::string_view name, std::string_view password = "pw") {
  ASSERT_EQ(AddUser(userTable, name, password), std::nullopt) << name;
}

TEST(UserAccountsTest, CancelledPromptsAddKavraWithAnEncipheredPleximor) {
  Table userTable(2, 1);
  Add(userTable, kNewUserDefault, kNewPasswordDefault);
  EXPECT_EQ(NamesOf(userTable), (Names{"Kavra"}));
  EXPECT_NE(userTable.Cell(UserColumn::kPassword, 0), "Pleximor");
  EXPECT_EQ(DecodeText(kCypherKey, userTable.Cell(UserColumn::kPassword, 0)), "Pleximor");
  EXPECT_EQ(PasswordPromptTitle("Kavra"), "Password for Kavra:");
}

TEST(UserAccountsTest, RemovingANameRemovesEveryRowOfIt) {
  Table userTable(2, 1);
  for (const char* name : {"ann", "bob", "ann", "Ann", "ann"}) Add(userTable, name);
  RemoveUsers(userTable, {"ann"});
  EXPECT_EQ(NamesOf(userTable), (Names{"bob", "Ann"}));
  RemoveUsers(userTable, {"bob", "Ann", "nobody"});
  EXPECT_EQ(CellsOf(userTable), (Cells{{"", ""}}));
}

TEST(UserAccountsTest, TheEmptyRowLeftByRemovingEveryAccountIsFilledNext) {
  Table userTable(2, 1);
  Add(userTable, "ann");
  RemoveUsers(userTable, {"ann"});
  EXPECT_EQ(UserNames(userTable), Names{});  // what a restart would list
  Add(userTable, "bob");
  EXPECT_EQ(NamesOf(userTable), (Names{"bob"}));
}

TEST(UserAccountsTest, NamesAreStoredAsTypedAndABlankOneIsOverwrittenByTheNext) {
  Table userTable(2, 1);
  Add(userTable, "  ann ");
  Add(userTable, "   ");
  Add(userTable, "bob");
  Add(userTable, "");
  Add(userTable, "carl", "");
  EXPECT_EQ(NamesOf(userTable), (Names{"  ann ", "bob", "carl"}));
  EXPECT_EQ(userTable.Cell(UserColumn::kPassword, 2), "");
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
    Table userTable = MakeTable({{"kept", "x"}});
    const Table before = userTable;
    const std::optional<std::string> problem = AddUser(userTable, c.name, c.password);
    ASSERT_TRUE(problem.has_value()) << c.name;
    EXPECT_NE(problem->find("cannot be stored"), std::string::npos) << *problem;
    EXPECT_EQ(userTable, before) << c.name;
  }
}

TEST(UserAccountsTest, ANarrowStoredTableIsWidenedToHoldThePassword) {
  Table userTable(1, 1);
  Add(userTable, "ann", "secret");
  EXPECT_EQ(userTable.ColCount(), 2);
  EXPECT_EQ(DecodeText(kCypherKey, userTable.Cell(UserColumn::kPassword, 0)), "secret");
}

TEST(UserAccountsTest, TheListStartsEmptyWhenTheFirstNameIsEmpty) {
  EXPECT_EQ(UserNames(MakeTable({{"ann", "x"}, {"", "y"}, {"bob", "z"}})),
            (Names{"ann", "", "bob"}));
  EXPECT_EQ(UserNames(MakeTable({{"", "x"}, {"bob", "z"}})), Names{});
}

}  // namespace
}  // namespace vidoria
