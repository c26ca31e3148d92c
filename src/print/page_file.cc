#include "print/page_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace boleto {
namespace {

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

// A hidden name beside the path's: ".NAME" and the suffix, in its folder.
std::string HiddenBeside(const std::string& path, const std::string& suffix) {
  const size_t slash = path.rfind('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return FolderOf(path) + "/." + name + suffix;
}

// All of `bytes`, then the file's data on the disk; false with errno set.
bool WriteAndSync(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    done += static_cast<size_t>(n);
  }
  return fdatasync(fd) == 0;  // the data and the size, not the times
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

}  // namespace

Status WritePageFile(const std::string& path, const std::string& bytes) {
  auto failure = [&path](int error) {
    return MakeError(error_number::kPrinterFailure,
                     "Cannot write the page to " + path + ": " + std::strerror(error));
  };
  const std::string folder = FolderOf(path);
  const mode_t mode = PageFileMode(path);
  std::string temporary = HiddenBeside(path, ".part-" + std::to_string(getpid()));

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
    temporary = HiddenBeside(path, ".XXXXXX");
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
  // The folder is not synced: after a crash it holds the earlier page or
  // the new one, each whole, and the run is spared a second disk flush.
  return Status::Ok();
}

}  // namespace boleto
