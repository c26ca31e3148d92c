#include "support/sqlite_fixture.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "db/odbc_database.h"
#include "support/paths.h"

namespace boleto::testing {

std::string ScratchRoot() {
  struct stat info;
  if (stat("/dev/shm", &info) == 0 && S_ISDIR(info.st_mode) && access("/dev/shm", W_OK) == 0) {
    return "/dev/shm";
  }
  return "/tmp";
}

std::vector<std::string> SplitSqlScript(std::string_view script) {
  std::vector<std::string> statements;
  std::string current;
  bool has_code = false;  // the piece holds more than blanks and comments
  size_t i = 0;
  auto finish = [&] {
    if (has_code) {
      size_t first = current.find_first_not_of(" \t\r\n");
      size_t last = current.find_last_not_of(" \t\r\n");
      statements.push_back(current.substr(first, last - first + 1));
    }
    current.clear();
    has_code = false;
  };
  while (i < script.size()) {
    const char c = script[i];
    if (c == '-' && i + 1 < script.size() && script[i + 1] == '-') {
      size_t end = script.find('\n', i);
      if (end == std::string_view::npos) end = script.size();
      i = end;
    } else if (c == '/' && i + 1 < script.size() && script[i + 1] == '*') {
      size_t end = script.find("*/", i + 2);
      end = end == std::string_view::npos ? script.size() : end + 2;
      current += ' ';
      i = end;
    } else if (c == '\'' || c == '"') {
      // A doubled quote inside closes and reopens: the text stays intact.
      size_t end = script.find(c, i + 1);
      end = end == std::string_view::npos ? script.size() : end + 1;
      current.append(script.substr(i, end - i));
      has_code = true;
      i = end;
    } else if (c == ';') {
      finish();
      ++i;
    } else {
      if (c != ' ' && c != '\t' && c != '\r' && c != '\n') has_code = true;
      current += c;
      ++i;
    }
  }
  finish();
  return statements;
}

Status RunSqlScript(Database& db, std::string_view script) {
  for (const std::string& statement : SplitSqlScript(script)) {
    Result<int64_t> result = db.Execute(statement);
    if (!result.ok()) {
      Error error = result.error();
      error.description += " [in: " + statement + "]";
      return error;
    }
  }
  return Status::Ok();
}

Result<std::unique_ptr<SqliteFixture>> SqliteFixture::Create(std::optional<int> busy_timeout_ms) {
  std::unique_ptr<SqliteFixture> fixture(new SqliteFixture());
  std::string pattern = ScratchRoot() + "/bsrXXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) {
    return MakeError(error_number::kOdbcCallFailed, "mkdtemp failed for " + pattern, "test");
  }
  fixture->dir_ = pattern;
  fixture->path_ = pattern + "/t.db";
  fixture->connect_string_ = "DRIVER=SQLite3;Database=" + fixture->path_;
  if (busy_timeout_ms) fixture->connect_string_ += ";Timeout=" + std::to_string(*busy_timeout_ms);

  // The connection refuses a missing file, so the file is made empty first.
  std::error_code ignored;
  FILE* file = fopen(fixture->path_.c_str(), "wb");
  if (file == nullptr) {
    return MakeError(error_number::kFileNotFound, "cannot create " + fixture->path_, "test");
  }
  fclose(file);

  // The fixture's own connection does not wait for the disk: the file lives
  // as long as the test.
  Result<std::unique_ptr<Database>> db =
      OpenOdbcDatabase(fixture->connect_string_ + ";SyncPragma=OFF");
  if (!db.ok()) return db.error();
  fixture->db_ = std::move(*db);
  const std::string schema = ReadFile(SourceDir() + "/sql/schema.sqlite.sql");
  if (schema.empty()) {
    return MakeError(error_number::kFileNotFound, "sql/schema.sqlite.sql not found", "test");
  }
  Status loaded = fixture->Run(schema);
  if (!loaded.ok()) return loaded.error();
  return fixture;
}

SqliteFixture::~SqliteFixture() {
  db_.reset();
  if (!dir_.empty()) RemoveTree(dir_);
}

Result<std::unique_ptr<Database>> SqliteFixture::Open() const {
  return OpenOdbcDatabase(connect_string_);
}

}  // namespace boleto::testing
