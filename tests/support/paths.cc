#include "support/paths.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace boleto::testing {

std::string SourceDir() { return BOLETO_SOURCE_DIR; }
std::string ProgramPath() { return BOLETO_BINARY; }

std::string MakeTempDir(const std::string& prefix) {
  std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "XXXXXX")).string();
  if (mkdtemp(pattern.data()) == nullptr) return "";
  return pattern;
}

void RemoveTree(const std::string& path) {
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::string DemoSql() {
  std::string sql = ReadFile(SourceDir() + "/sql/demo.sql");
  const std::string marker = "@DEMO_PRINT_DIR@";
  const std::string print_dir = SourceDir() + "/demo/print";
  for (size_t at = sql.find(marker); at != std::string::npos;
       at = sql.find(marker, at + print_dir.size())) {
    sql.replace(at, marker.size(), print_dir);
  }
  return sql;
}

}  // namespace boleto::testing
