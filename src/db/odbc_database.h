// The database connection over unixODBC. Every SQL text goes to the driver
// exactly as given; a query fetches all its rows when it is opened; a
// statement runs in a transaction of its own (autocommit off, commit on
// success, rollback on failure, autocommit back on), or between Begin and
// Commit in the one transaction they open.
//
// Text is UTF-8 end to end. SQL texts and connect strings are handed to the
// driver as UTF-8 bytes through the narrow ODBC calls and values are read as
// SQL_C_CHAR, which keeps UTF-8 intact with both drivers the program is run
// against, whatever the process locale:
//  - SQLite3 ODBC ("DRIVER=SQLite3;Database=FILE") stores and returns UTF-8.
//    The driver would create a missing database file; the connection adds
//    its "NoCreat=1" option so that a wrong path is an error instead of a new
//    empty database (an explicit "NoCreat=0" is left alone). Its "Timeout"
//    option is the wait on a database another connection holds, in
//    milliseconds; the driver waits it twice over, so the connection hands
//    it half the time written, and "Timeout=5000" where none is written:
//    10 s in all (the driver's own default waits minutes). A transaction's
//    first write takes the whole database, so within a lock deadline only
//    that write (and the commit) can wait.
//  - PostgreSQL through psqlODBC: use the driver "PostgreSQL Unicode"
//    (psqlodbcw.so) on a UTF8 database. Through the narrow calls it passes
//    bytes unchanged, but it takes the client encoding from the locale of the
//    environment (SQL_ASCII under C, LATIN1 under a Latin-1 locale, where the
//    server would store each UTF-8 byte as a character of its own), so the
//    connection sets client_encoding to UTF8 once it is open. "PostgreSQL
//    ANSI" (psqlodbca.so) behaves the same way. The connection asks the
//    driver to undo nothing itself when a statement fails ("Protocol=7.4-0",
//    unless the connect string writes a Protocol of its own): the server
//    then refuses every statement of the transaction until the innermost
//    one (a savepoint) is rolled back. A lock wait ends at the
//    server's lock_timeout; where neither the data source ("ConnSettings=SET
//    lock_timeout TO '5s'"), the role nor the server sets one, the
//    connection sets 10 s, so that a row held by another user is an error
//    3158 rather than an endless wait. Under a lock deadline, inside a
//    transaction, a statement is preceded by "SET LOCAL lock_timeout TO N"
//    with the milliseconds left (at least 1) once the wait in force would
//    overrun the deadline by more than 50 ms; the wait is set back when the
//    deadline's scope ends.
//
// Errors raised by the driver carry its native error number (3146 where it
// gives none, or gives one of the numbers the program treats specially), its
// message texts on one line, and a source "ODBC <driver> <SQLSTATE>" (the
// driver's file name once connected, else the DRIVER or DSN named). Lock
// conflicts (SQLite busy or locked; PostgreSQL 55P03 lock not available,
// 40P01 deadlock) are error 3158 with the driver's description.
#pragma once

#include <memory>
#include <string_view>

#include "db/database.h"
#include "db/dialect.h"
#include "platform/status.h"

namespace boleto {

// Connects with an ODBC connect string ("DRIVER=...;..." or "DSN=...;...")
// to a server of `dialect`, whose savepoints nest transactions (none where
// it has none). A leading "ODBC;" (any case) is dropped; the login time-out
// is 0 (none). A failure is the driver's (or the driver manager's) error.
Result<std::unique_ptr<Database>> OpenOdbcDatabase(std::string_view connect_string,
                                                   Dialect dialect);

// The same for SQLite and PostgreSQL, whose savepoints are the same.
inline Result<std::unique_ptr<Database>> OpenOdbcDatabase(std::string_view connect_string) {
  return OpenOdbcDatabase(connect_string, Dialect::kSqlite);
}

}  // namespace boleto
