#include "db/dialect.h"

#include <gtest/gtest.h>

#include <string>

#include "support/paths.h"
#include "support/postgres_cluster.h"
#include "support/sqlite_fixture.h"

namespace boleto {
namespace {

// 6 December 2026, 09:05:03 on the local clock.
ClockReading Reading() { return ClockReading{*Date::FromYmd(2026, 12, 6), 9, 5, 3}; }

struct DialectRow {
  const char* tag;
  const char* current_date;
  const char* current_time;
  const char* literal_31122026;
  const char* literal_06122026;
  const char* server_now_sql;
};

// The dialect table, row by row; the clock reads 06/12/2026 09:05:03.
const DialectRow kTable[] = {
    {"ORACLE", "SYSDATE", "SYSDATE", "TO_DATE('31122026','DDMMYYYY')",
     "TO_DATE('06122026','DDMMYYYY')", "SELECT  DISTINCT SYSDATE as Agora  FROM EMPRESA "},
    {"SQLBASE", "12/06/2026", "09:05:03", "12/31/2026", "12/06/2026", "SELECT  FROM EMPRESA "},
    {"ACCESS", "#12/06/2026#", "", "#12/31/2026#", "#12/06/2026#", "SELECT  FROM EMPRESA "},
    {"SYBASEANY", "NOW(*)", "NOW(*)", "DATE ('2026/12/31')", "DATE ('2026/12/06')",
     "SELECT  DISTINCT NOW(*) as Agora  FROM EMPRESA "},
    {"SYBASESRV", "GETDATE()", "GETDATE()", "'2026/12/31'", "'2026/12/06'",
     "SELECT  DISTINCT GETDATE() as Agora  FROM EMPRESA "},
    {"SQLSERVER", "GETDATE()", "GETDATE()", "'2026/12/31'", "'2026/12/06'",
     "SELECT  DISTINCT GETDATE() as Agora  FROM EMPRESA "},
    {"SQLITE", "date('now','localtime')", "datetime('now','localtime')", "'2026-12-31'",
     "'2026-12-06'", "SELECT  DISTINCT datetime('now','localtime') as Agora  FROM EMPRESA "},
    {"POSTGRESQL", "CURRENT_DATE", "LOCALTIMESTAMP(0)", "DATE '2026-12-31'", "DATE '2026-12-06'",
     "SELECT  DISTINCT LOCALTIMESTAMP(0) as Agora  FROM EMPRESA "},
};

class DialectTableTest : public ::testing::TestWithParam<DialectRow> {};

TEST_P(DialectTableTest, Texts) {
  const DialectRow& row = GetParam();
  const std::optional<Dialect> parsed = ParseDialect(row.tag);
  ASSERT_TRUE(parsed.has_value()) << row.tag;
  const Dialect dialect = *parsed;
  EXPECT_EQ(DialectTag(dialect), row.tag);
  EXPECT_EQ(SqlCurrentDateAt(dialect, Reading()), row.current_date);
  EXPECT_EQ(SqlCurrentTimeAt(dialect, Reading()), row.current_time);
  const Result<std::string> literal = SqlDateLiteral(dialect, "31122026");
  ASSERT_TRUE(literal.ok());
  EXPECT_EQ(*literal, row.literal_31122026);
  EXPECT_EQ(*SqlDateLiteral(dialect, "06122026"), row.literal_06122026);
  // Read as a number, a leading zero may be missing: 6122026 is 06/12/2026.
  EXPECT_EQ(*SqlDateLiteral(dialect, "6122026"), row.literal_06122026);
  EXPECT_EQ(ServerNowSql(dialect), row.server_now_sql);
}

// Tags are compared exactly: anything but the eight tags is no dialect.
TEST(Dialect, OtherTagsAreNoDialect) {
  for (const char* tag : {"DB2", "oracle", " ORACLE", "ORACLE ", "", "OTHER", "SQLITE3"}) {
    EXPECT_FALSE(ParseDialect(tag).has_value()) << tag;
  }
}

// The statements of a nested transaction, by dialect. Savepoints of
// Transact-SQL and Oracle are never released; Access has none, nor does the
// program rely on SQLBase's: there a transaction does not nest. Only
// PostgreSQL refuses the statements after a failed one until a rollback.
TEST(Dialect, SavepointStatements) {
  static const struct {
    Dialect dialect;
    const char* set;  // nullptr: no savepoints
    const char* release;
    const char* undo;
    bool halts;  // FailedStatementHaltsTransaction
  } cases[] = {
      {Dialect::kOracle, "SAVEPOINT sp2", "", "ROLLBACK TO SAVEPOINT sp2", false},
      {Dialect::kSqlServer, "SAVE TRANSACTION sp2", "", "ROLLBACK TRANSACTION sp2", false},
      {Dialect::kSybaseSrv, "SAVE TRANSACTION sp2", "", "ROLLBACK TRANSACTION sp2", false},
      {Dialect::kSybaseAny, "SAVEPOINT sp2", "RELEASE SAVEPOINT sp2", "ROLLBACK TO SAVEPOINT sp2",
       false},
      {Dialect::kSqlBase, nullptr, nullptr, nullptr, false},
      {Dialect::kAccess, nullptr, nullptr, nullptr, false},
      {Dialect::kSqlite, "SAVEPOINT sp2", "RELEASE SAVEPOINT sp2", "ROLLBACK TO SAVEPOINT sp2",
       false},
      {Dialect::kPostgresql, "SAVEPOINT sp2", "RELEASE SAVEPOINT sp2", "ROLLBACK TO SAVEPOINT sp2",
       true},
  };
  for (const auto& c : cases) {
    const std::string_view tag = DialectTag(c.dialect);
    EXPECT_EQ(FailedStatementHaltsTransaction(c.dialect), c.halts) << tag;
    const std::optional<SavepointSql> sql = SavepointStatements(c.dialect, "sp2");
    ASSERT_EQ(sql.has_value(), c.set != nullptr) << tag;
    if (!sql) continue;
    EXPECT_EQ(sql->set, c.set) << tag;
    EXPECT_EQ(sql->release, c.release) << tag;
    EXPECT_EQ(sql->undo, c.undo) << tag;
  }
}

INSTANTIATE_TEST_SUITE_P(EveryTag, DialectTableTest, ::testing::ValuesIn(kTable),
                         [](const ::testing::TestParamInfo<DialectRow>& info) {
                           return "row" + std::to_string(info.index);
                         });

// The clock-reading forms agree with the plain ones for the tags whose text
// does not depend on the clock.
TEST(Dialect, PlainFormsUseTheLocalClock) {
  EXPECT_EQ(SqlCurrentDate(Dialect::kOracle), "SYSDATE");
  EXPECT_EQ(SqlCurrentTime(Dialect::kPostgresql), "LOCALTIMESTAMP(0)");
  const ClockReading now = ReadLocalClock();
  EXPECT_EQ(SqlCurrentDate(Dialect::kAccess), "#" + now.today.Format("MM/DD/YYYY") + "#");
  EXPECT_EQ(now.today, Date::Today());
  EXPECT_EQ(SqlCurrentTime(Dialect::kSqlBase).size(), 8u);
}

// Whatever is not a valid DDMMYYYY date never reaches the SQL text, in any
// dialect that writes a literal.
TEST(Dialect, InvalidDateIsTypeMismatch) {
  for (const char* tag : {"ORACLE", "SQLBASE", "ACCESS", "SYBASEANY", "SYBASESRV", "SQLSERVER",
                          "SQLITE", "POSTGRESQL"}) {
    for (const char* text :
         {"31022026", "32122026", "00000000", "", "06/12/26", "0612202'", "061220260", "12"}) {
      const Result<std::string> literal = SqlDateLiteral(*ParseDialect(tag), text);
      ASSERT_FALSE(literal.ok()) << tag << " " << text;
      EXPECT_EQ(literal.error().number, error_number::kTypeMismatch);
    }
  }
}

}  // namespace
}  // namespace boleto

namespace boleto {
namespace {

// A date that no server clock reads today: shows when the fallback was taken.
const Date kFallback = *Date::FromYmd(2000, 1, 1);

void ExpectToday(const Date& got) {
  // A run across midnight may see the next day.
  EXPECT_TRUE(got == Date::Today() || got == Date::Today().AddDays(-1)) << got.Format("DD/MM/YYYY");
}

// The date and time texts of the two servers the program runs on are SQL
// that the server accepts and reads as the date meant.
void ExpectServerReads(Database& db, Dialect tag) {
  const Result<RowSet> rows =
      db.Query("SELECT " + SqlCurrentDate(tag) + " AS d, " + SqlCurrentTime(tag) + " AS t, " +
               *SqlDateLiteral(tag, "31122026") + " AS l");
  ASSERT_TRUE(rows.ok()) << rows.error().description;
  ExpectToday(*Date::ParseIso(**rows->Value("d")));
  ExpectToday(*Date::ParseIso(**rows->Value("t")));
  EXPECT_EQ(rows->Value("t")->value().size(), 19u) << **rows->Value("t");  // YYYY-MM-DD hh:mm:ss
  EXPECT_EQ(**rows->Value("l"), "2026-12-31");
}

TEST(ServerNow, Sqlite) {
  auto fixture = testing::SqliteFixture::Create();
  ASSERT_TRUE(fixture.ok()) << fixture.error().description;
  Database& db = (*fixture)->db();
  ExpectServerReads(db, Dialect::kSqlite);

  // No company row: no row, so the local date stands in.
  EXPECT_EQ(ServerNowAt(db, Dialect::kSqlite, kFallback), kFallback);

  ASSERT_TRUE((*fixture)
                  ->Run("INSERT INTO EMPRESA (CODIGO, NOME) VALUES ('01', 'A');"
                        "INSERT INTO EMPRESA (CODIGO, NOME) VALUES ('02', 'B')")
                  .ok());
  ExpectToday(ServerNowAt(db, Dialect::kSqlite, kFallback));
  ExpectToday(ServerNow(db, Dialect::kSqlite));
  // Dialects whose clock SQLite does not know: the statement fails, silently.
  for (const char* tag : {"ORACLE", "SYBASEANY", "SQLSERVER", "SQLBASE", "ACCESS"}) {
    EXPECT_EQ(ServerNowAt(db, *ParseDialect(tag), kFallback), kFallback) << tag;
  }
}

TEST(ServerNow, Postgresql) {
  auto cluster = testing::PostgresCluster::Shared();
  ASSERT_TRUE(cluster.ok()) << cluster.error().description;
  auto name = (*cluster)->NewDatabase();
  ASSERT_TRUE(name.ok()) << name.error().description;
  auto db = (*cluster)->Open(*name);
  ASSERT_TRUE(db.ok()) << db.error().description;
  ExpectServerReads(**db, Dialect::kPostgresql);

  EXPECT_EQ(ServerNowAt(**db, Dialect::kPostgresql, kFallback), kFallback);
  ASSERT_TRUE((*cluster)->Run("INSERT INTO EMPRESA (CODIGO, NOME) VALUES ('01', 'A')", *name).ok());
  ExpectToday(ServerNowAt(**db, Dialect::kPostgresql, kFallback));
  for (const char* tag : {"ORACLE", "SYBASEANY", "SQLSERVER", "SQLBASE"}) {
    EXPECT_EQ(ServerNowAt(**db, *ParseDialect(tag), kFallback), kFallback) << tag;
  }
}

}  // namespace
}  // namespace boleto
