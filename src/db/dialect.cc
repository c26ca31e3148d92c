#include "db/dialect.h"

#include <ctime>
#include <optional>

namespace boleto {

namespace {

std::string TwoDigits(int value) {
  std::string text = std::to_string(value);
  return text.size() < 2 ? "0" + text : text;
}

}  // namespace

std::optional<Dialect> ParseDialect(std::string_view tag) {
  for (Dialect dialect :
       {Dialect::kOracle, Dialect::kSqlServer, Dialect::kSybaseSrv, Dialect::kSybaseAny,
        Dialect::kSqlBase, Dialect::kAccess, Dialect::kSqlite, Dialect::kPostgresql}) {
    if (tag == DialectTag(dialect)) return dialect;
  }
  return std::nullopt;
}

std::string_view DialectTag(Dialect dialect) {
  switch (dialect) {
    case Dialect::kOracle:
      return "ORACLE";
    case Dialect::kSqlServer:
      return "SQLSERVER";
    case Dialect::kSybaseSrv:
      return "SYBASESRV";
    case Dialect::kSybaseAny:
      return "SYBASEANY";
    case Dialect::kSqlBase:
      return "SQLBASE";
    case Dialect::kAccess:
      return "ACCESS";
    case Dialect::kSqlite:
      return "SQLITE";
    case Dialect::kPostgresql:
      return "POSTGRESQL";
  }
  return "";
}

QueryMode InstallmentQueryMode(Dialect dialect) {
  return dialect == Dialect::kSqlServer ? QueryMode::kEngineDefault
                                        : QueryMode::kSnapshotPassThrough;
}

std::optional<SavepointSql> SavepointStatements(Dialect dialect, std::string_view name) {
  const std::string n(name);
  switch (dialect) {
    case Dialect::kSybaseAny:
    case Dialect::kSqlite:
    case Dialect::kPostgresql:
      return SavepointSql{"SAVEPOINT " + n, "RELEASE SAVEPOINT " + n, "ROLLBACK TO SAVEPOINT " + n};
    case Dialect::kOracle:
      // No RELEASE: a savepoint lasts until the transaction ends, and one set
      // again under the same name replaces it.
      return SavepointSql{"SAVEPOINT " + n, "", "ROLLBACK TO SAVEPOINT " + n};
    case Dialect::kSqlServer:
    case Dialect::kSybaseSrv:
      // Transact-SQL names savepoints with SAVE TRANSACTION and has no
      // release either.
      return SavepointSql{"SAVE TRANSACTION " + n, "", "ROLLBACK TRANSACTION " + n};
    case Dialect::kSqlBase:
    case Dialect::kAccess:
      // Access has no savepoints; SQLBase's are not relied upon.
      break;
  }
  return std::nullopt;
}

bool FailedStatementHaltsTransaction(Dialect dialect) { return dialect == Dialect::kPostgresql; }

std::string SqlNullAsZero(Dialect dialect, std::string_view column) {
  switch (dialect) {
    case Dialect::kAccess:
      return "Nz(" + std::string(column) + ", 0)";
    case Dialect::kSqlBase:
      return "@NULLVALUE(" + std::string(column) + ", 0)";
    default:
      return "COALESCE(" + std::string(column) + ", 0)";
  }
}

ClockReading ReadLocalClock() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  ClockReading reading;
  reading.today = *Date::FromYmd(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
  reading.hour = local.tm_hour;
  reading.minute = local.tm_min;
  reading.second = local.tm_sec;
  return reading;
}

std::string SqlCurrentDate(Dialect dialect) { return SqlCurrentDateAt(dialect, ReadLocalClock()); }

std::string SqlCurrentDateAt(Dialect dialect, const ClockReading& now) {
  switch (dialect) {
    case Dialect::kOracle:
      return "SYSDATE";
    case Dialect::kSqlBase:
      return now.today.Format("MM/DD/YYYY");
    case Dialect::kAccess:
      return "#" + now.today.Format("MM/DD/YYYY") + "#";
    case Dialect::kSybaseAny:
      return "NOW(*)";
    case Dialect::kSybaseSrv:
    case Dialect::kSqlServer:
      return "GETDATE()";
    case Dialect::kSqlite:
      return "date('now','localtime')";
    case Dialect::kPostgresql:
      return "CURRENT_DATE";
  }
  return "";
}

std::string SqlCurrentTime(Dialect dialect) { return SqlCurrentTimeAt(dialect, ReadLocalClock()); }

std::string SqlCurrentTimeAt(Dialect dialect, const ClockReading& now) {
  switch (dialect) {
    case Dialect::kOracle:
      return "SYSDATE";
    case Dialect::kSqlBase:
      return TwoDigits(now.hour) + ":" + TwoDigits(now.minute) + ":" + TwoDigits(now.second);
    case Dialect::kSybaseAny:
      return "NOW(*)";
    case Dialect::kSybaseSrv:
    case Dialect::kSqlServer:
      return "GETDATE()";
    case Dialect::kSqlite:
      return "datetime('now','localtime')";
    case Dialect::kPostgresql:
      return "LOCALTIMESTAMP(0)";
    case Dialect::kAccess:
      break;
  }
  return "";
}

Result<std::string> SqlDateLiteral(Dialect dialect, std::string_view ddmmyyyy) {
  // Every dialect reads the digits as a date first, so that nothing but a
  // valid date ever reaches the SQL text.
  const std::optional<Date> date = Date::FromDigits(ddmmyyyy);
  if (!date) {
    return MakeError(error_number::kTypeMismatch,
                     "Type mismatch: not a DDMMYYYY date: " + std::string(ddmmyyyy));
  }
  switch (dialect) {
    case Dialect::kOracle:
      return "TO_DATE('" + date->Format("DDMMYYYY") + "','DDMMYYYY')";
    case Dialect::kSqlBase:
      return date->Format("MM/DD/YYYY");
    case Dialect::kAccess:
      return "#" + date->Format("MM/DD/YYYY") + "#";
    case Dialect::kSybaseAny:
      return "DATE ('" + date->Format("YYYY/MM/DD") + "')";
    case Dialect::kSybaseSrv:
    case Dialect::kSqlServer:
      return "'" + date->Format("YYYY/MM/DD") + "'";
    case Dialect::kSqlite:
      return "'" + date->Format("YYYY-MM-DD") + "'";
    case Dialect::kPostgresql:
      return "DATE '" + date->Format("YYYY-MM-DD") + "'";
  }
  return std::string();
}

std::string ServerNowSql(Dialect dialect) {
  std::string expression;
  switch (dialect) {
    case Dialect::kOracle:
      expression = " DISTINCT SYSDATE as Agora ";
      break;
    case Dialect::kSybaseAny:
      expression = " DISTINCT NOW(*) as Agora ";
      break;
    case Dialect::kSybaseSrv:
    case Dialect::kSqlServer:
      expression = " DISTINCT GETDATE() as Agora ";
      break;
    case Dialect::kSqlite:
      expression = " DISTINCT datetime('now','localtime') as Agora ";
      break;
    case Dialect::kPostgresql:
      expression = " DISTINCT LOCALTIMESTAMP(0) as Agora ";
      break;
    case Dialect::kSqlBase:
    case Dialect::kAccess:
      // No expression: the server refuses "SELECT  FROM EMPRESA " and the
      // local date stands in.
      break;
  }
  return "SELECT " + expression + " FROM EMPRESA ";
}

Date ServerNow(Database& db, Dialect dialect) { return ServerNowAt(db, dialect, Date::Today()); }

Date ServerNowAt(Database& db, Dialect dialect, const Date& today) {
  Result<RowSet> rows = db.QueryClock(ServerNowSql(dialect));
  if (!rows.ok() || rows->eof()) return today;
  Result<std::optional<std::string>> agora = rows->Value("Agora");
  if (!agora.ok() || !agora->has_value()) return today;
  const std::optional<Date> date = Date::ParseIso(**agora);
  return date ? *date : today;
}

}  // namespace boleto
