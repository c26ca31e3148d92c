// The eligibility check on both databases the program is run against: a
// passing installment and its settings, the exact SQL it sends, messages
// that come in pairs, the installment key as the server compares it, and
// quotes in the argument text.
#include "validation/eligibility.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "validation/eligibility_fixture.h"

namespace boleto::eligibility_test {
namespace {

using ::testing::ElementsAre;

class EligibilityOnBothTest : public EligibilityTest {};

TEST_P(EligibilityOnBothTest, PassingInstallmentShowsNothingAndFillsEverySetting) {
  EXPECT_EQ(Check(), EligibilityOutcome::kAccepted);
  EXPECT_TRUE(Shown().empty());
  EXPECT_TRUE(eligibility_.errors_shown.empty());

  EXPECT_EQ(ctx_.key.codigo_emp, "01");
  EXPECT_EQ(ctx_.key.codigo_unidade, "01      ");
  EXPECT_EQ(ctx_.key.codigo_documento, "DUP       ");
  EXPECT_EQ(ctx_.key.serie, "1  ");
  EXPECT_EQ(ctx_.key.numero, "4567    ");
  EXPECT_EQ(ctx_.key.parcela, "02");
  EXPECT_EQ(ctx_.message_prefix, kPrefix);

  const BankSettings& bank = ctx_.bank;
  // PARCELAR
  EXPECT_EQ(bank.banco_cobranca, "237");
  EXPECT_EQ(bank.agencia_cobranca, "1234");
  EXPECT_EQ(bank.conta_cobranca, "56789-0");
  EXPECT_EQ(bank.carteira, "09");
  // DOCUMENTOR
  EXPECT_EQ(bank.tipo_empresa, "J");
  EXPECT_EQ(bank.codigo_empresa, "12345");
  // BANCO: ValDespCob 2.50 and the name; PARAMBANBOL without trailing blanks
  EXPECT_EQ(bank.val_desp_cob, Currency::FromCents(250));
  EXPECT_EQ(bank.bank_name, "BANCO BRADESCO S.A.");
  EXPECT_EQ(bank.bank_description, "Bradesco");
  EXPECT_EQ(ctx_.txt_desc_banco, "Bradesco");
  // CONTA and the CARTEIRA row of its portfolio
  EXPECT_EQ(bank.carteira_sr, "09");
  EXPECT_EQ(bank.carteira_ext, "09");
  // "  1234567 " trimmed, cut to n and zero-filled on the left
  EXPECT_EQ(bank.sr_identification.stored, "  1234567 ");
  EXPECT_EQ(bank.sr_identification.digits5, "12345");
  EXPECT_EQ(bank.sr_identification.digits6, "123456");
  EXPECT_EQ(bank.sr_identification.digits7, "1234567");
  EXPECT_EQ(bank.sr_identification.digits9, "001234567");
  EXPECT_EQ(bank.sr_identification.digits11, "00001234567");
  EXPECT_EQ(bank.desconto_bol, "S");
  EXPECT_EQ(bank.juros_bol, "N");
  EXPECT_EQ(bank.multa_bol, "S");
  EXPECT_EQ(bank.desp_banc_bol, "N");
  EXPECT_EQ(bank.gera_remessa_bol_sr, "S");
  EXPECT_EQ(bank.data_ante_bol, "N");
  EXPECT_EQ(bank.antecipa_bol, 3);
  EXPECT_EQ(bank.alt_data_ante_bol, "N");
  EXPECT_EQ(bank.instrucao1_bol, "01");
  EXPECT_EQ(bank.instrucao2_bol, "02");
  // INSTRUCAO
  EXPECT_EQ(bank.instrucao1_text, "Não receber após o vencimento");
  EXPECT_EQ(bank.instrucao2_text, "Protestar após 5 dias úteis");
}

TEST_P(EligibilityOnBothTest, CancelledAndPaidGivesBothMessagesInOrder) {
  Change(
      "UPDATE DOCUMENTOR SET STATUS = 'C ';"
      "UPDATE PARCELAR SET RECEBIMENTO = '2026-02-01';");
  EXPECT_EQ(Check(), EligibilityOutcome::kRefused);
  EXPECT_EQ(Shown(), Prefixed({"-Documento Cancelado. Verifique e corrija",
                               "-Parcela quitada. Verifique e corrija"}));
}

// Bank 999 has portfolio, account and instructions but no BANCO row: both
// bank messages, and the later rules still run and read the account.
TEST_P(EligibilityOnBothTest, UnknownBankWithoutRowGivesTwoMessagesAndGoesOn) {
  Change(MoveToBank("999") + "DELETE FROM BANCO;");
  EXPECT_EQ(Check(), EligibilityOutcome::kRefused);
  EXPECT_EQ(Shown(),
            Prefixed({"-Boleto sem registro não implementado para Banco: 999. Entre em contato "
                      "com o suporte ao aplicativo.",
                      "-Banco de Cobrança não cadastrado. Verifique e corrija"}));
  EXPECT_EQ(ctx_.bank.val_desp_cob, Currency());
  EXPECT_EQ(ctx_.bank.carteira_sr, "09");
  EXPECT_EQ(ctx_.bank.instrucao2_text, "Protestar após 5 dias úteis");
  // No bank row: the name lookup falls back to 30 blanks.
  EXPECT_EQ(ctx_.bank.bank_name, std::string(30, ' '));
  EXPECT_EQ(ctx_.bank.bank_description, "Bradesco");
}

TEST_P(EligibilityOnBothTest, AmountsEqualToTheLimitsPass) {
  for (const char* valor : {"10.00", "5000.00"}) {
    SCOPED_TRACE(valor);
    Change(std::string("UPDATE PARCELAR SET VALOR = ") + valor + ";");
    messages_.shown.clear();
    EXPECT_EQ(Check(), EligibilityOutcome::kAccepted);
    EXPECT_TRUE(Shown().empty());
  }
}

TEST_P(EligibilityOnBothTest, EmptyIdentificationWithPortfolioPassesWithZeroForms) {
  Change("UPDATE CONTA SET IDENTIFICACAOSR = '';");
  EXPECT_EQ(Check(), EligibilityOutcome::kAccepted);
  EXPECT_TRUE(Shown().empty());
  const SrIdentification& id = ctx_.bank.sr_identification;
  EXPECT_EQ(id.stored, "");
  EXPECT_EQ(id.digits5, "00000");
  EXPECT_EQ(id.digits6, "000000");
  EXPECT_EQ(id.digits7, "0000000");
  EXPECT_EQ(id.digits9, "000000000");
  EXPECT_EQ(id.digits11, "00000000000");
}

// A NULL identification with a portfolio passes the data rule but cannot be
// read: the error report, with no context line, and nothing after it.
TEST_P(EligibilityOnBothTest, NullIdentificationEndsInTheErrorReport) {
  Change("UPDATE CONTA SET IDENTIFICACAOSR = NULL;");
  EXPECT_EQ(Check(), EligibilityOutcome::kErrorReported);
  std::vector<std::string> shown = Shown();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].rfind("Error #  94\r", 0), 0u) << shown[0];
  EXPECT_EQ(std::count(shown[0].begin(), shown[0].end(), '\r'), 4);
  // The instruction and portfolio reads never ran.
  EXPECT_EQ(Queries().size(), 6u);
}

// Short fields of the argument text meet the blank-padded keys; the
// installment "7" is "07", while "7 " stays a different installment.
TEST_P(EligibilityOnBothTest, ParcelaSevenAndSevenBlankAreDifferentInstallments) {
  const std::string copy_as =
      "INSERT INTO PARCELAR (CODIGOEMP, CODIGOUNIDADE, CODIGODOCUMENTO, SERIE, NUMERO, PARCELA,"
      " BANCOCOBRANCA, AGENCIACOBRANCA, CONTACOBRANCA, CODIGOCARTEIRA, VALOR, REFBANCARIA)"
      " SELECT CODIGOEMP, CODIGOUNIDADE, CODIGODOCUMENTO, SERIE, NUMERO, ";
  const std::string from_02 =
      ", BANCOCOBRANCA, AGENCIACOBRANCA, CONTACOBRANCA, CODIGOCARTEIRA, VALOR, REFBANCARIA"
      " FROM PARCELAR WHERE PARCELA = '02';";
  Change(copy_as + "'07'" + from_02 + copy_as + "'7 '" + from_02 +
         "UPDATE PARCELAR SET RECEBIMENTO = '2026-02-01' WHERE PARCELA = '7 ';");

  ctx_.params.parcela = "7";
  EXPECT_EQ(Check(), EligibilityOutcome::kAccepted);
  EXPECT_TRUE(Shown().empty());
  EXPECT_EQ(ctx_.key.parcela, "07");
  EXPECT_NE(Queries().at(0).find("PARCELAR.PARCELA         = '07' "), std::string::npos);

  ctx_.params.parcela = "7 ";
  EXPECT_EQ(Check(), EligibilityOutcome::kRefused);
  EXPECT_EQ(Shown(),
            Prefixed({"-Parcela quitada. Verifique e corrija"}, "Documento: DUP 1 4567    /7 "));
  EXPECT_NE(Queries().at(0).find("PARCELAR.PARCELA         = '7 ' "), std::string::npos);
}

TEST_P(EligibilityOnBothTest, FullWidthFieldsWithTheirBlanksFindTheSameRow) {
  ctx_.params.codigo_unidade = "01      ";
  ctx_.params.codigo_documento = "DUP       ";
  ctx_.params.serie = "1  ";
  ctx_.params.numero = "4567    ";
  ctx_.params.parcela = "02";
  EXPECT_EQ(Check(), EligibilityOutcome::kAccepted);
  EXPECT_TRUE(Shown().empty());
}

// A document code with accented letters is padded to 10 characters, as the
// application stores it, not to 10 bytes.
TEST_P(EligibilityOnBothTest, AccentedDocumentCodeIsPaddedByCharacters) {
  Change(
      "UPDATE DOCUMENTOR SET CODIGODOCUMENTO = 'CRÉDITO   ';"
      "UPDATE PARCELAR SET CODIGODOCUMENTO = 'CRÉDITO   ';"
      "UPDATE DOCUMENTO SET CODIGO = 'CRÉDITO   ';");
  ctx_.params.codigo_documento = "CRÉDITO";
  EXPECT_EQ(Check(), EligibilityOutcome::kAccepted);
  EXPECT_TRUE(Shown().empty());
  EXPECT_EQ(ctx_.key.codigo_documento, "CRÉDITO   ");
  EXPECT_EQ(ctx_.message_prefix, "Documento: CRÉDITO 1 4567    /02");
}

// A quote in the argument text is doubled inside the SQL literal: the
// statement still runs, and "OR '1'='1" does not select the stored row.
TEST_P(EligibilityOnBothTest, QuoteInTheArgumentTextNeitherFailsNorMatches) {
  ctx_.params.codigo_emp = "01' OR '1'='1";
  EXPECT_EQ(Check(), EligibilityOutcome::kRefused);
  EXPECT_TRUE(eligibility_.errors_shown.empty());
  EXPECT_EQ(Shown(), Prefixed({"-Parcela a Receber não cadastrada, verifique."}));
  ASSERT_EQ(Queries().size(), 1u);
  EXPECT_NE(Queries()[0].find("PARCELAR.CODIGOEMP       = '01'' OR ''1''=''1' "),
            std::string::npos);

  messages_.shown.clear();
  ctx_.params.codigo_emp = "01";
  ctx_.params.codigo_documento = "DUP' OR '1";
  EXPECT_EQ(Check(), EligibilityOutcome::kRefused);
  EXPECT_TRUE(eligibility_.errors_shown.empty());
  EXPECT_EQ(Shown(), Prefixed({"-Parcela a Receber não cadastrada, verifique."},
                              "Documento: DUP' OR '1 1 4567    /02"));
}

INSTANTIATE_TEST_SUITE_P(Databases, EligibilityOnBothTest,
                         ::testing::Values(Backend::kSqlite, Backend::kPostgres), BackendName);

// The SQL texts of a passing check, in order.
const std::vector<std::string> kPassingCheckSql = {
    " SELECT DOCUMENTOR.CodigoEmp AS CodigoEmp, DOCUMENTOR.CodigoUnidade    AS "
    "CodigoUnidade, DOCUMENTOR.CodigoDocumento  AS CodigoDocumento, DOCUMENTOR.Serie      "
    "      AS Serie, DOCUMENTOR.Numero           AS Numero, PARCELAR.Parcela            "
    "AS Parcela,  DOCUMENTOR.TipoEmpresa      AS TipoEmpresa, DOCUMENTOR.CodigoEmpresa    "
    "AS CodigoEmpresa, SUPAEMPR.AEMPR_RAZAO_SOCIAL AS NomeEmpresa, PARCELAR.Emissao       "
    "     AS Emissao,  DOCUMENTOR.Chegada          AS Chegada,  PARCELAR.Vencimento       "
    "  AS Vencimento,  PARCELAR.BancoCobranca      AS BancoCobranca,  "
    "PARCELAR.AgenciaCobranca    AS AgenciaCobranca,  PARCELAR.ContaCobranca      AS "
    "ContaCobranca,  PARCELAR.CodigoCarteira     AS Carteira,  PARCELAR.Valor             "
    " AS Valor,  PARCELAR.IDBancaria         AS IDBancaria, PARCELAR.RefBancaria        "
    "AS RefBancaria,  PARCELAR.Recebimento        AS Recebimento,  "
    "PARCELAR.DoctoRecebimento   AS DoctoRecebimento,  DOCUMENTOR.Status           AS "
    "StatusDoc,  DOCUMENTOR.Moeda            AS Moeda   FROM DOCUMENTOR, PARCELAR, "
    "SUPAEMPR  WHERE PARCELAR.CODIGOEMP       = '01'   AND  PARCELAR.CODIGOUNIDADE   = "
    "'01      '   AND  PARCELAR.CODIGODOCUMENTO = 'DUP       '   AND  PARCELAR.SERIE      "
    "     = '1  '   AND  PARCELAR.NUMERO          = '4567    '   AND  PARCELAR.PARCELA    "
    "     = '02'   AND  PARCELAR.CODIGOEMP       = DOCUMENTOR.CODIGOEMP   AND  "
    "PARCELAR.CODIGOUNIDADE   = DOCUMENTOR.CODIGOUNIDADE   AND  PARCELAR.CODIGODOCUMENTO "
    "= DOCUMENTOR.CODIGODOCUMENTO   AND  PARCELAR.SERIE           = DOCUMENTOR.SERIE   "
    "AND  PARCELAR.NUMERO          = DOCUMENTOR.NUMERO   AND  DOCUMENTOR.TipoEmpresa   = "
    "SUPAEMPR.AEMPR_TIPO   AND  DOCUMENTOR.CodigoEmpresa = SUPAEMPR.AEMPR_CODIGO  ORDER "
    "BY 1,2,3,4,5,6 ",
    "SELECT * FROM BANCO  WHERE CODIGOEMP = '01'   AND  CODIGO    = '237'  ORDER BY "
    "CODIGOEMP, CODIGO ",
    "SELECT DescricaoBanco, DescricaoBol1 FROM PARAMBANBOL WHERE CODIGOEMP = '01' AND "
    "CODIGOBANCO = '237' ",
    "SELECT TIPO FROM DOCUMENTO  WHERE CODIGOEMP = '01'   AND  CODIGO    = 'DUP       '  "
    "ORDER BY CODIGOEMP, CODIGO",
    "SELECT * FROM CARTEIRA  WHERE CODIGOEMP   = '01'   AND  CODIGOBANCO = '237'   AND  "
    "CODIGO      = '09'  ORDER BY CODIGOEMP, CODIGOBANCO, CODIGO",
    "SELECT * FROM CONTA  WHERE CODIGOEMP = '01'   AND  CODIGOBANCO   = '237'   AND  "
    "CODIGOAGENCIA = '1234'   AND  CODIGO        = '56789-0'  ORDER BY CODIGOEMP, "
    "CODIGOBANCO, CODIGOAGENCIA, CODIGO",
    "SELECT Codigo, Descricao FROM INSTRUCAO WHERE CODIGOEMP = '01'  AND CODIGOBANCO = "
    "'237'  AND CODIGO      = '01' ",
    "SELECT Codigo, Descricao FROM INSTRUCAO WHERE CODIGOEMP = '01'  AND CODIGOBANCO = "
    "'237'  AND CODIGO      = '02' ",
    "SELECT CarteiraExt FROM CARTEIRA WHERE CODIGOEMP = '01'  AND CODIGOBANCO = '237'  AND "
    "CODIGO      = '09' ",
    "SELECT Nome AS Descricao  FROM Banco WHERE  CodigoEmp = '01' AND  Codigo = '237' ",
};

class EligibilitySqlTest : public EligibilityTest {};

TEST_P(EligibilitySqlTest, PassingCheckSendsTheseQueriesAsSnapshots) {
  ASSERT_EQ(Check(), EligibilityOutcome::kAccepted);
  EXPECT_EQ(Queries(), kPassingCheckSql);
  for (const TracingDatabase::Statement& s : tracing_->statements) {
    EXPECT_TRUE(s.is_query);
    EXPECT_EQ(s.mode, QueryMode::kSnapshotPassThrough) << s.sql;
  }
}

// On SQL Server the installment and account queries take the engine's
// defaults; the texts stay the same.
TEST_P(EligibilitySqlTest, SqlServerOpensInstallmentAndAccountWithEngineDefaults) {
  ctx_.params.database_type = "SQLSERVER";
  ctx_.dialect = Dialect::kSqlServer;
  ASSERT_EQ(Check(), EligibilityOutcome::kAccepted);
  EXPECT_EQ(Queries(), kPassingCheckSql);
  std::vector<QueryMode> modes;
  for (const TracingDatabase::Statement& s : tracing_->statements) modes.push_back(s.mode);
  const QueryMode kSnap = QueryMode::kSnapshotPassThrough;
  const QueryMode kDefault = QueryMode::kEngineDefault;
  EXPECT_THAT(modes, ElementsAre(kDefault, kSnap, kSnap, kSnap, kSnap, kDefault, kSnap, kSnap,
                                 kSnap, kSnap));
}

INSTANTIATE_TEST_SUITE_P(Databases, EligibilitySqlTest, ::testing::Values(Backend::kSqlite),
                         BackendName);

}  // namespace
}  // namespace boleto::eligibility_test
