// One HTTP answer as a test client reads it off a loopback connection.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

#include "server/test_client.h"
#include "server/text.h"

namespace vidoria::testing {

struct HttpAnswer {
  std::string head;  // status line and header lines, without the blank line
  std::string body;
  bool complete = false;
  std::string StatusLine() const { return head.substr(0, head.find("\r\n")); }
  // The value of the first header line with this exact name, "" when absent.
  std::string Header(const std::string& name) const {
    const std::string key = "\r\n" + name + ": ";
    const size_t at = head.find(key);
    if (at == std::string::npos) return {};
    const size_t start = at + key.size();
    return head.substr(start, head.find("\r\n", start) - start);
  }
};

// Reads one answer off the connection: the header, then as many body bytes as it announces.
inline HttpAnswer ReadAnswer(TestClient& client, bool head = false, size_t alreadyConsumed = 0) {
  HttpAnswer answer;
  std::string all = client.Received();
  size_t end;
  while ((end = all.find("\r\n\r\n", alreadyConsumed)) == std::string::npos) {
    const size_t before = all.size();
    all = client.ReadAtLeast(before + 1);
    if (all.size() == before) return answer;  // closed or timed out
  }
  answer.head = all.substr(alreadyConsumed, end - alreadyConsumed);
  int64_t length = 0;
  const std::string upper = UpperCase(answer.head);
  if (const size_t at = upper.find("\r\nCONTENT-LENGTH: "); at != std::string::npos) {
    length = std::stoll(answer.head.substr(at + 18));
  }
  if (head) length = 0;
  const size_t want = end + 4 + static_cast<size_t>(length);
  all = client.ReadAtLeast(want);
  answer.body = all.substr(std::min(all.size(), end + 4), static_cast<size_t>(length));
  answer.complete = all.size() >= want;
  return answer;
}

}  // namespace vidoria::testing
