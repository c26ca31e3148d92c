// The page written to a file named on the command line.
//
// A regular file (or a name that does not exist yet) gets the page whole or
// not at all: it is written to a temporary file in the same folder, synced
// to the disk, renamed over the final name and the folder synced. A full
// disk, a failing write or a killed run leave any earlier file at that name
// as it was; the temporary file of a run killed between naming and renaming
// it is removed by the next write to that name. A symbolic link stays a
// link: the file it leads to is replaced so, in that file's folder, and
// keeps its permissions. A FIFO or a device (/dev/null, a printer port) is
// written into as it is: no temporary file, nothing renamed or replaced; a
// FIFO that no program reads from within a few seconds is an error, not a
// wait without end. Touches: files.
#pragma once

#include <string>

#include "platform/status.h"

namespace boleto {

// Writes `bytes` to `path`; a printer failure (482) "Cannot write the page
// to PATH: REASON" where that cannot be done.
Status WritePageFile(const std::string& path, const std::string& bytes);

}  // namespace boleto
