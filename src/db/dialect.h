// What differs between database servers in the SQL the program writes:
// today's date and the current time as SQL expressions, a date as an SQL
// literal, NULL read as zero, the server's clock and the statements of a
// nested transaction, each chosen by the run's dialect. The dialect tag
// ("ORACLE", "SQLSERVER", "SYBASESRV", "SYBASEANY", "SQLBASE", "ACCESS",
// "SQLITE", "POSTGRESQL", compared exactly) is read once into a `Dialect`.
// Pure, except for the local clock and the server clock.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "db/database.h"
#include "platform/date.h"
#include "platform/status.h"

namespace boleto {

// The server dialects the program writes SQL for.
enum class Dialect {
  kOracle,
  kSqlServer,
  kSybaseSrv,  // Sybase Adaptive Server Enterprise
  kSybaseAny,  // Sybase SQL Anywhere
  kSqlBase,
  kAccess,
  kSqlite,
  kPostgresql,
};

// The dialect of one of the eight tags above; nullopt for any other text. The
// start-up refuses another tag before anything is read: the statements that
// need a dialect would be incomplete.
std::optional<Dialect> ParseDialect(std::string_view tag);

// The tag of `dialect` as the argument text writes it ("SQLSERVER").
std::string_view DialectTag(Dialect dialect);

// The statements of a transaction nested inside an open one, a savepoint
// named `name`: `set` opens it, `undo` undoes its statements and leaves the
// transaction around it open, `release` (empty where the dialect has none)
// ends it keeping its statements, still uncommitted.
struct SavepointSql {
  std::string set;
  std::string release;
  std::string undo;
};

// How the installment and eligibility queries are opened: "SQLSERVER" with
// the engine's defaults, every other dialect as a snapshot passed through.
QueryMode InstallmentQueryMode(Dialect dialect);

// The savepoint statements of `dialect`; nullopt where it has none, and a
// transaction cannot be nested there.
std::optional<SavepointSql> SavepointStatements(Dialect dialect, std::string_view name);

// True where a statement that fails inside a transaction leaves it refusing
// every later statement until the transaction, or a savepoint set before
// the statement, is rolled back (PostgreSQL); the other servers undo the
// failed statement alone and the transaction goes on.
bool FailedStatementHaltsTransaction(Dialect dialect);

// `column` in an expression where NULL counts as zero ("COALESCE(c, 0)";
// Access "Nz(c, 0)", SQLBase "@NULLVALUE(c, 0)"): a sum of amount columns
// is then never NULL because one of them is.
std::string SqlNullAsZero(Dialect dialect, std::string_view column);

// One reading of the local clock: today's date and the time of day.
struct ClockReading {
  Date today;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// The local clock now.
ClockReading ReadLocalClock();

// An SQL expression for today's date, from the local clock or from the
// reading given.
std::string SqlCurrentDate(Dialect dialect);
std::string SqlCurrentDateAt(Dialect dialect, const ClockReading& now);

// An SQL expression for the current time ("ACCESS": empty).
std::string SqlCurrentTime(Dialect dialect);
std::string SqlCurrentTimeAt(Dialect dialect, const ClockReading& now);

// A "DDMMYYYY" date as an SQL literal of the dialect. A text that is not a
// valid date is error 13.
Result<std::string> SqlDateLiteral(Dialect dialect, std::string_view ddmmyyyy);

// The SELECT that reads the server clock as column "Agora" from EMPRESA.
std::string ServerNowSql(Dialect dialect);

// The server's date; the local `today` when the server gives no row, no
// readable value or an error (no message is shown).
Date ServerNow(Database& db, Dialect dialect);
Date ServerNowAt(Database& db, Dialect dialect, const Date& today);

}  // namespace boleto
