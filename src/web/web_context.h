// What the web providers read of the rest of the program.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "library/activity_log.h"
#include "site/page_buffers.h"
#include "web/access.h"
#include "web/library_view.h"
#include "web/media_facts_cache.h"

namespace vidoria {

// Everything here must outlive the provider module and is safe to read from request threads.
struct WebContext {
  std::string programFolder;  // ends in '/'; holds kavra/ and the site's files
  ActivityLog* activity = nullptr;
  LibraryViewHolder* library = nullptr;
  PageBuffers* pages = nullptr;
  AccessState* access = nullptr;
  // What is known of each video, for a TV's DLNA headers; may be null.
  MediaFactsCache* mediaFacts = nullptr;
  // Rebuilds the login page with a message line (from a request thread); may be empty.
  std::function<void(const std::string& message)> generateLogin;
  // The steady clock the providers time things by (login lockouts); empty reads
  // std::chrono::steady_clock. Tests move it. Called from request threads.
  std::function<std::chrono::steady_clock::time_point()> now;
};

}  // namespace vidoria
