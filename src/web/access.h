// Who may see the gated pages: the login switch, the first-login flag and the credentials.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <utility>

namespace vidoria {

// Written by the main thread (switch, credentials) and by request threads (loggedIn); read by
// request threads. Thread-safe.
class AccessState {
 public:
  std::atomic<bool> loginRequired{false};
  std::atomic<bool> loggedIn{false};  // some client has logged in since the program started

  void SetCredentials(std::string username, std::string password) {
    std::lock_guard lock(mu_);
    username_ = std::move(username);
    password_ = std::move(password);
  }
  std::pair<std::string, std::string> Credentials() const {
    std::lock_guard lock(mu_);
    return {username_, password_};
  }

 private:
  mutable std::mutex mu_;  // guards the credential copy
  std::string username_ = "qorvu";
  std::string password_ = "qorvu";
};

}  // namespace vidoria
