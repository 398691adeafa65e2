#include "platform/folder_lock.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "platform/temp_folder_for_tests.h"

extern char** environ;

namespace vidoria {
namespace {

bool HeldByAnother(const std::string& folder) {
  auto attempt = TakeFolderLock(folder);
  return !attempt && attempt.Error().heldByAnother;
}

TEST(FolderLockTest, OneHolderAtATimeAndTheFileKeepsWhatItHad) {
  TempFolder folder;
  folder.Write("vidoria.lock", "left by an old run");
  auto first = TakeFolderLock(folder.Path());
  ASSERT_TRUE(first) << first.Error().os.Text();
  EXPECT_TRUE(first->Held());
  EXPECT_TRUE(HeldByAnother(folder.Path()));
  EXPECT_EQ(FolderLockHeld(folder.Path()).Value(), true);

  first->Release();
  EXPECT_FALSE(first->Held());
  EXPECT_EQ(FolderLockHeld(folder.Path()).Value(), false);
  auto next = TakeFolderLock(folder.Path());
  ASSERT_TRUE(next);
  // Moving the owner moves the lock; the moved-from owner lets nothing go.
  FolderLock moved = std::move(*next);
  EXPECT_TRUE(HeldByAnother(folder.Path()));
  EXPECT_TRUE(moved.Held());

  EXPECT_EQ(folder.Names(), (std::set<std::string>{"vidoria.lock"}));
  EXPECT_EQ(TempFolder::Read(folder.Path("vidoria.lock")), "left by an old run");
}

TEST(FolderLockTest, ALookCreatesNothingAndKeepsNothing) {
  TempFolder folder;
  EXPECT_EQ(FolderLockHeld(folder.Path()).Value(), false);
  EXPECT_TRUE(folder.Names().empty());

  folder.Write("vidoria.lock");
  EXPECT_EQ(FolderLockHeld(folder.Path()).Value(), false);
  EXPECT_EQ(FolderLockHeld(folder.Path()).Value(), false);
  EXPECT_TRUE(TakeFolderLock(folder.Path())) << "a look left a lock behind";
}

TEST(FolderLockTest, AMissingFolderIsAnErrorNotAHolder) {
  TempFolder folder;
  auto attempt = TakeFolderLock(folder.Path("gone/"));
  ASSERT_FALSE(attempt);
  EXPECT_FALSE(attempt.Error().heldByAnother);
  EXPECT_EQ(attempt.Error().os.Text(),
            "cannot open " + folder.Path("gone/vidoria.lock") + ": No such file or directory");
  EXPECT_EQ(FolderLockHeld(folder.Path("gone/")).Value(), false);
}

// kill -9 leaves the file but no lock.
TEST(FolderLockTest, TheLockEndsWithItsProcess) {
  TempFolder folder;
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    auto lock = TakeFolderLock(folder.Path());
    const char answer = lock ? 'y' : 'n';
    (void)!::write(ready[1], &answer, 1);
    for (;;) ::pause();
  }
  ::close(ready[1]);
  char answer = 0;
  ASSERT_EQ(::read(ready[0], &answer, 1), 1);
  ::close(ready[0]);
  EXPECT_EQ(answer, 'y');
  EXPECT_TRUE(HeldByAnother(folder.Path()));
  EXPECT_EQ(FolderLockHeld(folder.Path()).Value(), true);

  ::kill(child, SIGKILL);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(folder.Exists("vidoria.lock"));
  EXPECT_EQ(FolderLockHeld(folder.Path()).Value(), false);
  EXPECT_TRUE(TakeFolderLock(folder.Path()));
}

// A program started by the holder (a player that outlives a crash of the holder) must not keep
// the folder locked: after the holder lets go, the lock is free although the child still runs.
TEST(FolderLockTest, StartedProgramsDoNotInheritIt) {
  TempFolder folder;
  auto lock = TakeFolderLock(folder.Path());
  ASSERT_TRUE(lock);
  char program[] = "/bin/sleep";
  char seconds[] = "600";
  char* argv[] = {program, seconds, nullptr};
  pid_t child = -1;
  ASSERT_EQ(::posix_spawn(&child, program, nullptr, nullptr, argv, environ), 0);
  lock->Release();
  EXPECT_TRUE(TakeFolderLock(folder.Path())) << "the started program holds the lock";
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
}

}  // namespace
}  // namespace vidoria
