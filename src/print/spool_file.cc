#include "print/spool_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <vector>

namespace boleto {
namespace {

// Bytes read from a file at a time when it is copied.
constexpr size_t kCopyChunk = 1 << 16;

}  // namespace

Descriptor& Descriptor::operator=(Descriptor&& other) {
  Close();
  fd_ = other.fd_;
  other.fd_ = -1;
  return *this;
}

bool Descriptor::Close() {
  if (fd_ < 0) return true;
  const int fd = fd_;
  fd_ = -1;
  return close(fd) == 0;
}

std::string TemporaryFolder() {
  const char* folder = std::getenv("TMPDIR");
  return folder != nullptr && *folder != '\0' ? folder : "/tmp";
}

int OpenUnnamedFile(const std::string& folder, mode_t mode) {
  const int fd = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
  // ENOENT and ENOTDIR: no such folder; any other failure may be a file
  // system without unnamed files (EOPNOTSUPP, EISDIR on old kernels).
  if (fd >= 0 || errno == ENOENT || errno == ENOTDIR) return fd;
  std::string name = folder + "/.boleto-sr-XXXXXX";
  const int named = mkostemp(name.data(), O_CLOEXEC);
  if (named < 0) return -1;
  unlink(name.c_str());
  if (fchmod(named, mode) != 0) {
    const int error = errno;
    close(named);
    errno = error;
    return -1;
  }
  return named;
}

bool WriteAll(int fd, const char* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = write(fd, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool EachPiece(int from, const std::function<bool(const char* data, size_t size)>& take) {
  std::vector<char> chunk(kCopyChunk);
  for (off_t at = 0;;) {
    const ssize_t n = pread(from, chunk.data(), chunk.size(), at);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    if (!take(chunk.data(), static_cast<size_t>(n))) return false;
    at += n;
  }
}

bool EachPieceOf(int from, off_t at, off_t size,
                 const std::function<bool(const char* data, size_t size)>& take) {
  std::vector<char> chunk(kCopyChunk);
  for (off_t left = size; left > 0;) {
    const ssize_t n =
        pread(from, chunk.data(), std::min(chunk.size(), static_cast<size_t>(left)), at);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) {
      errno = EIO;  // the file is shorter than it was written
      return false;
    }
    if (!take(chunk.data(), static_cast<size_t>(n))) return false;
    at += n;
    left -= n;
  }
  return true;
}

bool CopyContents(int from, int to) {
  return EachPiece(from, [to](const char* data, size_t size) { return WriteAll(to, data, size); });
}

}  // namespace boleto
