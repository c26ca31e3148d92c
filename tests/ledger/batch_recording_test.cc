// A batch's recording on both engines: installments locked and read a
// series at a time, each row matched to its installment by key, and each
// installment recorded on its own inside the batch's transaction.

#include "ledger/batch_recording.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "ledger_database.h"
#include "platform/text.h"

namespace boleto {
namespace {

using ledger_testing::AmountText;
using ledger_testing::Cell;
using ledger_testing::Engine;
using ledger_testing::InstallmentRows;
using ledger_testing::LedgerDatabase;
using ledger_testing::MakeContext;

// Installment 02 of document `numero` of the fixture's series.
InstallmentKey KeyOf(const std::string& numero) {
  return InstallmentKey{"01", "01      ", "DM        ", "1  ", numero, "02"};
}

TEST(InstallmentRowKeyTest, TrailingBlanksAsideEachColumnCounts) {
  struct Row {
    InstallmentKey a;
    InstallmentKey b;
    bool same;
    const char* why;
  } rows[] = {
      {KeyOf("123     "), KeyOf("123"), true, "by hand: a driver that trims CHAR columns"},
      {KeyOf("123     "), KeyOf("  123"), false, "leading blanks are part of the value"},
      {KeyOf("123     "), KeyOf("124     "), false, "another document"},
      {InstallmentKey{"0", "11", "DM", "1", "123", "02"},
       InstallmentKey{"01", "1", "DM", "1", "123", "02"}, false,
       "by hand: columns kept apart, never run together"},
      {KeyOf("123"), InstallmentKey{"01", "01", "dm", "1", "123", "02"}, false,
       "case counts, as the database compares"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(InstallmentRowKey(row.a) == InstallmentRowKey(row.b), row.same) << row.why;
  }
  EXPECT_EQ(InstallmentRowKey(KeyOf("123     ")),
            "01\x1f"
            "01\x1f"
            "DM\x1f"
            "1\x1f"
            "123\x1f"
            "02\x1f");
}

class BatchRecordingTest : public ::testing::TestWithParam<Engine> {
 public:
  void SetUp() override {
    Result<std::unique_ptr<LedgerDatabase>> made = LedgerDatabase::Create(GetParam());
    ASSERT_TRUE(made.ok()) << made.error().description;
    database_ = std::move(*made);
    traced_ = std::make_unique<TracingDatabase>(database_->db());
    for (const char* numero : {"123     ", "124     ", "125     "}) {
      ASSERT_TRUE(database_->Run(InstallmentRows(KeyOf(numero))).ok());
    }
    messages_.clear();
  }

  // The run states of installment 02 of `numeros` on the traced connection,
  // for an account whose GeraRemessaBolSR is `remittance`, each with
  // messages of its own (messages_, in the same order).
  std::vector<RunContext> Contexts(const std::vector<std::string>& numeros,
                                   const std::string& remittance) {
    std::vector<RunContext> contexts;
    for (const std::string& numero : numeros) {
      messages_.push_back(std::make_unique<RecordingMessages>());
      contexts.push_back(MakeContext(*traced_, *messages_.back(), database_->dialect()));
      contexts.back().bank.gera_remessa_bol_sr = remittance;
      contexts.back().key = KeyOf(numero);
    }
    return contexts;
  }

  // The receipt document of installment `parcela` of document `numero`.
  std::optional<std::string> Receipt(const std::string& numero, const std::string& parcela = "02") {
    RowSet rows = database_->Rows("SELECT DOCTORECEBIMENTO FROM PARCELAR WHERE NUMERO = '" +
                                  numero + "' AND PARCELA = '" + parcela + "'");
    EXPECT_EQ(rows.row_count(), 1u) << numero;
    return Cell(rows, "DOCTORECEBIMENTO");
  }

  std::unique_ptr<LedgerDatabase> database_;
  std::unique_ptr<TracingDatabase> traced_;
  std::vector<std::unique_ptr<RecordingMessages>> messages_;
};

// One statement locks the documents of a series, one exactly the wanted
// installments, one query reads them; the neighbour installment 01 of the
// same documents is locked but not given, and a key without a row (document
// 126, or 124 written in lower case) has none.
TEST_P(BatchRecordingTest, LockInstallmentsLocksASeriesAtOnceAndGivesEachWantedRow) {
  std::vector<InstallmentKey> keys = {KeyOf("123     "), KeyOf("125     "), KeyOf("126     "),
                                      KeyOf("124     ")};
  InstallmentKey lower = KeyOf("124     ");
  lower.codigo_documento = "dm        ";
  keys.push_back(lower);

  Transaction transaction(*traced_);
  ASSERT_TRUE(transaction.Begin().ok());
  Result<std::map<std::string, RowSet>> locked =
      LockInstallments(*traced_, *ParseDialect(database_->dialect()), keys);
  ASSERT_TRUE(locked.ok()) << locked.error().description;
  ASSERT_TRUE(transaction.Commit().ok());

  std::vector<std::string> given;
  for (const auto& [key, row] : *locked) given.push_back(key);
  EXPECT_EQ(given, (std::vector<std::string>{InstallmentRowKey(KeyOf("123")),
                                             InstallmentRowKey(KeyOf("124")),
                                             InstallmentRowKey(KeyOf("125"))}));
  for (const auto& [key, row] : *locked) {
    EXPECT_EQ(row.row_count(), 1u);
    EXPECT_EQ(Cell(row, "StatusDoc"), "A ") << key;
    EXPECT_EQ(Cell(row, "ChaveParcela"), "02") << key;
  }

  // Two series: the fixture's, then the lower-case document's.
  ASSERT_EQ(traced_->statements.size(), 6u);
  EXPECT_EQ(traced_->statements[0].sql,
            "UPDATE DOCUMENTOR SET Status = Status WHERE DOCUMENTOR.CodigoEmp = '01' AND "
            "DOCUMENTOR.CodigoUnidade = '01      ' AND DOCUMENTOR.CodigoDocumento = 'DM        ' "
            "AND DOCUMENTOR.Serie = '1  ' AND DOCUMENTOR.Numero IN ('123     ', '124     ', "
            "'125     ', '126     ')");
  EXPECT_EQ(traced_->statements[1].sql,
            "UPDATE PARCELAR SET DoctoRecebimento = DoctoRecebimento WHERE CodigoEmp = '01' AND "
            "CodigoUnidade = '01      ' AND CodigoDocumento = 'DM        ' AND Serie = '1  ' AND "
            "Parcela = '02' AND Numero IN ('123     ', '124     ', '125     ', '126     ')");
  EXPECT_TRUE(traced_->statements[2].is_query);
}

// Three installments of one batch: two recorded, one received by another
// clerk meanwhile and left as it is; each settles once, the recorded ones
// after their transaction's commit.
TEST_P(BatchRecordingTest, EachInstallmentIsRecordedOnItsOwnInsideTheBatch) {
  ASSERT_TRUE(database_
                  ->Run("UPDATE PARCELAR SET RECEBIMENTO = '2026-12-01' WHERE NUMERO = '124     ' "
                        "AND PARCELA = '02'")
                  .ok());
  std::vector<RunContext> contexts = Contexts({"123     ", "124     ", "125     "}, "N");
  const PrintedBoleto printed{"09/00000012302-7", std::nullopt, Currency()};
  std::vector<BatchInstallment> installments;
  for (RunContext& ctx : contexts) installments.push_back({&ctx, &printed});

  size_t tried = 0;
  std::vector<std::string> settled;
  RecordBatch(
      installments, nullptr,
      {.tried = [&] { ++tried; },
       .settled =
           [&](const BatchInstallment& installment) {
             settled.push_back(std::string(TrimRightBlanks(installment.ctx->key.numero)) +
                               (installment.outcome == RecordingOutcome::kRecorded  ? " recorded"
                                : installment.outcome == RecordingOutcome::kChanged ? " changed"
                                                                                    : " failed"));
           }});
  EXPECT_EQ(tried, 3u);
  EXPECT_EQ(settled, (std::vector<std::string>{"124 changed", "123 recorded", "125 recorded"}));
  EXPECT_EQ(Receipt("123     "), "BOL-BANCAR");
  EXPECT_EQ(Receipt("124     "), "          ");
  EXPECT_EQ(Receipt("125     "), "BOL-BANCAR");
  EXPECT_EQ(Receipt("123     ", "01"), "          ") << "the neighbour is untouched";
  EXPECT_TRUE(messages_[0]->shown.empty());
  EXPECT_EQ(messages_[1]->shown.size(), 1u);
  EXPECT_TRUE(messages_[2]->shown.empty());
}

// The installments of a hundred are written together, and leave the tables
// as single runs of them one after another leave them: the fee once and
// only on a first print, each its own bank reference and receipt number,
// Programada where the account moves it; for remittance accounts the
// reference numbers drawn in their order and a remittance row queued for
// each. An installment whose remittance row is queued already is recorded
// on its own (that row updated); where the writes together cannot stand
// for each installment (one installment twice: the fee's guard finds the
// second already recorded; a sequence without its first number), each is
// written on its own, the second of the twice-printed left as changed.
TEST_P(BatchRecordingTest, AHundredIsWrittenTogetherAsSingleRunsWouldWriteIt) {
  struct Case {
    const char* why;
    const char* desp_banc_bol;  // "S": the account charges the fee
    bool moves_programada;
    bool reprint_124;  // 124 printed and recorded before
    std::vector<std::string> numeros;
    const char* remittance;  // the account's GeraRemessaBolSR
    const char* sequence;    // REFBANCAR's stored number; empty: no row
    bool queued_124;         // 124 has a remittance row waiting to be sent
    size_t alone;            // installments recorded on their own
  };
  const std::vector<std::string> three = {"123     ", "124     ", "125     "};
  const Case cases[] = {
      {"fee and Programada", "S", true, false, three, "N", "", false, 0},
      {"no fee, one a reprint", "N", false, true, three, "N", "", false, 0},
      {"fee, one a reprint",
       "S",
       false,
       true,
       {"125     ", "124     ", "123     "},
       "N",
       "",
       false,
       0},
      {"one installment twice",
       "S",
       false,
       false,
       {"123     ", "123     ", "125     "},
       "N",
       "",
       false,
       3},
      {"remittances",
       "S",
       true,
       false,
       {"125     ", "123     ", "124     "},
       "S",
       "0000000041",
       false,
       0},
      {"remittances, one queued already", "N", false, true, three, "S", "0000000041", true, 1},
      {"remittances, the sequence without its first number", "S", false, false, three, "S", "",
       false, 3},
  };
  const std::string installments_state =
      "SELECT NUMERO, PARCELA, VALOROUTROC, IDBANCARIA, REFBANCARIA, NUMERORECEBIMENTO, "
      "DOCTORECEBIMENTO, PROGRAMADA FROM PARCELAR ORDER BY NUMERO, PARCELA";
  // Every column but the moment the row was queued.
  const std::string remittances_state =
      "SELECT CODIGOEMP, CODIGOUNIDADE, CODIGODOCUMENTO, SERIE, NUMERO, PARCELA, OCORRENCIA, "
      "EMISSAO, VENCIMENTO, BANCOCOBRANCA, AGENCIACOBRANCA, CONTACOBRANCA, VALOR, VALORMULTA, "
      "PERCENTUALMULTA, PERCENTUALJUROS, VALORDESCONTO, PERCENTUALDESCONTO, IDBANCARIA, "
      "REFBANCARIA, CODIGOCARTEIRA, EMITEBOLETABANCO, MATRSEL, MATRENVIO, DATAPROCESSO FROM "
      "REMESSAR ORDER BY NUMERO, REFBANCARIA";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    SetUp();
    Result<std::unique_ptr<LedgerDatabase>> single_runs = LedgerDatabase::Create(GetParam());
    ASSERT_TRUE(single_runs.ok()) << single_runs.error().description;
    for (LedgerDatabase* db : {database_.get(), single_runs->get()}) {
      if (db != database_.get()) {
        for (const std::string& numero : three) {
          ASSERT_TRUE(db->Run(InstallmentRows(KeyOf(numero))).ok());
        }
      }
      if (c.reprint_124) {
        ASSERT_TRUE(db->Run("UPDATE PARCELAR SET VALOROUTROC = 6.25, IDBANCARIA = 'OLD', "
                            "NUMERORECEBIMENTO = '0000012402', DOCTORECEBIMENTO = 'BOL-BANCAR' "
                            "WHERE NUMERO = '124     ' AND PARCELA = '02'")
                        .ok());
      }
      if (*c.sequence) {
        ASSERT_TRUE(db->Run(std::string("INSERT INTO DOCNUMERO VALUES ('01', 'REFBANCAR ', '") +
                            c.sequence + "')")
                        .ok());
      }
      if (c.queued_124) {
        ASSERT_TRUE(db->Run("INSERT INTO REMESSAR (CODIGOEMP, CODIGOUNIDADE, CODIGODOCUMENTO, "
                            "SERIE, NUMERO, PARCELA, IDBANCARIA, REFBANCARIA) VALUES ('01', "
                            "'01      ', 'DM        ', '1  ', '124     ', '02', 'OLD', "
                            "'0000000007')")
                        .ok());
      }
    }
    std::vector<RunContext> contexts = Contexts(c.numeros, c.remittance);
    std::vector<PrintedBoleto> printed;
    for (RunContext& ctx : contexts) {
      ctx.bank.desp_banc_bol = c.desp_banc_bol;
      if (c.moves_programada) {
        ctx.bank.alt_data_ante_bol = "S";
        ctx.bank.antecipa_bol = 5;
        ctx.bank.desconto_bol = "S";
      }
      printed.push_back({"09/" + std::string(TrimRightBlanks(ctx.key.numero)) + "-7",
                         Date::FromYmd(2026, 12, 1), Currency()});
    }
    std::vector<BatchInstallment> installments;
    for (size_t i = 0; i < contexts.size(); ++i) {
      installments.push_back({&contexts[i], &printed[i]});
    }
    RecordBatch(installments, nullptr, {.tried = [] {}, .settled = [](const BatchInstallment&) {}});

    size_t together = 0;
    size_t alone = 0;
    for (const TracingDatabase::Statement& statement : traced_->statements) {
      if (statement.sql.find("IDBancaria = CASE") != std::string::npos) ++together;
      if (statement.sql.rfind("UPDATE PARCELAR  SET NumeroRecebimento", 0) == 0) ++alone;
    }
    EXPECT_EQ(together, c.alone == c.numeros.size() && *c.remittance == 'S' ? 0u : 1u);
    // The second of the twice-printed is left as changed: no statement of its own.
    EXPECT_EQ(alone, c.alone == 3 && *c.remittance == 'N' ? 2u : c.alone);
    for (size_t i = 0; i < installments.size(); ++i) {
      const bool second_of_twice = c.numeros[0] == c.numeros[1] && i == 1;
      EXPECT_EQ(installments[i].outcome,
                second_of_twice ? RecordingOutcome::kChanged : RecordingOutcome::kRecorded)
          << i;
      EXPECT_EQ(messages_[i]->shown.size(), second_of_twice ? 1u : 0u) << i;
    }

    for (size_t i = 0; i < contexts.size(); ++i) {
      RecordingMessages own;
      RunContext ctx = contexts[i];
      ctx.db = &(*single_runs)->db();
      ctx.messages = &own;
      EXPECT_EQ(RecordPrintedBoleto(ctx, printed[i]), RecordingOutcome::kRecorded) << i;
    }
    for (const std::string& state :
         {installments_state, remittances_state,
          std::string("SELECT CODIGOEMP, CODIGO, NUMERO FROM DOCNUMERO")}) {
      EXPECT_EQ(database_->Rows(state), (*single_runs)->Rows(state)) << state;
    }
  }
}

// A statement that the server refuses inside one installment's recording,
// after others of it were written, undoes that installment alone: it keeps
// no fee, no bank reference and no receipt and shows the error report and
// kNotRecordedMessage; the installments before and after it in the batch's
// transaction are recorded. A trigger on installment 124 refuses its bank
// reference (the fee written before it), or its receipt (fee and bank
// reference written before it); with a remittance account, the row queued.
TEST_P(BatchRecordingTest, AStatementRefusedInsideOneInstallmentUndoesItAlone) {
  const bool pg = GetParam() == Engine::kPostgres;
  const struct {
    const char* column;      // the trigger refuses updates of it
    const char* remittance;  // the account's GeraRemessaBolSR
  } cases[] = {{"IDBANCARIA", "N"}, {"NUMERORECEBIMENTO", "N"}, {"NUMERORECEBIMENTO", "S"}};
  const std::string columns =
      "SELECT NUMERO, VALOROUTROC, IDBANCARIA, NUMERORECEBIMENTO, DOCTORECEBIMENTO FROM PARCELAR "
      "WHERE PARCELA = '02' ORDER BY NUMERO";
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.column) + " remittance " + c.remittance);
    SetUp();
    const RowSet before = database_->Rows(columns);
    const std::string refuse = std::string("CREATE TRIGGER refuse BEFORE UPDATE OF ") + c.column +
                               " ON PARCELAR " + (pg ? "FOR EACH ROW WHEN (" : "WHEN ") +
                               "OLD.NUMERO = '124     '" + (pg ? ") " : " ");
    const std::vector<std::string> triggers =
        pg ? std::vector<std::string>{"CREATE FUNCTION refuse() RETURNS trigger AS $$ BEGIN "
                                      "RAISE EXCEPTION 'refused'; END $$ LANGUAGE plpgsql",
                                      refuse + "EXECUTE FUNCTION refuse()"}
           : std::vector<std::string>{refuse + "BEGIN SELECT RAISE(ABORT, 'refused'); END"};
    for (const std::string& sql : triggers) ASSERT_TRUE(database_->db().Execute(sql).ok()) << sql;
    std::vector<RunContext> contexts = Contexts({"123     ", "124     ", "125     "}, c.remittance);
    const PrintedBoleto printed{"09/00000012302-7", std::nullopt, Currency()};
    std::vector<BatchInstallment> installments;
    for (RunContext& ctx : contexts) installments.push_back({&ctx, &printed});
    RecordBatch(installments, nullptr, {.tried = [] {}, .settled = [](const BatchInstallment&) {}});

    const std::vector<RecordingOutcome> outcomes = {
        installments[0].outcome, installments[1].outcome, installments[2].outcome};
    EXPECT_EQ(outcomes,
              (std::vector<RecordingOutcome>{RecordingOutcome::kRecorded, RecordingOutcome::kFailed,
                                             RecordingOutcome::kRecorded}));
    ASSERT_EQ(messages_[1]->shown.size(), 2u);
    EXPECT_NE(messages_[1]->shown[0].text.find("refused"), std::string::npos);
    EXPECT_EQ(messages_[1]->shown[1].text, kNotRecordedMessage);
    const RowSet after = database_->Rows(columns);
    ASSERT_EQ(after.row_count(), 3u);
    EXPECT_EQ(after.rows()[1], before.rows()[1]) << "124 keeps nothing";
    for (size_t recorded : {0u, 2u}) {
      EXPECT_EQ(after.rows()[recorded].back(), "BOL-BANCAR") << recorded;
      EXPECT_NE(after.rows()[recorded][1], before.rows()[recorded][1]) << "the fee, " << recorded;
    }
    RowSet queued = database_->Rows("SELECT NUMERO FROM REMESSAR ORDER BY NUMERO");
    EXPECT_EQ(queued.row_count(), *c.remittance == 'S' ? 2u : 0u);
    for (; !queued.eof(); queued.MoveNext()) EXPECT_NE(Cell(queued, "NUMERO"), "124     ");
  }
}

// Installments kept in short, one account's settings shared between them,
// are recorded as their whole run state records them: the fee of the shared
// settings, the remittance row with the company and user kept, the payer put
// back. Their run state is made for their transaction and gone after it.
TEST_P(BatchRecordingTest, KeptInstallmentsAreRecordedAsTheirRunState) {
  RecordingMessages messages;
  RunContext ctx = MakeContext(*traced_, messages, database_->dialect());
  ctx.company.moeda_padrao = "R$";
  ctx.message_prefix = "Documento: DM 1 ";
  ctx.bank.tipo_empresa = "C";
  ctx.bank.codigo_empresa = "000123";
  const auto account = std::make_shared<const BankSettings>(AccountSettings(ctx));
  EXPECT_EQ(account->codigo_empresa, "") << "the payer is not the account's";
  std::vector<KeptInstallment> kept;
  for (const char* numero : {"123     ", "125     "}) {
    ctx.key = KeyOf(numero);
    kept.push_back(KeepForRecording(ctx, account));
  }
  const RunContext made = RecordingContext(kept[1]);
  EXPECT_EQ(made.bank, ctx.bank);
  EXPECT_EQ(
      std::tie(made.db, made.dialect, made.messages, made.decimal_mark, made.params.codigo_emp,
               made.params.matr_sel, made.company.moeda_padrao, made.message_prefix,
               made.key.numero),
      std::tie(ctx.db, ctx.dialect, ctx.messages, ctx.decimal_mark, ctx.params.codigo_emp,
               ctx.params.matr_sel, ctx.company.moeda_padrao, ctx.message_prefix, ctx.key.numero));

  const PrintedBoleto printed{"09/00000012302-7", std::nullopt, Currency()};
  std::vector<BatchInstallment> installments;
  for (const KeptInstallment& one : kept) {
    installments.push_back({.printed = &printed, .kept = &one});
  }
  std::vector<std::string> settled;
  RecordBatch(installments, nullptr,
              {.tried = [] {},
               .settled =
                   [&](const BatchInstallment& installment) {
                     settled.push_back(std::string(TrimRightBlanks(installment.ctx->key.numero)) +
                                       " " + installment.ctx->bank.codigo_empresa);
                   }});
  EXPECT_EQ(settled, (std::vector<std::string>{"123 000123", "125 000123"}));
  for (const BatchInstallment& installment : installments) {
    EXPECT_EQ(installment.outcome, RecordingOutcome::kRecorded);
    EXPECT_EQ(installment.ctx, nullptr);
  }
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(Receipt("125     "), "BOL-BANCAR");
  RowSet queued = database_->Rows("SELECT CODIGOEMP, MATRSEL FROM REMESSAR ORDER BY NUMERO");
  ASSERT_EQ(queued.row_count(), 2u);
  EXPECT_EQ(Cell(queued, "MATRSEL"), "CLERK01        ");
  RowSet fee = database_->Rows(
      "SELECT VALOROUTROC FROM PARCELAR WHERE NUMERO = '125     ' AND "
      "PARCELA = '02'");
  EXPECT_EQ(AmountText(Cell(fee, "VALOROUTROC")).value_or(Currency()) -
                AmountText(Cell(database_->Rows("SELECT VALOROUTROC FROM PARCELAR WHERE "
                                                "NUMERO = '124     ' AND PARCELA = '02'"),
                                "VALOROUTROC"))
                    .value_or(Currency()),
            Currency::FromCents(375))
      << "the shared settings' fee, added once";
}

LEDGER_TESTS_ON_BOTH_ENGINES(BatchRecordingTest);

}  // namespace
}  // namespace boleto
