// A throw-away PostgreSQL 15 cluster for tests, one per test program,
// started on first use in a new folder under /dev/shm (or /tmp): a copy of a
// prepared stopped cluster (initdb, the role kPasswordRole, the databases
// "boleto_template" and "boleto" built from sql/schema.postgresql.sql) that
// the first test process builds once per schema text. As root the server
// runs as the "postgres" system user, since it refuses root. It listens only
// on a unix socket in its folder, with trust logins. A test-made odbc.ini
// holds the data source "boletopg" (driver "PostgreSQL Unicode"); ODBCINI is
// set to it in this process, so that the programs the tests start reach the
// same cluster with the connect string "DSN=boletopg". The cluster is
// stopped and its folder removed when the test program ends, and also, by a
// watchdog, when the program dies without ending normally.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "db/database.h"
#include "platform/status.h"

namespace boleto::testing {

class PostgresCluster {
 public:
  // This test program's cluster, started on the first call. An error says
  // why it could not be started (the server log is in the description).
  static Result<PostgresCluster*> Shared();
  ~PostgresCluster();

  PostgresCluster(const PostgresCluster&) = delete;
  PostgresCluster& operator=(const PostgresCluster&) = delete;

  // "DSN=boletopg": the database "boleto" built from the schema.
  const std::string& connect_string() const { return connect_string_; }
  // A new, empty copy of the schema for a test that needs its own data:
  // "DSN=boletopg;Database=bN".
  Result<std::string> NewDatabase();
  // The role that logs in only with the password "secret" (a refused login
  // for any other password).
  static constexpr char kPasswordRole[] = "boleto_pw";

  const std::string& odbc_ini() const { return odbc_ini_; }
  const std::string& socket_dir() const { return dir_; }
  int port() const { return port_; }

  // A connection with `connect_string` (this cluster's "DSN=boletopg..."),
  // or to the database "boleto" when empty.
  Result<std::unique_ptr<Database>> Open(std::string_view connect_string = "") const;
  // Runs extra SQL on the database "boleto", or on `connect_string`'s.
  Status Run(std::string_view script, std::string_view connect_string = "") const;

 private:
  PostgresCluster() = default;
  Status Start();
  void Stop();

  std::string dir_;
  std::string odbc_ini_;
  std::string connect_string_;
  int port_ = 0;
  int next_database_ = 1;
  int watchdog_pid_ = 0;
  bool running_ = false;
};

}  // namespace boleto::testing
