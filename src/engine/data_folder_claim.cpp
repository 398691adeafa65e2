#include "engine/data_folder_claim.h"

namespace vidoria {

DataFolderClaim ClaimDataFolder(const EnvLookup& env) {
  DataFolderClaim claim;
  const DataFolders folders = FindDataFolder(DataHome(env));
  claim.dataFolder = folders.dataFolder;
  if (!folders.dataFolderOk) return claim;
  auto lock = TakeFolderLock(claim.dataFolder);
  if (lock) {
    claim.outcome = DataFolderClaim::Outcome::kClaimed;
    claim.lock = std::move(*lock);
  } else if (lock.Error().heldByAnother) {
    claim.outcome = DataFolderClaim::Outcome::kHeldByAnother;
  } else {
    claim.outcome = DataFolderClaim::Outcome::kUnguarded;
    claim.problem = lock.Error().os.Text();
  }
  return claim;
}

bool ProgramRunsOnDataFolder(const EnvLookup& env) {
  const DataFolders folders = FindDataFolder(DataHome(env));
  if (!folders.dataFolderOk) return false;
  const OsResult<bool> held = FolderLockHeld(folders.dataFolder);
  return held && *held;
}

}  // namespace vidoria
