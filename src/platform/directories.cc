#include "platform/directories.h"

#include <sys/stat.h>

#include <string>

namespace boleto {

bool DirectoryMissing(std::string_view path) {
  std::string native(path);
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  // A NUL byte would cut the path short: no such name can exist.
  if (native.empty() || native.find('\0') != std::string::npos) return true;
  // A path written with a closing separator, or naming the folder's own "."
  // entry, looks up that "." entry, which the check has always taken as
  // "missing".
  if (native.back() == '/' || native == "." || native.ends_with("/.")) return true;
  struct stat info {};
  return stat(native.c_str(), &info) != 0;
}

}  // namespace boleto
