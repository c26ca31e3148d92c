// The page file is written whole or not at all. The folder is a small tmpfs
// of the test's own, so that the disk really fills up; a run is killed in
// the middle of writing by its file-size limit (SIGXFSZ, which no handler
// catches), or between naming its file and renaming it. Either way the
// earlier page stays as it was and, once another run has written the page,
// nothing else is left in the folder; a page that does replace an earlier
// one keeps its permissions.
#include "print/page_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "support/fifo_copy.h"
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

// How a child process writing the page is killed.
enum class Kill {
  kNone,
  kWriting,   // by a file-size limit of 4 KiB (SIGXFSZ, which no handler catches)
  kRenaming,  // by the kernel at its first rename (SIGSYS): after the file got its name
};

// Kills the calling process at its first rename, whichever call makes it.
void KillAtRename() {
  sock_filter filter[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_rename, 2, 0),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_renameat, 1, 0),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_renameat2, 0, 1),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
  };
  const sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
  prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
  syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, 0, &program);
}

// Writes the page in a child process killed as `kill` says; the child's
// pid where it was killed so, 0 otherwise.
pid_t KilledWhileWriting(const std::string& path, const std::string& bytes, Kill kill) {
  const pid_t child = fork();
  if (child == 0) {
    if (kill == Kill::kWriting) {
      const rlimit file_size{4 << 10, 4 << 10};
      setrlimit(RLIMIT_FSIZE, &file_size);
      signal(SIGXFSZ, SIG_DFL);
    } else {
      KillAtRename();
    }
    WritePageFile(path, bytes);
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  const int signal = kill == Kill::kWriting ? SIGXFSZ : SIGSYS;
  return WIFSIGNALED(status) && WTERMSIG(status) == signal ? child : 0;
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
    Kill kill;
    std::string error;
  } rows[] = {
      {"a page that fits replaces the earlier one", 8 << 10, Kill::kNone, ""},
      {"full disk", 100 << 10, Kill::kNone,
       "Cannot write the page to " + path + ": No space left on device"},
      {"killed run", 30 << 10, Kill::kWriting, ""},
      // The named temporary file stays; the next write removes it.
      {"run killed before renaming, then a run that ends", 8 << 10, Kill::kRenaming, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << earlier;
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    const std::string page(row.size, 'P');
    if (row.kill == Kill::kWriting) {
      EXPECT_NE(KilledWhileWriting(path, page, row.kill), 0);
    } else {
      if (row.kill == Kill::kRenaming) {
        const pid_t killed = KilledWhileWriting(path, page, row.kill);
        ASSERT_NE(killed, 0);
        EXPECT_EQ(Names(folder), (std::set<std::string>{
                                     "boleto.pdf", ".boleto.pdf.part-" + std::to_string(killed)}));
      }
      Status written = WritePageFile(path, page);
      EXPECT_EQ(written.ok() ? "" : written.error().description, row.error);
      if (!written.ok()) {
        EXPECT_EQ(written.error().number, error_number::kPrinterFailure);
      }
    }
    const bool replaced = row.error.empty() && row.kill != Kill::kWriting;
    EXPECT_EQ(testing::ReadFile(path), replaced ? page : earlier);
    EXPECT_EQ(Names(folder), std::set<std::string>{"boleto.pdf"});
    // A page that replaces another keeps the other's permissions.
    EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  }
  umount(folder.c_str());
  testing::RemoveTree(folder);
}

// A document streamed in pieces is on the disk before it is committed, in a
// file that has no name (nothing in the folder but the earlier page);
// dropped uncommitted, or committed, it leaves nothing else behind.
TEST(DocumentFile, PiecesWaitUnnamedUntilCommitted) {
  const std::string folder = testing::MakeTempDir("boleto-document-file-");
  ASSERT_FALSE(folder.empty());
  const std::string path = folder + "/lote.pdf";
  const std::string piece(100 << 10, 'P');  // far more than any buffer holds
  const struct {
    const char* what;
    bool commit;
  } rows[] = {{"dropped", false}, {"committed", true}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << "earlier";
    const auto unnamed_sizes = [&folder] {
      std::vector<uintmax_t> sizes;
      for (const auto& fd : fs::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const std::string target = fs::read_symlink(fd.path(), error).string();
        if (target.rfind(folder + "/", 0) == 0 && target.ends_with(" (deleted)")) {
          sizes.push_back(fs::file_size(fd.path(), error));
        }
      }
      return sizes;
    };
    {
      std::unique_ptr<DocumentFile> document = DocumentFile::ForPath(path);
      for (int i = 0; i < 3; ++i) document->Append(piece.data(), piece.size());
      EXPECT_EQ(unnamed_sizes(), std::vector<uintmax_t>{3 * piece.size()});
      EXPECT_EQ(Names(folder), std::set<std::string>{"lote.pdf"});
      EXPECT_EQ(testing::ReadFile(path), "earlier");
      if (row.commit) {
        const Status committed = document->Commit();
        EXPECT_TRUE(committed.ok()) << committed.error().description;
      }
    }
    EXPECT_EQ(unnamed_sizes(), std::vector<uintmax_t>{});
    EXPECT_EQ(Names(folder), std::set<std::string>{"lote.pdf"});
    EXPECT_EQ(testing::ReadFile(path), row.commit ? piece + piece + piece : "earlier");
  }
  testing::RemoveTree(folder);
}

// What is at the path decides how the page gets there: a regular file (or
// nothing) is replaced by a new file, a symbolic link keeps leading to its
// file, which is replaced; a FIFO or a device is written into as it is.
// Temporary files that killed runs left beside the path go with the next
// write, unless their process still lives.
TEST(WritePageFile, EachKindOfDestination) {
  const std::string folder = testing::MakeTempDir("boleto-page-kinds-");
  ASSERT_FALSE(folder.empty());
  const std::string page = "%PDF-1.7 page";
  // A process that has ended: its pid names no process now.
  const pid_t child = fork();
  if (child == 0) _exit(0);
  waitpid(child, nullptr, 0);
  const std::string dead = std::to_string(child);
  const mode_t umask_now = umask(0);
  umask(umask_now);

  std::unique_ptr<testing::FifoCopy> fifo;  // DIR/boleto.pdf, copied to DIR.copy
  const auto file = [](const std::string& path, const std::string& text, fs::perms mode) {
    std::ofstream(path, std::ios::binary) << text;
    fs::permissions(path, mode);
  };
  const fs::perms rw_r = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
  const struct {
    const char* what;
    std::function<void(const std::string& dir)> before;  // prepares DIR/boleto.pdf
    fs::file_type kind;           // of DIR/boleto.pdf afterwards (the link itself for a link)
    std::string page_in;          // the regular file that holds the page, under DIR
    fs::perms mode;               // its permissions
    std::set<std::string> names;  // in DIR afterwards
    std::string error;
  } rows[] = {
      {"no file yet",
       [](const std::string&) {},
       fs::file_type::regular,
       "boleto.pdf",
       static_cast<fs::perms>(0666 & ~umask_now),
       {"boleto.pdf"},
       ""},
      {"a file keeps its permissions",
       [&](const std::string& dir) { file(dir + "/boleto.pdf", "earlier", rw_r); },
       fs::file_type::regular,
       "boleto.pdf",
       rw_r,
       {"boleto.pdf"},
       ""},
      {"a link to a file in another folder",
       [&](const std::string& dir) {
         fs::create_directory(dir + "/pages");
         file(dir + "/pages/real.pdf", "earlier", rw_r);
         fs::create_symlink("pages/real.pdf", dir + "/boleto.pdf");
       },
       fs::file_type::symlink,
       "pages/real.pdf",
       rw_r,
       {"boleto.pdf", "pages"},
       ""},
      {"a link to no file yet",
       [&](const std::string& dir) {
         fs::create_directory(dir + "/pages");
         fs::create_symlink(dir + "/pages/new.pdf", dir + "/boleto.pdf");
       },
       fs::file_type::symlink,
       "pages/new.pdf",
       static_cast<fs::perms>(0666 & ~umask_now),
       {"boleto.pdf", "pages"},
       ""},
      {"a FIFO with a reader",
       [&](const std::string& dir) {
         fifo = std::make_unique<testing::FifoCopy>(dir + "/boleto.pdf", dir + ".copy");
       },
       fs::file_type::fifo,
       "",
       fs::perms::none,
       {"boleto.pdf"},
       ""},
      {"a FIFO that nobody reads",
       [](const std::string& dir) { mkfifo((dir + "/boleto.pdf").c_str(), 0600); },
       fs::file_type::fifo,
       "",
       fs::perms::none,
       {"boleto.pdf"},
       "Cannot write the page to DIR/boleto.pdf: no program reads from it"},
      {"a null device (as root)",
       [](const std::string& dir) {
         mknod((dir + "/boleto.pdf").c_str(), S_IFCHR | 0666, makedev(1, 3));
       },
       fs::file_type::character,
       "",
       fs::perms::none,
       {"boleto.pdf"},
       ""},
      {"leftovers of ended runs go, those of live ones and other names stay",
       [&](const std::string& dir) {
         file(dir + "/boleto.pdf", "earlier", rw_r);
         for (const std::string& name : std::vector<std::string>{
                  ".boleto.pdf.part-" + dead, ".boleto.pdf.part-" + dead + ".a1B2c3",
                  ".boleto.pdf.part-1", ".boleto.pdf.part-" + dead + "x",
                  ".other.pdf.part-" + dead}) {
           file(dir + "/" + name, "left", rw_r);
         }
       },
       fs::file_type::regular,
       "boleto.pdf",
       rw_r,
       {"boleto.pdf", ".boleto.pdf.part-1", ".boleto.pdf.part-" + dead + "x",
        ".other.pdf.part-" + dead},
       ""},
  };
  int index = 0;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    if (row.kind == fs::file_type::character && geteuid() != 0) continue;  // mknod needs root
    const std::string dir = folder + "/" + std::to_string(index++);
    fs::create_directory(dir);
    row.before(dir);
    const Status written = WritePageFile(dir + "/boleto.pdf", page);
    fifo.reset();
    std::string error = written.ok() ? "" : written.error().description;
    if (error.rfind("Cannot write the page to " + dir, 0) == 0)
      error.replace(25, dir.size(), "DIR");
    EXPECT_EQ(error, row.error);
    EXPECT_EQ(fs::symlink_status(dir + "/boleto.pdf").type(), row.kind);
    EXPECT_EQ(Names(dir), row.names);
    if (!row.page_in.empty()) {
      EXPECT_EQ(fs::symlink_status(dir + "/" + row.page_in).type(), fs::file_type::regular);
      EXPECT_EQ(testing::ReadFile(dir + "/" + row.page_in), page);
      EXPECT_EQ(fs::status(dir + "/" + row.page_in).permissions(), row.mode);
      EXPECT_EQ(Names(fs::path(dir + "/" + row.page_in).parent_path()).size(),
                row.page_in.find('/') == std::string::npos ? row.names.size() : 1u);
    }
    if (row.kind == fs::file_type::fifo && row.error.empty()) {
      EXPECT_EQ(testing::ReadFile(dir + ".copy"), page);
    }
  }
  testing::RemoveTree(folder);
}

}  // namespace
}  // namespace boleto
