#include "ledger/remittance.h"

#include <gtest/gtest.h>

#include "ledger_database.h"

namespace boleto {
namespace {

using ledger_testing::Cell;
using ledger_testing::Engine;
using ledger_testing::ExpectedReport;
using ledger_testing::LedgerDatabase;
using ledger_testing::LockHolder;
using ledger_testing::MakeContext;

RemittanceRecord Record() {
  RemittanceRecord record;
  record.codigo_unidade = "01      ";
  record.codigo_documento = "DM        ";
  record.serie = "1  ";
  record.numero = "123     ";
  record.parcela = "02";
  record.ocorrencia = "REMESBS   ";
  record.emissao = "06112026";
  record.vencimento = "06122026";
  record.banco_cobranca = "237";
  record.agencia_cobranca = "1234-5";
  record.conta_cobranca = "0012345-6";
  record.valor = Currency::FromCents(97535);
  record.valor_multa = Currency::FromCents(2000);
  record.percentual_multa = Currency::FromCents(200);
  record.percentual_juros = Currency::FromRaw(3300);  // 0.33
  record.valor_desconto = Currency::FromCents(1000);
  record.percentual_desconto = Currency::FromCents(150);
  record.id_bancaria = "09/00000012302-7    ";
  record.ref_bancaria = "0000000007";
  record.codigo_carteira = "06";
  record.emite_boleta_banco = "N";
  return record;
}

TEST(RemittanceInsertSqlTest, ColumnsAndFramingForEachDialect) {
  const std::string head =
      "INSERT INTO REMESSAR ( CodigoEmp, CodigoUnidade, CodigoDocumento, Serie, Numero, Parcela, "
      "Ocorrencia, DataOcorrencia, HoraOcorrencia, Emissao, Vencimento, BancoCobranca, "
      "AgenciaCobranca, ContaCobranca, Valor, ValorMulta, PercentualMulta, PercentualJuros, "
      "ValorDesconto, PercentualDesconto, IDBancaria, RefBancaria, CodigoCarteira, "
      "EmiteBoletaBanco, MatrSel, MatrEnvio ) VALUES ( '01', '01      ', 'DM        ', '1  ', "
      "'123     ', '02', 'REMESBS   ', ";
  const std::string tail =
      " '237', '1234-5', '0012345-6',  975.35 ,  20.00 ,  2.00 ,  0.33 ,  10.00 ,  1.50 , "
      "'09/00000012302-7    ', '0000000007', '06', 'N', 'CLERK01        ', '               '  )";
  struct Case {
    const char* dialect;
    const char* dates;  // occurrence date and time, issue and due dates, framed
  };
  // Each dialect's today, now and date literal; "ACCESS" has no time.
  const Case cases[] = {
      {"SQLITE",
       " date('now','localtime') ,  datetime('now','localtime') ,  '2026-11-06',  '2026-12-06',"},
      {"POSTGRESQL",
       " CURRENT_DATE ,  LOCALTIMESTAMP(0) ,  DATE '2026-11-06',  DATE '2026-12-06',"},
      {"ORACLE",
       " SYSDATE ,  SYSDATE ,  TO_DATE('06112026','DDMMYYYY'),  TO_DATE('06122026','DDMMYYYY'),"},
      {"SQLSERVER", " GETDATE() ,  GETDATE() ,  '2026/11/06',  '2026/12/06',"},
  };
  RecordingMessages messages;
  for (const Case& c : cases) {
    RunContext ctx;
    ctx.decimal_mark = ".";
    ctx.params.database_type = c.dialect;
    ctx.dialect = *ParseDialect(c.dialect);
    ctx.params.codigo_emp = "01";
    ctx.params.matr_sel = "CLERK01        ";
    Result<std::string> sql = RemittanceInsertSql(ctx, Record());
    ASSERT_TRUE(sql.ok()) << c.dialect;
    EXPECT_EQ(*sql, head + c.dates + tail) << c.dialect;
  }
}

class RemittanceTest : public ::testing::TestWithParam<Engine> {
 protected:
  void Open(std::optional<int> lock_wait_ms = {}) {
    Result<std::unique_ptr<LedgerDatabase>> made = LedgerDatabase::Create(GetParam(), lock_wait_ms);
    ASSERT_TRUE(made.ok()) << made.error().description;
    database_ = std::move(*made);
    traced_ = std::make_unique<TracingDatabase>(database_->db());
    ctx_ = MakeContext(*traced_, messages_, database_->dialect());
  }
  void SetUp() override { Open(); }

  size_t Rows() { return database_->Rows("SELECT * FROM REMESSAR").row_count(); }

  std::unique_ptr<LedgerDatabase> database_;
  std::unique_ptr<TracingDatabase> traced_;
  RecordingMessages messages_;
  RunContext ctx_;
};

TEST_P(RemittanceTest, BlankReferenceWritesNothing) {
  for (const char* blank : {"", "                    "}) {
    RemittanceRecord record = Record();
    record.id_bancaria = blank;
    EXPECT_TRUE(InsertRemittanceRecord(ctx_, record).ok());
  }
  EXPECT_TRUE(traced_->statements.empty());
  EXPECT_EQ(Rows(), 0u);
}

TEST_P(RemittanceTest, FailuresAreReportedWithTheRemittanceContext) {
  // A due date that is no date, and a table the server refuses to write.
  RemittanceRecord bad_date = Record();
  bad_date.vencimento = "31022026";
  Status status = InsertRemittanceRecord(ctx_, bad_date);
  ASSERT_FALSE(status.ok());
  EXPECT_EQ(status.error().number, error_number::kTypeMismatch);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].text,
            ExpectedReport(status.error(), "Erro atualizando registro para remessa EDI"));

  ASSERT_TRUE(database_->Run("DROP TABLE REMESSAR").ok());
  status = InsertRemittanceRecord(ctx_, Record());
  ASSERT_FALSE(status.ok());
  ASSERT_EQ(messages_.shown.size(), 2u);
  EXPECT_EQ(messages_.shown[1].text,
            ExpectedReport(status.error(), "Erro atualizando registro para remessa EDI"));
  EXPECT_EQ(messages_.shown[1].icon, MessageIcon::kNone);
}

TEST_P(RemittanceTest, LockHeldByAnotherUserShowsTheLockMessage) {
  Open(300);
  {
    LockHolder lock(*database_, "REMESSAR");
    ASSERT_TRUE(lock.locked());
    Status status = InsertRemittanceRecord(ctx_, Record());
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.error().number, error_number::kRecordLocked);
  }
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].text,
            "Impossível gravar dados, Registro está bloqueado por outro usuário");
  EXPECT_EQ(messages_.shown[0].icon, MessageIcon::kExclamation);
  EXPECT_EQ(Rows(), 0u);
  // Once the lock is gone the same record goes in.
  EXPECT_TRUE(InsertRemittanceRecord(ctx_, Record()).ok());
  EXPECT_EQ(Rows(), 1u);
}

LEDGER_TESTS_ON_BOTH_ENGINES(RemittanceTest);

}  // namespace
}  // namespace boleto
