#include "print/page_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>

namespace boleto {
namespace {

// How long a FIFO may stay without a program reading from it before the page
// is given up: the reader is usually started along with the run.
constexpr int kFifoReaderWaitMs = 3000;
constexpr int kFifoRetryMs = 50;  // how often it is tried again meanwhile
// Symbolic links followed before giving up, as the kernel does (ELOOP).
constexpr int kMaxLinks = 40;

// The folder of a path ("." for a bare name).
std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The beginning of the temporary files' names beside the path:
// ".NAME.part-", then the writing process's id.
std::string PartPrefix(const std::string& path) { return "." + NameOf(path) + ".part-"; }

// The mode the page file gets: that of the file it replaces, or what a new
// file gets under the process's umask.
mode_t PageFileMode(const std::string& path) {
  struct stat existing;
  if (stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
    return existing.st_mode & 07777;
  }
  const mode_t mask = umask(0);  // one thread: read and put back at once
  umask(mask);
  return 0666 & ~mask;
}

// The file a chain of symbolic links ends at (the path itself where it is
// no link), whether that file exists or not; false with errno set.
bool FollowLinks(std::string& path) {
  for (int followed = 0; followed <= kMaxLinks; ++followed) {
    struct stat link;
    if (lstat(path.c_str(), &link) != 0) return errno == ENOENT;
    if (!S_ISLNK(link.st_mode)) return true;
    char target[PATH_MAX];
    const ssize_t length = readlink(path.c_str(), target, sizeof(target) - 1);
    if (length < 0) return false;
    const std::string text(target, static_cast<size_t>(length));
    path = !text.empty() && text[0] == '/' ? text : FolderOf(path) + "/" + text;
  }
  errno = ELOOP;
  return false;
}

// Opens a FIFO or device for writing without waiting on it: a FIFO that no
// program reads is tried again for a while, then refused (ENXIO).
int OpenWithoutWaiting(const std::string& path, bool fifo) {
  for (int waited = 0;; waited += kFifoRetryMs) {
    const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0 || errno != ENXIO || !fifo || waited >= kFifoReaderWaitMs) return fd;
    const timespec pause{0, kFifoRetryMs * 1000000L};  // nanoseconds
    nanosleep(&pause, nullptr);
  }
}

// Removes the temporary files that runs killed between naming and renaming
// them left in `folder`: ".NAME.part-PID" (or ".NAME.part-PID.XXXXXX") of a
// process that no longer exists, for each NAME `ours` says is one of ours.
void RemoveLeftovers(const std::string& folder,
                     const std::function<bool(std::string_view name)>& ours) {
  static constexpr std::string_view kPart = ".part-";
  DIR* entries = opendir(folder.c_str());
  if (entries == nullptr) return;
  while (const dirent* entry = readdir(entries)) {
    const std::string_view name = entry->d_name;
    const size_t part = name.rfind(kPart);
    if (name.empty() || name[0] != '.' || part == std::string_view::npos || part < 1 ||
        !ours(name.substr(1, part - 1))) {
      continue;
    }
    const std::string_view rest = name.substr(part + kPart.size());
    const size_t digits = rest.find_first_not_of("0123456789");
    const size_t end = digits == std::string::npos ? rest.size() : digits;
    // A pid (Linux's have at most 7 digits), alone or before "." and the
    // six characters mkostemp fills in.
    if (end == 0 || end > 9 || (end != rest.size() && rest.size() != end + 7) ||
        (end != rest.size() && rest[end] != '.')) {
      continue;
    }
    const pid_t pid = static_cast<pid_t>(std::stol(std::string(rest.substr(0, end))));
    if (pid <= 0 || pid == getpid() || kill(pid, 0) == 0 || errno != ESRCH) continue;
    unlinkat(dirfd(entries), entry->d_name, 0);
  }
  closedir(entries);
}

}  // namespace

void RemoveLeftoversEndingIn(const std::string& folder, std::string_view ending) {
  RemoveLeftovers(folder, [ending](std::string_view name) { return name.ends_with(ending); });
}

std::unique_ptr<DocumentFile> DocumentFile::ForPath(const std::string& path,
                                                    bool remove_leftovers) {
  std::unique_ptr<DocumentFile> document(new DocumentFile(path));
  DocumentFile& d = *document;
  struct stat existing;
  if (stat(path.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode) &&
      !S_ISDIR(existing.st_mode)) {
    d.direct_ = true;
    d.fifo_ = S_ISFIFO(existing.st_mode);
    d.file_ = Descriptor(OpenUnnamedFile(TemporaryFolder()));
    if (d.file_.get() < 0) d.error_ = errno;
    return document;
  }
  d.target_ = path;
  if (!FollowLinks(d.target_)) {
    d.error_ = errno;
    return document;
  }
  const std::string folder = FolderOf(d.target_);
  d.mode_ = PageFileMode(d.target_);
  if (remove_leftovers) {
    const std::string name = NameOf(d.target_);
    RemoveLeftovers(folder, [&name](std::string_view leftover) { return leftover == name; });
  }
  // An unnamed file first: nothing is left of it if the run is killed
  // before it is given a name.
  d.file_ = Descriptor(open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, d.mode_));
  if (d.file_.get() < 0) {
    // A file system without unnamed files (NFS, SMB): a named one.
    d.temporary_ = folder + "/" + PartPrefix(d.target_) + std::to_string(getpid()) + ".XXXXXX";
    d.file_ = Descriptor(mkostemp(d.temporary_.data(), O_CLOEXEC));
    if (d.file_.get() < 0) {
      d.error_ = errno;
      d.temporary_.clear();
      return document;
    }
  }
  if (fchmod(d.file_.get(), d.mode_) != 0) d.error_ = errno;
  return document;
}

DocumentFile::~DocumentFile() {
  if (!temporary_.empty()) unlink(temporary_.c_str());
}

void DocumentFile::Append(const char* data, size_t size) {
  if (error_ == 0 && !WriteAll(file_.get(), data, size)) error_ = errno;
}

Status DocumentFile::Failure(int error) const {
  return MakeError(error_number::kPrinterFailure,
                   "Cannot write the page to " + path_ + ": " + std::strerror(error));
}

Status DocumentFile::Commit() {
  if (error_ != 0) return Failure(error_);
  return direct_ ? WriteInto() : Replace();
}

// Writes into the FIFO or device as it is: a reader that goes away makes the
// write fail (EPIPE) instead of killing the run.
Status DocumentFile::WriteInto() {
  Descriptor file(OpenWithoutWaiting(path_, fifo_));
  if (file.get() < 0) {
    if (fifo_ && errno == ENXIO) {
      return MakeError(error_number::kPrinterFailure,
                       "Cannot write the page to " + path_ + ": no program reads from it");
    }
    return Failure(errno);
  }
  const int flags = fcntl(file.get(), F_GETFL);
  if (flags < 0 || fcntl(file.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) return Failure(errno);

  sigset_t pipe_signal, earlier;
  sigemptyset(&pipe_signal);
  sigaddset(&pipe_signal, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe_signal, &earlier);
  bool written = CopyContents(file_.get(), file.get());
  int error = errno;
  if (!written && error == EPIPE) {
    const timespec now{0, 0};
    sigtimedwait(&pipe_signal, nullptr, &now);  // the signal the write raised
  }
  pthread_sigmask(SIG_SETMASK, &earlier, nullptr);
  // A device that keeps data (a disk) is synced; FIFOs and character
  // devices cannot be (EINVAL) and need not be.
  if (written && fdatasync(file.get()) != 0 && errno != EINVAL) {
    written = false;
    error = errno;
  }
  if (written && !file.Close()) {
    written = false;
    error = errno;
  }
  return written ? Status::Ok() : Failure(error);
}

// Replaces the regular file whole: the waiting file synced, named beside the
// target, renamed over it, and the folder synced.
Status DocumentFile::Replace() {
  // The data and the size, not the times.
  if (fdatasync(file_.get()) != 0) return Failure(errno);
  if (temporary_.empty()) {
    const std::string name =
        FolderOf(target_) + "/" + PartPrefix(target_) + std::to_string(getpid());
    unlink(name.c_str());  // a leftover of an earlier run of this pid
    const std::string self = "/proc/self/fd/" + std::to_string(file_.get());
    if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      temporary_ = name;
    } else {
      // No /proc: the document copied into a named file.
      temporary_ = name + ".XXXXXX";
      Descriptor named(mkostemp(temporary_.data(), O_CLOEXEC));
      if (named.get() < 0) {
        const int error = errno;
        temporary_.clear();
        return Failure(error);
      }
      if (fchmod(named.get(), mode_) != 0 || !CopyContents(file_.get(), named.get()) ||
          fdatasync(named.get()) != 0 || !named.Close()) {
        return Failure(errno);
      }
    }
  }
  if (!file_.Close() || rename(temporary_.c_str(), target_.c_str()) != 0) return Failure(errno);
  temporary_.clear();  // renamed: nothing to remove
  // The new name on the disk too: after a crash the folder holds the new
  // page. A folder that cannot be read cannot be synced; some file systems
  // do not sync folders (EINVAL).
  Descriptor directory(open(FolderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (directory.get() >= 0 && fsync(directory.get()) != 0 && errno != EINVAL) {
    return Failure(errno);
  }
  return Status::Ok();
}

Status WritePageFile(const std::string& path, const std::string& bytes) {
  std::unique_ptr<DocumentFile> document = DocumentFile::ForPath(path);
  document->Append(bytes.data(), bytes.size());
  return document->Commit();
}

}  // namespace boleto
