// Where the program and its data live, and the user's standard folders, found the way this
// platform answers those questions: /proc/self/exe, $XDG_DATA_HOME, XDG user dirs, $HOME.
// Every folder returned ends in '/'.
//
// The environment is read through an injectable lookup so that tests can give a temporary home
// without changing the process environment. Plain functions; any thread. A folder that cannot be
// found is "" or nullopt, as each function says.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/result.h"

namespace vidoria {

// The value of an environment variable, "" when it is unset.
using EnvLookup = std::function<std::string(const char* name)>;
std::string SystemEnv(const char* name);  // getenv

// The folder of the running executable's real path; "" if it cannot be found.
std::string ProgramFolder();

// $XDG_DATA_HOME when it is an absolute path, else $HOME/.local/share/; without a home, the
// program's folder.
std::string DataHome(const EnvLookup& env = SystemEnv);

struct DataFolders {
  std::string dataFolder;  // dataHome + "Kelvane3/" when that exists, else + "Kelvane 4/"
  bool dataFolderOk;       // one of the two exists
};
DataFolders FindDataFolder(const std::string& dataHome);

// Creates, when missing, the data folder and its subfolders "temp/" and "LOG/", each as far as it
// can. Fails with "cannot create <folder>" for the first one that is not a folder afterwards.
OsStatus CreateDataSubfolders(const std::string& dataFolder);

// XDG_DOCUMENTS_DIR from $XDG_CONFIG_HOME/user-dirs.dirs (default ~/.config), else ~/Documents/.
// nullopt when HOME is unset or empty.
std::optional<std::string> UserDocumentsFolder(const EnvLookup& env = SystemEnv);
// XDG_VIDEOS_DIR likewise, else ~/Videos/; nullopt when there is no entry and no home to fall
// back on.
std::optional<std::string> UserVideosFolder(const EnvLookup& env = SystemEnv);
// The shared counterparts of the machine: "/srv/" and "/srv/Videos/".
std::string CommonDocumentsFolder();
std::string CommonVideoFolder();

}  // namespace vidoria
