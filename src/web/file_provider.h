// The provider module: the link, the eight providers of the program's site, and their tables.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "library/activity_log.h"
#include "server/data_provider.h"
#include "site/page_buffers.h"
#include "web/access.h"
#include "web/content_types.h"
#include "web/host_roots.h"
#include "web/library_view.h"

namespace vidoria {

// What the providers read of the rest of the program. Everything here must outlive the module
// and is safe to read from request threads.
struct WebContext {
  std::string programFolder;  // ends in '/'; holds kavra/ and the site's files
  ActivityLog* activity = nullptr;
  LibraryViewHolder* library = nullptr;
  PageBuffers* pages = nullptr;
  AccessState* access = nullptr;
  // Rebuilds the login page with a message line (from a request thread); may be empty.
  std::function<void(const std::string& message)> generateLogin;
};

// Owns `ServerLink` and the providers attached to it in their table order. The tables are
// refilled by the server module at every start, while the server is not listening, and read
// without a lock while it listens. Handlers run on request threads; per-request state lives in
// the request's Info record only.
class FileProvider {
 public:
  static constexpr int64_t SendBlockSize = 64240;
  static constexpr int64_t MaxAcceptedContent = 128000;

  explicit FileProvider(WebContext context);
  FileProvider(const FileProvider&) = delete;
  FileProvider& operator=(const FileProvider&) = delete;

  void ClearHostRoots() { hostRoots_.Clear(); }
  void AddHostRoot(std::string_view line) { hostRoots_.Add(line, context_.programFolder); }
  std::string HostRootFor(std::string_view host) const { return hostRoots_.For(host); }
  void ClearDefaultPages() { defaultPages_.clear(); }
  void AddDefaultPage(std::string_view name);
  void ClearContentTypes() { contentTypes_.Clear(); }
  void AddContentType(std::string_view line) { contentTypes_.Add(line); }
  std::string ContentTypeFor(std::string_view name) const { return contentTypes_.For(name); }

  DataServerLink ServerLink;
  DataProvider fileProvider, rootProvider, playlistsProvider, libraryProvider1, listProvider,
      loginProvider1, listTXTprovider, listlistprovider;

 private:
  // Media and asset files.
  void fileProviderCheckRequest(Connection& c);
  void ServeDiskFile(Connection& c, bool video, bool image, const std::string& libraryFolder,
                     const std::string& libraryName);
  void StartFileAnswer(Connection& c, const std::string& name, const std::string& root,
                       int64_t fileSize);
  void FileProviderSendBody(Connection& c);
  void fileProviderDisconnect(Connection& c);
  // 400 and close for a request whose body is larger than any the site accepts.
  void RefuseLargeBody(Connection& c, int64_t size);
  // Pages and list files.
  void BindPageProviders();
  bool GatePasses(Connection& c) const;
  void LoginRedirect(Connection& c);
  void WritePage(Connection& c, std::string_view buffer);
  void ListPage(Connection& c);
  void ListFile(Connection& c);
  // The fixed list names with their buffers, then the playlists of that name.
  using FixedList = std::pair<std::string_view, std::string_view>;
  using PlaylistText = std::function<const std::string&(const LibraryView&, int row)>;
  void AnswerList(Connection& c, std::string_view prefix, std::span<const FixedList> fixed,
                  const PlaylistText& text);
  void NotFound(Connection& c, const std::string& what);
  // The login form.
  void loginProvider1DataReceived(Connection& c);

  WebContext context_;
  HostRoots hostRoots_;
  std::vector<std::string> defaultPages_;
  ContentTypes contentTypes_;
};

}  // namespace vidoria
