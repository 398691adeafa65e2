// The user table: one row per account, in order of creation (user name as typed, password
// enciphered with EncodeText(kCypherKey, ...); the columns are in library/table_layouts.h). An
// empty table is one empty row.
// Nothing authenticates against it: the web login checks only the single user name and password
// of the settings (Settings::username / password, switched by Settings::login and SetLogin).
//
// Plain functions on a table the caller owns; main thread only. The window's list `usrList`
// (sorted) shows the names.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "library/table.h"
#include "library/table_layouts.h"

namespace vidoria {

// The two prompts of "add an account" and their prefilled texts, which cancelling also returns.
inline constexpr std::string_view kNewUserTitle = "New Username:";
inline constexpr std::string_view kNewUserDefault = "Kavra";
inline constexpr std::string_view kNewPasswordDefault = "Pleximor";
std::string PasswordPromptTitle(std::string_view name);  // "Password for <name>:"

// Adds an account: into the last row when its name, without surrounding blanks, is empty (so a
// name of spaces only is overwritten by the next account), else into a new row. The name is
// stored as entered. Returns the message to show, with the table unchanged, when the account
// could not be stored in the user file: a name holding a line break, or a password whose
// enciphered form PasswordProblem refuses. On success the window adds the name to its list.
[[nodiscard]] std::optional<std::string> AddUser(Table& userTable, std::string_view name,
                                                 std::string_view password);

// Removes every row whose name equals one of `names` exactly (the checked or selected items of the
// list), bottom up; removing the last account leaves one empty row.
void RemoveUsers(Table& userTable, const std::vector<std::string>& names);

// The names the list starts with: the name of every row, or none when row 0 has no name.
std::vector<std::string> UserNames(const Table& userTable);

// "<n> users selected", for a click in the list.
std::string SelectedUsersStatus(size_t count);

}  // namespace vidoria
