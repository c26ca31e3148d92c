#include "ledger/recording.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <utility>

#include "ledger/batch_recording.h"
#include "ledger/remittance.h"
#include "ledger_database.h"

namespace boleto {
namespace {

using ledger_testing::AmountText;
using ledger_testing::Cell;
using ledger_testing::Engine;
using ledger_testing::ExpectedReport;
using ledger_testing::InstallmentRows;
using ledger_testing::LedgerDatabase;
using ledger_testing::LockHolder;
using ledger_testing::MakeContext;

constexpr char kReference[] = "09/00000012302-7";
constexpr char kPaddedReference[] = "09/00000012302-7    ";
constexpr char kTwentyBlanks[] = "                    ";

// The statement texts as the accounts-receivable application expects them,
// for the installment 01 / "01      " / "DM        " / "1  " / "123     " / "02".
const std::string kWhere =
    "WHERE CodigoEmp     = '01' AND CodigoUnidade   = '01      ' "
    "AND CodigoDocumento = 'DM        ' AND Serie           = '1  ' "
    "AND Numero          = '123     ' AND Parcela         = '02'";
// The document's row is locked before the installment's.
const std::string kDocumentLockSql =
    "UPDATE DOCUMENTOR SET Status = Status WHERE CodigoEmp     = '01' "
    "AND CodigoUnidade   = '01      ' AND CodigoDocumento = 'DM        ' "
    "AND Serie           = '1  ' AND Numero          = '123     '";
const std::string kLockSql = "UPDATE PARCELAR SET DoctoRecebimento = DoctoRecebimento " + kWhere;
// The installment with its document, as the recording's reads name it.
const std::string kInstallmentWithDocument =
    " FROM PARCELAR, DOCUMENTOR WHERE PARCELAR.CODIGOEMP       = '01' "
    " AND  PARCELAR.CODIGOUNIDADE   = '01      ' "
    " AND  PARCELAR.CODIGODOCUMENTO = 'DM        ' "
    " AND  PARCELAR.SERIE           = '1  ' "
    " AND  PARCELAR.NUMERO          = '123     ' "
    " AND  PARCELAR.PARCELA         = '02' "
    " AND  PARCELAR.CODIGOEMP       = DOCUMENTOR.CODIGOEMP "
    " AND  PARCELAR.CODIGOUNIDADE   = DOCUMENTOR.CODIGOUNIDADE "
    " AND  PARCELAR.CODIGODOCUMENTO = DOCUMENTOR.CODIGODOCUMENTO "
    " AND  PARCELAR.SERIE           = DOCUMENTOR.SERIE "
    " AND  PARCELAR.NUMERO          = DOCUMENTOR.NUMERO ";
const std::string kLockedReadSql =
    "SELECT PARCELAR.Recebimento       AS Recebimento, "
    "       PARCELAR.DoctoRecebimento  AS Ocorrencia, "
    "       PARCELAR.NumeroRecebimento AS NumeroRecebimento, "
    "       DOCUMENTOR.Status          AS StatusDoc, "
    "       DOCUMENTOR.Moeda           AS Moeda, "
    "       PARCELAR.Emissao           AS Emissao, "
    "       PARCELAR.Vencimento        AS Vencimento, "
    "       PARCELAR.ValorDescontoP    AS ValorDesconto, "
    "       PARCELAR.PercentualDesctP  AS PercentualDesconto, "
    "       (COALESCE(PARCELAR.VALORIRRF, 0) + COALESCE(PARCELAR.VALORINSS, 0) + "
    "COALESCE(PARCELAR.VALORCSLL, 0) + COALESCE(PARCELAR.VALORCOFINS, 0) + "
    "COALESCE(PARCELAR.VALORPIS, 0) + COALESCE(PARCELAR.VALORISS, 0)) AS Impostos, "
    "PARCELAR.ValorIRRF AS ValorIRRF, PARCELAR.ValorINSS AS ValorINSS, "
    "PARCELAR.ValorCSLL AS ValorCSLL, PARCELAR.ValorCOFINS AS ValorCOFINS, "
    "PARCELAR.ValorPIS AS ValorPIS, PARCELAR.ValorISS AS ValorISS, "
    "       PARCELAR.ValorOutroD       AS ValorOutroD, "
    "       PARCELAR.PercentualJurosP  AS PercentualJuros, "
    "       PARCELAR.ValorMultaP       AS ValorMulta, "
    "       PARCELAR.PercentualMultaP  AS PercentualMulta, "
    "       PARCELAR.ValorOutroC       AS ValorOutroC, "
    "       PARCELAR.Valor             AS Resultado "
    " FROM PARCELAR, DOCUMENTOR WHERE PARCELAR.CODIGOEMP         = '01' "
    " AND  PARCELAR.CODIGOUNIDADE     = '01      ' "
    " AND  PARCELAR.CODIGODOCUMENTO   = 'DM        ' "
    " AND  PARCELAR.SERIE             = '1  ' "
    " AND  PARCELAR.NUMERO            = '123     ' "
    " AND  PARCELAR.PARCELA           = '02' "
    " AND  DOCUMENTOR.CODIGOEMP       = '01' "
    " AND  DOCUMENTOR.CODIGOUNIDADE   = '01      ' "
    " AND  DOCUMENTOR.CODIGODOCUMENTO = 'DM        ' "
    " AND  DOCUMENTOR.SERIE           = '1  ' "
    " AND  DOCUMENTOR.NUMERO          = '123     ' "
    " AND EXISTS ( SELECT * FROM SUPAEMPR WHERE SUPAEMPR.AEMPR_TIPO = DOCUMENTOR.TipoEmpresa "
    " AND SUPAEMPR.AEMPR_CODIGO = DOCUMENTOR.CodigoEmpresa ) "
    " AND NOT EXISTS ( SELECT * FROM REMESSAR " +
    kWhere + " AND DataProcesso IS NOT NULL ) ";
const std::string kFeeSql =
    "UPDATE PARCELAR SET ValorOutroC = COALESCE(ValorOutroC, 0) + 3.75 WHERE CodigoEmp        = "
    "'01' "
    " AND CodigoUnidade     = '01      '  AND CodigoDocumento   = 'DM        ' "
    " AND Serie             = '1  '  AND Numero            = '123     ' "
    " AND Parcela           = '02' AND (DoctoRecebimento IS NULL OR DoctoRecebimento <> "
    "'BOL-BANCAR')";
const std::string kQueuedSql =
    "SELECT * FROM REMESSAR WHERE CODIGOEMP       = '01' "
    " AND  CODIGOUNIDADE   = '01      '  AND  CODIGODOCUMENTO = 'DM        ' "
    " AND  SERIE           = '1  '  AND  NUMERO          = '123     ' "
    " AND  PARCELA         = '02' ";
const std::string kSequenceReadSql =
    "SELECT NUMERO FROM DOCNUMERO  WHERE CODIGOEMP = '01'   AND  CODIGO    = 'REFBANCAR '";
const std::string kFirstNumberSql =
    "INSERT INTO DOCNUMERO (CodigoEmp, Codigo, Numero )  VALUES ( '01', 'REFBANCAR ', "
    "'0000000001') ";
const std::string kRemittanceReadSql =
    "SELECT PARCELAR.CodigoUnidade      AS Unidade, "
    "       DOCUMENTOR.TipoEmpresa      AS TipoEmpresa, "
    "       DOCUMENTOR.CodigoEmpresa    AS CodigoEmpresa, "
    "       PARCELAR.CodigoDocumento    AS CodigoDocumento, "
    "       PARCELAR.Serie              AS Serie, "
    "       PARCELAR.Numero             AS Numero, "
    "       PARCELAR.Parcela            AS Parcela, "
    "       PARCELAR.Emissao            AS Emissao, "
    "       PARCELAR.Vencimento         AS Vencimento, "
    "       PARCELAR.ValorDescontoP     AS ValorDescontoP, "
    "       PARCELAR.PercentualDesctP   AS PercentualDesctP, "
    "       PARCELAR.PercentualJurosP   AS PercentualJurosP, "
    "       PARCELAR.ValorMultaP        AS ValorMultaP, "
    "       PARCELAR.PercentualMultaP   AS PercentualMultaP, "
    "       PARCELAR.CodigoCarteira     AS CodigoCarteira, "
    "       (COALESCE(PARCELAR.Valor, 0) - COALESCE(PARCELAR.ValorIRRF, 0) - "
    "COALESCE(PARCELAR.ValorINSS, 0) - COALESCE(PARCELAR.ValorCSLL, 0) - "
    "COALESCE(PARCELAR.ValorCOFINS, 0) - COALESCE(PARCELAR.ValorPIS, 0) - "
    "COALESCE(PARCELAR.ValorISS, 0)) AS Valor " +
    kInstallmentWithDocument + " AND  DOCUMENTOR.Status       <> 'C ' ";
const std::string kRemittanceInsertSqlite =
    "INSERT INTO REMESSAR ( CodigoEmp, CodigoUnidade, CodigoDocumento, Serie, Numero, Parcela, "
    "Ocorrencia, DataOcorrencia, HoraOcorrencia, Emissao, Vencimento, BancoCobranca, "
    "AgenciaCobranca, ContaCobranca, Valor, ValorMulta, PercentualMulta, PercentualJuros, "
    "ValorDesconto, PercentualDesconto, IDBancaria, RefBancaria, CodigoCarteira, "
    "EmiteBoletaBanco, MatrSel, MatrEnvio ) VALUES ( '01', '01      ', 'DM        ', '1  ', "
    "'123     ', '02', 'REMESBS   ',  date('now','localtime') ,  datetime('now','localtime') , "
    " '2026-11-06',  '2026-12-06', '237', '1234-5', '0012345-6',  975.35 ,  20.00 ,  2.00 , "
    " 0.33 ,  10.00 ,  1.50 , '09/00000012302-7    ', '0000000001', '06', 'N', "
    "'CLERK01        ', '               '  )";
const std::string kStoreNumberSql =
    "UPDATE PARCELAR  SET RefBancaria    = '0000000001', "
    "     IDBancaria     = '09/00000012302-7    ' " +
    kWhere;
const std::string kReceiptSql =
    "UPDATE PARCELAR  SET NumeroRecebimento = '0000012302',   DoctoRecebimento = 'BOL-BANCAR' " +
    kWhere;

std::vector<std::string> Texts(const TracingDatabase& traced) {
  std::vector<std::string> texts;
  for (const TracingDatabase::Statement& statement : traced.statements) {
    texts.push_back((statement.is_query ? "query: " : "execute: ") + statement.sql);
  }
  return texts;
}

// Everything a print writes, read back as texts that are alike on both
// engines (amounts as currency, CHAR values as stored).
struct InstallmentState {
  std::optional<Currency> valor_outro_c;
  std::optional<std::string> id_bancaria;
  std::optional<std::string> ref_bancaria;
  std::optional<std::string> numero_recebimento;
  std::optional<std::string> docto_recebimento;
  std::optional<std::string> programada;
  bool operator==(const InstallmentState&) const = default;
};

class RecordingTest : public ::testing::TestWithParam<Engine> {
 public:
  void SetUp() override {
    Result<std::unique_ptr<LedgerDatabase>> made = LedgerDatabase::Create(GetParam());
    ASSERT_TRUE(made.ok()) << made.error().description;
    database_ = std::move(*made);
    traced_ = std::make_unique<TracingDatabase>(database_->db());
    ctx_ = MakeContext(*traced_, messages_, database_->dialect());
    ASSERT_TRUE(database_->Run(InstallmentRows(ctx_.key)).ok());
  }

  InstallmentState Installment(const std::string& parcela = "02") {
    RowSet rows = database_->Rows(
        "SELECT * FROM PARCELAR WHERE CODIGOEMP = '01' AND CODIGOUNIDADE = '01      ' AND "
        "CODIGODOCUMENTO = '" +
        SqlQuote(ctx_.key.codigo_documento) + "' AND SERIE = '1  ' AND NUMERO = '123     ' AND " +
        "PARCELA = '" + parcela + "'");
    EXPECT_EQ(rows.row_count(), 1u);
    return {AmountText(Cell(rows, "VALOROUTROC")),
            Cell(rows, "IDBANCARIA"),
            Cell(rows, "REFBANCARIA"),
            Cell(rows, "NUMERORECEBIMENTO"),
            Cell(rows, "DOCTORECEBIMENTO"),
            Cell(rows, "PROGRAMADA")};
  }

  std::optional<std::string> StoredSequence() {
    RowSet rows = database_->Rows(
        "SELECT NUMERO FROM DOCNUMERO WHERE CODIGOEMP = '01' AND CODIGO = 'REFBANCAR '");
    if (rows.eof()) return std::nullopt;
    return Cell(rows, "NUMERO");
  }

  size_t RemittanceRows() { return database_->Rows("SELECT * FROM REMESSAR").row_count(); }

  RecordingOutcome Print(const std::string& reference = kReference,
                         std::optional<Date> limit_date = std::nullopt) {
    return RecordPrintedBoleto(ctx_, PrintedBoleto{reference, limit_date, Currency()});
  }

  // Makes every update of PARCELAR.IDBANCARIA fail, as a trigger of the
  // database administrator's might.
  void RefuseBankReferenceUpdates() {
    const std::vector<std::string> sql =
        GetParam() == Engine::kSqlite
            ? std::vector<std::string>{"CREATE TRIGGER refuse_id BEFORE UPDATE OF IDBANCARIA ON "
                                       "PARCELAR BEGIN SELECT RAISE(ABORT, 'refused'); END"}
            : std::vector<std::string>{
                  "CREATE FUNCTION refuse_id() RETURNS trigger AS $$ BEGIN RAISE EXCEPTION "
                  "'refused'; END $$ LANGUAGE plpgsql",
                  "CREATE TRIGGER refuse_id BEFORE UPDATE OF IDBANCARIA ON PARCELAR FOR EACH ROW "
                  "EXECUTE FUNCTION refuse_id()"};
    for (const std::string& statement : sql) ASSERT_TRUE(database_->db().Execute(statement).ok());
  }

  std::unique_ptr<LedgerDatabase> database_;
  std::unique_ptr<TracingDatabase> traced_;
  RecordingMessages messages_;
  RunContext ctx_;
};

// The neighbour installment as InstallmentRows stores it: untouched by
// every print of installment 02.
const InstallmentState kUntouched = {
    Currency::FromCents(250), std::nullopt, std::nullopt, "          ", "          ", "2026-12-06"};

TEST_P(RecordingTest, FirstPrintOfARemittanceAccountWritesEveryColumn) {
  ASSERT_EQ(Print(), RecordingOutcome::kRecorded);

  // Fee 2.50 + 3.75; reference drawn from an empty sequence; receipt of
  // number 123 and installment 02; Programada left as it was.
  EXPECT_EQ(Installment(),
            (InstallmentState{Currency::FromCents(625), kPaddedReference, "0000000001",
                              "0000012302", "BOL-BANCAR", "2026-12-06"}));
  EXPECT_EQ(Installment("01"), kUntouched);
  EXPECT_EQ(StoredSequence(), "0000000001");

  RowSet row = database_->Rows("SELECT * FROM REMESSAR");
  ASSERT_EQ(row.row_count(), 1u);
  struct Column {
    const char* name;
    std::optional<std::string> value;  // where it comes from
  };
  const Column texts[] = {
      {"CODIGOEMP", "01"},                // the run's company
      {"CODIGOUNIDADE", "01      "},      // the installment's key as read
      {"CODIGODOCUMENTO", "DM        "},  //
      {"SERIE", "1  "},                   //
      {"NUMERO", "123     "},             //
      {"PARCELA", "02"},                  //
      {"OCORRENCIA", "REMESBS   "},       // a boleto printed by the company
      {"EMISSAO", "2026-11-06"},          // installment's issue date
      {"VENCIMENTO", "2026-12-06"},       // installment's due date
      {"BANCOCOBRANCA", "237"},           // bank settings of the run
      {"AGENCIACOBRANCA", "1234-5"},      //
      {"CONTACOBRANCA", "0012345-6"},     //
      {"IDBANCARIA", kPaddedReference},   // printed reference, padded to 20
      {"REFBANCARIA", "0000000001"},      // first number of the sequence
      {"CODIGOCARTEIRA", "06"},           // the account's CarteiraSR, not "09"
      {"EMITEBOLETABANCO", "N"},          // the company prints the boleto
      {"MATRSEL", "CLERK01        "},     // the requesting user
      {"MATRENVIO", "               "},   // 15 blanks until sent
      {"DATAPROCESSO", std::nullopt},     // not processed yet
  };
  for (const Column& column : texts) {
    EXPECT_EQ(Cell(row, column.name), column.value) << column.name;
  }
  struct AmountColumn {
    const char* name;
    int64_t cents;
  };
  const AmountColumn amounts[] = {
      {"VALOR", 97535},             // 1000.00 less the five withheld taxes
      {"VALORMULTA", 2000},         // ValorMultaP
      {"PERCENTUALMULTA", 200},     // PercentualMultaP
      {"PERCENTUALJUROS", 33},      // PercentualJurosP
      {"VALORDESCONTO", 1000},      // ValorDescontoP
      {"PERCENTUALDESCONTO", 150},  // PercentualDesctP
  };
  for (const AmountColumn& amount : amounts) {
    EXPECT_EQ(AmountText(Cell(row, amount.name)), Currency::FromCents(amount.cents)) << amount.name;
  }
  // Occurrence date and time: the server's clock, read by the statement.
  const std::optional<std::string> date = Cell(row, "DATAOCORRENCIA");
  const std::optional<std::string> time = Cell(row, "HORAOCORRENCIA");
  ASSERT_TRUE(date && time);
  EXPECT_EQ(time->substr(0, 10), *date);
  std::optional<Date> written = Date::ParseIso(*date);
  ASSERT_TRUE(written);
  EXPECT_LE(Date::Today().DaysSince(*written), 1);
  EXPECT_GE(Date::Today().DaysSince(*written), 0);
  EXPECT_EQ(time->size(), 19u) << *time;

  EXPECT_TRUE(messages_.shown.empty());
}

TEST_P(RecordingTest, SecondPrintAddsNoFeeAndDrawsNoNumber) {
  ASSERT_EQ(Print(), RecordingOutcome::kRecorded);
  const InstallmentState first = Installment();
  RowSet queued_first = database_->Rows("SELECT * FROM REMESSAR");
  traced_->statements.clear();

  ASSERT_EQ(Print(), RecordingOutcome::kRecorded);

  EXPECT_EQ(Installment(), first);
  EXPECT_EQ(StoredSequence(), "0000000001");
  RowSet queued = database_->Rows("SELECT * FROM REMESSAR");
  ASSERT_EQ(queued.row_count(), 1u);
  for (const std::string& column : queued_first.columns()) {
    EXPECT_EQ(Cell(queued, column), Cell(queued_first, column)) << column;
  }
  // The locked row holds this program's receipt: no fee statement; the
  // queued row is updated in place.
  const std::vector<std::string> expected = {
      "execute: " + kDocumentLockSql,
      "execute: " + kLockSql,
      "query: " + kLockedReadSql,
      "query: " + kQueuedSql,
      "execute: UPDATE REMESSAR  SET IDBancaria     = '09/00000012302-7    ' " + kWhere,
      "execute: UPDATE PARCELAR  SET IDBancaria     = '09/00000012302-7    ' " + kWhere,
      "execute: " + kReceiptSql,
  };
  EXPECT_EQ(Texts(*traced_), expected);
}

TEST_P(RecordingTest, ReprintWithAnotherReferenceUpdatesTheQueuedRow) {
  ASSERT_EQ(Print(), RecordingOutcome::kRecorded);
  ASSERT_EQ(Print("09/00000012302-P"), RecordingOutcome::kRecorded);

  EXPECT_EQ(Installment().id_bancaria, "09/00000012302-P    ");
  EXPECT_EQ(Installment().ref_bancaria, "0000000001");
  RowSet queued = database_->Rows("SELECT IDBANCARIA, REFBANCARIA FROM REMESSAR");
  ASSERT_EQ(queued.row_count(), 1u);
  EXPECT_EQ(Cell(queued, "IDBANCARIA"), "09/00000012302-P    ");
  EXPECT_EQ(Cell(queued, "REFBANCARIA"), "0000000001");
}

TEST_P(RecordingTest, FirstPrintRunsTheStatementsInOrder) {
  ASSERT_EQ(Print(), RecordingOutcome::kRecorded);
  const std::string remittance_insert =
      GetParam() == Engine::kSqlite ? kRemittanceInsertSqlite : [] {
        std::string sql = kRemittanceInsertSqlite;
        auto replace = [&sql](const std::string& from, const std::string& to) {
          sql.replace(sql.find(from), from.size(), to);
        };
        replace("date('now','localtime')", "CURRENT_DATE");
        replace("datetime('now','localtime')", "LOCALTIMESTAMP(0)");
        replace("'2026-11-06'", "DATE '2026-11-06'");
        replace("'2026-12-06'", "DATE '2026-12-06'");
        return sql;
      }();
  const std::vector<std::string> expected = {
      "execute: " + kDocumentLockSql,  "execute: " + kLockSql,
      "query: " + kLockedReadSql,      "execute: " + kFeeSql,
      "query: " + kQueuedSql,          "query: " + kSequenceReadSql,
      "execute: " + kFirstNumberSql,   "query: " + kRemittanceReadSql,
      "execute: " + remittance_insert, "execute: " + kStoreNumberSql,
      "execute: " + kReceiptSql,
  };
  EXPECT_EQ(Texts(*traced_), expected);
}

TEST_P(RecordingTest, NextNumberFollowsTheStoredOne) {
  ASSERT_TRUE(
      database_->Run("INSERT INTO DOCNUMERO VALUES ('01', 'REFBANCAR ', '0000000041')").ok());
  ASSERT_EQ(Print(), RecordingOutcome::kRecorded);
  EXPECT_EQ(StoredSequence(), "0000000042");
  EXPECT_EQ(Installment().ref_bancaria, "0000000042");
  RowSet queued = database_->Rows("SELECT REFBANCARIA FROM REMESSAR");
  EXPECT_EQ(Cell(queued, "REFBANCARIA"), "0000000042");
  // Written only while 0000000041 is still the stored number.
  const std::vector<std::string> statements = Texts(*traced_);
  ASSERT_GE(statements.size(), 7u);
  EXPECT_EQ(statements[6],
            "execute: UPDATE DOCNUMERO SET NUMERO = '0000000042'  WHERE CODIGOEMP = '01'   AND  "
            "CODIGO    = 'REFBANCAR '  AND NUMERO  = '0000000041'");
}

TEST_P(RecordingTest, BlankReferenceIsStoredAsBlanksWithoutRemittanceRow) {
  ASSERT_EQ(Print(""), RecordingOutcome::kRecorded);
  EXPECT_EQ(Installment(), (InstallmentState{Currency::FromCents(625), kTwentyBlanks, "0000000001",
                                             "0000012302", "BOL-BANCAR", "2026-12-06"}));
  EXPECT_EQ(RemittanceRows(), 0u);
  EXPECT_EQ(StoredSequence(), "0000000001");
}

TEST_P(RecordingTest, AccountWithoutRemittanceStoresTheReferenceAlone) {
  ctx_.bank.gera_remessa_bol_sr = "N";
  ASSERT_EQ(Print(), RecordingOutcome::kRecorded);
  EXPECT_EQ(Installment(),
            (InstallmentState{Currency::FromCents(625), kPaddedReference, std::nullopt,
                              "0000012302", "BOL-BANCAR", "2026-12-06"}));
  EXPECT_EQ(RemittanceRows(), 0u);
  EXPECT_EQ(StoredSequence(), std::nullopt);
  const std::vector<std::string> expected = {
      "execute: " + kDocumentLockSql,
      "execute: " + kLockSql,
      "query: " + kLockedReadSql,
      "execute: " + kFeeSql,
      "execute: UPDATE PARCELAR  SET IDBancaria     = '09/00000012302-7    ' " + kWhere,
      "execute: " + kReceiptSql,
  };
  EXPECT_EQ(Texts(*traced_), expected);
}

TEST_P(RecordingTest, FeeOnlyWhenTheAccountChargesIt) {
  struct Case {
    const char* desp_banc_bol;
    int64_t fee_cents;
    const char* before;                     // ValorOutroC before the print
    std::optional<int64_t> expected_cents;  // and after it
  };
  const Case cases[] = {
      {"S", 375, "2.50", 625},           // charged: 2.50 + 3.75
      {"N", 375, "2.50", 250},           // the account does not charge it
      {"S", 0, "2.50", 250},             // the bank has no fee
      {"S", 375, "NULL", 375},           // NULL counts as zero: the fee is not lost
      {"N", 375, "NULL", std::nullopt},  // nothing added: NULL stays
  };
  for (const Case& c : cases) {
    SetUp();
    ASSERT_TRUE(database_->Run(std::string("UPDATE PARCELAR SET VALOROUTROC = ") + c.before).ok());
    ctx_.bank.desp_banc_bol = c.desp_banc_bol;
    ctx_.bank.val_desp_cob = Currency::FromCents(c.fee_cents);
    ASSERT_EQ(Print(), RecordingOutcome::kRecorded);
    const std::optional<Currency> expected =
        c.expected_cents ? std::optional(Currency::FromCents(*c.expected_cents)) : std::nullopt;
    EXPECT_EQ(Installment().valor_outro_c, expected)
        << c.desp_banc_bol << " " << c.fee_cents << " " << c.before;
  }
}

TEST_P(RecordingTest, ProgramadaOnlyWhenTheLimitDateWasComputed) {
  struct Case {
    const char* alt_data_ante_bol;
    int16_t antecipa_bol;
    const char* desconto_bol;
    std::optional<Date> limit;
    const char* programada;  // after the print; 2026-12-06 as stored before
  };
  const Date limit = *Date::FromYmd(2026, 12, 1);
  const Case cases[] = {
      {"S", 5, "S", limit, "2026-12-01"},         // moved to the discount limit date
      {"S", 5, "S", std::nullopt, "2026-12-06"},  // no limit date computed: left alone
      {"S", 5, "S", Date(), "2026-12-06"},        // the zero date is no limit date
      {"N", 5, "S", limit, "2026-12-06"},         // the account does not move it
      {"S", 0, "S", limit, "2026-12-06"},         // no anticipation
      {"S", 5, "N", limit, "2026-12-06"},         // no discount on the boleto
  };
  for (const Case& c : cases) {
    SetUp();
    ctx_.bank.alt_data_ante_bol = c.alt_data_ante_bol;
    ctx_.bank.antecipa_bol = c.antecipa_bol;
    ctx_.bank.desconto_bol = c.desconto_bol;
    ASSERT_EQ(Print(kReference, c.limit), RecordingOutcome::kRecorded);
    EXPECT_EQ(Installment().programada, c.programada)
        << c.alt_data_ante_bol << c.antecipa_bol << c.desconto_bol;
    EXPECT_EQ(Installment().numero_recebimento, "0000012302");
  }
}

TEST_P(RecordingTest, ProgramadaStatementText) {
  ctx_.bank.alt_data_ante_bol = "S";
  ctx_.bank.antecipa_bol = 5;
  ctx_.bank.desconto_bol = "S";
  ASSERT_EQ(Print(kReference, Date::FromYmd(2026, 12, 1)), RecordingOutcome::kRecorded);
  const std::string literal = GetParam() == Engine::kSqlite ? "'2026-12-01'" : "DATE '2026-12-01'";
  EXPECT_EQ(Texts(*traced_).back(),
            "execute: UPDATE PARCELAR  SET NumeroRecebimento = '0000012302',   DoctoRecebimento "
            "= 'BOL-BANCAR'  , Programada =  " +
                literal + " " + kWhere);
}

TEST_P(RecordingTest, ValuesWithQuotesAreStoredAsTheyAre) {
  ctx_.key.codigo_documento = "D'OC      ";
  ctx_.params.matr_sel = "O'NEIL         ";
  ctx_.bank.agencia_cobranca = "12'4";
  ASSERT_TRUE(database_->Run(InstallmentRows(ctx_.key)).ok());
  ASSERT_EQ(Print("09/0'0012302-7"), RecordingOutcome::kRecorded);

  EXPECT_EQ(Installment(),
            (InstallmentState{Currency::FromCents(625), "09/0'0012302-7      ", "0000000001",
                              "0000012302", "BOL-BANCAR", "2026-12-06"}));
  RowSet row = database_->Rows("SELECT * FROM REMESSAR");
  ASSERT_EQ(row.row_count(), 1u);
  EXPECT_EQ(Cell(row, "CODIGODOCUMENTO"), "D'OC      ");
  EXPECT_EQ(Cell(row, "AGENCIACOBRANCA"), "12'4");
  EXPECT_EQ(Cell(row, "IDBANCARIA"), "09/0'0012302-7      ");
  EXPECT_EQ(Cell(row, "MATRSEL"), "O'NEIL         ");
}

TEST(ReceiptNumberTest, EightDigitsOfTheNumberAndTwoOfTheInstallment) {
  struct Case {
    const char* numero;
    const char* parcela;
    const char* receipt;
  };
  const Case cases[] = {
      {"123     ", "02", "0000012302"},  // 8 digits of the number, 2 of the installment
      {"12345678", "10", "1234567810"},  // a full-width number
      {"   77   ", "03", "0000007703"},  // blanks around the number are dropped
      {"123456789", "1", "2345678901"},  // the rightmost 8 and 2 digits
  };
  for (const Case& c : cases) {
    InstallmentKey key;
    key.numero = c.numero;
    key.parcela = c.parcela;
    EXPECT_EQ(ReceiptNumber(key), c.receipt) << c.numero;
  }
}

// A statement that fails anywhere in the recording leaves nothing of it:
// no fee, no number drawn, no remittance row, no receipt. A reprint then
// records once, with the fee once and the first number of the sequence.
TEST_P(RecordingTest, AFailureAnywhereLeavesNothingAndTheReprintRecordsOnce) {
  struct Case {
    const char* why;
    std::function<void(RecordingTest&)> break_it;
    std::function<void(RecordingTest&)> mend_it;
    const char* context;  // of the error report
  };
  const Case cases[] = {
      {"a trigger refuses the bank reference",
       [](RecordingTest& t) { t.RefuseBankReferenceUpdates(); },
       [](RecordingTest& t) {
         ASSERT_TRUE(
             t.database_->db()
                 .Execute("DROP TRIGGER refuse_id" +
                          std::string(t.GetParam() == Engine::kSqlite ? "" : " ON PARCELAR"))
                 .ok());
       },
       "Erro atualizando registro para remessa EDI"},
      {"the sequence holds NULL",
       [](RecordingTest& t) {
         ASSERT_TRUE(
             t.database_->Run("INSERT INTO DOCNUMERO VALUES ('01', 'REFBANCAR ', NULL)").ok());
       },
       [](RecordingTest& t) { ASSERT_TRUE(t.database_->Run("DELETE FROM DOCNUMERO").ok()); },
       "Erro na Verificação do Documento Padrão: REFBANCAR "},
      {"the sequence holds a date",
       [](RecordingTest& t) {
         ASSERT_TRUE(
             t.database_->Run("INSERT INTO DOCNUMERO VALUES ('01', 'REFBANCAR ', '2026-02-30')")
                 .ok());
       },
       [](RecordingTest& t) { ASSERT_TRUE(t.database_->Run("DELETE FROM DOCNUMERO").ok()); },
       "Erro na Verificação do Documento Padrão: REFBANCAR "},
      {"the remittance row cannot be written",
       [](RecordingTest& t) {
         ASSERT_TRUE(
             t.database_->Run("ALTER TABLE REMESSAR RENAME COLUMN MATRENVIO TO MATRSAIDA").ok());
       },
       [](RecordingTest& t) {
         ASSERT_TRUE(
             t.database_->Run("ALTER TABLE REMESSAR RENAME COLUMN MATRSAIDA TO MATRENVIO").ok());
       },
       "Erro atualizando registro para remessa EDI"},
  };
  const InstallmentState before = {Currency::FromCents(250),
                                   std::nullopt,
                                   std::nullopt,
                                   "          ",
                                   "          ",
                                   "2026-12-06"};
  for (const Case& c : cases) {
    SetUp();
    c.break_it(*this);
    for (int attempt = 0; attempt < 2; ++attempt) {  // a retry fails the same way
      messages_.shown.clear();
      ASSERT_EQ(Print(), RecordingOutcome::kFailed) << c.why;
      ASSERT_EQ(messages_.shown.size(), 2u) << c.why;
      EXPECT_NE(messages_.shown[0].text.find(c.context), std::string::npos)
          << c.why << ": " << messages_.shown[0].text;
      EXPECT_EQ(messages_.shown[1].text, kNotRecordedMessage) << c.why;
      EXPECT_EQ(Installment(), before) << c.why;
      EXPECT_EQ(RemittanceRows(), 0u) << c.why;
    }
    c.mend_it(*this);
    ASSERT_EQ(Print(), RecordingOutcome::kRecorded) << c.why;
    EXPECT_EQ(Installment(),
              (InstallmentState{Currency::FromCents(625), kPaddedReference, "0000000001",
                                "0000012302", "BOL-BANCAR", "2026-12-06"}))
        << c.why;
    EXPECT_EQ(RemittanceRows(), 1u) << c.why;
  }
}

// What another user did to the installment while its page was printing is
// never overwritten: nothing is written and the clerk is told why.
TEST_P(RecordingTest, AnInstallmentChangedMeanwhileIsLeftAsItIs) {
  struct Case {
    const char* sql;
    const char* message;
  };
  const Case cases[] = {
      {"UPDATE PARCELAR SET RECEBIMENTO = '2026-12-01', DOCTORECEBIMENTO = 'DINHEIRO  ', "
       "NUMERORECEBIMENTO = 'RC00000077'",
       "-Parcela quitada por outro usuário durante a impressão."},
      {"UPDATE DOCUMENTOR SET STATUS = 'C '",
       "-Documento cancelado por outro usuário durante a impressão."},
      {"UPDATE DOCUMENTOR SET STATUS = NULL",
       "-Parcela alterada por outro usuário durante a impressão. Imprima-a novamente."},
      {"DELETE FROM SUPAEMPR",
       "-Parcela alterada por outro usuário durante a impressão. Imprima-a novamente."},
      {"UPDATE PARCELAR SET DOCTORECEBIMENTO = 'DINHEIRO  ', NUMERORECEBIMENTO = 'RC00000077'",
       "-Parcela associada a outra forma de cobrança durante a impressão."},
      {"DELETE FROM PARCELAR",
       "-Parcela alterada por outro usuário durante a impressão. Imprima-a novamente."},
      {"INSERT INTO REMESSAR (CODIGOEMP, CODIGOUNIDADE, CODIGODOCUMENTO, SERIE, NUMERO, PARCELA, "
       "DATAPROCESSO) VALUES ('01', '01      ', 'DM        ', '1  ', '123     ', '02', "
       "'2026-12-01')",
       "-Parcela alterada por outro usuário durante a impressão. Imprima-a novamente."},
  };
  for (const Case& c : cases) {
    SetUp();
    messages_.shown.clear();
    ctx_.message_prefix = "Documento: DM 1 123     /02";
    ASSERT_TRUE(database_->Run(c.sql).ok()) << c.sql;
    const RowSet before = database_->Rows("SELECT * FROM PARCELAR ORDER BY PARCELA");
    ASSERT_EQ(Print(), RecordingOutcome::kChanged) << c.sql;
    ASSERT_EQ(messages_.shown.size(), 1u) << c.sql << ::testing::PrintToString(messages_.texts());
    EXPECT_EQ(messages_.shown[0].text,
              std::string("Documento: DM 1 123     /02") + c.message +
                  " O boleto impresso não foi registrado e não deve ser enviado ao sacado.");
    EXPECT_EQ(messages_.shown[0].icon, MessageIcon::kExclamation);
    const RowSet after = database_->Rows("SELECT * FROM PARCELAR ORDER BY PARCELA");
    ASSERT_EQ(after.row_count(), before.row_count());
    for (const std::string& column : before.columns()) {
      EXPECT_EQ(Cell(after, column), Cell(before, column)) << c.sql << " " << column;
    }
    EXPECT_EQ(database_->Rows("SELECT * FROM REMESSAR WHERE IDBANCARIA IS NOT NULL").row_count(),
              0u);
    EXPECT_EQ(StoredSequence(), std::nullopt);
  }
}

// The printed amount must be the amount the locked row gives.
TEST_P(RecordingTest, AnAmountOtherThanThePrintedOneIsNotRecorded) {
  const AmountDueNow gives = [](RunContext&, const RowSet&) {
    return Result<Currency>(Currency::FromCents(100000));
  };
  PrintedBoleto printed{kReference, std::nullopt, Currency::FromCents(99999)};
  EXPECT_EQ(RecordPrintedBoleto(ctx_, printed, gives), RecordingOutcome::kChanged);
  EXPECT_EQ(Installment().docto_recebimento, "          ");
  printed.amount_due = Currency::FromCents(100000);
  EXPECT_EQ(RecordPrintedBoleto(ctx_, printed, gives), RecordingOutcome::kRecorded);
  EXPECT_EQ(Installment().docto_recebimento, "BOL-BANCAR");
}

// Fee once: whose receipt the installment holds decides, with the account's
// settings, whether the fee is in ValorOutroC or is added now.
TEST(FeeRuleTest, ReceiptAndSettingsDecide) {
  struct Case {
    std::optional<std::string> docto, numero;
    const char* desp_banc_bol;
    int64_t fee_cents;
    Receipt receipt;
    bool already_in, adds;
  };
  const std::optional<std::string> blank = "          ", none;
  const Case cases[] = {
      {blank, blank, "S", 250, Receipt::kNone, false, true},           // first print
      {none, none, "S", 250, Receipt::kNone, false, true},             // NULL is no receipt
      {std::string(""), none, "S", 250, Receipt::kNone, false, true},  // nor is ''
      {std::string("BOL-BANCAR"), std::string("0000100201"), "S", 250, Receipt::kThisProgram, true,
       false},                                                                            // reprint
      {std::string("BOL-BANCAR"), blank, "N", 250, Receipt::kThisProgram, false, false},  // no fee
      {std::string("BOL-BANCAR"), blank, "S", 0, Receipt::kThisProgram, false, false},    // no fee
      {blank, std::string("0000100201"), "S", 250, Receipt::kOther, false, false},  // not ours
      {std::string("DINHEIRO"), std::string("RC00000077"), "S", 250, Receipt::kOther, false, false},
  };
  for (const Case& c : cases) {
    BankSettings bank;
    bank.desp_banc_bol = c.desp_banc_bol;
    bank.val_desp_cob = Currency::FromCents(c.fee_cents);
    const std::string why = c.docto.value_or("NULL") + "|" + c.numero.value_or("NULL") + "|" +
                            c.desp_banc_bol + std::to_string(c.fee_cents);
    EXPECT_EQ(ReceiptOf(c.docto, c.numero), c.receipt) << why;
    EXPECT_EQ(FeeAlreadyInOtherAdditions(bank, c.receipt), c.already_in) << why;
    EXPECT_EQ(RecordingAddsFee(bank, c.receipt), c.adds) << why;
  }
}

// Another user holds a row the recording needs: the lock message, then the
// not-recorded message, once the connection's lock wait has passed, counted
// once for the whole recording however many statements meet the lock
// (SQLite's Timeout as given, though its driver waits it twice over per
// statement; on PostgreSQL the number draw tries three writes).
TEST_P(RecordingTest, LockedInstallmentShowsTheLockMessage) {
  constexpr int kLockWaitMs = 1000;
  for (const char* held : {"PARCELAR", "DOCNUMERO"}) {
    SCOPED_TRACE(held);
    Result<std::unique_ptr<LedgerDatabase>> made = LedgerDatabase::Create(GetParam(), kLockWaitMs);
    ASSERT_TRUE(made.ok()) << made.error().description;
    std::unique_ptr<LedgerDatabase> database = std::move(*made);
    ASSERT_TRUE(database->Run(InstallmentRows(ctx_.key)).ok());
    RecordingMessages messages;
    RunContext ctx = MakeContext(database->db(), messages, database->dialect());
    std::chrono::steady_clock::duration waited;
    {
      LockHolder lock(*database, held);
      ASSERT_TRUE(lock.locked());
      const auto started = std::chrono::steady_clock::now();
      EXPECT_EQ(RecordPrintedBoleto(ctx, PrintedBoleto{kReference, std::nullopt, Currency()}),
                RecordingOutcome::kFailed);
      waited = std::chrono::steady_clock::now() - started;
    }
    EXPECT_GE(waited, std::chrono::milliseconds(kLockWaitMs * 9 / 10));
    EXPECT_LT(waited, std::chrono::milliseconds(kLockWaitMs * 17 / 10)) << "one deadline";
    ASSERT_EQ(messages.shown.size(), 2u) << ::testing::PrintToString(messages.texts());
    EXPECT_EQ(messages.shown[0].text,
              "Impossível gravar dados, Registro está bloqueado por outro usuário");
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::kExclamation);
    EXPECT_EQ(messages.shown[1].text, kNotRecordedMessage);
    RowSet rows = database->Rows("SELECT VALOROUTROC, NUMERORECEBIMENTO FROM PARCELAR");
    EXPECT_EQ(AmountText(Cell(rows, "VALOROUTROC")), Currency::FromCents(250));
    EXPECT_EQ(Cell(rows, "NUMERORECEBIMENTO"), "          ");
    EXPECT_EQ(database->Rows("SELECT * FROM DOCNUMERO").row_count(), 0u);
  }
}

// Runs `hook` once, right after the first read of the installment under its
// locks: another session acting between that read and the commit.
class AfterLockedRead : public TracingDatabase {
 public:
  AfterLockedRead(Database& inner, std::function<void()> hook)
      : TracingDatabase(inner), hook_(std::move(hook)) {}
  using Database::Query;
  Result<RowSet> Query(const std::string& sql, QueryMode mode) override {
    Result<RowSet> rows = TracingDatabase::Query(sql, mode);
    if (hook_ && sql.rfind("SELECT PARCELAR.Recebimento", 0) == 0) std::exchange(hook_, nullptr)();
    return rows;
  }

 private:
  std::function<void()> hook_;
};

// Another session cancels the document just after the recording read it
// under its locks, in a single run and in a batch: the document's row is
// locked too, so the cancel waits for the recording (here it gives up after
// its own short wait); the recording never commits over a cancelled
// document.
TEST_P(RecordingTest, CancelAfterTheLockedReadIsNeverCommittedOver) {
  for (const bool batch : {false, true}) {
    SCOPED_TRACE(batch ? "batch" : "single run");
    SetUp();
    const std::string other_session =
        database_->connect_string() +
        (GetParam() == Engine::kSqlite ? ";Timeout=300" : ";ConnSettings=SET lock_timeout TO 300");
    std::optional<Status> cancel;
    AfterLockedRead db(database_->db(), [&] {
      Result<std::unique_ptr<Database>> other = OpenOdbcDatabase(other_session);
      ASSERT_TRUE(other.ok()) << other.error().description;
      cancel = (*other)
                   ->Execute("UPDATE DOCUMENTOR SET STATUS = 'C ' WHERE NUMERO = '123     '")
                   .status();
    });
    ctx_.db = &db;
    const PrintedBoleto printed{kReference, std::nullopt, Currency()};
    RecordingOutcome outcome = RecordingOutcome::kFailed;
    if (batch) {
      Transaction transaction(db);
      ASSERT_TRUE(transaction.Begin().ok());
      Result<std::map<std::string, RowSet>> locked = LockInstallments(db, ctx_.dialect, {ctx_.key});
      ASSERT_TRUE(locked.ok()) << locked.error().description;
      ASSERT_EQ(locked->size(), 1u);
      outcome = RecordLockedBoleto(ctx_, printed, locked->begin()->second);
      ASSERT_TRUE(transaction.Commit().ok());
    } else {
      outcome = RecordPrintedBoleto(ctx_, printed);
    }
    ASSERT_TRUE(cancel.has_value());
    ASSERT_FALSE(cancel->ok()) << "the cancel went through under the recording";
    EXPECT_EQ(cancel->error().number, error_number::kRecordLocked);
    EXPECT_EQ(outcome, RecordingOutcome::kRecorded) << ::testing::PrintToString(messages_.texts());
    EXPECT_EQ(Cell(database_->Rows("SELECT STATUS FROM DOCUMENTOR"), "STATUS"), "A ");
    EXPECT_EQ(Installment().docto_recebimento, "BOL-BANCAR");
  }
}

LEDGER_TESTS_ON_BOTH_ENGINES(RecordingTest);

}  // namespace
}  // namespace boleto
