// Files a document passes through on its way out: an open descriptor closed
// with its scope, unnamed files (O_TMPFILE) that vanish with the process
// however it ends, and writing or copying whole contents. Failures come
// back as false with errno set. Touches: files.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <string>

namespace boleto {

// An open file descriptor, closed at the end of the scope.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() { Close(); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  Descriptor& operator=(Descriptor&& other);

  int get() const { return fd_; }
  // False (errno set) where closing reports an error.
  bool Close();

 private:
  int fd_;
};

// $TMPDIR where it is set and not empty, /tmp otherwise.
std::string TemporaryFolder();

// A file open for reading and writing in `folder` that has no name, so
// nothing is left of it once it is closed or the process dies; where the
// file system has no unnamed files, a named one removed at once. -1 with
// errno set where none can be made.
int OpenUnnamedFile(const std::string& folder, mode_t mode = 0600);

// All `size` bytes at `data` into `fd`.
bool WriteAll(int fd, const char* data, size_t size);

// The whole contents of the file `from`, from its start, handed to `take`
// piece by piece; false where reading fails or `take` says false.
bool EachPiece(int from, const std::function<bool(const char* data, size_t size)>& take);

// The `size` bytes of the file `from` at offset `at`, handed to `take` as
// EachPiece does; false also where the file ends before them (errno EIO).
bool EachPieceOf(int from, off_t at, off_t size,
                 const std::function<bool(const char* data, size_t size)>& take);

// The whole contents of the file `from`, from its start, written into `to`
// where it stands.
bool CopyContents(int from, int to);

}  // namespace boleto
