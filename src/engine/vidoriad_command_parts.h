// The commands behind RunCommand, one function each, and what they share. Main thread.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "engine/data_folder_claim.h"
#include "engine/vidoriad_commands.h"

namespace vidoria {

// The data folder claimed for a change, or nullopt once the reason it cannot be (no data
// folder, a program runs on it) is on `err`.
std::optional<DataFolderClaim> ClaimForChange(const CommandContext& context);
// The data folder to look at, or nullopt once its absence is on `err`.
std::optional<std::string> DataFolderToLook(const CommandContext& context);

int Watch(const CommandContext& context, const std::vector<std::string>& folders);
int Unwatch(const CommandContext& context, const std::vector<std::string>& folders);
int SetPort(const CommandContext& context, int port);
int SetLogin(const CommandContext& context, bool on);
int SetUser(const CommandContext& context, const std::string& name);
int SetPassword(const CommandContext& context);
int SetScan(const CommandContext& context, bool on, int minutes);
int SetSharing(const CommandContext& context, bool on);
int Scan(const CommandContext& context);
int List(const CommandContext& context, Listing listing);
int Status(const CommandContext& context);

}  // namespace vidoria
