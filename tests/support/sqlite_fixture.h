// Throw-away SQLite databases for tests: a new file under a short folder in
// memory (/dev/shm, or /tmp where there is none), built from sql/schema.sqlite.sql through the
// SQLite3 ODBC driver, reachable with a connect string short enough for the 63-column field of the
// argument text, and removed with the fixture.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/database.h"
#include "platform/status.h"

namespace boleto::testing {

// Where test databases live: /dev/shm (memory: no waiting for the disk) when
// it can be written, else /tmp; never TMPDIR, since paths must stay short.
std::string ScratchRoot();

// The statements of an SQL script, split at each ';' outside quotes and
// comments, without the comments (the SQLite driver takes one statement and
// nothing after it); empty pieces are left out.
std::vector<std::string> SplitSqlScript(std::string_view script);

// Runs every statement of `script` through `db`, each in its own
// transaction; stops at the first failure, whose error it returns with the
// statement added to the description.
Status RunSqlScript(Database& db, std::string_view script);

class SqliteFixture {
 public:
  // Creates the file and the schema. `busy_timeout_ms` adds the driver's
  // "Timeout" option to the connect string; without it the driver waits
  // minutes on a database that another connection holds.
  static Result<std::unique_ptr<SqliteFixture>> Create(
      std::optional<int> busy_timeout_ms = std::nullopt);
  // Closes the fixture's connection and removes the folder with the file.
  ~SqliteFixture();

  SqliteFixture(const SqliteFixture&) = delete;
  SqliteFixture& operator=(const SqliteFixture&) = delete;

  // "DRIVER=SQLite3;Database=/dev/shm/bsrXXXXXX/t.db" (and ";Timeout=N").
  const std::string& connect_string() const { return connect_string_; }
  const std::string& path() const { return path_; }
  // The fixture's own open connection.
  Database& db() { return *db_; }
  // A further connection to the same file.
  Result<std::unique_ptr<Database>> Open() const;
  // Runs extra SQL (fixture rows): one or more statements separated by ';'.
  Status Run(std::string_view script) { return RunSqlScript(*db_, script); }

 private:
  SqliteFixture() = default;

  std::string dir_;
  std::string path_;
  std::string connect_string_;
  std::unique_ptr<Database> db_;
};

}  // namespace boleto::testing
