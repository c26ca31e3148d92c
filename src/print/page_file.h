// The document written to a file named on the command line.
//
// A regular file (or a name that does not exist yet) gets the document
// whole or not at all: it is written, as it is made, into an unnamed file
// in the same folder, which is synced to the disk, named, renamed over the
// final name, and the folder synced. A full disk, a failing write or a
// killed run leave any earlier file at that name as it was and nothing
// beside it; where the file system has no unnamed files, the temporary file
// is named from the start, and that of a run killed before renaming it is
// removed by the next write to that name (as is the named one of a run
// killed between naming and renaming it). A symbolic link stays a link: the
// file it leads to is replaced so, in that file's folder, and keeps its
// permissions. A FIFO or a device (/dev/null, a printer port) is written
// into as it is, once the document is whole (it waits meanwhile in an
// unnamed file under $TMPDIR or /tmp): nothing renamed or replaced; a FIFO
// that no program reads from within a few seconds is an error, not a wait
// without end. Touches: files.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "platform/status.h"
#include "print/spool_file.h"

namespace boleto {

// A document on its way to the file at a path: its bytes go to the disk as
// they come, and the path gets them only at Commit. Dropped uncommitted, it
// leaves the path and its folder as they were.
class DocumentFile {
 public:
  // Where the document for `path` will wait; a failure to make that place
  // is reported by Commit, as every failure to write. Unless told not to
  // (a caller that did it for the whole folder), the temporary files that
  // killed runs left for that path are removed first.
  static std::unique_ptr<DocumentFile> ForPath(const std::string& path,
                                               bool remove_leftovers = true);
  ~DocumentFile();
  DocumentFile(const DocumentFile&) = delete;
  DocumentFile& operator=(const DocumentFile&) = delete;

  // The next bytes of the document; the first failure is kept for Commit.
  void Append(const char* data, size_t size);
  // Hands the whole document to the path; a printer failure (482) "Cannot
  // write the page to PATH: REASON" where that cannot be done.
  Status Commit();

 private:
  explicit DocumentFile(const std::string& path) : path_(path) {}
  Status Failure(int error) const;
  Status Replace();
  Status WriteInto();

  std::string path_;       // as named on the command line
  std::string target_;     // the regular file replaced: the path after its links
  bool direct_ = false;    // a FIFO or a device, written into as it is
  bool fifo_ = false;      // a FIFO among those
  mode_t mode_ = 0;        // the permissions the replacing file gets
  Descriptor file_;        // where the bytes wait
  std::string temporary_;  // its name where it has one (removed unless renamed)
  int error_ = 0;          // the first failure's errno
};

// Removes from `folder` the temporary files that killed runs left for every
// name ending in `ending`, as ForPath does for one path.
void RemoveLeftoversEndingIn(const std::string& folder, std::string_view ending);

// Writes `bytes` to `path` as a DocumentFile does.
Status WritePageFile(const std::string& path, const std::string& bytes);

}  // namespace boleto
