// The page written to a file named on the command line, whole or not at all:
// it is written to a temporary file in the same folder, synced to the disk
// and only then renamed over the final name. A full disk, a failing write or
// a killed run leave any earlier file at that name as it was, and no
// temporary file behind (an unnamed one, where the file system has them,
// vanishes with a killed run too). Touches: files.
#pragma once

#include <string>

#include "platform/status.h"

namespace boleto {

// Writes `bytes` to `path`; a printer failure (482) "Cannot write the page
// to PATH: REASON" where that cannot be done.
Status WritePageFile(const std::string& path, const std::string& bytes);

}  // namespace boleto
