#include "startup/company_parameters.h"

#include <gtest/gtest.h>

#include <string>

#include "support/postgres_cluster.h"
#include "support/sqlite_fixture.h"

namespace boleto {
namespace {

const char kNoCompany[] = "Verifique parâmetros de conexão e permissão de acesso.";

// Company 01 with every column set; the print directory stored with blanks
// around it.
const char kCompanyRows[] =
    "INSERT INTO EMPRESA (CODIGO, NOME, NOMEABREV, MOEDAPADRAO, ENDCOBRANCA, ENDPAGAMENTO, "
    "USASAI, TIPOEMPRESA, CODIGOEMPRESA) VALUES ('01', 'CONFECÇÕES JOSÉ LTDA   ', 'JOSE', 'R$', "
    "'00', '01', 'N', 'J', '123');"
    "INSERT INTO PARAMIMP (LOCALANEXO) VALUES ('  /srv/boleto/anexos  ')";

TEST(CompanyParametersSql, ExactText) {
  EXPECT_EQ(CompanyParametersSql("01"),
            " SELECT EMPRESA.NOME AS NOME, EMPRESA.NOMEABREV AS NOMEABREV, EMPRESA.MOEDAPADRAO AS "
            "MOEDAPADRAO,  EMPRESA.ENDCOBRANCA AS ENDCOBRANCA, EMPRESA.ENDPAGAMENTO AS "
            "ENDPAGAMENTO,  EMPRESA.USASAI AS USASAI, EMPRESA.TIPOEMPRESA AS TIPOEMPRESA, "
            "EMPRESA.CODIGOEMPRESA AS CODIGOEMPRESA,  PARAMIMP.LOCALANEXO AS LOCALANEXO  FROM "
            "EMPRESA, PARAMIMP  WHERE EMPRESA.CODIGO = '01' ");
  // A quote in the company code is doubled, never closing the literal.
  EXPECT_EQ(CompanyParametersSql("0'").substr(CompanyParametersSql("0'").find("WHERE")),
            "WHERE EMPRESA.CODIGO = '0''' ");
}

class CompanyParametersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto fixture = testing::SqliteFixture::Create();
    ASSERT_TRUE(fixture.ok()) << fixture.error().description;
    fixture_ = std::move(fixture).value();
    ctx_.db = &fixture_->db();
    ctx_.messages = &messages_;
    ctx_.params.codigo_emp = "01";
  }

  std::unique_ptr<testing::SqliteFixture> fixture_;
  RecordingMessages messages_;
  RunContext ctx_;
};

TEST_F(CompanyParametersTest, LoadsTheFourValues) {
  ASSERT_TRUE(fixture_->Run(kCompanyRows).ok());
  EXPECT_EQ(LoadCompanyParameters(ctx_), CompanyOutcome::kLoaded);
  EXPECT_TRUE(messages_.shown.empty());
  EXPECT_EQ(ctx_.company.nome, "CONFECÇÕES JOSÉ LTDA   ");  // as read
  EXPECT_EQ(ctx_.company.moeda_padrao, "R$");
  EXPECT_EQ(ctx_.company.end_cobranca, "00");
  EXPECT_EQ(ctx_.company.local_anexo, "/srv/boleto/anexos");  // trimmed
}

TEST_F(CompanyParametersTest, UnknownCompanyShowsTheConnectionMessage) {
  ASSERT_TRUE(fixture_->Run(kCompanyRows).ok());
  ctx_.params.codigo_emp = "02";
  EXPECT_EQ(LoadCompanyParameters(ctx_), CompanyOutcome::kNoRow);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].text, kNoCompany);
  EXPECT_EQ(messages_.shown[0].icon, MessageIcon::kNone);
}

TEST_F(CompanyParametersTest, EmptyParamimpIsNoRowEither) {
  ASSERT_TRUE(fixture_->Run(kCompanyRows).ok());
  ASSERT_TRUE(fixture_->Run("DELETE FROM PARAMIMP").ok());
  EXPECT_EQ(LoadCompanyParameters(ctx_), CompanyOutcome::kNoRow);
  EXPECT_EQ(messages_.texts(), std::vector<std::string>{kNoCompany});
}

// A company code with a quote neither fails nor reaches company 01.
TEST_F(CompanyParametersTest, QuotedCodeMatchesNothing) {
  ASSERT_TRUE(fixture_->Run(kCompanyRows).ok());
  ctx_.params.codigo_emp = "0' OR '1'='1";
  EXPECT_EQ(LoadCompanyParameters(ctx_), CompanyOutcome::kNoRow);
  EXPECT_EQ(messages_.texts(), std::vector<std::string>{kNoCompany});
}

TEST_F(CompanyParametersTest, RejectedStatementIsReported) {
  ASSERT_TRUE(fixture_->Run("DROP TABLE PARAMIMP").ok());
  EXPECT_EQ(LoadCompanyParameters(ctx_), CompanyOutcome::kErrorReported);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].text.rfind("Error #  ", 0), 0u);
  EXPECT_NE(messages_.shown[0].text.find("PARAMIMP"), std::string::npos);
}

// A NULL in any of the nine columns is reported with an empty context (four
// lines); the values read before it stay, the later ones stay empty.
struct NullCase {
  const char* column;  // the column set to NULL, as the report names it
  const char* update;
  const char* nome;
  const char* moeda;
  const char* end_cobranca;
};

class CompanyNullTest : public CompanyParametersTest,
                        public ::testing::WithParamInterface<NullCase> {};

TEST_P(CompanyNullTest, ReportedWithValuesReadSoFar) {
  const NullCase& c = GetParam();
  ASSERT_TRUE(fixture_->Run(kCompanyRows).ok());
  ASSERT_TRUE(fixture_->Run(c.update).ok());
  EXPECT_EQ(LoadCompanyParameters(ctx_), CompanyOutcome::kErrorReported);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].text,
            std::string("Error #  94\r    Invalid use of Null: ") + c.column +
                "\r    (Origem : boleto-sr)\r  (Programa : " + ProgramIdentification() + ")\r");
  EXPECT_EQ(messages_.shown[0].icon, MessageIcon::kNone);
  EXPECT_EQ(ctx_.company.nome, c.nome);
  EXPECT_EQ(ctx_.company.moeda_padrao, c.moeda);
  EXPECT_EQ(ctx_.company.end_cobranca, c.end_cobranca);
  EXPECT_EQ(ctx_.company.local_anexo, "");
}

const char kNome[] = "CONFECÇÕES JOSÉ LTDA   ";

// Rows in the reading order: Nome, NomeAbrev, MoedaPadrao, EndCobranca,
// EndPagamento, TipoEmpresa, CODIGOEMPRESA, UsaSai, LocalAnexo.
INSTANTIATE_TEST_SUITE_P(
    EveryColumn, CompanyNullTest,
    ::testing::Values(
        NullCase{"Nome", "UPDATE EMPRESA SET NOME = NULL", "", "", ""},
        NullCase{"NomeAbrev", "UPDATE EMPRESA SET NOMEABREV = NULL", kNome, "", ""},
        NullCase{"MoedaPadrao", "UPDATE EMPRESA SET MOEDAPADRAO = NULL", kNome, "", ""},
        NullCase{"EndCobranca", "UPDATE EMPRESA SET ENDCOBRANCA = NULL", kNome, "R$", ""},
        NullCase{"EndPagamento", "UPDATE EMPRESA SET ENDPAGAMENTO = NULL", kNome, "R$", "00"},
        NullCase{"TipoEmpresa", "UPDATE EMPRESA SET TIPOEMPRESA = NULL", kNome, "R$", "00"},
        NullCase{"CODIGOEMPRESA", "UPDATE EMPRESA SET CODIGOEMPRESA = NULL", kNome, "R$", "00"},
        NullCase{"UsaSai", "UPDATE EMPRESA SET USASAI = NULL", kNome, "R$", "00"},
        NullCase{"LocalAnexo", "UPDATE PARAMIMP SET LOCALANEXO = NULL", kNome, "R$", "00"}),
    [](const ::testing::TestParamInfo<NullCase>& info) { return std::string(info.param.column); });

// PostgreSQL pads CHAR columns itself: the values come back as stored.
TEST(CompanyParametersPostgres, LoadsTheFourValues) {
  auto cluster = testing::PostgresCluster::Shared();
  ASSERT_TRUE(cluster.ok()) << cluster.error().description;
  auto name = (*cluster)->NewDatabase();
  ASSERT_TRUE(name.ok()) << name.error().description;
  ASSERT_TRUE((*cluster)->Run(kCompanyRows, *name).ok());
  auto db = (*cluster)->Open(*name);
  ASSERT_TRUE(db.ok()) << db.error().description;
  RecordingMessages messages;
  RunContext ctx;
  ctx.db = db->get();
  ctx.messages = &messages;
  ctx.params.codigo_emp = "01";
  EXPECT_EQ(LoadCompanyParameters(ctx), CompanyOutcome::kLoaded);
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(ctx.company.nome, "CONFECÇÕES JOSÉ LTDA   ");
  EXPECT_EQ(ctx.company.moeda_padrao, "R$");
  EXPECT_EQ(ctx.company.end_cobranca, "00");
  EXPECT_EQ(ctx.company.local_anexo, "/srv/boleto/anexos");

  // Another company code finds no row on the server either.
  ctx.params.codigo_emp = "1";
  RecordingMessages none;
  ctx.messages = &none;
  EXPECT_EQ(LoadCompanyParameters(ctx), CompanyOutcome::kNoRow);
  EXPECT_EQ(none.texts(), std::vector<std::string>{kNoCompany});
}

}  // namespace
}  // namespace boleto
