#include "platform/descriptor_reserve.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/atomic_write.h"
#include "platform/temp_folder_for_tests.h"

namespace vidoria {
namespace {

// The process's descriptor table, made small and then filled to the last slot; everything is
// given back when the fixture goes.
class FullDescriptorTable {
 public:
  FullDescriptorTable() {
    ::getrlimit(RLIMIT_NOFILE, &saved_);
    rlimit small = saved_;
    small.rlim_cur = static_cast<rlim_t>(HighestOpen() + 64);
    ::setrlimit(RLIMIT_NOFILE, &small);
    for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;) fillers_.push_back(fd);
    fullErrno_ = errno;
  }
  FullDescriptorTable(const FullDescriptorTable&) = delete;
  FullDescriptorTable& operator=(const FullDescriptorTable&) = delete;
  ~FullDescriptorTable() {
    for (int fd : fillers_) ::close(fd);
    ::setrlimit(RLIMIT_NOFILE, &saved_);
  }
  int FullErrno() const { return fullErrno_; }

 private:
  static int HighestOpen() {
    int highest = 2;
    for (int fd = 3; fd < 4096; ++fd) {
      if (::fcntl(fd, F_GETFD) >= 0) highest = fd;
    }
    return highest;
  }

  rlimit saved_{};
  std::vector<int> fillers_;
  int fullErrno_ = 0;
};

TEST(DescriptorReserveTest, SavesSucceedWhileTheTableIsFullAndTheReserveKeepsItsSlots) {
  TempFolder dir;
  HoldDescriptorReserve();
  ASSERT_EQ(HeldDescriptors(), kReservedDescriptors);
  const std::string path = dir.Path() + "LIBRARY.kavra";
  {
    FullDescriptorTable full;
    ASSERT_EQ(full.FullErrno(), EMFILE);
    // A save spends a held descriptor and takes its slot back once its file is closed, so any
    // number of saves get through while the table stays full.
    for (int save = 0; save < 3 * kReservedDescriptors; ++save) {
      const auto written = WriteFileAtomically(path, "rows " + std::to_string(save));
      ASSERT_TRUE(written) << save << ": " << written.Error().Text();
    }
    EXPECT_EQ(HeldDescriptors(), kReservedDescriptors);
  }
  EXPECT_EQ(TempFolder::Read(path), "rows " + std::to_string(3 * kReservedDescriptors - 1));
}

TEST(DescriptorReserveTest, OnlyAFullTableSpendsTheReserve) {
  HoldDescriptorReserve();
  errno = 0;
  EXPECT_EQ(OpenUsingReserve([] { return ::open("/no/such/folder/file", O_RDONLY); }), -1);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(HeldDescriptors(), kReservedDescriptors);
}

}  // namespace
}  // namespace vidoria
