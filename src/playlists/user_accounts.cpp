#include "playlists/user_accounts.h"

#include "library/cipher.h"

namespace vidoria {
namespace {

bool BlankName(std::string_view name) {
  return name.find_first_not_of(" \t") == std::string_view::npos;
}

}  // namespace

std::string PasswordPromptTitle(std::string_view name) {
  return "Password for " + std::string(name) + ":";
}

std::optional<std::string> AddUser(Table& userTable, std::string_view name,
                                   std::string_view password) {
  // The user file stores one cell per line; a line break would shift every later cell, so saving
  // it at close would fail and the session's accounts would be lost.
  if (name.find_first_of("\r\n") != std::string_view::npos) {
    return "This user name cannot be stored: it contains a line break. Please choose another "
           "name.";
  }
  if (auto problem = PasswordProblem(password)) return problem;

  // A file may hold a narrower table; the password must not fall outside it.
  if (userTable.ColCount() < UserColumn::kCount) userTable.SetColCount(UserColumn::kCount);
  int row = userTable.RowCount() - 1;
  if (!BlankName(userTable.Cell(UserColumn::kName, row))) {
    userTable.AddRow();
    ++row;
  }
  userTable.SetCell(UserColumn::kName, row, std::string(name));
  userTable.SetCell(UserColumn::kPassword, row, EncodeText(kCypherKey, password));
  return std::nullopt;
}

void RemoveUsers(Table& userTable, const std::vector<std::string>& names) {
  for (auto name = names.rbegin(); name != names.rend(); ++name) {
    for (int row = userTable.RowCount() - 1; row >= 0; --row) {
      if (userTable.Cell(UserColumn::kName, row) == *name) DeleteGridRow(userTable, row);
    }
  }
}

std::vector<std::string> UserNames(const Table& userTable) {
  std::vector<std::string> names;
  if (userTable.Cell(UserColumn::kName, 0).empty()) return names;
  for (int row = 0; row < userTable.RowCount(); ++row) {
    names.push_back(userTable.Cell(UserColumn::kName, row));
  }
  return names;
}

std::string SelectedUsersStatus(size_t count) {
  return std::to_string(count) + " users selected";
}

}  // namespace vidoria
