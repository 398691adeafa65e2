// Test helpers for the window: a temporary home holding the companion's data folder, stored
// files written as the program writes them, and a program folder with stand-in tools.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <map>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "library/cipher.h"

namespace vidoria::testing {

class TestHome {
 public:
  explicit TestHome(bool withDataFolder = true) {
    if (withDataFolder) QDir().mkpath(Data());
    QDir().mkpath(Program());
    env_["HOME"] = dir_.path().toStdString();
  }

  QString Home() const { return dir_.path(); }
  QString Data() const { return dir_.path() + QStringLiteral("/.local/share/Kelvane3/"); }
  QString Program() const { return dir_.path() + QStringLiteral("/program/"); }

  EngineOptions Options(CoreRuntime* core) const {
    EngineOptions options;
    options.programFolder = Program().toStdString();
    options.env = [env = env_](const char* name) {
      auto it = env.find(name);
      return it == env.end() ? std::string() : it->second;
    };
    options.core = core;
    return options;
  }

  static void Write(const QString& path, const QByteArray& bytes, bool executable = false) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) qFatal("cannot write %s", qPrintable(path));
    file.write(bytes);
    file.close();
    if (executable) {
      file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
  }
  static QByteArray Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

  // A grid file: column count, row count, then the cells column by column.
  static QByteArray Grid(int columns, const std::vector<std::vector<std::string>>& rows) {
    std::string text = std::to_string(columns) + "\r\n" + std::to_string(rows.size()) + "\r\n";
    for (int column = 0; column < columns; ++column) {
      for (const auto& row : rows) {
        text += (column < int(row.size()) ? row[column] : std::string()) + "\r\n";
      }
    }
    return QByteArray::fromStdString(text);
  }
  static QByteArray Settings(int port, const std::string& autorun = "Autorun OFF") {
    std::string text;
    for (const std::string& line :
         {autorun, std::string("Autostart OFF"), std::string("Autoscan OFF"), std::string("5"),
          std::string("qorvu"), EncodeText(kCypherKey, "qorvu"), std::string("login OFF"),
          std::to_string(port)}) {
      text += line + "\r\n";
    }
    return QByteArray::fromStdString(text);
  }
  // A port nobody listens on right now.
  static int FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
  }

 private:
  QTemporaryDir dir_;
  std::map<std::string, std::string> env_;
};

}  // namespace vidoria::testing
