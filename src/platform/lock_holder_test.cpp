#include "platform/lock_holder.h"

#include <sys/sysmacros.h>

#include <fstream>

#include <gtest/gtest.h>

#include "platform/folder_lock.h"
#include "platform/temp_folder_for_tests.h"

namespace vidoria {
namespace {

TEST(LockHolderTest, FindsTheFlockOfTheFileAmongTheOthers) {
  const dev_t device = makedev(0xfe, 0x01);
  const std::string locks =
      "1: POSIX  ADVISORY  WRITE 500 fe:01:77 0 EOF\n"
      "2: FLOCK  ADVISORY  WRITE 601 fe:00:77 0 EOF\n"
      "3: FLOCK  ADVISORY  WRITE 602 fe:01:771 0 EOF\n"
      "4: -> FLOCK  ADVISORY  WRITE 603 fe:01:77 0 EOF\n"
      "4: FLOCK  ADVISORY  READ  604 fe:01:77 0 EOF\n"
      "5: FLOCK  ADVISORY  WRITE 605 fe:01:77 0 EOF\n";
  const struct {
    std::string text;
    std::optional<pid_t> holder;
  } cases[] = {
      {locks, 605},
      {"", std::nullopt},
      // A waiter is no holder, nor a shared lock, a POSIX lock or the same inode on another
      // device.
      {locks.substr(0, locks.rfind("5: FLOCK")), std::nullopt},
      {"1: FLOCK  ADVISORY  WRITE 700 fe:01:77 0 EOF", 700},  // no line end
      {"1: FLOCK  ADVISORY  WRITE x fe:01:77 0 EOF\n", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(FlockHolder(c.text, device, 77), c.holder) << c.text;
}

// The real lock of a folder, held by this process: the holder found is this program.
TEST(LockHolderTest, NamesTheProgramHoldingAFolderLock) {
  TempFolder folder;
  EXPECT_EQ(FolderLockHolderName(folder.Path()), "");
  auto lock = TakeFolderLock(folder.Path());
  ASSERT_TRUE(lock);
  std::string comm;
  std::getline(std::ifstream("/proc/self/comm"), comm);
  EXPECT_EQ(FolderLockHolderName(folder.Path()), comm);
  lock->Release();
  EXPECT_EQ(FolderLockHolderName(folder.Path()), "");
}

}  // namespace
}  // namespace vidoria
