// The login form.
#pragma once

#include <string>
#include <string_view>

#include "site/page_buffers.h"

namespace vidoria {

// The form posting "user", "pass" and "submit" to /login.html, with `message` centred above the
// fields (no message line when it is empty), closed by the maker box. The message is markup and
// written as given: callers pass the program's own texts ("Please login", "Login failed, wrong
// username/password."), never anything a visitor sent. Pure.
std::string LoginPage(std::string_view message);

// Stores LoginPage(message) into page::kLogin in one step, so concurrent calls and readers each
// see one whole page. Any thread.
void GenerateLogin(std::string_view message, PageBuffers& pages);

}  // namespace vidoria
