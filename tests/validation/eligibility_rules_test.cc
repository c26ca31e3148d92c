// Each eligibility rule failing alone, the refusals of settings from which
// no bank could read a barcode, the bank description, and errors inside the
// check, on a SQLite database built from the schema.
#include <gtest/gtest.h>

#include <algorithm>

#include "validation/eligibility.h"
#include "validation/eligibility_fixture.h"

namespace boleto::eligibility_test {
namespace {

constexpr char kNoInstallment[] = "-Parcela a Receber não cadastrada, verifique.";
constexpr char kCancelled[] = "-Documento Cancelado. Verifique e corrija";
constexpr char kPaid[] = "-Parcela quitada. Verifique e corrija";
constexpr char kInRemittance[] = "-Parcela em remessa bancaria. Verifique e corrija";
constexpr char kOtherCollection[] =
    "-Parcela já esta associada a forma de cobrança. Verifique e corrija";
constexpr char kNoBank[] = "-Banco de Cobrança não cadastrado. Verifique e corrija";
constexpr char kCurrency[] =
    "-Moeda do documento diverge da moeda do Banco de Cobrança. Verifique e corrija";
constexpr char kNoDocumentType[] = "-Código de Documento não cadastrado. Verifique e corrija";
constexpr char kForecast[] = "-Documento de previsão. Verifique e corrija";
constexpr char kNoPortfolio[] =
    "-Código de Carteira da parcela não cadastrada. Verifique e corrija";
constexpr char kNoAccount[] = "-Conta Corrente não cadastrada. Verifique e corrija";
constexpr char kAmountRange[] =
    "-Valor da parcela fora do intervalo permitido para geração de boleta. Verifique e corrija";
constexpr char kNoSrData[] =
    "-Inf. Bancárias para Boleto sem registro não cadastrada. Verifique e corrija";

struct RuleCase {
  const char* rule;
  std::string change;  // fixture SQL run before the check
  std::vector<std::string> messages;
  EligibilityOutcome outcome;
};

class EligibilityRulesTest : public EligibilityTest {};

TEST_P(EligibilityRulesTest, EachRuleFailingAlone) {
  const EligibilityOutcome kRefused = EligibilityOutcome::kRefused;
  const EligibilityOutcome kAccepted = EligibilityOutcome::kAccepted;
  const RuleCase cases[] = {
      {"no installment row", "DELETE FROM PARCELAR;", {kNoInstallment}, kRefused},
      {"installment of another document",
       "UPDATE PARCELAR SET NUMERO = '4568    ';",
       {kNoInstallment},
       kRefused},
      {"cancelled document", "UPDATE DOCUMENTOR SET STATUS = 'C ';", {kCancelled}, kRefused},
      {"document with a NULL status", "UPDATE DOCUMENTOR SET STATUS = NULL;", {}, kAccepted},
      {"paid installment", "UPDATE PARCELAR SET RECEBIMENTO = '2026-02-01';", {kPaid}, kRefused},
      {"bank reference given",
       "UPDATE PARCELAR SET REFBANCARIA = '0000000123';",
       {kInRemittance},
       kRefused},
      {"empty bank reference", "UPDATE PARCELAR SET REFBANCARIA = '';", {kInRemittance}, kRefused},
      {"NULL bank reference", "UPDATE PARCELAR SET REFBANCARIA = NULL;", {}, kAccepted},
      {"collected otherwise",
       "UPDATE PARCELAR SET DOCTORECEBIMENTO = 'CHQ-0001  ';",
       {kOtherCollection},
       kRefused},
      {"receipt of an earlier boleto",
       "UPDATE PARCELAR SET DOCTORECEBIMENTO = 'BOL-BANCAR';",
       {},
       kAccepted},
      {"NULL receipt", "UPDATE PARCELAR SET DOCTORECEBIMENTO = NULL;", {}, kAccepted},
      {"bank without boleto rules, fully registered",
       MoveToBank("999"),
       {"-Boleto sem registro não implementado para Banco: 999. Entre em contato com o suporte "
        "ao aplicativo."},
       kRefused},
      {"no bank row", "DELETE FROM BANCO;", {kNoBank}, kRefused},
      {"bank of another currency", "UPDATE BANCO SET MOEDA = 'US$';", {kCurrency}, kRefused},
      {"bank with a NULL currency", "UPDATE BANCO SET MOEDA = NULL;", {}, kAccepted},
      {"no document type", "DELETE FROM DOCUMENTO;", {kNoDocumentType}, kRefused},
      {"forecast document", "UPDATE DOCUMENTO SET TIPO = '6';", {kForecast}, kRefused},
      {"installment portfolio missing", "DELETE FROM CARTEIRA;", {kNoPortfolio}, kRefused},
      {"no collecting account", "DELETE FROM CONTA;", {kNoAccount}, kRefused},
      {"amount below the minimum", "UPDATE PARCELAR SET VALOR = 9.99;", {kAmountRange}, kRefused},
      {"amount above the maximum",
       "UPDATE PARCELAR SET VALOR = 5000.01;",
       {kAmountRange},
       kRefused},
      {"negative amount under a zero minimum",
       "UPDATE PARCELAR SET VALOR = -1; UPDATE CONTA SET VALORMINIMOBOL = 0;",
       {kAmountRange},
       kRefused},
      {"blank boleto data",
       "UPDATE CONTA SET IDENTIFICACAOSR = '   ', CARTEIRASR = ' ';",
       {kNoSrData},
       kRefused},
      {"NULL boleto data",
       "UPDATE CONTA SET IDENTIFICACAOSR = NULL, CARTEIRASR = NULL;",
       {kNoSrData},
       kRefused},
      {"identification without portfolio", "UPDATE CONTA SET CARTEIRASR = '';", {}, kRefused},
      // The account is set up for another registered portfolio: refused
      // without any message.
      {"account of another portfolio",
       "INSERT INTO CARTEIRA (CODIGOEMP, CODIGOBANCO, CODIGO, CARTEIRAEXT)"
       " VALUES ('01', '237', '06', '06'); UPDATE CONTA SET CARTEIRASR = '06';",
       {},
       kRefused},
  };
  for (const RuleCase& c : cases) {
    SCOPED_TRACE(c.rule);
    SetUp();  // a fresh database for each row
    Change(c.change);
    EXPECT_EQ(Check(), c.outcome);
    EXPECT_EQ(Shown(), Prefixed(c.messages));
    EXPECT_TRUE(eligibility_.errors_shown.empty());
    TearDown();
  }
}

// Without an account there is nothing more to read: no boleto data,
// instructions or portfolio code, and no bank name.
TEST_P(EligibilityRulesTest, MissingAccountSkipsTheAccountSettings) {
  Change("DELETE FROM CONTA;");
  EXPECT_EQ(Check(), EligibilityOutcome::kRefused);
  EXPECT_EQ(Queries().size(), 6u);
  EXPECT_EQ(ctx_.bank.carteira_sr, "");
  EXPECT_EQ(ctx_.bank.bank_name, "");
  EXPECT_EQ(ctx_.bank.bank_description, "Bradesco");
}

TEST_P(EligibilityRulesTest, SeveralFailingRulesShowTheirMessagesInRuleOrder) {
  Change(
      "UPDATE DOCUMENTOR SET STATUS = 'C ';"
      "UPDATE PARCELAR SET REFBANCARIA = '0000000001', DOCTORECEBIMENTO = 'DEP-01    ',"
      " VALOR = 1.00;"
      "UPDATE BANCO SET MOEDA = 'US$';"
      "UPDATE DOCUMENTO SET TIPO = '6';"
      "DELETE FROM CARTEIRA;");
  EXPECT_EQ(Check(), EligibilityOutcome::kRefused);
  EXPECT_EQ(Shown(), Prefixed({kCancelled, kInRemittance, kOtherCollection, kCurrency, kForecast,
                               kNoPortfolio, kAmountRange}));
}

struct RefusalCase {
  const char* what;
  std::string change;
  std::vector<std::string> messages;
};

// Settings from which the bank's free field cannot be composed.
TEST_P(EligibilityRulesTest, SettingsThatCannotComposeTheFreeFieldAreRefused) {
  const RefusalCase cases[] = {
      {"033 with an external portfolio other than 101 and 102",
       MoveToBank("033") + "UPDATE CARTEIRA SET CARTEIRAEXT = '103';",
       {"-Carteira 103 não implementada para boleto sem registro do Banco: 033. Verifique e "
        "corrija"}},
      {"033 names the external portfolio without its blanks",
       MoveToBank("033") + "UPDATE CARTEIRA SET CARTEIRAEXT = ' 7 ';",
       {"-Carteira 7 não implementada para boleto sem registro do Banco: 033. Verifique e "
        "corrija"}},
      {"033 with portfolio 101",
       MoveToBank("033") + "UPDATE CARTEIRA SET CARTEIRAEXT = '101';",
       {}},
      {"033 with portfolio 102",
       MoveToBank("033") + "UPDATE CARTEIRA SET CARTEIRAEXT = '102';",
       {}},
      {"399 with an external portfolio other than CNR and CSB",
       MoveToBank("399") + "UPDATE CARTEIRA SET CARTEIRAEXT = 'XYZ';",
       {"-Carteira XYZ não implementada para boleto sem registro do Banco: 399. Verifique e "
        "corrija"}},
      {"399 with portfolio CNR",
       MoveToBank("399") + "UPDATE CARTEIRA SET CARTEIRAEXT = 'CNR';",
       {}},
      {"104 with a 7-character beneficiary code",
       MoveToBank("104"),
       {"-Código do Beneficiário deve ter 6 ou 16 posições para o Banco: 104. Verifique e "
        "corrija"}},
      {"104 with a 6-character beneficiary code",
       MoveToBank("104") + "UPDATE CONTA SET IDENTIFICACAOSR = ' 123456 ';",
       {}},
      {"104 with a 16-character beneficiary code",
       MoveToBank("104") + "UPDATE CONTA SET IDENTIFICACAOSR = '1234567890123456';",
       {}},
      {"341 with an account without its digit",
       MoveToBank("341") +
           "UPDATE PARCELAR SET CONTACOBRANCA = '56789'; UPDATE CONTA SET CODIGO = '56789';",
       {"-Conta Corrente sem dígito verificador para o Banco: 341. Verifique e corrija"}},
      {"341 with an account and its digit", MoveToBank("341"), {}},
      // Only an existing account is examined.
      {"341 without an account row",
       MoveToBank("341") + "UPDATE PARCELAR SET CONTACOBRANCA = '56789';",
       {kNoAccount}},
  };
  for (const RefusalCase& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    Change(c.change);
    EligibilityOutcome outcome = Check();
    EXPECT_EQ(Shown(), Prefixed(c.messages));
    EXPECT_EQ(outcome,
              c.messages.empty() ? EligibilityOutcome::kAccepted : EligibilityOutcome::kRefused);
    TearDown();
  }
}

TEST_P(EligibilityRulesTest, BankDescriptionComesFromParambanbolOrTheBankName) {
  struct Case {
    const char* what;
    std::string change;
    const char* description;
  } cases[] = {
      {"boleto description, trailing blanks removed", "", "Bradesco"},
      {"boleto description keeps its leading blanks",
       "UPDATE PARAMBANBOL SET DESCRICAOBANCO = '  Bradesco S.A.  ';", "  Bradesco S.A."},
      {"name up to and including its first blank",
       "DELETE FROM PARAMBANBOL; UPDATE BANCO SET NOME = 'BANCO XPTO S.A.';", "BANCO "},
      {"one-word name", "DELETE FROM PARAMBANBOL; UPDATE BANCO SET NOME = 'BRADESCO';", ""},
      // The missing name is 30 blanks, whose first blank stays.
      {"no description and no bank", "DELETE FROM PARAMBANBOL; DELETE FROM BANCO;", " "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    Change(c.change);
    Check();
    EXPECT_EQ(ctx_.bank.bank_description, c.description);
    EXPECT_EQ(ctx_.txt_desc_banco, c.description);
    EXPECT_TRUE(eligibility_.errors_shown.empty());
    TearDown();
  }
}

TEST_P(EligibilityRulesTest, AntecipaBolIsTheWholeNumberNotAbove) {
  struct Case {
    const char* stored;
    int16_t expected;
  } cases[] = {{"0", 0}, {"2.7", 2}, {"-2.5", -3}, {"32767", 32767}, {"-32768", -32768}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    Change(std::string("UPDATE CONTA SET ANTECIPABOL = ") + c.stored + ";");
    EXPECT_EQ(Check(), EligibilityOutcome::kAccepted);
    EXPECT_EQ(ctx_.bank.antecipa_bol, c.expected);
  }
}

struct ErrorCase {
  const char* what;
  std::string change;
  const char* report_start;
};

// An error inside the check is reported once, without context, and ends it:
// no rule message follows.
TEST_P(EligibilityRulesTest, ErrorsEndTheCheckWithOneReport) {
  const ErrorCase cases[] = {
      {"NULL currency of the document", "UPDATE DOCUMENTOR SET STATUS = 'C ', MOEDA = NULL;",
       "Error #  94\r"},
      {"NULL amount", "UPDATE PARCELAR SET VALOR = NULL;", "Error #  94\r"},
      {"NULL bank code", "UPDATE PARCELAR SET BANCOCOBRANCA = NULL;", "Error #  94\r"},
      {"NULL minimum", "UPDATE CONTA SET VALORMINIMOBOL = NULL;", "Error #  94\r"},
      {"NULL discount flag", "UPDATE CONTA SET DESCONTOBOL = NULL;", "Error #  94\r"},
      {"NULL second instruction", "UPDATE CONTA SET INSTRUCAO2BOL = NULL;", "Error #  94\r"},
      {"anticipation beyond 16 bits", "UPDATE CONTA SET ANTECIPABOL = 32768;", "Error #  6\r"},
      {"anticipation below 16 bits", "UPDATE CONTA SET ANTECIPABOL = -32769;", "Error #  6\r"},
      {"amount that is no number", "UPDATE PARCELAR SET VALOR = 'abc,d';", "Error #  13\r"},
      {"amount kept as text", "UPDATE PARCELAR SET VALOR = '1.500,00';",
       "Error #  13\r    Valor: Type mismatch: \"1.500,00\" is not an amount\r"},
      {"limit kept as text", "UPDATE CONTA SET VALORMAXIMOBOL = '9999,99';",
       "Error #  13\r    VALORMAXIMOBOL: Type mismatch: \"9999,99\" is not an amount\r"},
      {"negative fee", "UPDATE BANCO SET VALDESPCOB = -2.5;",
       "Error #  13\r    ValDespCob: Type mismatch: \"-2.5\" is no fee: a bank's fee is never "
       "negative\r"},
      {"document table missing", "DROP TABLE DOCUMENTO;", "Error #  "},
  };
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    Change(c.change);
    EXPECT_EQ(Check(), EligibilityOutcome::kErrorReported);
    std::vector<std::string> shown = Shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].rfind(c.report_start, 0), 0u) << shown[0];
    EXPECT_EQ(std::count(shown[0].begin(), shown[0].end(), '\r'), 4) << shown[0];
    TearDown();
  }
}

// A name that cannot be read is reported with the bank in the context; the
// check goes on with the fallback.
TEST_P(EligibilityRulesTest, UnreadableBankNameIsReportedWithTheBank) {
  Change("DELETE FROM PARAMBANBOL; UPDATE BANCO SET NOME = NULL;");
  EXPECT_EQ(Check(), EligibilityOutcome::kAccepted);
  ASSERT_EQ(eligibility_.errors_shown.size(), 2u);
  for (const Error& error : eligibility_.errors_shown) {
    EXPECT_EQ(error.number, error_number::kInvalidUseOfNull);
  }
  std::vector<std::string> shown = Shown();
  ASSERT_EQ(shown.size(), 2u);  // the caption's lookup, then the name's
  for (const std::string& report : shown) {
    EXPECT_EQ(report.rfind("Error #  94\r", 0), 0u) << report;
    EXPECT_TRUE(report.ends_with("\r  Erro na obtenção do Banco: 237 \r")) << report;
  }
  EXPECT_EQ(ctx_.txt_desc_banco, " ");
  EXPECT_EQ(ctx_.bank.bank_name, std::string(30, ' '));
}

TEST_P(EligibilityRulesTest, LookupBankDescription) {
  Change("INSERT INTO BANCO (CODIGOEMP, CODIGO, NOME, MOEDA) VALUES ('02', '341', 'ITAU', 'US$');");
  ctx_.company.moeda_padrao = "EUR";
  struct Case {
    const char* company;
    const char* bank;
    const char* kind;
    std::string expected;
    const char* sql;
  } cases[] = {
      {"01", "237", "N", "BANCO BRADESCO S.A.",
       "SELECT Nome AS Descricao  FROM Banco WHERE  CodigoEmp = '01' AND  Codigo = '237' "},
      {"01", "237", "M", "R$",
       "SELECT MOEDA AS Descricao  FROM Banco WHERE  CodigoEmp = '01' AND  Codigo = '237' "},
      // Any kind other than "M" asks for the name.
      {"01", "237", "X", "BANCO BRADESCO S.A.",
       "SELECT Nome AS Descricao  FROM Banco WHERE  CodigoEmp = '01' AND  Codigo = '237' "},
      {"SEM EMPRESA", "341", "N", "ITAU",
       "SELECT Nome AS Descricao  FROM Banco WHERE  Codigo = '341' "},
      // No row: the company's default currency, or 30 blanks for the name.
      {"01", "341", "M", "EUR",
       "SELECT MOEDA AS Descricao  FROM Banco WHERE  CodigoEmp = '01' AND  Codigo = '341' "},
      {"01", "341", "N", std::string(30, ' '),
       "SELECT Nome AS Descricao  FROM Banco WHERE  CodigoEmp = '01' AND  Codigo = '341' "},
      {"01", "237' OR '1'='1", "N", std::string(30, ' '),
       "SELECT Nome AS Descricao  FROM Banco WHERE  CodigoEmp = '01' AND  Codigo = '237'' OR "
       "''1''=''1' "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.company) + "/" + c.bank + "/" + c.kind);
    tracing_->statements.clear();
    const Recovered<std::string> description =
        LookupBankDescription(ctx_, c.company, c.bank, c.kind);
    EXPECT_EQ(description.value, c.expected);
    EXPECT_FALSE(description.error.has_value());
    ASSERT_EQ(tracing_->statements.size(), 1u);
    EXPECT_EQ(tracing_->statements[0].sql, c.sql);
    EXPECT_EQ(tracing_->statements[0].mode, QueryMode::kSnapshotPassThrough);
  }
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_P(EligibilityRulesTest, LookupFailureFallsBackAfterTheReport) {
  Change("DROP TABLE BANCO;");
  ctx_.company.moeda_padrao = "EUR";
  const Recovered<std::string> currency = LookupBankDescription(ctx_, "01", "237", "M");
  EXPECT_EQ(currency.value, "EUR");
  EXPECT_TRUE(currency.error.has_value());
  const Recovered<std::string> name = LookupBankDescription(ctx_, "01", "237", "N");
  EXPECT_EQ(name.value, std::string(30, ' '));
  ASSERT_TRUE(name.error.has_value());
  std::vector<std::string> shown = Shown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_TRUE(shown[1].ends_with("\r  Erro na obtenção do Banco: 237 \r")) << shown[1];
  // The error given is the one shown.
  EXPECT_EQ(shown[1].rfind("Error #  " + std::to_string(name.error->number) + "\r", 0), 0u);
}

// Without a connection there is nothing to check: an error report, not a
// crash.
TEST(EligibilityWithoutDatabase, IsReportedAsAnError) {
  RecordingMessages messages;
  RunContext ctx;
  ctx.messages = &messages;
  const Eligibility eligibility = CheckInstallmentEligibility(ctx);
  EXPECT_EQ(eligibility.outcome, EligibilityOutcome::kErrorReported);
  EXPECT_TRUE(eligibility.errors_shown.empty());
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text.rfind("Error #  91\r", 0), 0u);
}

INSTANTIATE_TEST_SUITE_P(Databases, EligibilityRulesTest, ::testing::Values(Backend::kSqlite),
                         BackendName);

}  // namespace
}  // namespace boleto::eligibility_test
