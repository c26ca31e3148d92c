// The page file is written whole or not at all. The folder is a small tmpfs
// of the test's own, so that the disk really fills up; a run is killed in
// the middle of writing by its file-size limit (SIGXFSZ, which no handler
// catches). Either way the earlier page stays as it was and nothing else is
// left in the folder; a page that does replace an earlier one keeps its
// permissions.
#include "print/page_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "support/paths.h"

namespace boleto {
namespace {

namespace fs = std::filesystem;

std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

// Writes the page in a child process limited to `limit` bytes a file; true
// where the limit killed it.
bool KilledWhileWriting(const std::string& path, const std::string& bytes, rlim_t limit) {
  const pid_t child = fork();
  if (child == 0) {
    const rlimit file_size{limit, limit};
    setrlimit(RLIMIT_FSIZE, &file_size);
    signal(SIGXFSZ, SIG_DFL);
    WritePageFile(path, bytes);
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ;
}

TEST(WritePageFile, WholeOrNotAtAll) {
  if (geteuid() != 0) GTEST_SKIP() << "mounting a tmpfs needs root";
  const std::string folder = testing::MakeTempDir("boleto-page-file-");
  // 64 KiB of room: the earlier page (20 KiB) and a new one of 100 KiB do
  // not both fit.
  if (mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k") != 0) {
    testing::RemoveTree(folder);
    GTEST_SKIP() << "cannot mount a tmpfs here";
  }
  const std::string path = folder + "/boleto.pdf";
  const std::string earlier(20 << 10, 'E');
  const struct {
    const char* what;
    size_t size;
    bool killed;  // by a file-size limit of 4 KiB
    std::string error;
  } rows[] = {
      {"a page that fits replaces the earlier one", 8 << 10, false, ""},
      {"full disk", 100 << 10, false,
       "Cannot write the page to " + path + ": No space left on device"},
      {"killed run", 30 << 10, true, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << earlier;
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    const std::string page(row.size, 'P');
    if (row.killed) {
      EXPECT_TRUE(KilledWhileWriting(path, page, 4 << 10));
    } else {
      Status written = WritePageFile(path, page);
      EXPECT_EQ(written.ok() ? "" : written.error().description, row.error);
      if (!written.ok()) {
        EXPECT_EQ(written.error().number, error_number::kPrinterFailure);
      }
    }
    const bool replaced = row.error.empty() && !row.killed;
    EXPECT_EQ(testing::ReadFile(path), replaced ? page : earlier);
    EXPECT_EQ(Names(folder), std::set<std::string>{"boleto.pdf"});
    // A page that replaces another keeps the other's permissions.
    EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  }
  umount(folder.c_str());
  testing::RemoveTree(folder);
}

}  // namespace
}  // namespace boleto
