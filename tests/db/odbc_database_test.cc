// The ODBC connection against real SQLite3 ODBC and psqlODBC databases: each
// test runs on both engines, on a new database built from the schema.
#include "db/odbc_database.h"

#include <sql.h>
#include <sqlext.h>
#include <unistd.h>

#include <filesystem>

#include "db/database.h"
#include "db/sql_text.h"
#include "gtest/gtest.h"
#include "support/paths.h"
#include "support/postgres_cluster.h"
#include "support/sqlite_fixture.h"

namespace boleto {
namespace {

using ::boleto::testing::PostgresCluster;
using ::boleto::testing::SqliteFixture;

enum class Engine { kSqlite, kPostgres };

std::string EngineName(const ::testing::TestParamInfo<Engine>& info) {
  return info.param == Engine::kSqlite ? "SQLite" : "PostgreSQL";
}

// A raw ODBC connection that holds a write transaction open until it is
// destroyed: the other user of the lock tests.
class LockHolder {
 public:
  explicit LockHolder(const std::string& connect) {
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_);
    SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
    std::string text = connect;
    connected_ =
        SQL_SUCCEEDED(SQLDriverConnect(dbc_, nullptr, reinterpret_cast<SQLCHAR*>(text.data()),
                                       SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT));
    if (connected_) {
      SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF),
                        0);
    }
  }
  ~LockHolder() {
    if (connected_) {
      SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK);
      SQLDisconnect(dbc_);
    }
    SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    SQLFreeHandle(SQL_HANDLE_ENV, env_);
  }
  // Runs `sql` inside the open transaction.
  bool Run(const std::string& sql) {
    if (!connected_) return false;
    SQLHSTMT stmt;
    SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt);
    std::string text = sql;
    bool ok = SQL_SUCCEEDED(SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS));
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return ok;
  }

 private:
  SQLHENV env_ = SQL_NULL_HENV;
  SQLHDBC dbc_ = SQL_NULL_HDBC;
  bool connected_ = false;
};

class OdbcDatabaseTest : public ::testing::TestWithParam<Engine> {
 protected:
  void SetUp() override {
    if (sqlite()) {
      auto fixture = SqliteFixture::Create();
      ASSERT_TRUE(fixture.ok()) << fixture.error().description;
      sqlite_ = std::move(*fixture);
      connect_ = sqlite_->connect_string();
    } else {
      auto cluster = PostgresCluster::Shared();
      ASSERT_TRUE(cluster.ok()) << cluster.error().description;
      auto connect = (*cluster)->NewDatabase();
      ASSERT_TRUE(connect.ok()) << connect.error().description;
      connect_ = *connect;
    }
    auto db = OpenOdbcDatabase(connect_);
    ASSERT_TRUE(db.ok()) << db.error().description;
    db_ = std::move(*db);
  }

  bool sqlite() const { return GetParam() == Engine::kSqlite; }

  // A second connection; on SQLite it waits at most `busy_ms` on a lock.
  std::unique_ptr<Database> OpenSecond(int busy_ms = 100000) {
    std::string connect = connect_;
    if (sqlite()) connect += ";Timeout=" + std::to_string(busy_ms);
    auto db = OpenOdbcDatabase(connect);
    EXPECT_TRUE(db.ok()) << db.error().description;
    return db.ok() ? std::move(*db) : nullptr;
  }

  // The connection opened again for `dialect`, on an empty EMPRESA.
  void ReopenEmpty(Dialect dialect) {
    auto db = OpenOdbcDatabase(connect_, dialect);
    ASSERT_TRUE(db.ok()) << db.error().description;
    db_ = std::move(*db);
    Exec("DELETE FROM EMPRESA");
  }

  Result<int64_t> InsertCompany(const char* code) {
    return db_->Execute(std::string("INSERT INTO EMPRESA (CODIGO, NOME) VALUES ('") + code +
                        "', 'N')");
  }

  void Exec(const std::string& sql) {
    auto result = db_->Execute(sql);
    ASSERT_TRUE(result.ok()) << sql << ": " << result.error().description;
  }

  // The one value of a one-row query.
  std::optional<std::string> One(Database& db, const std::string& sql, const std::string& column) {
    auto rows = db.Query(sql);
    EXPECT_TRUE(rows.ok()) << sql << ": " << rows.error().description;
    if (!rows.ok()) return std::nullopt;
    EXPECT_EQ(rows->row_count(), 1u) << sql;
    auto value = rows->Value(column);
    EXPECT_TRUE(value.ok()) << value.error().description;
    return value.ok() ? *value : std::nullopt;
  }

  std::unique_ptr<SqliteFixture> sqlite_;
  std::string connect_;
  std::unique_ptr<Database> db_;
};

INSTANTIATE_TEST_SUITE_P(Engines, OdbcDatabaseTest,
                         ::testing::Values(Engine::kSqlite, Engine::kPostgres), EngineName);

TEST_P(OdbcDatabaseTest, Utf8SurvivesInsertAndSelect) {
  // 17 characters, 21 bytes in UTF-8: the server must count characters.
  const std::string name = "JOSÉ DA CONCEIÇÃO";
  Exec("INSERT INTO EMPRESA (CODIGO, NOME) VALUES ('01', '" + SqlQuote(name) + "')");
  EXPECT_EQ(One(*db_, "SELECT NOME FROM EMPRESA WHERE CODIGO = '01'", "NOME"), name);
  EXPECT_EQ(One(*db_, "SELECT LENGTH(NOME) AS N FROM EMPRESA", "N"), "17");
  // Found by a literal with accents, so the server compares the same text.
  EXPECT_EQ(One(*db_, "SELECT CODIGO FROM EMPRESA WHERE NOME = 'JOSÉ DA CONCEIÇÃO'", "CODIGO"),
            "01");
}

TEST_P(OdbcDatabaseTest, NullStaysApartFromEmptyText) {
  Exec("INSERT INTO EMPRESA (CODIGO, NOME, NOMEABREV) VALUES ('01', NULL, '')");
  auto rows = db_->Query("SELECT NOME, NOMEABREV FROM EMPRESA");
  ASSERT_TRUE(rows.ok()) << rows.error().description;
  auto null_value = rows->Value("NOME");
  ASSERT_TRUE(null_value.ok());
  EXPECT_FALSE(null_value->has_value());
  auto empty_value = rows->Value("NOMEABREV");
  ASSERT_TRUE(empty_value.ok());
  ASSERT_TRUE(empty_value->has_value());
  EXPECT_EQ(**empty_value, "");
  // Where text is required, NULL is error 94 and the empty text is fine.
  auto required = rows->Text("NOME");
  ASSERT_FALSE(required.ok());
  EXPECT_EQ(required.error().number, error_number::kInvalidUseOfNull);
  EXPECT_TRUE(rows->Text("NOMEABREV").ok());
}

TEST_P(OdbcDatabaseTest, ColumnsAreFoundWithoutRegardToCase) {
  Exec("INSERT INTO EMPRESA (CODIGO, NOME) VALUES ('01', 'ACME')");
  auto rows = db_->Query("SELECT NOME, CODIGO AS Chave FROM EMPRESA");
  ASSERT_TRUE(rows.ok()) << rows.error().description;
  // Names as the driver reports them: SQLite keeps the text's spelling,
  // PostgreSQL folds unquoted names to lower case.
  const std::vector<std::string> expected = sqlite() ? std::vector<std::string>{"NOME", "Chave"}
                                                     : std::vector<std::string>{"nome", "chave"};
  EXPECT_EQ(rows->columns(), expected);
  for (const char* name : {"nome", "NOME", "Nome", "CHAVE", "chave"}) {
    auto value = rows->Value(name);
    EXPECT_TRUE(value.ok()) << name;
  }
  EXPECT_EQ(*rows->Text("nome"), "ACME");
  auto unknown = rows->Value("NOMES");
  ASSERT_FALSE(unknown.ok());
  EXPECT_EQ(unknown.error().number, error_number::kItemNotFound);
}

TEST_P(OdbcDatabaseTest, EmptyResultHasNoCurrentRow) {
  auto rows = db_->Query("SELECT NOME FROM EMPRESA WHERE CODIGO = 'ZZ'");
  ASSERT_TRUE(rows.ok()) << rows.error().description;
  EXPECT_TRUE(rows->eof());
  EXPECT_EQ(rows->columns().size(), 1u);
  auto value = rows->Value("NOME");
  ASSERT_FALSE(value.ok());
  EXPECT_EQ(value.error().number, error_number::kNoCurrentRecord);
}

TEST_P(OdbcDatabaseTest, BothQueryModesReturnEveryRowInOrder) {
  Exec("INSERT INTO EMPRESA (CODIGO, NOME) VALUES ('01', 'A'), ('02', 'B'), ('03', 'C')");
  for (QueryMode mode : {QueryMode::kSnapshotPassThrough, QueryMode::kEngineDefault}) {
    auto rows = db_->Query("SELECT NOME FROM EMPRESA ORDER BY CODIGO", mode);
    ASSERT_TRUE(rows.ok()) << rows.error().description;
    std::string seen;
    for (rows->MoveFirst(); !rows->eof(); rows->MoveNext()) seen += *rows->Text("NOME");
    EXPECT_EQ(seen, "ABC");
  }
}

// Values longer than one read of the driver come back whole, multi-byte
// characters included, wherever the pieces are cut.
TEST_P(OdbcDatabaseTest, LongValuesComeBackWhole) {
  struct Case {
    const char* sqlite_sql;
    const char* postgres_sql;
    std::string expected;
  };
  std::string cedillas;
  for (int i = 0; i < 5000; ++i) cedillas += "Ç";
  const Case cases[] = {
      {"SELECT replace(hex(zeroblob(5000)), '00', 'xy') AS V", "SELECT repeat('xy', 5000) AS V",
       std::string(10000, 'x')},
      {"SELECT replace(hex(zeroblob(5000)), '00', 'Ç') AS V", "SELECT repeat('Ç', 5000) AS V",
       cedillas},
      {"SELECT replace(hex(zeroblob(2047)), '00', 'ab') || 'c' AS V",
       "SELECT repeat('ab', 2047) || 'c' AS V", ""},
  };
  std::string xy;
  for (int i = 0; i < 5000; ++i) xy += "xy";
  std::string around_buffer;  // 4095 bytes: exactly one full piece
  for (int i = 0; i < 2047; ++i) around_buffer += "ab";
  around_buffer += "c";
  const std::string expected[] = {xy, cedillas, around_buffer};
  for (size_t i = 0; i < std::size(cases); ++i) {
    const char* sql = sqlite() ? cases[i].sqlite_sql : cases[i].postgres_sql;
    auto value = One(*db_, sql, "V");
    ASSERT_TRUE(value.has_value()) << sql;
    EXPECT_EQ(value->size(), expected[i].size()) << sql;
    EXPECT_EQ(*value, expected[i]) << sql;
  }
}

// How the drivers render the types that the program reads: decimals with a
// dot whatever the process locale, dates as YYYY-MM-DD.
TEST_P(OdbcDatabaseTest, ValuesAreRenderedAsTheProgramReadsThem) {
  auto rows = db_->Query(
      "SELECT CAST(1234.5 AS NUMERIC(15,4)) AS M, DATE '2026-12-31' AS D,"
      " 42 AS I");
  if (sqlite()) {
    // SQLite has no DATE literal: the same query with plain text.
    rows = db_->Query("SELECT CAST(1234.5 AS NUMERIC(15,4)) AS M, '2026-12-31' AS D, 42 AS I");
  }
  ASSERT_TRUE(rows.ok()) << rows.error().description;
  EXPECT_EQ(*rows->Text("M"), sqlite() ? "1234.5" : "1234.5000");
  EXPECT_EQ(*rows->Text("D"), "2026-12-31");
  EXPECT_EQ(*rows->Text("I"), "42");
}

TEST_P(OdbcDatabaseTest, ExecuteCommitsAndCountsRows) {
  struct Case {
    std::string sql;
    int64_t affected;  // rows the statement touches in the three-row table
  };
  Exec("INSERT INTO EMPRESA (CODIGO, NOME) VALUES ('01', 'A'), ('02', 'B'), ('03', 'C')");
  const Case cases[] = {
      {"UPDATE EMPRESA SET NOMEABREV = 'X' WHERE CODIGO IN ('01', '02')", 2},
      {"UPDATE EMPRESA SET NOMEABREV = 'Y' WHERE CODIGO = '99'", 0},
      {"DELETE FROM EMPRESA WHERE CODIGO = '03'", 1},
      {"INSERT INTO EMPRESA (CODIGO, NOME) VALUES ('04', 'D')", 1},
  };
  for (const Case& c : cases) {
    auto affected = db_->Execute(c.sql);
    ASSERT_TRUE(affected.ok()) << c.sql << ": " << affected.error().description;
    EXPECT_EQ(*affected, c.affected) << c.sql;
  }
  // Committed: a second connection sees every change.
  auto second = OpenSecond();
  ASSERT_NE(second, nullptr);
  auto rows = second->Query("SELECT CODIGO, NOMEABREV FROM EMPRESA ORDER BY CODIGO");
  ASSERT_TRUE(rows.ok());
  std::string seen;
  for (; !rows->eof(); rows->MoveNext()) {
    auto abbreviation = *rows->Value("NOMEABREV");
    seen += *rows->Text("CODIGO") + "=" + abbreviation.value_or("null") + " ";
  }
  EXPECT_EQ(seen, "01=X 02=X 04=null ");
}

TEST_P(OdbcDatabaseTest, FailedStatementIsRolledBackAndTheConnectionGoesOn) {
  Exec("INSERT INTO EMPRESA (CODIGO, NOME) VALUES ('01', 'A')");
  // The second row breaks the primary key after the first went in.
  auto failed = db_->Execute("INSERT INTO EMPRESA (CODIGO, NOME) VALUES ('02', 'B'), ('01', 'C')");
  ASSERT_FALSE(failed.ok());
  EXPECT_NE(failed.error().number, error_number::kRecordLocked);
  // Nothing of it stays, and the connection is not left inside a failed
  // transaction: the next statement runs and is committed.
  auto after = db_->Execute("INSERT INTO EMPRESA (CODIGO, NOME) VALUES ('05', 'E')");
  ASSERT_TRUE(after.ok()) << after.error().description;
  auto second = OpenSecond(200);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(One(*second, "SELECT COUNT(*) AS N FROM EMPRESA", "N"), "2");
  EXPECT_EQ(One(*second, "SELECT COUNT(*) AS N FROM EMPRESA WHERE CODIGO = '02'", "N"), "0");
}

// One transaction, nested ones inside it: a nested one rolled back undoes
// its own statements alone; nothing is seen by another connection before the
// outer commit, everything kept is seen after it; a failed statement inside
// a nested transaction leaves the outer one usable, also when it was begun
// before the outer one ran anything. Both with the engine's
// own savepoints and with Oracle's, which are never released (both engines
// take that dialect's statements).
TEST_P(OdbcDatabaseTest, NestedTransactionsUndoTheirOwnStatementsAlone) {
  for (const Dialect dialect :
       {sqlite() ? Dialect::kSqlite : Dialect::kPostgresql, Dialect::kOracle}) {
    SCOPED_TRACE(DialectTag(dialect));
    ReopenEmpty(dialect);
    EXPECT_TRUE(db_->NestsTransactions());
    auto second = OpenSecond(200);
    ASSERT_NE(second, nullptr);
    ASSERT_TRUE(db_->Begin().ok());
    ASSERT_TRUE(db_->Begin().ok());  // begun before anything ran, then undone
    ASSERT_TRUE(InsertCompany("05").ok());
    db_->Rollback();
    ASSERT_TRUE(InsertCompany("01").ok());
    ASSERT_TRUE(db_->Begin().ok());  // kept
    ASSERT_TRUE(InsertCompany("02").ok());
    ASSERT_TRUE(db_->Commit().ok());
    ASSERT_TRUE(db_->Begin().ok());  // undone
    ASSERT_TRUE(InsertCompany("03").ok());
    db_->Rollback();
    ASSERT_TRUE(db_->Begin().ok());  // a failed statement, then undone
    EXPECT_FALSE(InsertCompany("01").ok());
    db_->Rollback();
    ASSERT_TRUE(InsertCompany("04").ok());
    EXPECT_EQ(One(*db_, "SELECT COUNT(*) AS N FROM EMPRESA", "N"), "3");
    ASSERT_TRUE(db_->Commit().ok());
    std::string seen;
    auto rows = second->Query("SELECT CODIGO FROM EMPRESA ORDER BY CODIGO");
    ASSERT_TRUE(rows.ok());
    for (; !rows->eof(); rows->MoveNext()) seen += *rows->Text("CODIGO") + " ";
    EXPECT_EQ(seen, "01 02 04 ");
  }
}

// Inside a transaction, a failed statement is undone by rolling back the
// transaction nested around it. psqlODBC is told to undo nothing itself (no
// savepoint of its own around every statement): PostgreSQL then refuses the
// statements after the failure until that rollback, unless the connect
// string writes a Protocol of its own, whose level 2 undoes the failed
// statement alone, as SQLite does.
TEST_P(OdbcDatabaseTest, AFailedStatementIsUndoneWithTheTransactionAroundIt) {
  const struct {
    const char* option;
    bool goes_on;  // on PostgreSQL: the statement after the failure runs
  } cases[] = {{"", false}, {";Protocol=7.4-2", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.option);
    auto db = OpenOdbcDatabase(connect_ + c.option);
    ASSERT_TRUE(db.ok()) << db.error().description;
    db_ = std::move(*db);
    Exec("DELETE FROM EMPRESA");
    ASSERT_TRUE(db_->Begin().ok());
    ASSERT_TRUE(InsertCompany("01").ok());
    ASSERT_TRUE(db_->Begin().ok());
    ASSERT_TRUE(InsertCompany("02").ok());
    EXPECT_FALSE(InsertCompany("01").ok());
    EXPECT_EQ(InsertCompany("03").ok(), sqlite() || c.goes_on);
    db_->Rollback();  // 02 and, where it ran, 03 with it
    ASSERT_TRUE(InsertCompany("04").ok());
    ASSERT_TRUE(db_->Commit().ok());
    EXPECT_EQ(One(*db_, "SELECT COUNT(*) AS N FROM EMPRESA", "N"), "2");
  }
}

// Where the dialect has no savepoints, no transaction is begun inside
// another: the open one goes on. A group of transactions then opens none of
// its own, and each transaction in it is kept or undone by itself.
TEST_P(OdbcDatabaseTest, WithoutSavepointsEachTransactionStandsAlone) {
  for (const Dialect dialect : {Dialect::kAccess, Dialect::kSqlBase}) {
    SCOPED_TRACE(DialectTag(dialect));
    ReopenEmpty(dialect);
    EXPECT_FALSE(db_->NestsTransactions());

    ASSERT_TRUE(db_->Begin().ok());
    ASSERT_TRUE(InsertCompany("01").ok());
    const Status nested = db_->Begin();
    ASSERT_FALSE(nested.ok());
    EXPECT_EQ(nested.error().number, error_number::kOdbcCallFailed);
    EXPECT_EQ(nested.error().description, "No transaction can be begun inside another: the " +
                                              std::string(DialectTag(dialect)) +
                                              " dialect has no savepoints.");
    ASSERT_TRUE(InsertCompany("02").ok());
    ASSERT_TRUE(db_->Commit().ok());
    EXPECT_EQ(One(*db_, "SELECT COUNT(*) AS N FROM EMPRESA", "N"), "2");

    {
      Transaction group(*db_);
      ASSERT_TRUE(group.BeginGroup().ok());
      EXPECT_FALSE(group.is_open());
      {
        Transaction kept(*db_);
        ASSERT_TRUE(kept.Begin().ok());
        ASSERT_TRUE(InsertCompany("03").ok());
        ASSERT_TRUE(kept.Commit().ok());
      }
      {
        Transaction failed(*db_);
        ASSERT_TRUE(failed.Begin().ok());
        ASSERT_TRUE(InsertCompany("04").ok());
        EXPECT_FALSE(InsertCompany("01").ok());
      }  // undone as it goes out of scope
      auto second = OpenSecond(200);
      ASSERT_NE(second, nullptr);
      EXPECT_EQ(One(*second, "SELECT COUNT(*) AS N FROM EMPRESA", "N"), "3")
          << "each transaction of the group is durable once committed";
      ASSERT_TRUE(group.Commit().ok());
    }
    EXPECT_EQ(One(*db_, "SELECT COUNT(*) AS N FROM EMPRESA WHERE CODIGO = '04'", "N"), "0");
  }
}

// Where the dialect nests, a group is one transaction: nothing of it is
// seen elsewhere before its Commit.
TEST_P(OdbcDatabaseTest, AGroupIsOneTransactionWhereTheDialectNests) {
  Transaction group(*db_);
  ASSERT_TRUE(group.BeginGroup().ok());
  EXPECT_TRUE(group.is_open());
  {
    Transaction inner(*db_);
    ASSERT_TRUE(inner.Begin().ok());
    Exec("INSERT INTO EMPRESA (CODIGO, NOME) VALUES ('01', 'N')");
    ASSERT_TRUE(inner.Commit().ok());
  }
  auto second = OpenSecond(200);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(One(*second, "SELECT COUNT(*) AS N FROM EMPRESA", "N"), "0");
  ASSERT_TRUE(group.Commit().ok());
  EXPECT_FALSE(group.is_open());
  EXPECT_EQ(One(*second, "SELECT COUNT(*) AS N FROM EMPRESA", "N"), "1");
}

// A savepoint that can be neither released nor undone (here released behind
// the program's back) takes the whole transaction with it: until the
// transaction around it is ended, nothing runs and nothing reports success,
// so nothing is written outside the transaction its caller believes it is
// in, and nothing rolled back is taken for committed.
TEST_P(OdbcDatabaseTest, ALostSavepointFailsEveryTransactionAroundIt) {
  ASSERT_TRUE(db_->Begin().ok());
  ASSERT_TRUE(InsertCompany("01").ok());
  ASSERT_TRUE(db_->Begin().ok());
  ASSERT_TRUE(InsertCompany("02").ok());
  ASSERT_TRUE(db_->Execute("RELEASE SAVEPOINT boleto_sp1").ok());
  EXPECT_FALSE(db_->Commit().ok());
  EXPECT_FALSE(db_->Begin().ok());
  EXPECT_FALSE(InsertCompany("03").ok());
  EXPECT_FALSE(db_->Query("SELECT CODIGO FROM EMPRESA").ok());
  EXPECT_FALSE(db_->Commit().ok()) << "the outer transaction was rolled back";
  ASSERT_TRUE(InsertCompany("04").ok()) << "the connection goes on";
  EXPECT_EQ(One(*db_, "SELECT COUNT(*) AS N FROM EMPRESA", "N"), "1");
}

// After Execute the connection is back in autocommit: its later reads hold
// no transaction that would keep another writer waiting.
TEST_P(OdbcDatabaseTest, ExecuteLeavesNoTransactionOpen) {
  Exec("INSERT INTO EMPRESA (CODIGO, NOME) VALUES ('01', 'A')");
  ASSERT_TRUE(db_->Query("SELECT NOME FROM EMPRESA").ok());
  auto second = OpenSecond(200);
  ASSERT_NE(second, nullptr);
  if (!sqlite()) {
    ASSERT_TRUE(second->Execute("SET lock_timeout TO '200ms'").ok());
  }
  auto written = second->Execute("UPDATE EMPRESA SET NOME = 'B' WHERE CODIGO = '01'");
  ASSERT_TRUE(written.ok()) << written.error().description;
  EXPECT_EQ(One(*db_, "SELECT NOME FROM EMPRESA", "NOME"), "B");
}

TEST_P(OdbcDatabaseTest, LockHeldByAnotherConnectionIsError3158) {
  Exec("INSERT INTO EMPRESA (CODIGO, NOME) VALUES ('01', 'A')");
  auto holder = std::make_unique<LockHolder>(connect_);
  ASSERT_TRUE(holder->Run("UPDATE EMPRESA SET NOME = 'HELD' WHERE CODIGO = '01'"));
  auto second = OpenSecond(200);
  ASSERT_NE(second, nullptr);
  if (!sqlite()) {
    ASSERT_TRUE(second->Execute("SET lock_timeout TO '200ms'").ok());
  }
  auto blocked = second->Execute("UPDATE EMPRESA SET NOME = 'B' WHERE CODIGO = '01'");
  ASSERT_FALSE(blocked.ok());
  EXPECT_EQ(blocked.error().number, error_number::kRecordLocked);
  // The driver's own description and SQLSTATE are kept.
  EXPECT_EQ(
      blocked.error().description.rfind(sqlite() ? "[SQLite]database is locked (5)"
                                                 : "ERROR: canceling statement due to lock timeout",
                                        0),
      0u)
      << blocked.error().description;
  EXPECT_EQ(blocked.error().source,
            sqlite() ? "ODBC sqlite3odbc.so HY000" : "ODBC psqlodbcw.so 55P03");
  // Once the lock is given up, the same connection writes the row.
  holder.reset();
  auto retried = second->Execute("UPDATE EMPRESA SET NOME = 'B' WHERE CODIGO = '01'");
  ASSERT_TRUE(retried.ok()) << retried.error().description;
  EXPECT_EQ(*retried, 1);
}

// The driver's native number, its message and its SQLSTATE, as the two
// drivers report them (SQLite: result codes SQLITE_ERROR 1 and
// SQLITE_CONSTRAINT 19 with SQLSTATE HY000; psqlODBC: native 1 with the
// server's SQLSTATE).
TEST_P(OdbcDatabaseTest, StatementTheServerRejectsIsAnError) {
  struct Case {
    std::string sql;
    bool is_query;
    int32_t sqlite_number;
    std::string sqlite_source;
    std::string sqlite_text;
    int32_t postgres_number;
    std::string postgres_source;
    std::string postgres_text;
  };
  const Case cases[] = {
      {"SELECT * FROM NAO_EXISTE", true, 1, "ODBC sqlite3odbc.so HY000",
       "[SQLite]no such table: NAO_EXISTE (1)", 1, "ODBC psqlodbcw.so 42P01",
       "ERROR: relation \"nao_existe\" does not exist"},
      {"SELEC NOME FROM EMPRESA", true, 1, "ODBC sqlite3odbc.so HY000",
       "[SQLite]near \"SELEC\": syntax error (1)", 1, "ODBC psqlodbcw.so 42601",
       "ERROR: syntax error at or near \"SELEC\""},
      {"UPDATE NAO_EXISTE SET X = 1", false, 1, "ODBC sqlite3odbc.so HY000",
       "[SQLite]no such table: NAO_EXISTE (1)", 1, "ODBC psqlodbcw.so 42P01",
       "ERROR: relation \"nao_existe\" does not exist"},
      {"INSERT INTO EMPRESA (CODIGO) VALUES (NULL)", false, 19, "ODBC sqlite3odbc.so HY000",
       "[SQLite]NOT NULL constraint failed: EMPRESA.CODIGO (19)", 1, "ODBC psqlodbcw.so 23502",
       "ERROR: null value in column \"codigo\" of relation \"empresa\" violates not-null "
       "constraint"},
  };
  for (const Case& c : cases) {
    Error error;
    if (c.is_query) {
      auto result = db_->Query(c.sql);
      ASSERT_FALSE(result.ok()) << c.sql;
      error = result.error();
    } else {
      auto result = db_->Execute(c.sql);
      ASSERT_FALSE(result.ok()) << c.sql;
      error = result.error();
    }
    EXPECT_EQ(error.number, sqlite() ? c.sqlite_number : c.postgres_number) << c.sql;
    EXPECT_EQ(error.source, sqlite() ? c.sqlite_source : c.postgres_source) << c.sql;
    // The description is one line: the error report shows it on a line of its own.
    EXPECT_EQ(error.description.rfind(sqlite() ? c.sqlite_text : c.postgres_text, 0), 0u)
        << c.sql << ": " << error.description;
    EXPECT_EQ(error.description.find_first_of("\r\n"), std::string::npos) << error.description;
  }
}

// A key with a quote, put through SqlQuote, is one value: it matches no other
// row and breaks no statement.
TEST_P(OdbcDatabaseTest, QuotedKeyNeitherFailsNorMatchesAnotherRow) {
  Exec("INSERT INTO EMPRESA (CODIGO, NOME) VALUES ('01', 'A'), ('02', 'B')");
  const std::string key = "01' OR '1'='1";
  auto rows = db_->Query("SELECT NOME FROM EMPRESA WHERE CODIGO = '" + SqlQuote(key) + "'");
  ASSERT_TRUE(rows.ok()) << rows.error().description;
  EXPECT_EQ(rows->row_count(), 0u);
  auto updated =
      db_->Execute("UPDATE EMPRESA SET NOME = 'Z' WHERE CODIGO = '" + SqlQuote(key) + "'");
  ASSERT_TRUE(updated.ok()) << updated.error().description;
  EXPECT_EQ(*updated, 0);
  // The same text unquoted would have matched both rows.
  auto injected = db_->Query("SELECT NOME FROM EMPRESA WHERE CODIGO = '" + key + "'");
  ASSERT_TRUE(injected.ok());
  EXPECT_EQ(injected->row_count(), 2u);
  // A stored value with a quote goes in and comes back unchanged.
  const std::string name = "D'ÁVILA & FILHOS";
  Exec("UPDATE EMPRESA SET NOME = '" + SqlQuote(name) + "' WHERE CODIGO = '02'");
  EXPECT_EQ(One(*db_, "SELECT NOME FROM EMPRESA WHERE NOME = '" + SqlQuote(name) + "'", "NOME"),
            name);
}

TEST_P(OdbcDatabaseTest, TracingDatabaseRecordsEachText) {
  TracingDatabase tracing(*db_);
  ASSERT_TRUE(tracing.Execute("INSERT INTO EMPRESA (CODIGO, NOME) VALUES ('01', 'A')").ok());
  ASSERT_TRUE(tracing.Query("SELECT NOME FROM EMPRESA").ok());
  ASSERT_TRUE(tracing.Query("SELECT CODIGO FROM EMPRESA", QueryMode::kEngineDefault).ok());
  EXPECT_FALSE(tracing.Query("SELECT * FROM NAO_EXISTE").ok());
  ASSERT_EQ(tracing.statements.size(), 4u);
  const struct {
    std::string sql;
    bool is_query;
    QueryMode mode;
  } expected[] = {
      {"INSERT INTO EMPRESA (CODIGO, NOME) VALUES ('01', 'A')", false,
       QueryMode::kSnapshotPassThrough},
      {"SELECT NOME FROM EMPRESA", true, QueryMode::kSnapshotPassThrough},
      {"SELECT CODIGO FROM EMPRESA", true, QueryMode::kEngineDefault},
      {"SELECT * FROM NAO_EXISTE", true, QueryMode::kSnapshotPassThrough},
  };
  for (size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(tracing.statements[i].sql, expected[i].sql);
    EXPECT_EQ(tracing.statements[i].is_query, expected[i].is_query) << i;
    EXPECT_EQ(tracing.statements[i].mode, expected[i].mode) << i;
  }
}

TEST_P(OdbcDatabaseTest, LeadingOdbcPrefixIsDropped) {
  for (const std::string prefix : {"ODBC;", "odbc;", "Odbc;"}) {
    auto db = OpenOdbcDatabase(prefix + connect_);
    ASSERT_TRUE(db.ok()) << prefix << ": " << db.error().description;
    EXPECT_TRUE((*db)->Query("SELECT CODIGO FROM EMPRESA").ok());
  }
}

// Connect strings that cannot work: each a clear error, never a crash, a
// hang or, for SQLite, a new empty database.
TEST(OdbcOpenTest, BadConnectStringsAreErrors) {
  std::string dir = boleto::testing::MakeTempDir("bsrbad");
  ASSERT_FALSE(dir.empty());
  const std::string missing_file = dir + "/missing.db";
  struct Case {
    std::string connect;
    int32_t number;      // the driver's, or 3146 where it gives none
    std::string source;  // driver or data source, SQLSTATE
    std::string text;    // part of the description
  };
  const Case cases[] = {
      // unixODBC's driver manager: data source or driver not found.
      {"DRIVER=NoSuchDriver;Database=x", error_number::kOdbcCallFailed, "ODBC NoSuchDriver 01000",
       "Can't open lib 'NoSuchDriver'"},
      {"DSN=nosuchdsn", error_number::kOdbcCallFailed, "ODBC nosuchdsn IM002",
       "Data source name not found"},
      {"", error_number::kOdbcCallFailed, "ODBC IM002", "Data source name not found"},
      // SQLite: the driver's native number is SQLITE_CANTOPEN (14).
      {"DRIVER=SQLite3;Database=" + missing_file, 14, "ODBC SQLite3 HY000",
       "[SQLite]connect failed (cannot open the database file \"" + missing_file + "\")"},
      {"ODBC;DRIVER=SQLite3;Database=/nonexistent/dir/x.db", 14, "ODBC SQLite3 HY000",
       "(cannot open the database file \"/nonexistent/dir/x.db\")"},
      {"DRIVER=SQLite3;Database=/tmp", 14, "ODBC SQLite3 HY000", "connect failed"},
  };
  for (const Case& c : cases) {
    auto db = OpenOdbcDatabase(c.connect);
    ASSERT_FALSE(db.ok()) << c.connect;
    EXPECT_EQ(db.error().number, c.number) << c.connect;
    EXPECT_EQ(db.error().source, c.source) << c.connect;
    EXPECT_NE(db.error().description.find(c.text), std::string::npos)
        << c.connect << ": " << db.error().description;
  }
  EXPECT_FALSE(std::filesystem::exists(missing_file));
  boleto::testing::RemoveTree(dir);
}

// psqlODBC would take LATIN1 from such an environment and the server would
// then store each byte of the UTF-8 text as a character of its own.
TEST(OdbcOpenTest, PostgresKeepsUtf8UnderALatin1Environment) {
  auto cluster = PostgresCluster::Shared();
  ASSERT_TRUE(cluster.ok()) << cluster.error().description;
  auto connect = (*cluster)->NewDatabase();
  ASSERT_TRUE(connect.ok()) << connect.error().description;
  setenv("PGCLIENTENCODING", "LATIN1", 1);
  auto db = OpenOdbcDatabase(*connect);
  unsetenv("PGCLIENTENCODING");
  ASSERT_TRUE(db.ok()) << db.error().description;
  const std::string name = "JOSÉ DA CONCEIÇÃO";
  ASSERT_TRUE(
      (*db)->Execute("INSERT INTO EMPRESA (CODIGO, NOME) VALUES ('01', '" + name + "')").ok());
  auto rows = (*db)->Query("SELECT NOME, LENGTH(NOME) AS N FROM EMPRESA");
  ASSERT_TRUE(rows.ok()) << rows.error().description;
  EXPECT_EQ(*rows->Text("NOME"), name);
  EXPECT_EQ(*rows->Text("N"), "17");
}

TEST(OdbcOpenTest, RefusedPostgresLoginIsAnError) {
  auto cluster = PostgresCluster::Shared();
  ASSERT_TRUE(cluster.ok()) << cluster.error().description;
  const std::string role = PostgresCluster::kPasswordRole;
  auto refused = OpenOdbcDatabase("DSN=boletopg;UID=" + role + ";PWD=wrong");
  ASSERT_FALSE(refused.ok());
  EXPECT_NE(refused.error().description.find("password authentication failed"), std::string::npos)
      << refused.error().description;
  // psqlODBC's number for a connection the server refused.
  EXPECT_EQ(refused.error().number, 101);
  EXPECT_EQ(refused.error().source, "ODBC boletopg 08001");
  auto unknown_role = OpenOdbcDatabase("DSN=boletopg;UID=nobody");
  ASSERT_FALSE(unknown_role.ok());
  EXPECT_NE(unknown_role.error().description.find("nobody"), std::string::npos)
      << unknown_role.error().description;
  // The right password gets in: the refusal above was the login's.
  auto accepted = OpenOdbcDatabase("DSN=boletopg;UID=" + role + ";PWD=secret");
  EXPECT_TRUE(accepted.ok()) << accepted.error().description;
}

}  // namespace
}  // namespace boleto
