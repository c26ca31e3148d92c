// The throw-away databases that every database test runs on: the SQL script
// splitter, the SQLite file fixture and the PostgreSQL test cluster.
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <regex>
#include <thread>
#include <vector>

#include "db/odbc_database.h"
#include "gtest/gtest.h"
#include "support/paths.h"
#include "support/postgres_cluster.h"
#include "support/sqlite_fixture.h"

namespace boleto::testing {
namespace {

TEST(SplitSqlScriptTest, SplitsAtSemicolonsOutsideQuotesAndComments) {
  struct Case {
    std::string script;
    std::vector<std::string> statements;
  };
  const Case cases[] = {
      {"", {}},
      {" ;\n; ", {}},
      {"SELECT 1; SELECT 2", {"SELECT 1", "SELECT 2"}},
      {"SELECT 1;\n", {"SELECT 1"}},
      // A ';' inside a text, a quoted name or a comment splits nothing.
      {"INSERT INTO T VALUES ('a;b'); SELECT 2", {"INSERT INTO T VALUES ('a;b')", "SELECT 2"}},
      {"SELECT 'it''s; ok' AS X", {"SELECT 'it''s; ok' AS X"}},
      {"SELECT \"a;b\" FROM T", {"SELECT \"a;b\" FROM T"}},
      {"SELECT '-- no comment; here'", {"SELECT '-- no comment; here'"}},
      // Comments go: the SQLite driver takes nothing after a statement.
      {"-- heading; with a semicolon\nCREATE TABLE A (X INT);", {"CREATE TABLE A (X INT)"}},
      {"SELECT 1 -- trailing note\n;", {"SELECT 1"}},
      {"/* block; */ SELECT 1; /* only a comment */;", {"SELECT 1"}},
      {"SELECT /* inner */ 1", {"SELECT   1"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SplitSqlScript(c.script), c.statements) << c.script;
  }
}

// The names of the tables that a schema file creates.
std::vector<std::string> SchemaTables(const std::string& file) {
  const std::string schema = ReadFile(SourceDir() + "/sql/" + file);
  std::vector<std::string> tables;
  const std::regex create("CREATE TABLE ([A-Z_]+)");
  for (auto it = std::sregex_iterator(schema.begin(), schema.end(), create);
       it != std::sregex_iterator(); ++it) {
    tables.push_back((*it)[1]);
  }
  return tables;
}

// Every table of the schema is there, and empty.
void ExpectSchema(Database& db, const std::string& file) {
  const std::vector<std::string> tables = SchemaTables(file);
  EXPECT_GE(tables.size(), 15u);
  for (const std::string& table : tables) {
    auto rows = db.Query("SELECT COUNT(*) AS N FROM " + table);
    ASSERT_TRUE(rows.ok()) << table << ": " << rows.error().description;
    EXPECT_EQ(*rows->Text("N"), "0") << table;
  }
}

TEST(SqliteFixtureTest, BuildsTheSchemaInAShortPathAndRemovesIt) {
  std::string path;
  {
    auto fixture = SqliteFixture::Create();
    ASSERT_TRUE(fixture.ok()) << fixture.error().description;
    const std::string& connect = (*fixture)->connect_string();
    path = (*fixture)->path();
    EXPECT_EQ(connect, "DRIVER=SQLite3;Database=" + path);
    // It must fit the 63-column connect string field of the argument text.
    EXPECT_LE(connect.size(), 63u);
    EXPECT_TRUE(std::filesystem::exists(path));
    ExpectSchema((*fixture)->db(), "schema.sqlite.sql");
    // Another connection, as the program under test makes, sees the rows.
    ASSERT_TRUE((*fixture)
                    ->Run("INSERT INTO EMPRESA (CODIGO, NOME) VALUES ('01', 'A');"
                          "INSERT INTO EMPRESA (CODIGO, NOME) VALUES ('02', 'B')")
                    .ok());
    auto other = OpenOdbcDatabase(connect);
    ASSERT_TRUE(other.ok()) << other.error().description;
    auto rows = (*other)->Query("SELECT COUNT(*) AS N FROM EMPRESA");
    ASSERT_TRUE(rows.ok());
    EXPECT_EQ(*rows->Text("N"), "2");
  }
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(path).parent_path()));
}

TEST(SqliteFixtureTest, BusyTimeoutGoesIntoTheConnectString) {
  auto fixture = SqliteFixture::Create(250);
  ASSERT_TRUE(fixture.ok()) << fixture.error().description;
  EXPECT_EQ((*fixture)->connect_string(),
            "DRIVER=SQLite3;Database=" + (*fixture)->path() + ";Timeout=250");
  EXPECT_LE((*fixture)->connect_string().size(), 63u);
}

TEST(SqliteFixtureTest, FailingStatementNamesItself) {
  auto fixture = SqliteFixture::Create();
  ASSERT_TRUE(fixture.ok()) << fixture.error().description;
  Status status = (*fixture)->Run(
      "INSERT INTO EMPRESA (CODIGO) VALUES ('01'); INSERT INTO NADA "
      "VALUES (1); INSERT INTO EMPRESA (CODIGO) VALUES ('02')");
  ASSERT_FALSE(status.ok());
  EXPECT_NE(status.error().description.find("[in: INSERT INTO NADA VALUES (1)]"), std::string::npos)
      << status.error().description;
  // The statement before stays committed; the one after never ran.
  auto rows = (*fixture)->db().Query("SELECT CODIGO FROM EMPRESA");
  ASSERT_TRUE(rows.ok());
  ASSERT_EQ(rows->row_count(), 1u);
  EXPECT_EQ(*rows->Text("CODIGO"), "01");
}

// Several users writing the same row at once all get through: with its
// default busy wait the driver waits for the others' short transactions.
TEST(SqliteFixtureTest, ConcurrentWritersOnOneFileAllSucceed) {
  auto fixture = SqliteFixture::Create();
  ASSERT_TRUE(fixture.ok()) << fixture.error().description;
  ASSERT_TRUE((*fixture)
                  ->Run("INSERT INTO SUPAEMPR (AEMPR_TIPO, AEMPR_CODIGO, AEMPR_NRO) "
                        "VALUES ('C', '1', 0)")
                  .ok());
  constexpr int kWriters = 8;
  constexpr int kUpdatesEach = 15;
  std::atomic<int> failures{0};
  std::string first_failure;
  std::mutex failure_mutex;
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([&] {
      auto db = OpenOdbcDatabase((*fixture)->connect_string());
      if (!db.ok()) {
        ++failures;
        return;
      }
      for (int i = 0; i < kUpdatesEach; ++i) {
        auto done = (*db)->Execute("UPDATE SUPAEMPR SET AEMPR_NRO = AEMPR_NRO + 1");
        auto read = (*db)->Query("SELECT AEMPR_NRO FROM SUPAEMPR");
        if (!done.ok() || !read.ok()) {
          ++failures;
          std::lock_guard<std::mutex> lock(failure_mutex);
          first_failure = !done.ok() ? done.error().description : read.error().description;
        }
      }
    });
  }
  for (std::thread& writer : writers) writer.join();
  EXPECT_EQ(failures, 0) << first_failure;
  auto rows = (*fixture)->db().Query("SELECT AEMPR_NRO FROM SUPAEMPR");
  ASSERT_TRUE(rows.ok());
  EXPECT_EQ(*rows->Text("AEMPR_NRO"), std::to_string(kWriters * kUpdatesEach));
}

// The psqlODBC communication logs in /tmp of process `pid`
// ("psqlodbc_PROGRAM_USERPID.log").
std::vector<std::string> CommLogsOf(const std::string& pid) {
  std::vector<std::string> logs;
  for (const auto& entry : std::filesystem::directory_iterator("/tmp")) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("psqlodbc_", 0) == 0 && name.ends_with(pid + ".log")) logs.push_back(name);
  }
  return logs;
}

TEST(PostgresClusterTest, DataSourceIsShortAndVisibleToChildProcesses) {
  auto cluster = PostgresCluster::Shared();
  ASSERT_TRUE(cluster.ok()) << cluster.error().description;
  EXPECT_EQ((*cluster)->connect_string(), "DSN=boletopg");
  // One cluster per test program.
  auto again = PostgresCluster::Shared();
  ASSERT_TRUE(again.ok());
  EXPECT_EQ(*again, *cluster);
  const char* ini = getenv("ODBCINI");
  ASSERT_NE(ini, nullptr);
  EXPECT_EQ(std::string(ini), (*cluster)->odbc_ini());
  {
    auto db = (*cluster)->Open();
    ASSERT_TRUE(db.ok()) << db.error().description;
    ExpectSchema(**db, "schema.postgresql.sql");
  }

  // A program started from the test reaches the same server by the DSN.
  const std::string out = (*cluster)->socket_dir() + "/isql.out";
  const std::string pid_file = (*cluster)->socket_dir() + "/isql.pid";
  const std::string command =
      "echo \"SELECT 'ALCANÇADO' || current_database()\" | sh -c 'echo $$ > " + pid_file +
      "; exec isql -b boletopg' > " + out + " 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0) << ReadFile(out);
  EXPECT_NE(ReadFile(out).find("ALCANÇADOboleto"), std::string::npos) << ReadFile(out);

  // Neither leaves a communication log behind, connected or not.
  std::string isql_pid = ReadFile(pid_file);
  isql_pid.erase(isql_pid.find_last_not_of('\n') + 1);
  ASSERT_FALSE(isql_pid.empty());
  EXPECT_EQ(CommLogsOf(isql_pid), std::vector<std::string>{});
  EXPECT_EQ(CommLogsOf(std::to_string(getpid())), std::vector<std::string>{});
}

TEST(PostgresClusterTest, NewDatabasesAreSeparateCopiesOfTheSchema) {
  auto cluster = PostgresCluster::Shared();
  ASSERT_TRUE(cluster.ok()) << cluster.error().description;
  auto first = (*cluster)->NewDatabase();
  auto second = (*cluster)->NewDatabase();
  ASSERT_TRUE(first.ok()) << first.error().description;
  ASSERT_TRUE(second.ok()) << second.error().description;
  EXPECT_NE(*first, *second);
  EXPECT_LE(first->size(), 63u);
  EXPECT_TRUE(std::regex_match(*first, std::regex("DSN=boletopg;Database=b[0-9]+"))) << *first;
  ASSERT_TRUE(
      (*cluster)->Run("INSERT INTO EMPRESA (CODIGO, NOME) VALUES ('01', 'A')", *first).ok());
  auto in_second = (*cluster)->Open(*second);
  ASSERT_TRUE(in_second.ok()) << in_second.error().description;
  ExpectSchema(**in_second, "schema.postgresql.sql");
  auto in_first = (*cluster)->Open(*first);
  ASSERT_TRUE(in_first.ok());
  auto rows = (*in_first)->Query("SELECT NOME FROM EMPRESA");
  ASSERT_TRUE(rows.ok());
  EXPECT_EQ(*rows->Text("NOME"), "A");
}

}  // namespace
}  // namespace boleto::testing
