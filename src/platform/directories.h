// Whether a folder or file the run needs is there: the print directory, its
// logo folders and the bank's logo file, as the database stores their paths.
// Touches: files (looks only).
#pragma once

#include <string_view>

namespace boleto {

// True when `path` names nothing, ends in a separator ("/" or "\") or in a
// folder's own "." entry, or cannot be looked up; false for an existing
// directory or file. A "\" inside the path is read as "/", as the stored
// print directories were written.
bool DirectoryMissing(std::string_view path);

}  // namespace boleto
