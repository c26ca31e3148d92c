// Databases for the bookkeeping tests: a new SQLite file or a new database
// on the test program's PostgreSQL cluster, each built from the schema, with
// the dialect tag the program uses for it; a run context over it; fixture
// rows of one receivable installment; and lock holders, separate processes
// that keep a table locked until released.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/odbc_database.h"
#include "db/sql_text.h"
#include "platform/amount_text.h"
#include "platform/messages.h"
#include "run/run_context.h"
#include "support/postgres_cluster.h"
#include "support/sqlite_fixture.h"

namespace boleto::ledger_testing {

enum class Engine { kSqlite, kPostgres };

inline std::string EngineName(Engine engine) {
  return engine == Engine::kSqlite ? "Sqlite" : "Postgres";
}

// Runs the tests of `suite` (parameterized by Engine) on both engines, each
// test named after its engine (".../Sqlite", ".../Postgres").
#define LEDGER_TESTS_ON_BOTH_ENGINES(suite)                                        \
  INSTANTIATE_TEST_SUITE_P(                                                        \
      Engines, suite,                                                              \
      ::testing::Values(::boleto::ledger_testing::Engine::kSqlite,                 \
                        ::boleto::ledger_testing::Engine::kPostgres),              \
      [](const ::testing::TestParamInfo<::boleto::ledger_testing::Engine>& info) { \
        return ::boleto::ledger_testing::EngineName(info.param);                   \
      })

class LedgerDatabase {
 public:
  // A new empty database of the schema. `lock_wait_ms` bounds how long the
  // connections of `Open` wait for a lock held elsewhere.
  static Result<std::unique_ptr<LedgerDatabase>> Create(Engine engine,
                                                        std::optional<int> lock_wait_ms = {}) {
    std::unique_ptr<LedgerDatabase> made(new LedgerDatabase());
    made->engine_ = engine;
    if (engine == Engine::kSqlite) {
      Result<std::unique_ptr<testing::SqliteFixture>> fixture =
          testing::SqliteFixture::Create(lock_wait_ms);
      if (!fixture.ok()) return fixture.error();
      made->sqlite_ = std::move(*fixture);
      made->dialect_ = "SQLITE";
      made->connect_string_ = made->sqlite_->connect_string();
    } else {
      Result<testing::PostgresCluster*> cluster = testing::PostgresCluster::Shared();
      if (!cluster.ok()) return cluster.error();
      made->cluster_ = *cluster;
      Result<std::string> database = (*cluster)->NewDatabase();
      if (!database.ok()) return database.error();
      made->dialect_ = "POSTGRESQL";
      made->connect_string_ = *database;
      if (lock_wait_ms) {
        made->connect_string_ +=
            ";ConnSettings=SET lock_timeout TO " + std::to_string(*lock_wait_ms);
      }
    }
    Result<std::unique_ptr<Database>> db = made->Open();
    if (!db.ok()) return db.error();
    made->db_ = std::move(*db);
    return made;
  }

  Engine engine() const { return engine_; }
  const std::string& dialect() const { return dialect_; }
  const std::string& connect_string() const { return connect_string_; }
  Database& db() { return *db_; }
  Result<std::unique_ptr<Database>> Open() const { return OpenOdbcDatabase(connect_string_); }
  Status Run(std::string_view script) { return testing::RunSqlScript(*db_, script); }

  // The rows of `sql`, read through a connection of this database.
  RowSet Rows(const std::string& sql) {
    Result<RowSet> rows = db_->Query(sql);
    return rows.ok() ? std::move(*rows) : RowSet();
  }

  // The psql or sqlite3 command line that reaches this database.
  std::vector<std::string> ShellCommand() const {
    if (engine_ == Engine::kSqlite) return {"/usr/bin/sqlite3", sqlite_->path()};
    const size_t at = connect_string_.find("Database=");
    std::string name = connect_string_.substr(at + 9);
    name = name.substr(0, name.find(';'));
    return {"/usr/bin/psql",
            "-X",
            "-q",
            "-h",
            cluster_->socket_dir(),
            "-p",
            std::to_string(cluster_->port()),
            "-U",
            "postgres",
            "-d",
            name};
  }

 private:
  LedgerDatabase() = default;

  Engine engine_ = Engine::kSqlite;
  std::string dialect_;
  std::string connect_string_;
  std::unique_ptr<testing::SqliteFixture> sqlite_;
  testing::PostgresCluster* cluster_ = nullptr;
  std::unique_ptr<Database> db_;
};

// A separate process that holds a write lock on `table` (SQLite: the whole
// file) from construction until destruction.
class LockHolder {
 public:
  LockHolder(const LedgerDatabase& database, std::string_view table) {
    int to_child[2];
    int from_child[2];
    if (pipe(to_child) != 0 || pipe(from_child) != 0) return;
    const std::vector<std::string> argv = database.ShellCommand();
    pid_ = fork();
    if (pid_ == 0) {
      dup2(to_child[0], 0);
      dup2(from_child[1], 1);
      close(to_child[1]);
      close(from_child[0]);
      std::vector<char*> args;
      for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
      args.push_back(nullptr);
      execv(args[0], args.data());
      _exit(127);
    }
    close(to_child[0]);
    close(from_child[1]);
    input_ = to_child[1];
    output_ = from_child[0];
    const std::string lock =
        database.engine() == Engine::kSqlite
            ? "BEGIN IMMEDIATE;\n.print locked\n"
            : "BEGIN;\nLOCK TABLE " + std::string(table) + " IN EXCLUSIVE MODE;\n\\echo locked\n";
    Send(lock);
    std::string seen;
    char c;
    while (seen.find("locked\n") == std::string::npos && read(output_, &c, 1) == 1) seen += c;
    locked_ = seen.find("locked\n") != std::string::npos;
  }

  ~LockHolder() {
    if (pid_ <= 0) return;
    Send("ROLLBACK;\n");
    close(input_);
    close(output_);
    waitpid(pid_, nullptr, 0);
  }

  LockHolder(const LockHolder&) = delete;
  LockHolder& operator=(const LockHolder&) = delete;

  bool locked() const { return locked_; }

 private:
  void Send(const std::string& text) { (void)!write(input_, text.data(), text.size()); }

  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  bool locked_ = false;
};

// A run context over `db` as the eligibility check leaves it for the
// installment of InstallmentRows: company 01, bank 237, decimal mark ".".
inline RunContext MakeContext(Database& db, Messages& messages, std::string_view dialect) {
  RunContext ctx;
  ctx.db = &db;
  ctx.messages = &messages;
  ctx.decimal_mark = ".";
  ctx.params.database_type = std::string(dialect);
  ctx.dialect = *ParseDialect(dialect);
  ctx.params.codigo_emp = "01";
  ctx.params.matr_sel = "CLERK01        ";
  ctx.key = InstallmentKey{"01", "01      ", "DM        ", "1  ", "123     ", "02"};
  ctx.bank.banco_cobranca = "237";
  ctx.bank.agencia_cobranca = "1234-5";
  ctx.bank.conta_cobranca = "0012345-6";
  ctx.bank.carteira = "09";
  ctx.bank.carteira_sr = "06";
  ctx.bank.val_desp_cob = Currency::FromCents(375);
  ctx.bank.desp_banc_bol = "S";
  ctx.bank.gera_remessa_bol_sr = "S";
  ctx.bank.desconto_bol = "N";
  ctx.bank.alt_data_ante_bol = "N";
  ctx.bank.antecipa_bol = 0;
  return ctx;
}

// The document of `key` with its installment `key.parcela` and a neighbour
// installment "01" that no statement may touch. Amounts chosen distinct so
// that a value in the wrong column shows: gross 1000.00 less withheld taxes
// 15.00 + 1.00 + 3.00 + 0.65 + 5.00 is 975.35.
inline std::string InstallmentRows(const InstallmentKey& key) {
  auto q = [](std::string_view v) { return "'" + SqlQuote(v) + "'"; };
  const std::string document = q(key.codigo_emp) + ", " + q(key.codigo_unidade) + ", " +
                               q(key.codigo_documento) + ", " + q(key.serie) + ", " + q(key.numero);
  std::string script =
      "INSERT INTO DOCUMENTOR (CODIGOEMP, CODIGOUNIDADE, CODIGODOCUMENTO, SERIE, NUMERO, "
      "TIPOEMPRESA, CODIGOEMPRESA, CHEGADA, STATUS, MOEDA) VALUES (" +
      document +
      ", 'C', '000001', '2026-11-06', 'A ', 'R$');\n"
      "INSERT INTO SUPAEMPR (AEMPR_TIPO, AEMPR_CODIGO, AEMPR_RAZAO_SOCIAL) SELECT 'C', '000001', "
      "'PAGADOR' WHERE NOT EXISTS (SELECT * FROM SUPAEMPR WHERE AEMPR_TIPO = 'C' AND "
      "AEMPR_CODIGO = '000001');\n";
  for (const std::string& parcela : {key.parcela, std::string("01")}) {
    script +=
        "INSERT INTO PARCELAR (CODIGOEMP, CODIGOUNIDADE, CODIGODOCUMENTO, SERIE, NUMERO, PARCELA, "
        "EMISSAO, VENCIMENTO, PROGRAMADA, BANCOCOBRANCA, AGENCIACOBRANCA, CONTACOBRANCA, "
        "CODIGOCARTEIRA, VALOR, VALORIRRF, VALORINSS, VALORCSLL, VALORCOFINS, VALORPIS, VALORISS, "
        "VALOROUTROD, VALOROUTROC, VALORDESCONTOP, PERCENTUALDESCTP, PERCENTUALJUROSP, "
        "VALORMULTAP, PERCENTUALMULTAP, IDBANCARIA, REFBANCARIA, NUMERORECEBIMENTO, "
        "DOCTORECEBIMENTO) VALUES (" +
        document + ", " + q(parcela) +
        ", '2026-11-06', '2026-12-06', '2026-12-06', '237', '1234-5', '0012345-6', '09', "
        "1000.00, 15.00, 1.00, 3.00, 0.65, 0, 5.00, 0, 2.50, 10.00, 1.50, 0.33, 20.00, 2.00, "
        "NULL, NULL, '          ', '          ');\n";
  }
  return script;
}

// An amount column as currency, whatever text the driver gives it.
inline std::optional<Currency> AmountText(const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  Result<Currency> value = ParseAmount(*text, ".");
  if (!value.ok()) return std::nullopt;
  return *value;
}

// One column of the current row, NULL as nullopt, missing as "<missing>".
inline std::optional<std::string> Cell(const RowSet& rows, std::string_view column) {
  Result<std::optional<std::string>> value = rows.Value(column);
  if (!value.ok()) return std::string("<missing>");
  return *value;
}

// The exact error report that ReportError composes for `error` and a
// non-blank `context`.
inline std::string ExpectedReport(const Error& error, std::string_view context) {
  return "Error #  " + std::to_string(error.number) + "\r    " + error.description +
         "\r    (Origem : " + error.source + ")\r  (Programa : " + ProgramIdentification() +
         ")\r  " + std::string(context) + " \r";
}

}  // namespace boleto::ledger_testing
