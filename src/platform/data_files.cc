#include "platform/data_files.h"

#include <filesystem>
#include <system_error>
#include <vector>

// Set by the build from the installation folders; these defaults are the
// Debian layout.
#ifndef BOLETO_DATA_DIR_FROM_BIN
#define BOLETO_DATA_DIR_FROM_BIN "../share/boleto-sr"
#endif
#ifndef BOLETO_DATA_DIR
#define BOLETO_DATA_DIR "/usr/share/boleto-sr"
#endif

namespace boleto {

namespace fs = std::filesystem;

std::string ProgramDataFile(std::string_view name) {
  std::error_code error;
  std::vector<fs::path> folders;
  const fs::path executable = fs::read_symlink("/proc/self/exe", error);
  if (!error && executable.is_absolute()) {
    folders.push_back(executable.parent_path() / BOLETO_DATA_DIR_FROM_BIN);
  }
  folders.push_back(BOLETO_DATA_DIR);
  for (const fs::path& folder : folders) {
    const fs::path file = (folder / name).lexically_normal();
    if (fs::is_regular_file(file, error)) return file.string();
  }
  return "";
}

}  // namespace boleto
