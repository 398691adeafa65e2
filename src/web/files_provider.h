// Files on disk: the site's own files under the host roots, and the library's videos and cover
// pictures, which requests name by file name only. Sent piece by piece.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "server/data_provider.h"
#include "web/content_types.h"
#include "web/host_roots.h"
#include "web/web_context.h"

namespace vidoria {

// Claims GET and HEAD requests the other providers left. Its tables (host roots, default pages,
// content types) are refilled by the server module at every start, while the server is not
// listening, and read without a lock while it listens. Handlers run on request threads;
// per-request state lives in the request's Info record only. `context` must outlive the provider.
class FilesProvider : public DataProvider {
 public:
  static constexpr int64_t kSendBlockSize = 64240;

  explicit FilesProvider(const WebContext& context);

  void ClearHostRoots() { hostRoots_.Clear(); }
  void AddHostRoot(std::string_view line) { hostRoots_.Add(line, context_.programFolder); }
  std::string HostRootFor(std::string_view host) const { return hostRoots_.For(host); }
  void ClearDefaultPages() { defaultPages_.clear(); }
  void AddDefaultPage(std::string_view name);
  void ClearContentTypes() { contentTypes_.Clear(); }
  void AddContentType(std::string_view line) { contentTypes_.Add(line); }
  std::string ContentTypeFor(std::string_view name) const { return contentTypes_.For(name); }

 private:
  void CheckRequest(Connection& c);
  void ServeDiskFile(Connection& c, bool video, bool image, const std::string& libraryFolder,
                     const std::string& libraryName);
  // `file` is the file of root + name, open already (see MapRequestPath). `videoPath` is that
  // file's path when it is a library video: a TV's DLNA headers are answered for it.
  void StartFileAnswer(Connection& c, const std::string& name, const std::string& root,
                       int64_t fileSize, AnswerFile file, const std::string* videoPath = nullptr);
  void SendBody(Connection& c);
  // The file cannot give the piece's bytes (gone, shorter, unreadable): logged, and the
  // connection closed, since the client was promised more than it can get.
  static void ReadError(Connection& c);
  void Disconnected(Connection& c);

  const WebContext& context_;
  HostRoots hostRoots_;
  std::vector<std::string> defaultPages_;
  ContentTypes contentTypes_;
};

}  // namespace vidoria
