// The boleto run inside the test process, against a real SQLite database
// with the demo rows: the eligibility check fills the run's settings, then
// the installment may change before the run reads it again (paid, cancelled,
// sent in a processed remittance), as another user could do meanwhile.
#include "boleto/boleto_run.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "boleto/queries.h"
#include "support/paths.h"
#include "support/sqlite_fixture.h"
#include "validation/eligibility.h"

namespace boleto {
namespace {

namespace fs = std::filesystem;
using ::boleto::testing::MakeTempDir;
using ::boleto::testing::ReadFile;
using ::boleto::testing::RemoveTree;
using ::boleto::testing::SourceDir;
using ::boleto::testing::SqliteFixture;

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// The text of a PDF page as poppler's pdftotext reads it.
std::string PdfText(const std::string& pdf) {
  std::string text;
  if (FILE* p = popen(("pdftotext -layout '" + pdf + "' - 2>/dev/null").c_str(), "r")) {
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, p)) > 0;) text.append(buffer, n);
    pclose(p);
  }
  return text;
}

class BoletoRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto fx = SqliteFixture::Create();
    ASSERT_TRUE(fx.ok()) << fx.error().description;
    fixture_ = std::move(*fx);
    const std::string demo = ReadFile(SourceDir() + "/sql/demo.sql");
    ASSERT_FALSE(demo.empty());
    Status loaded =
        fixture_->Run(ReplaceAll(demo, "@DEMO_PRINT_DIR@", SourceDir() + "/demo/print"));
    ASSERT_TRUE(loaded.ok()) << loaded.error().description;
    out_ = MakeTempDir("bolrun");
    tracing_ = std::make_unique<TracingDatabase>(fixture_->db());
  }
  void TearDown() override { RemoveTree(out_); }

  // The run's context for installment `numero`/`parcela` of document DM 1,
  // as start-up and the company parameters leave it, with the eligibility
  // check already passed.
  RunContext& Accepted(const std::string& numero, const std::string& parcela = "01",
                       const std::string& documento = "DM        ",
                       const std::string& serie = "1  ") {
    ctx_.params.database_type = "SQLITE";
    ctx_.dialect = Dialect::kSqlite;
    ctx_.params.codigo_emp = "01";
    ctx_.params.codigo_unidade = "01      ";
    ctx_.params.codigo_documento = documento;
    ctx_.params.serie = serie;
    ctx_.params.numero = numero + std::string(8 - numero.size(), ' ');
    ctx_.params.parcela = parcela;
    ctx_.params.matr_sel = "TESTE";
    ctx_.decimal_mark = ".";
    ctx_.db = &fixture_->db();
    ctx_.messages = &messages_;
    ctx_.destination.output_file = out_ + "/boleto.pdf";
    ctx_.company.nome = "TECELAGEM MODELO INDÚSTRIA E COMÉRCIO LTDA";
    ctx_.company.moeda_padrao = "R$";
    ctx_.company.end_cobranca = "00";
    ctx_.company.local_anexo = SourceDir() + "/demo/print";
    EXPECT_EQ(CheckInstallmentEligibility(ctx_).outcome, EligibilityOutcome::kAccepted)
        << ::testing::PrintToString(messages_.texts());
    ctx_.db = tracing_.get();
    return ctx_;
  }

  std::vector<std::string> Executed() const {
    std::vector<std::string> sql;
    for (const auto& s : tracing_->statements) {
      if (!s.is_query) sql.push_back(s.sql);
    }
    return sql;
  }

  std::string Column(const std::string& query) {
    auto rows = fixture_->db().Query(query);
    if (!rows.ok()) return "<" + rows.error().description + ">";
    if (rows->eof()) return "<no row>";
    auto v = rows->Value(rows->columns().at(0));
    return v.ok() && v->has_value() ? **v : "NULL";
  }

  bool OutputExists() const { return fs::exists(out_ + "/boleto.pdf"); }

  std::unique_ptr<SqliteFixture> fixture_;
  std::unique_ptr<TracingDatabase> tracing_;
  RecordingMessages messages_;
  RunContext ctx_;
  std::string out_;
};

constexpr char kWhere1001[] =
    " WHERE CODIGOEMP = '01' AND CODIGOUNIDADE = '01      ' AND CODIGODOCUMENTO = 'DM        ' "
    "AND SERIE = '1  ' AND NUMERO = '1001    ' AND PARCELA = '01'";

TEST_F(BoletoRunTest, PrintsThenRecordsWithTheExactQueries) {
  RunContext& ctx = Accepted("1001");
  ASSERT_EQ(BoletoRun(ctx), RunOutcome::kPrinted) << ::testing::PrintToString(messages_.texts());
  EXPECT_TRUE(messages_.shown.empty());
  EXPECT_TRUE(OutputExists());

  ASSERT_GE(tracing_->statements.size(), 6u);
  const auto& st = tracing_->statements;
  EXPECT_EQ(st[0].sql, InstallmentQuery(Dialect::kSqlite, ctx.key));
  EXPECT_EQ(st[0].mode, QueryMode::kSnapshotPassThrough);
  // The species query: no blank between the bank code's quote and "AND".
  EXPECT_EQ(st[1].sql,
            "SELECT CodigoEspecieB FROM DOCESP WHERE  CodigoEmp       = '01' AND    "
            "CodigoBanco     = '409'AND    CodigoDocumento = 'DM        '");
  EXPECT_EQ(st[2].sql,
            "SELECT CGC, ENDERECO, BAIRRO, CIDADE, ESTADO FROM EMPRESA WHERE  Codigo  = '01' ");
  EXPECT_EQ(st[3].sql,
            "SELECT COUNT(*) AS QtdParcelas FROM PARCELAR  WHERE CODIGOEMP     = '01'  AND "
            "CODIGOUNIDADE   = '01      '  AND CODIGODOCUMENTO = 'DM        '  AND SERIE           "
            "= '1  '  AND NUMERO          = '1001    ' ");
  // EndCobranca "00": only the registry's own address is read.
  EXPECT_NE(st[4].sql.find("FROM   SUPAEMPR WHERE  AEMPR_TIPO   = 'C' AND    AEMPR_CODIGO = "
                           "'000001'"),
            std::string::npos)
      << st[4].sql;
  for (const auto& s : st) EXPECT_EQ(s.sql.find("SUPAENDR"), std::string::npos);

  // Only the recording writes, after the page: the locks (document, then
  // installment), bank reference and receipt.
  const std::vector<std::string> executed = Executed();
  ASSERT_EQ(executed.size(), 4u) << ::testing::PrintToString(executed);
  EXPECT_EQ(executed[0].find("UPDATE DOCUMENTOR SET Status = Status "), 0u);
  EXPECT_EQ(executed[1].find("UPDATE PARCELAR SET DoctoRecebimento = DoctoRecebimento "), 0u);
  // Unibanco reference: 12 digits of the number, 2 of the installment, digit 9.
  EXPECT_NE(executed[2].find("SET IDBancaria     = '000000001001019     ' "), std::string::npos)
      << executed[2];
  EXPECT_EQ(Column(std::string("SELECT NUMERORECEBIMENTO || '|' || DOCTORECEBIMENTO || '|' || "
                               "IDBANCARIA FROM PARCELAR") +
                   kWhere1001),
            "0000100101|BOL-BANCAR|000000001001019     ");
}

TEST_F(BoletoRunTest, SqlServerOpensTheInstallmentQueryWithEngineDefaults) {
  RunContext& ctx = Accepted("1003");
  ctx.params.database_type = "SQLSERVER";
  ctx.dialect = Dialect::kSqlServer;
  // Only the installment query (read for the page and again under the
  // recording's lock) changes its mode; the server-clock query of this
  // dialect fails on SQLite and falls back to today's date.
  ASSERT_EQ(BoletoRun(ctx), RunOutcome::kPrinted) << ::testing::PrintToString(messages_.texts());
  const auto& st = tracing_->statements;
  ASSERT_FALSE(st.empty());
  EXPECT_EQ(st[0].mode, QueryMode::kEngineDefault);
  for (size_t i = 1; i < st.size(); ++i) {
    if (st[i].is_query && st[i].sql != st[0].sql) {
      EXPECT_EQ(st[i].mode, QueryMode::kSnapshotPassThrough) << st[i].sql;
    }
  }
}

TEST_F(BoletoRunTest, SybaseServerOpensTheInstallmentQueryAsPassThroughSnapshot) {
  // Only "SQLSERVER" takes the engine's defaults; its sibling tag does not.
  RunContext& ctx = Accepted("1003");
  ctx.params.database_type = "SYBASESRV";
  ctx.dialect = Dialect::kSybaseSrv;
  ASSERT_EQ(BoletoRun(ctx), RunOutcome::kPrinted) << ::testing::PrintToString(messages_.texts());
  const auto& st = tracing_->statements;
  ASSERT_FALSE(st.empty());
  EXPECT_EQ(st[0].sql, InstallmentQuery(Dialect::kSybaseSrv, ctx.key));
  EXPECT_EQ(st[0].mode, QueryMode::kSnapshotPassThrough);
}

// Changes made after the eligibility check accepted the installment: the
// run finds no row, prints nothing, writes nothing and shows nothing.
struct NoRowCase {
  const char* why;
  const char* sql;
};

class NoRow : public BoletoRunTest, public ::testing::WithParamInterface<NoRowCase> {};

TEST_P(NoRow, NothingPrintedOrWritten) {
  RunContext& ctx = Accepted("1001");
  ASSERT_TRUE(fixture_->Run(GetParam().sql).ok());
  EXPECT_EQ(BoletoRun(ctx), RunOutcome::kNothingToPrint) << GetParam().why;
  EXPECT_FALSE(OutputExists());
  EXPECT_TRUE(Executed().empty());
  EXPECT_TRUE(messages_.shown.empty());
  EXPECT_EQ(Column(std::string("SELECT NUMERORECEBIMENTO || '|' || COALESCE(IDBANCARIA, 'NULL') "
                               "FROM PARCELAR") +
                   kWhere1001),
            "          |NULL");
}

INSTANTIATE_TEST_SUITE_P(
    BoletoRun, NoRow,
    ::testing::Values(
        NoRowCase{"paid",
                  "UPDATE PARCELAR SET RECEBIMENTO = '2026-04-01' WHERE NUMERO = '1001    '"},
        NoRowCase{"cancelled", "UPDATE DOCUMENTOR SET STATUS = 'C ' WHERE NUMERO = '1001    '"},
        NoRowCase{"processed remittance",
                  "INSERT INTO REMESSAR (CODIGOEMP, CODIGOUNIDADE, CODIGODOCUMENTO, SERIE, "
                  "NUMERO, PARCELA, DATAPROCESSO) VALUES ('01', '01      ', 'DM        ', "
                  "'1  ', '1001    ', '01', '2026-04-02')"}));

TEST_F(BoletoRunTest, UnprocessedRemittanceRowIsPrintedAndUpdated) {
  RunContext& ctx = Accepted("1001");
  ASSERT_TRUE(fixture_
                  ->Run("INSERT INTO REMESSAR (CODIGOEMP, CODIGOUNIDADE, CODIGODOCUMENTO, SERIE, "
                        "NUMERO, PARCELA, DATAPROCESSO) VALUES ('01', '01      ', 'DM        ', "
                        "'1  ', '1001    ', '01', NULL)")
                  .ok());
  ctx.bank.gera_remessa_bol_sr = "S";
  ASSERT_EQ(BoletoRun(ctx), RunOutcome::kPrinted) << ::testing::PrintToString(messages_.texts());
  EXPECT_TRUE(OutputExists());
  EXPECT_EQ(Column("SELECT COUNT(*) FROM REMESSAR"), "1");
  EXPECT_EQ(Column("SELECT IDBANCARIA FROM REMESSAR"), "000000001001019     ");
}

TEST_F(BoletoRunTest, DirectoryMessages) {
  struct Case {
    const char* why;
    std::string local_anexo;
    std::string message;
  };
  const std::string no_bmp = MakeTempDir("bolnobmp");
  const std::string print_dir = SourceDir() + "/demo/print";
  const Case cases[] = {
      {"print directory missing", out_ + "/missing",
       "Diretório de impressão inválido. Verifique e corrija"},
      {"print directory written with a final separator", print_dir + "/",
       "Diretório de impressão inválido. Verifique e corrija"},
      {"no BMP folder", no_bmp, "Diretório de logotipo inválido. Verifique e corrija"},
  };
  for (const Case& c : cases) {
    messages_.shown.clear();
    RunContext& ctx = Accepted("1001");
    ctx.company.local_anexo = c.local_anexo;
    EXPECT_EQ(BoletoRun(ctx), RunOutcome::kDirectoryRefused) << c.why;
    ASSERT_EQ(messages_.shown.size(), 1u) << c.why;
    EXPECT_EQ(messages_.shown[0].text, c.message) << c.why;
    EXPECT_EQ(messages_.shown[0].icon, MessageIcon::kExclamation);
    EXPECT_FALSE(OutputExists());
    EXPECT_TRUE(tracing_->statements.empty()) << c.why << ": nothing read before the checks";
  }
  RemoveTree(no_bmp);
}

// A print directory of the test's own: the company folder 01 holds the
// files given, the bank folders none.
std::string PrintDirWith(const std::string& root, const std::vector<std::string>& company_files) {
  fs::create_directories(root + "/BMP/01");
  for (const std::string& f : company_files) {
    fs::copy_file(SourceDir() + "/demo/print/BMP/01/LOGOBOLR.BMP", root + "/BMP/01/" + f);
  }
  return root;
}

TEST_F(BoletoRunTest, CompanyFolderWithoutLogoIsAnErrorBeforeAnythingIsPrinted) {
  RunContext& ctx = Accepted("1001");
  ctx.company.local_anexo = PrintDirWith(out_ + "/print", {});
  EXPECT_EQ(BoletoRun(ctx), RunOutcome::kErrorReported);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].text.rfind("Error #  53\r", 0), 0u) << messages_.shown[0].text;
  EXPECT_NE(messages_.shown[0].text.find("LOGO.BMP"), std::string::npos);
  EXPECT_FALSE(OutputExists());
  EXPECT_TRUE(Executed().empty());
}

TEST_F(BoletoRunTest, LogoNamesAreFoundWhateverTheirCase) {
  for (const char* name : {"logobolr.bmp", "Logo.Bmp"}) {
    fs::remove_all(out_ + "/print");
    fs::remove(out_ + "/boleto.pdf");
    RunContext& ctx = Accepted("1001");
    ctx.company.local_anexo = PrintDirWith(out_ + "/print", {name});
    EXPECT_EQ(BoletoRun(ctx), RunOutcome::kPrinted)
        << name << " " << ::testing::PrintToString(messages_.texts());
    EXPECT_TRUE(OutputExists()) << name;
  }
}

TEST_F(BoletoRunTest, PrintDirectoryWrittenWithBackslashes) {
  RunContext& ctx = Accepted("1001");
  std::string dir = SourceDir() + "/demo/print";
  for (char& c : dir) {
    if (c == '/') c = '\\';
  }
  ctx.company.local_anexo = dir;
  EXPECT_EQ(BoletoRun(ctx), RunOutcome::kPrinted) << ::testing::PrintToString(messages_.texts());
  EXPECT_TRUE(OutputExists());
}

TEST_F(BoletoRunTest, ALineThatCannotBeComposedIsReportedNotPrinted) {
  // Santander composes nothing for a portfolio other than 101 and 102.
  RunContext& ctx = Accepted("1004");
  ctx.bank.carteira_ext = "999";
  EXPECT_EQ(BoletoRun(ctx), RunOutcome::kErrorReported);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].text.rfind("Error #  5\r", 0), 0u) << messages_.shown[0].text;
  EXPECT_FALSE(OutputExists());
  EXPECT_TRUE(Executed().empty());
}

TEST_F(BoletoRunTest, ANullPayerColumnIsReported) {
  RunContext& ctx = Accepted("1001");
  ASSERT_TRUE(
      fixture_->Run("UPDATE SUPAEMPR SET AEMPR_COMPL = NULL WHERE AEMPR_CODIGO = '000001'").ok());
  EXPECT_EQ(BoletoRun(ctx), RunOutcome::kErrorReported);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].text.rfind("Error #  94\r", 0), 0u) << messages_.shown[0].text;
  EXPECT_FALSE(OutputExists());
  EXPECT_TRUE(Executed().empty());
}

TEST_F(BoletoRunTest, BillingAddressFallsBackToTheRegistry) {
  RunContext& ctx = Accepted("1001");
  ctx.company.end_cobranca = "03";  // the payer has no address 03
  ASSERT_EQ(BoletoRun(ctx), RunOutcome::kPrinted) << ::testing::PrintToString(messages_.texts());
  int supaendr = 0, supaempr_only = 0;
  for (const auto& s : tracing_->statements) {
    if (s.sql.find("AENDR_NUM_ENDER = '03'") != std::string::npos) ++supaendr;
    if (s.sql.find("FROM   SUPAEMPR WHERE") != std::string::npos) ++supaempr_only;
  }
  EXPECT_EQ(supaendr, 1);
  EXPECT_EQ(supaempr_only, 1);
}

TEST_F(BoletoRunTest, ReprintShowsTheSameAmountAsTheFirstPrint) {
  // Bradesco 1002 charges the 2,50 fee: the first print adds it to
  // ValorOutroC, a reprint must not charge it a second time.
  for (int print = 1; print <= 2; ++print) {
    fs::remove(out_ + "/boleto.pdf");
    RunContext& ctx = Accepted("1002");
    ctx.destination.output_file = out_ + "/boleto.pdf";
    ASSERT_EQ(BoletoRun(ctx), RunOutcome::kPrinted) << print;
    // 2.345,67 + 2,50 fee - 25,00 discount = 2.323,17 both times.
    const std::string text = PdfText(out_ + "/boleto.pdf");
    EXPECT_NE(text.find("2.323,17"), std::string::npos) << print;
    EXPECT_EQ(text.find("Out.Acrescimos"), std::string::npos) << print;
    EXPECT_EQ(Column("SELECT VALOROUTROC FROM PARCELAR WHERE NUMERO = '1002    '"), "2.5") << print;
  }
}

}  // namespace
}  // namespace boleto
