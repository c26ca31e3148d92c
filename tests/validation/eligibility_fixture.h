// A receivable database with one installment that passes every eligibility
// rule, on a throw-away SQLite file or in a new database of the test
// program's PostgreSQL cluster, and a run context pointed at it through a
// tracing wrapper. Tests change the rows and run the check.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/database.h"
#include "db/odbc_database.h"
#include "run/run_context.h"
#include "support/paths.h"
#include "support/postgres_cluster.h"
#include "support/sqlite_fixture.h"
#include "validation/eligibility.h"

namespace boleto::eligibility_test {

enum class Backend { kSqlite, kPostgres };

inline std::string BackendName(const ::testing::TestParamInfo<Backend>& info) {
  return info.param == Backend::kSqlite ? "Sqlite" : "Postgres";
}

// Document DUP, series 1, number 4567, installment 02 of unit 01 in company
// 01: R$ 1.500,00 collected by bank 237, agency 1234, account 56789-0,
// portfolio 09, whose account allows boletos from 10,00 to 5.000,00. Keys
// are stored blank-padded to their CHAR widths, as the application writes
// them (SQLite would not pad them itself).
inline constexpr char kPassingInstallment[] = R"sql(
INSERT INTO SUPAEMPR (AEMPR_TIPO, AEMPR_CODIGO, AEMPR_RAZAO_SOCIAL)
  VALUES ('J', '12345', 'CLIENTE TESTE LTDA');
INSERT INTO DOCUMENTOR (CODIGOEMP, CODIGOUNIDADE, CODIGODOCUMENTO, SERIE, NUMERO,
    TIPOEMPRESA, CODIGOEMPRESA, CHEGADA, STATUS, MOEDA)
  VALUES ('01', '01      ', 'DUP       ', '1  ', '4567    ', 'J', '12345', '2026-01-05', 'A ', 'R$');
INSERT INTO PARCELAR (CODIGOEMP, CODIGOUNIDADE, CODIGODOCUMENTO, SERIE, NUMERO, PARCELA,
    EMISSAO, VENCIMENTO, RECEBIMENTO, BANCOCOBRANCA, AGENCIACOBRANCA, CONTACOBRANCA,
    CODIGOCARTEIRA, VALOR, IDBANCARIA, REFBANCARIA, DOCTORECEBIMENTO)
  VALUES ('01', '01      ', 'DUP       ', '1  ', '4567    ', '02', '2026-01-05', '2026-02-05',
    NULL, '237', '1234', '56789-0', '09', 1500.00, NULL, '0000000000', '          ');
INSERT INTO DOCUMENTO (CODIGOEMP, CODIGO, TIPO) VALUES ('01', 'DUP       ', '1');
INSERT INTO BANCO (CODIGOEMP, CODIGO, NOME, MOEDA, VALDESPCOB)
  VALUES ('01', '237', 'BANCO BRADESCO S.A.', 'R$', 2.50);
INSERT INTO PARAMBANBOL (CODIGOEMP, CODIGOBANCO, DESCRICAOBANCO, DESCRICAOBOL1)
  VALUES ('01', '237', 'Bradesco   ', 'Pagável preferencialmente na rede Bradesco');
INSERT INTO CARTEIRA (CODIGOEMP, CODIGOBANCO, CODIGO, DESCRICAO, CARTEIRAEXT)
  VALUES ('01', '237', '09', 'Cobrança simples', '09');
INSERT INTO CONTA (CODIGOEMP, CODIGOBANCO, CODIGOAGENCIA, CODIGO, VALORMINIMOBOL, VALORMAXIMOBOL,
    IDENTIFICACAOSR, CARTEIRASR, DESCONTOBOL, JUROSBOL, MULTABOL, DESPBANCBOL,
    GERAREMESSABOLSR, DATAANTEBOL, ANTECIPABOL, ALTDATAANTEBOL, INSTRUCAO1BOL, INSTRUCAO2BOL)
  VALUES ('01', '237', '1234', '56789-0', 10.00, 5000.00, '  1234567 ', '09', 'S', 'N', 'S', 'N',
    'S', 'N', 3, 'N', '01', '02');
INSERT INTO INSTRUCAO (CODIGOEMP, CODIGOBANCO, CODIGO, DESCRICAO)
  VALUES ('01', '237', '01', 'Não receber após o vencimento');
INSERT INTO INSTRUCAO (CODIGOEMP, CODIGOBANCO, CODIGO, DESCRICAO)
  VALUES ('01', '237', '02', 'Protestar após 5 dias úteis');
)sql";

// The prefix of every message about that installment.
inline constexpr char kPrefix[] = "Documento: DUP 1 4567    /02";

// Moves the installment, with its bank, description, portfolios, account
// and instructions, to another bank code.
inline std::string MoveToBank(std::string_view code) {
  std::string c(code);
  return "UPDATE PARCELAR SET BANCOCOBRANCA = '" + c + "';" + "UPDATE BANCO SET CODIGO = '" + c +
         "';" + "UPDATE PARAMBANBOL SET CODIGOBANCO = '" + c + "';" +
         "UPDATE CARTEIRA SET CODIGOBANCO = '" + c + "';" + "UPDATE CONTA SET CODIGOBANCO = '" + c +
         "';" + "UPDATE INSTRUCAO SET CODIGOBANCO = '" + c + "';";
}

class EligibilityTest : public ::testing::TestWithParam<Backend> {
 protected:
  // Also called again inside a test for a fresh database per table row.
  void SetUp() override {
    tracing_.reset();
    postgres_.reset();
    sqlite_.reset();
    RemoveScratch();
    messages_.shown.clear();
    ctx_ = RunContext();
    if (GetParam() == Backend::kSqlite) {
      // A copy of a file that already holds the schema and the rows: much
      // quicker than building the schema again for every table row.
      const std::string original = SqliteWithPassingInstallment();
      ASSERT_FALSE(original.empty());
      scratch_ = testing::MakeTempDir("bsv");
      std::string copy = scratch_ + "/t.db";
      std::filesystem::copy_file(original, copy);
      // Without a sync per statement: the copy is thrown away after the test.
      auto db = OpenOdbcDatabase("DRIVER=SQLite3;Database=" + copy + ";SyncPragma=OFF");
      ASSERT_TRUE(db.ok()) << db.error().description;
      sqlite_ = std::move(db).value();
      inner_ = sqlite_.get();
    } else {
      auto cluster = testing::PostgresCluster::Shared();
      ASSERT_TRUE(cluster.ok()) << cluster.error().description;
      auto connect_string = (*cluster)->NewDatabase();
      ASSERT_TRUE(connect_string.ok()) << connect_string.error().description;
      auto db = (*cluster)->Open(*connect_string);
      ASSERT_TRUE(db.ok()) << db.error().description;
      postgres_ = std::move(db).value();
      inner_ = postgres_.get();
      Change(kPassingInstallment);
    }
    tracing_ = std::make_unique<TracingDatabase>(*inner_);

    ctx_.params.database_type = GetParam() == Backend::kSqlite ? "SQLITE" : "POSTGRESQL";
    ctx_.dialect = GetParam() == Backend::kSqlite ? Dialect::kSqlite : Dialect::kPostgresql;
    ctx_.params.codigo_emp = "01";
    ctx_.params.codigo_unidade = "01";
    ctx_.params.codigo_documento = "DUP";
    ctx_.params.serie = "1";
    ctx_.params.numero = "4567";
    ctx_.params.parcela = "2";
    ctx_.decimal_mark = ".";
    ctx_.company.moeda_padrao = "R$";
    ctx_.db = tracing_.get();
    ctx_.messages = &messages_;
  }

  void TearDown() override {
    tracing_.reset();
    sqlite_.reset();
    postgres_.reset();
    RemoveScratch();
  }

  void RemoveScratch() {
    if (!scratch_.empty()) testing::RemoveTree(scratch_);
    scratch_.clear();
  }

  // The test program's SQLite file with the schema and the passing
  // installment, built once; empty when it could not be built.
  static std::string SqliteWithPassingInstallment() {
    // Removed with its folder when the test program ends.
    static std::unique_ptr<testing::SqliteFixture> fixture =
        []() -> std::unique_ptr<testing::SqliteFixture> {
      auto created = testing::SqliteFixture::Create();
      EXPECT_TRUE(created.ok()) << created.error().description;
      if (!created.ok()) return nullptr;
      Status status = created.value()->Run(kPassingInstallment);
      EXPECT_TRUE(status.ok()) << status.error().description;
      if (!status.ok()) return nullptr;
      return std::move(created).value();
    }();
    return fixture ? fixture->path() : "";
  }

  // Runs fixture SQL on the database, outside the trace.
  void Change(std::string_view script) {
    Status status = testing::RunSqlScript(*inner_, script);
    ASSERT_TRUE(status.ok()) << status.error().description;
  }

  // Runs the check, keeping what it gave in eligibility_.
  EligibilityOutcome Check() {
    tracing_->statements.clear();
    eligibility_ = CheckInstallmentEligibility(ctx_);
    return eligibility_.outcome;
  }

  // The texts shown, checking that each eligibility message carries the
  // exclamation icon and each error report none.
  std::vector<std::string> Shown() const {
    std::vector<std::string> texts;
    for (const RecordingMessages::Shown& shown : messages_.shown) {
      bool report = shown.text.rfind("Error #  ", 0) == 0;
      EXPECT_EQ(shown.icon, report ? MessageIcon::kNone : MessageIcon::kExclamation) << shown.text;
      texts.push_back(shown.text);
    }
    return texts;
  }

  // The SQL texts of the queries the check ran, in order.
  std::vector<std::string> Queries() const {
    std::vector<std::string> sql;
    for (const TracingDatabase::Statement& s : tracing_->statements) sql.push_back(s.sql);
    return sql;
  }

  std::string scratch_;
  std::unique_ptr<Database> sqlite_;
  std::unique_ptr<Database> postgres_;
  Database* inner_ = nullptr;
  std::unique_ptr<TracingDatabase> tracing_;
  RecordingMessages messages_;
  Eligibility eligibility_;
  RunContext ctx_;
};

// Each expected message is the prefix followed by the rule's text.
inline std::vector<std::string> Prefixed(const std::vector<std::string>& texts,
                                         const std::string& prefix = kPrefix) {
  std::vector<std::string> out;
  for (const std::string& text : texts) out.push_back(prefix + text);
  return out;
}

}  // namespace boleto::eligibility_test
