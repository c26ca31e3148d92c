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

namespace boleto {
namespace {

// How long a FIFO may stay without a program reading from it before the page
// is given up: the reader is usually started along with the run.
constexpr int kFifoReaderWaitMs = 3000;
constexpr int kFifoRetryMs = 50;  // how often it is tried again meanwhile
// Symbolic links followed before giving up, as the kernel does (ELOOP).
constexpr int kMaxLinks = 40;

// An open file descriptor, closed at the end of the scope.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() { Close(); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  Descriptor& operator=(Descriptor&& other) {
    Close();
    fd_ = other.fd_;
    other.fd_ = -1;
    return *this;
  }

  int get() const { return fd_; }
  // False (errno set) where closing reports an error.
  bool Close() {
    if (fd_ < 0) return true;
    const int fd = fd_;
    fd_ = -1;
    return close(fd) == 0;
  }

 private:
  int fd_;
};

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

// All of `bytes`; false with errno set.
bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// All of `bytes`, then the file's data on the disk; false with errno set.
bool WriteAndSync(int fd, const std::string& bytes) {
  return WriteAll(fd, bytes) && fdatasync(fd) == 0;  // the data and the size, not the times
}

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

// Writes into a FIFO or device as it is, with no temporary file: a reader
// that goes away makes the write fail (EPIPE) instead of killing the run.
Status WriteInto(const std::string& path, bool fifo, const std::string& bytes,
                 const std::function<Status(int)>& failure) {
  Descriptor file(OpenWithoutWaiting(path, fifo));
  if (file.get() < 0) {
    if (fifo && errno == ENXIO) {
      return MakeError(error_number::kPrinterFailure,
                       "Cannot write the page to " + path + ": no program reads from it");
    }
    return failure(errno);
  }
  const int flags = fcntl(file.get(), F_GETFL);
  if (flags < 0 || fcntl(file.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) return failure(errno);

  sigset_t pipe_signal, earlier;
  sigemptyset(&pipe_signal);
  sigaddset(&pipe_signal, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe_signal, &earlier);
  bool written = WriteAll(file.get(), bytes);
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
  return written ? Status::Ok() : failure(error);
}

// Removes the temporary files that runs killed between naming and renaming
// them left beside `path`: ".NAME.part-PID" (or ".NAME.part-PID.XXXXXX")
// of a process that no longer exists.
void RemoveLeftovers(const std::string& path) {
  const std::string prefix = PartPrefix(path);
  DIR* folder = opendir(FolderOf(path).c_str());
  if (folder == nullptr) return;
  while (const dirent* entry = readdir(folder)) {
    const std::string name = entry->d_name;
    if (name.rfind(prefix, 0) != 0) continue;
    const std::string rest = name.substr(prefix.size());
    const size_t digits = rest.find_first_not_of("0123456789");
    const size_t end = digits == std::string::npos ? rest.size() : digits;
    // A pid (Linux's have at most 7 digits), alone or before "." and the
    // six characters mkostemp fills in.
    if (end == 0 || end > 9 || (end != rest.size() && rest.size() != end + 7) ||
        (end != rest.size() && rest[end] != '.')) {
      continue;
    }
    const pid_t pid = static_cast<pid_t>(std::stol(rest.substr(0, end)));
    if (pid <= 0 || pid == getpid() || kill(pid, 0) == 0 || errno != ESRCH) continue;
    unlinkat(dirfd(folder), name.c_str(), 0);
  }
  closedir(folder);
}

// Replaces the regular file at `path` (or creates it) whole: written to a
// temporary file in the same folder, synced, renamed over the path, and
// the folder synced.
Status Replace(const std::string& path, const std::string& bytes,
               const std::function<Status(int)>& failure) {
  const std::string folder = FolderOf(path);
  const mode_t mode = PageFileMode(path);
  RemoveLeftovers(path);
  std::string temporary = folder + "/" + PartPrefix(path) + std::to_string(getpid());

  // An unnamed file first: nothing is left of it if the run is killed
  // before it is given a name.
  Descriptor file(open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
  bool named = false;
  if (file.get() >= 0) {
    if (fchmod(file.get(), mode) != 0 || !WriteAndSync(file.get(), bytes)) return failure(errno);
    unlink(temporary.c_str());  // a leftover of an earlier run of this pid
    const std::string self = "/proc/self/fd/" + std::to_string(file.get());
    named = linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temporary.c_str(), AT_SYMLINK_FOLLOW) == 0;
    if (!named) file.Close();  // no /proc: write it again under a name
  }
  if (!named) {
    // A file system without unnamed files (NFS, SMB): a named one.
    temporary += ".XXXXXX";
    file = Descriptor(mkostemp(temporary.data(), O_CLOEXEC));
    if (file.get() < 0) return failure(errno);
    if (fchmod(file.get(), mode) != 0 || !WriteAndSync(file.get(), bytes)) {
      const int error = errno;
      unlink(temporary.c_str());
      return failure(error);
    }
  }
  if (!file.Close() || rename(temporary.c_str(), path.c_str()) != 0) {
    const int error = errno;
    unlink(temporary.c_str());
    return failure(error);
  }
  // The new name on the disk too: after a crash the folder holds the new
  // page. A folder that cannot be read cannot be synced; some file systems
  // do not sync folders (EINVAL).
  Descriptor directory(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (directory.get() >= 0 && fsync(directory.get()) != 0 && errno != EINVAL) {
    return failure(errno);
  }
  return Status::Ok();
}

}  // namespace

Status WritePageFile(const std::string& path, const std::string& bytes) {
  const std::function<Status(int)> failure = [&path](int error) -> Status {
    return MakeError(error_number::kPrinterFailure,
                     "Cannot write the page to " + path + ": " + std::strerror(error));
  };
  struct stat existing;
  if (stat(path.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode) &&
      !S_ISDIR(existing.st_mode)) {
    return WriteInto(path, S_ISFIFO(existing.st_mode), bytes, failure);
  }
  std::string file = path;
  if (!FollowLinks(file)) return failure(errno);
  return Replace(file, bytes, failure);
}

}  // namespace boleto
