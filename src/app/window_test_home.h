// Test helpers for the window: a temporary home holding the companion's data folder, stored
// files written as the program writes them, and a program folder with stand-in tools.
#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <map>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/program_home_for_tests.h"
#include "library/cipher.h"

namespace vidoria::testing {

class TestHome {
 public:
  explicit TestHome(bool withDataFolder = true) {
    if (withDataFolder) {
      QDir().mkpath(Data());
      // Tests stay off the network: a started server shares with TVs only where a test says so.
      Write(Data() + QStringLiteral("sharing.kavra"), "Share OFF\r\n");
    }
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
    return QByteArray::fromStdString(StoredSettingsText(port, autorun));
  }
  static int FreePort() { return FreeLoopbackPort(); }

 private:
  QTemporaryDir dir_;
  std::map<std::string, std::string> env_;
};

}  // namespace vidoria::testing
