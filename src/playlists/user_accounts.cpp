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

std::optional<std::string> AddUser(Table& usrGrid, std::string_view name,
                                   std::string_view password) {
  // The user file stores one cell per line; a line break would shift every later cell, so saving
  // it at close would fail and the session's accounts would be lost.
  if (name.find_first_of("\r\n") != std::string_view::npos) {
    return "This user name cannot be stored: it contains a line break. Please choose another "
           "name.";
  }
  if (auto problem = PasswordProblem(password)) return problem;

  // A file may hold a narrower table; the password must not fall outside it.
  if (usrGrid.ColCount() < kUserColumns) usrGrid.SetColCount(kUserColumns);
  int row = usrGrid.RowCount() - 1;
  if (!BlankName(usrGrid.Cell(kUserNameColumn, row))) {
    usrGrid.AddRow();
    ++row;
  }
  usrGrid.SetCell(kUserNameColumn, row, std::string(name));
  usrGrid.SetCell(kUserPasswordColumn, row, EncodeText(kCypherKey, password));
  return std::nullopt;
}

void RemoveUsers(Table& usrGrid, const std::vector<std::string>& names) {
  for (auto name = names.rbegin(); name != names.rend(); ++name) {
    for (int row = usrGrid.RowCount() - 1; row >= 0; --row) {
      if (usrGrid.Cell(kUserNameColumn, row) == *name) DeleteGridRow(usrGrid, row);
    }
  }
}

std::vector<std::string> UserNames(const Table& usrGrid) {
  std::vector<std::string> names;
  if (usrGrid.Cell(kUserNameColumn, 0).empty()) return names;
  for (int row = 0; row < usrGrid.RowCount(); ++row) {
    names.push_back(usrGrid.Cell(kUserNameColumn, row));
  }
  return names;
}

std::string SelectedUsersStatus(size_t count) {
  return std::to_string(count) + " users selected";
}

}  // namespace vidoria
