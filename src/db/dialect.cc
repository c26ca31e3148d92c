#include "db/dialect.h"

#include <ctime>
#include <optional>

namespace boleto {

namespace {

enum class Dialect {
  kOracle,
  kSqlServer,
  kSybaseSrv,
  kSybaseAny,
  kSqlBase,
  kAccess,
  kSqlite,
  kPostgresql,
  kOther,
};

Dialect DialectOf(std::string_view tag) {
  if (tag == "ORACLE") return Dialect::kOracle;
  if (tag == "SQLSERVER") return Dialect::kSqlServer;
  if (tag == "SYBASESRV") return Dialect::kSybaseSrv;
  if (tag == "SYBASEANY") return Dialect::kSybaseAny;
  if (tag == "SQLBASE") return Dialect::kSqlBase;
  if (tag == "ACCESS") return Dialect::kAccess;
  if (tag == "SQLITE") return Dialect::kSqlite;
  if (tag == "POSTGRESQL") return Dialect::kPostgresql;
  return Dialect::kOther;
}

std::string TwoDigits(int value) {
  std::string text = std::to_string(value);
  return text.size() < 2 ? "0" + text : text;
}

}  // namespace

bool IsKnownDialect(std::string_view database_type) {
  return DialectOf(database_type) != Dialect::kOther;
}

std::string SqlNullAsZero(std::string_view database_type, std::string_view column) {
  switch (DialectOf(database_type)) {
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

std::string SqlCurrentDate(std::string_view database_type) {
  return SqlCurrentDateAt(database_type, ReadLocalClock());
}

std::string SqlCurrentDateAt(std::string_view database_type, const ClockReading& now) {
  switch (DialectOf(database_type)) {
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
    case Dialect::kOther:
      break;
  }
  return "";
}

std::string SqlCurrentTime(std::string_view database_type) {
  return SqlCurrentTimeAt(database_type, ReadLocalClock());
}

std::string SqlCurrentTimeAt(std::string_view database_type, const ClockReading& now) {
  switch (DialectOf(database_type)) {
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
    case Dialect::kOther:
      break;
  }
  return "";
}

Result<std::string> SqlDateLiteral(std::string_view database_type, std::string_view ddmmyyyy) {
  const Dialect dialect = DialectOf(database_type);
  if (dialect == Dialect::kOther) return std::string();
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
    case Dialect::kOther:
      break;
  }
  return std::string();
}

std::string ServerNowSql(std::string_view database_type) {
  std::string expression;
  switch (DialectOf(database_type)) {
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
    case Dialect::kOther:
      // No expression: the server refuses "SELECT  FROM EMPRESA " and the
      // local date stands in.
      break;
  }
  return "SELECT " + expression + " FROM EMPRESA ";
}

Date ServerNow(Database& db, std::string_view database_type) {
  return ServerNowAt(db, database_type, Date::Today());
}

Date ServerNowAt(Database& db, std::string_view database_type, const Date& today) {
  Result<RowSet> rows = db.QueryClock(ServerNowSql(database_type));
  if (!rows.ok() || rows->eof()) return today;
  Result<std::optional<std::string>> agora = rows->Value("Agora");
  if (!agora.ok() || !agora->has_value()) return today;
  const std::optional<Date> date = Date::ParseIso(**agora);
  return date ? *date : today;
}

}  // namespace boleto
