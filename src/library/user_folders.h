// The user's folders as the program asks for them: without a home there is no answer, and that
// is an error the program reports ("Could not determine My Documents path").
#pragma once

#include <string>

#include "platform/folders.h"

namespace vidoria {

// UserDocumentsFolder / UserVideosFolder, or a LibraryError with the message above.
std::string MyDocumentsFolder(const EnvLookup& env = SystemEnv);
std::string MyVideoFolder(const EnvLookup& env = SystemEnv);

}  // namespace vidoria
