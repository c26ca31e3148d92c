// What differs between database servers in the SQL the program writes:
// today's date and the current time as SQL expressions, a date as an SQL
// literal, and the server's clock, each chosen by the dialect tag of the run
// ("ORACLE", "SQLSERVER", "SYBASESRV", "SYBASEANY", "SQLBASE", "ACCESS",
// "SQLITE", "POSTGRESQL", compared exactly; any other tag gets empty texts).
#pragma once

#include <string>
#include <string_view>

#include "db/database.h"
#include "platform/date.h"
#include "platform/status.h"

namespace boleto {

// True for the eight tags above. The start-up refuses any other tag before
// anything is read: the statements that need a dialect would be incomplete.
bool IsKnownDialect(std::string_view database_type);

// `column` in an expression where NULL counts as zero ("COALESCE(c, 0)";
// Access "Nz(c, 0)", SQLBase "@NULLVALUE(c, 0)"): a sum of amount columns
// is then never NULL because one of them is.
std::string SqlNullAsZero(std::string_view database_type, std::string_view column);

// One reading of the local clock: today's date and the time of day.
struct ClockReading {
  Date today;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// The local clock now.
ClockReading ReadLocalClock();

// An SQL expression for today's date (empty for "other" tags), from the local
// clock or from the reading given.
std::string SqlCurrentDate(std::string_view database_type);
std::string SqlCurrentDateAt(std::string_view database_type, const ClockReading& now);

// An SQL expression for the current time ("ACCESS" and "other" tags: empty).
std::string SqlCurrentTime(std::string_view database_type);
std::string SqlCurrentTimeAt(std::string_view database_type, const ClockReading& now);

// A "DDMMYYYY" date as an SQL literal of the dialect (empty for "other"
// tags). A text that is not a valid date is error 13.
Result<std::string> SqlDateLiteral(std::string_view database_type, std::string_view ddmmyyyy);

// The SELECT that reads the server clock as column "Agora" from EMPRESA.
std::string ServerNowSql(std::string_view database_type);

// The server's date; the local `today` when the server gives no row, no
// readable value or an error (no message is shown).
Date ServerNow(Database& db, std::string_view database_type);
Date ServerNowAt(Database& db, std::string_view database_type, const Date& today);

}  // namespace boleto
