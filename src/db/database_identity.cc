#include "db/database_identity.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include "db/connect_string.h"
#include "platform/text.h"

namespace boleto {
namespace {

std::string Capitals(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

}  // namespace

std::string DatabaseIdentity(std::string_view connect) {
  const std::string driver = Capitals(ConnectValue(connect, "DRIVER"));
  const std::string file(TrimBlanks(ConnectValue(connect, "Database")));
  if (driver.find("SQLITE") != std::string::npos && !file.empty()) {
    // The file as the driver opens it, relative to the working directory,
    // with its links followed: the same whether it exists yet or not (the
    // driver makes a missing one), where device and inode would not be.
    std::error_code error;
    const std::filesystem::path path = std::filesystem::weakly_canonical(file, error);
    return "sqlite " + (error ? file : path.string());
  }
  std::vector<std::pair<std::string, std::string>> parts;
  for (const ConnectPart& part : ConnectParts(connect)) {
    if (part.name.empty()) continue;
    parts.emplace_back(Capitals(part.name), std::string(TrimBlanks(part.text)));
  }
  std::stable_sort(parts.begin(), parts.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::string identity;
  // A value may hold ";" between braces, never a NUL.
  for (const auto& [key, value] : parts) identity += key + "=" + value + std::string(1, '\0');
  return identity;
}

}  // namespace boleto
