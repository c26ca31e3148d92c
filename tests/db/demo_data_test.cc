// The demo database as scripts/make-demo-db builds it, read back through
// ODBC on SQLite and on PostgreSQL: every demo installment meets each
// precondition of the eligibility check and carries settings from which its
// bank can compose a free field; the company row reads without a NULL; the
// payers come back byte for byte; the argument texts the script prints
// address the demo rows; the logos are the bitmaps the boleto run loads.

#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "db/database.h"
#include "db/odbc_database.h"
#include "db/sql_text.h"
#include "platform/amount_text.h"
#include "platform/currency.h"
#include "platform/date.h"
#include "support/paths.h"
#include "support/postgres_cluster.h"

namespace boleto {
namespace {

using ::boleto::testing::PostgresCluster;
using ::boleto::testing::ReadFile;
using ::boleto::testing::SourceDir;

// ---------------------------------------------------------------------------
// Running the script.

struct CommandOutput {
  int exit_status = -1;
  std::string out;
};

std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

// Runs the demo script with `arguments` (already quoted); standard error
// goes to the test log.
CommandOutput RunDemoScript(const std::string& arguments) {
  const std::string command = ShellQuote(SourceDir() + "/scripts/make-demo-db") + " " + arguments;
  CommandOutput result;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, n);
  const int status = pclose(pipe);
  result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// ---------------------------------------------------------------------------
// The demo database on each engine, built once per test program.

enum class Engine { kSqlite, kPostgresql };

std::string EngineName(const ::testing::TestParamInfo<Engine>& info) {
  return info.param == Engine::kSqlite ? "Sqlite" : "Postgresql";
}

void PrintTo(Engine engine, std::ostream* out) {
  *out << (engine == Engine::kSqlite ? "SQLite" : "PostgreSQL");
}

struct DemoDatabase {
  std::string connect_string;
  std::unique_ptr<Database> db;
  std::string problem;  // why it could not be built; empty when it was
};

std::string TrimText(std::string text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The folder of the SQLite demo database; /tmp itself keeps the connect
// string within the argument text's 63 columns.
const std::string& SqliteScratchDir() {
  static const std::string dir = [] {
    std::string pattern = "/tmp/bsdXXXXXX";
    return mkdtemp(pattern.data()) == nullptr ? std::string() : pattern;
  }();
  return dir;
}

DemoDatabase BuildSqlite() {
  DemoDatabase demo;
  const std::string& dir = SqliteScratchDir();
  if (dir.empty()) {
    demo.problem = "no scratch folder";
    return demo;
  }
  const CommandOutput run = RunDemoScript("--sqlite " + ShellQuote(dir + "/demo.db"));
  if (run.exit_status != 0) {
    demo.problem = "make-demo-db --sqlite failed with status " + std::to_string(run.exit_status);
    return demo;
  }
  demo.connect_string = TrimText(Lines(run.out).empty() ? "" : Lines(run.out)[0]);
  Result<std::unique_ptr<Database>> db = OpenOdbcDatabase(demo.connect_string);
  if (!db.ok()) {
    demo.problem = "cannot open " + demo.connect_string + ": " + db.error().description;
    return demo;
  }
  demo.db = std::move(db.value());
  return demo;
}

DemoDatabase BuildPostgresql() {
  DemoDatabase demo;
  Result<PostgresCluster*> cluster = PostgresCluster::Shared();
  if (!cluster.ok()) {
    demo.problem = "no PostgreSQL cluster: " + cluster.error().description;
    return demo;
  }
  Result<std::string> connect = (*cluster)->NewDatabase();
  if (!connect.ok()) {
    demo.problem = "no PostgreSQL database: " + connect.error().description;
    return demo;
  }
  const std::string name = connect->substr(connect->rfind('=') + 1);
  const std::string conninfo = "host=" + (*cluster)->socket_dir() +
                               " port=" + std::to_string((*cluster)->port()) +
                               " user=postgres dbname=" + name;
  const CommandOutput run = RunDemoScript("--postgresql " + ShellQuote(conninfo));
  if (run.exit_status != 0) {
    demo.problem =
        "make-demo-db --postgresql failed with status " + std::to_string(run.exit_status);
    return demo;
  }
  demo.connect_string = *connect;
  Result<std::unique_ptr<Database>> db = (*cluster)->Open(*connect);
  if (!db.ok()) {
    demo.problem = "cannot open " + *connect + ": " + db.error().description;
    return demo;
  }
  demo.db = std::move(db.value());
  return demo;
}

std::map<Engine, DemoDatabase>& BuiltDemos() {
  static std::map<Engine, DemoDatabase> built;
  return built;
}

DemoDatabase& Demo(Engine engine) {
  std::map<Engine, DemoDatabase>& built = BuiltDemos();
  auto found = built.find(engine);
  if (found == built.end()) {
    found =
        built.emplace(engine, engine == Engine::kSqlite ? BuildSqlite() : BuildPostgresql()).first;
  }
  return found->second;
}

// Closes the demo connections and removes the SQLite scratch folder when the
// test program ends (the PostgreSQL cluster removes itself).
class DemoCleanup : public ::testing::Environment {
 public:
  void TearDown() override {
    BuiltDemos().clear();
    if (!SqliteScratchDir().empty()) ::boleto::testing::RemoveTree(SqliteScratchDir());
  }
};
::testing::Environment* const kDemoCleanup = ::testing::AddGlobalTestEnvironment(new DemoCleanup);

// ---------------------------------------------------------------------------
// Reading helpers.

std::string Pad(std::string_view text, size_t width) {
  std::string padded(text);
  padded.resize(width, ' ');
  return padded;
}

std::string Quoted(std::string_view value) { return "'" + SqlQuote(value) + "'"; }

bool AllDigits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

// The part before the first "-", or the whole text.
std::string BeforeDash(const std::string& text) { return text.substr(0, text.find('-')); }

class DemoDataTest : public ::testing::TestWithParam<Engine> {
 protected:
  void SetUp() override {
    DemoDatabase& demo = Demo(GetParam());
    ASSERT_TRUE(demo.problem.empty()) << demo.problem;
    db_ = demo.db.get();
  }

  // The rows of `sql`; a failing query fails the test.
  RowSet Rows(const std::string& sql) {
    Result<RowSet> rows = db_->Query(sql);
    EXPECT_TRUE(rows.ok()) << sql << "\n" << (rows.ok() ? "" : rows.error().description);
    return rows.ok() ? std::move(rows.value()) : RowSet();
  }

  // The current row's value of `column`, nullopt for NULL.
  static std::optional<std::string> Value(const RowSet& rows, std::string_view column) {
    Result<std::optional<std::string>> value = rows.Value(column);
    EXPECT_TRUE(value.ok()) << column;
    return value.ok() ? *value : std::nullopt;
  }

  // The value of a column that must not be NULL ("" when it is, after a failure).
  static std::string Text(const RowSet& rows, std::string_view column) {
    std::optional<std::string> value = Value(rows, column);
    EXPECT_TRUE(value.has_value()) << column << " is NULL";
    return value.value_or("");
  }

  static Currency Amount(const RowSet& rows, std::string_view column) {
    Result<Currency> amount = ParseAmount(Text(rows, column), ".");
    EXPECT_TRUE(amount.ok()) << column;
    return amount.ok() ? *amount : Currency();
  }

  Database* db_ = nullptr;
};

// ---------------------------------------------------------------------------
// The installments of the demo, as the comment at the top of sql/demo.sql
// lists them: one per supported bank, plus document 1011 of three.

struct DemoInstallment {
  const char* document;
  const char* serie;
  const char* numero;
  const char* parcela;
  const char* bank;
};

const DemoInstallment kInstallments[] = {
    {"DM", "1", "1001", "01", "409"},  {"DM", "1", "1002", "01", "237"},
    {"DM", "1", "1003", "01", "001"},  {"DM", "1", "1004", "01", "033"},
    {"NFS", "2", "1005", "01", "356"}, {"DM", "1", "1006", "01", "341"},
    {"DM", "1", "1007", "01", "399"},  {"DM", "1", "1008", "01", "104"},
    {"NFS", "2", "1009", "01", "756"}, {"DM", "1", "1010", "01", "021"},
    {"DM", "1", "1011", "01", "001"},  {"DM", "1", "1011", "02", "237"},
    {"DM", "1", "1011", "03", "104"},
};

// The settings one account brings to its bank's free field.
struct FreeFieldInputs {
  std::string agency;          // PARCELAR.AgenciaCobranca
  std::string account;         // PARCELAR.ContaCobranca
  std::string identification;  // CONTA.IdentificacaoSR, trimmed
  std::string carteira_sr;     // CONTA.CarteiraSR
  std::string carteira_ext;    // CARTEIRA.CarteiraExt of CarteiraSR
};

// What each bank's free field needs of the settings; an empty text when
// they serve, otherwise what is wrong.
using SettingsRule = std::function<std::string(const FreeFieldInputs&)>;

std::string Need(bool ok, const char* what) { return ok ? "" : what; }

const std::map<std::string, SettingsRule>& BankRules() {
  static const std::map<std::string, SettingsRule> rules = {
      // Unibanco: "5", the seven-digit client code, "00", number, digit.
      {"409",
       [](const FreeFieldInputs& in) {
         return Need(AllDigits(in.identification) && in.identification.size() == 7,
                     "a seven-digit client code");
       }},
      // Bradesco: agency (4), portfolio (2), number, account (7) with digits after dashes.
      {"237",
       [](const FreeFieldInputs& in) {
         return Need(AllDigits(in.carteira_sr) && in.carteira_sr.size() == 2 &&
                         AllDigits(BeforeDash(in.agency)) && BeforeDash(in.agency).size() <= 4 &&
                         AllDigits(BeforeDash(in.account)) && BeforeDash(in.account).size() <= 7,
                     "a two-digit portfolio, agency of 4 and account of 7 digits");
       }},
      // Banco do Brasil: an agreement of up to seven digits (above 1,000,000 the
      // seven-digit layout, else the six-digit one) and a portfolio of two.
      {"001",
       [](const FreeFieldInputs& in) {
         return Need(AllDigits(in.identification) && in.identification.size() <= 7 &&
                         AllDigits(in.carteira_sr) && in.carteira_sr.size() <= 2,
                     "an agreement of up to 7 digits and a portfolio of up to 2");
       }},
      // Santander: only the external portfolios 101 and 102; seven-digit code.
      {"033",
       [](const FreeFieldInputs& in) {
         return Need((in.carteira_ext == "101" || in.carteira_ext == "102") &&
                         AllDigits(in.identification) && in.identification.size() <= 7,
                     "external portfolio 101 or 102 and a code of up to 7 digits");
       }},
      // Real: agency (4) and account (7) as plain digits.
      {"356",
       [](const FreeFieldInputs& in) {
         return Need(AllDigits(in.agency) && in.agency.size() <= 4 && AllDigits(in.account) &&
                         in.account.size() <= 7,
                     "a plain agency of 4 and account of 7 digits");
       }},
      // Itaú: account of five digits with its digit after a dash, three-digit portfolio.
      {"341",
       [](const FreeFieldInputs& in) {
         const size_t dash = in.account.find('-');
         return Need(dash != std::string::npos && dash + 2 == in.account.size() &&
                         AllDigits(in.account.substr(dash + 1)) &&
                         AllDigits(in.account.substr(0, dash)) && dash <= 5 &&
                         AllDigits(in.carteira_ext) && in.carteira_ext.size() == 3 &&
                         AllDigits(in.agency) && in.agency.size() <= 4,
                     "account ddddd-d, a three-digit portfolio, agency of 4 digits");
       }},
      // HSBC: portfolio CNR (seven-digit code) or CSB.
      {"399",
       [](const FreeFieldInputs& in) {
         return Need((in.carteira_ext == "CNR" && AllDigits(in.identification) &&
                      in.identification.size() == 7) ||
                         in.carteira_ext == "CSB",
                     "portfolio CNR with a seven-digit code, or CSB");
       }},
      // Caixa: a six-character code with a two-digit portfolio, or a sixteen-character code.
      {"104",
       [](const FreeFieldInputs& in) {
         const bool six = in.identification.size() == 6 && AllDigits(in.carteira_sr) &&
                          in.carteira_sr.size() == 2;
         return Need(AllDigits(in.identification) && (six || in.identification.size() == 16),
                     "a code of 6 (portfolio of 2 digits) or 16 digits");
       }},
      // Sicoob: three-digit portfolio (modality first), code of up to nine digits.
      {"756",
       [](const FreeFieldInputs& in) {
         return Need(AllDigits(in.carteira_ext) && in.carteira_ext.size() == 3 &&
                         AllDigits(in.identification) && in.identification.size() <= 9 &&
                         AllDigits(in.agency) && in.agency.size() <= 4,
                     "a three-digit portfolio and a code of up to 9 digits");
       }},
      // Banestes: one-digit portfolio, eleven-digit account code.
      {"021",
       [](const FreeFieldInputs& in) {
         return Need(in.carteira_ext.size() == 1 && AllDigits(in.carteira_ext) &&
                         AllDigits(in.identification) && in.identification.size() == 11,
                     "a one-digit portfolio and an eleven-digit code");
       }},
  };
  return rules;
}

TEST(DemoBankRules, RejectSettingsThatComposeNoFreeField) {
  // Each row breaks one need of one bank; the rule must say so.
  struct Row {
    const char* bank;
    FreeFieldInputs in;
  };
  const Row rows[] = {
      {"409", {"0123", "101010-5", "203167", "20", "20"}},        // six-digit code
      {"237", {"1234-3", "0012345-5", "0012345", "9", "09"}},     // one-digit portfolio
      {"001", {"4567-8", "98765-4", "12345678", "18", "18"}},     // eight-digit agreement
      {"033", {"3456", "13000123-4", "7654321", "01", "103"}},    // portfolio 103
      {"356", {"0501-2", "6703255", "6703255", "20", "20"}},      // agency with a digit
      {"341", {"0057", "12345", "12345", "9", "109"}},            // account without digit
      {"399", {"1234", "1234567-8", "3903125", "CN", "CNX"}},     // unknown portfolio
      {"104", {"1234", "00012345-6", "65432", "24", "SR"}},       // five-character code
      {"756", {"4321", "123456-7", "001234567", "1", "1"}},       // one-digit portfolio
      {"021", {"0123", "12345678901", "1234567890", "11", "2"}},  // ten-digit code
  };
  for (const Row& row : rows) {
    EXPECT_NE(BankRules().at(row.bank)(row.in), "") << "bank " << row.bank;
  }
}

TEST_P(DemoDataTest, EveryInstallmentMeetsTheEligibilityPreconditions) {
  const std::set<std::string> supported = {"409", "237", "001", "033", "356",
                                           "341", "399", "104", "756", "021"};
  for (const DemoInstallment& demo : kInstallments) {
    SCOPED_TRACE(std::string(demo.numero) + "/" + demo.parcela + " bank " + demo.bank);
    const std::string e = Quoted("01");
    const std::string document = Pad(demo.document, 10);

    // The installment, its document and payer, by the key as the program pads it.
    RowSet parcela = Rows(
        "SELECT PARCELAR.BancoCobranca AS BancoCobranca, PARCELAR.AgenciaCobranca AS "
        "AgenciaCobranca, PARCELAR.ContaCobranca AS ContaCobranca, PARCELAR.CodigoCarteira AS "
        "Carteira, PARCELAR.Valor AS Valor, PARCELAR.RefBancaria AS RefBancaria, "
        "PARCELAR.Recebimento AS Recebimento, PARCELAR.DoctoRecebimento AS DoctoRecebimento, "
        "PARCELAR.NumeroRecebimento AS NumeroRecebimento, PARCELAR.Emissao AS Emissao, "
        "PARCELAR.Vencimento AS Vencimento, DOCUMENTOR.Status AS StatusDoc, DOCUMENTOR.Moeda AS "
        "Moeda, DOCUMENTOR.TipoEmpresa AS TipoEmpresa, DOCUMENTOR.CodigoEmpresa AS "
        "CodigoEmpresa FROM DOCUMENTOR, PARCELAR, SUPAEMPR WHERE PARCELAR.CODIGOEMP = " +
        e + " AND PARCELAR.CODIGOUNIDADE = " + Quoted(Pad("01", 8)) +
        " AND PARCELAR.CODIGODOCUMENTO = " + Quoted(document) + " AND PARCELAR.SERIE = " +
        Quoted(Pad(demo.serie, 3)) + " AND PARCELAR.NUMERO = " + Quoted(Pad(demo.numero, 8)) +
        " AND PARCELAR.PARCELA = " + Quoted(demo.parcela) +
        " AND PARCELAR.CODIGOEMP = DOCUMENTOR.CODIGOEMP"
        " AND PARCELAR.CODIGOUNIDADE = DOCUMENTOR.CODIGOUNIDADE"
        " AND PARCELAR.CODIGODOCUMENTO = DOCUMENTOR.CODIGODOCUMENTO"
        " AND PARCELAR.SERIE = DOCUMENTOR.SERIE AND PARCELAR.NUMERO = DOCUMENTOR.NUMERO"
        " AND DOCUMENTOR.TipoEmpresa = SUPAEMPR.AEMPR_TIPO"
        " AND DOCUMENTOR.CodigoEmpresa = SUPAEMPR.AEMPR_CODIGO");
    ASSERT_EQ(parcela.row_count(), 1u);
    const std::string bank = Text(parcela, "BancoCobranca");
    EXPECT_EQ(bank, demo.bank);
    EXPECT_TRUE(supported.count(bank));
    EXPECT_NE(Text(parcela, "StatusDoc"), "C ");
    EXPECT_EQ(Value(parcela, "Recebimento"), std::nullopt);
    const std::optional<std::string> ref = Value(parcela, "RefBancaria");
    EXPECT_TRUE(!ref || *ref == "0000000000") << ref.value_or("NULL");
    EXPECT_EQ(Text(parcela, "DoctoRecebimento"), std::string(10, ' '));
    EXPECT_EQ(Text(parcela, "NumeroRecebimento"), std::string(10, ' '));
    const std::optional<Date> issued = Date::ParseIso(Text(parcela, "Emissao"));
    const std::optional<Date> due = Date::ParseIso(Text(parcela, "Vencimento"));
    ASSERT_TRUE(issued && due);
    EXPECT_LE(*issued, *due);
    EXPECT_TRUE(due->year() == 2026 || due->year() == 2027) << due->year();
    const std::string moeda = Text(parcela, "Moeda");
    const std::string agency = Text(parcela, "AgenciaCobranca");
    const std::string account = Text(parcela, "ContaCobranca");
    const std::string carteira = Text(parcela, "Carteira");
    const Currency valor = Amount(parcela, "Valor");
    const std::string b = Quoted(bank);

    // The payer's registry row with every column the payer block reads.
    RowSet payer = Rows(
        "SELECT AEMPR_RAZAO_SOCIAL, AEMPR_CGC, AEMPR_CPF, AEMPR_CGC_CPF, AEMPR_RUA_AV, AEMPR_NRO, "
        "AEMPR_COMPL, AEMPR_BAIRRO_DIST, AEMPR_CEP, AEMPR_CIDADE, AEMPR_ESTADO FROM SUPAEMPR "
        "WHERE AEMPR_TIPO = " +
        Quoted(Text(parcela, "TipoEmpresa")) +
        " AND AEMPR_CODIGO = " + Quoted(Text(parcela, "CodigoEmpresa")));
    ASSERT_EQ(payer.row_count(), 1u);
    for (const std::string& column : payer.columns()) Text(payer, column);

    // The bank in the document's currency, with its collection fee.
    RowSet banco = Rows("SELECT MOEDA, VALDESPCOB, NOME FROM BANCO WHERE CODIGOEMP = " + e +
                        " AND CODIGO = " + b);
    ASSERT_EQ(banco.row_count(), 1u);
    EXPECT_EQ(Text(banco, "MOEDA"), moeda);
    Amount(banco, "VALDESPCOB");
    EXPECT_NE(TrimText(Text(banco, "NOME")), "");

    RowSet tipo = Rows("SELECT TIPO FROM DOCUMENTO WHERE CODIGOEMP = " + e +
                       " AND CODIGO = " + Quoted(document));
    ASSERT_EQ(tipo.row_count(), 1u);
    EXPECT_NE(Text(tipo, "TIPO"), "6");

    RowSet especie = Rows("SELECT CODIGOESPECIEB FROM DOCESP WHERE CODIGOEMP = " + e +
                          " AND CODIGOBANCO = " + b + " AND CODIGODOCUMENTO = " + Quoted(document));
    ASSERT_EQ(especie.row_count(), 1u);
    EXPECT_NE(TrimText(Text(especie, "CODIGOESPECIEB")), "");

    EXPECT_EQ(Rows("SELECT CODIGO FROM CARTEIRA WHERE CODIGOEMP = " + e +
                   " AND CODIGOBANCO = " + b + " AND CODIGO = " + Quoted(carteira))
                  .row_count(),
              1u);

    // The collecting account: amount range, unregistered-collection data and
    // every setting the check reads as text.
    RowSet conta =
        Rows("SELECT * FROM CONTA WHERE CODIGOEMP = " + e + " AND CODIGOBANCO = " + b +
             " AND CODIGOAGENCIA = " + Quoted(agency) + " AND CODIGO = " + Quoted(account));
    ASSERT_EQ(conta.row_count(), 1u);
    EXPECT_LE(Amount(conta, "VALORMINIMOBOL"), valor);
    EXPECT_GE(Amount(conta, "VALORMAXIMOBOL"), valor);
    for (const char* column : {"DESCONTOBOL", "JUROSBOL", "MULTABOL", "DESPBANCBOL",
                               "GERAREMESSABOLSR", "DATAANTEBOL", "ALTDATAANTEBOL"}) {
      Text(conta, column);
    }
    // AntecipaBol is read into a 16-bit integer.
    const Currency antecipa = Amount(conta, "ANTECIPABOL");
    EXPECT_TRUE(antecipa >= Currency() && antecipa <= Currency::FromUnits(32767));
    const std::string identification = TrimText(Text(conta, "IDENTIFICACAOSR"));
    const std::string carteira_sr = Text(conta, "CARTEIRASR");
    EXPECT_NE(identification, "");
    EXPECT_NE(TrimText(carteira_sr), "");
    EXPECT_EQ(carteira_sr, carteira) << "the account's portfolio must be the installment's";

    for (const char* column : {"INSTRUCAO1BOL", "INSTRUCAO2BOL"}) {
      RowSet instrucao =
          Rows("SELECT Descricao FROM INSTRUCAO WHERE CODIGOEMP = " + e +
               " AND CODIGOBANCO = " + b + " AND CODIGO = " + Quoted(Text(conta, column)));
      ASSERT_EQ(instrucao.row_count(), 1u) << column;
      EXPECT_NE(TrimText(Text(instrucao, "Descricao")), "") << column;
    }

    RowSet externa = Rows("SELECT CarteiraExt FROM CARTEIRA WHERE CODIGOEMP = " + e +
                          " AND CODIGOBANCO = " + b + " AND CODIGO = " + Quoted(carteira_sr));
    ASSERT_EQ(externa.row_count(), 1u);
    const FreeFieldInputs inputs{agency, account, identification, carteira_sr,
                                 TrimText(Text(externa, "CarteiraExt"))};
    EXPECT_EQ(BankRules().at(bank)(inputs), "");

    // Every bank composes its reference number from the digits of the number.
    EXPECT_TRUE(AllDigits(demo.numero));
  }
}

TEST_P(DemoDataTest, CoversEveryBankAndAThreeInstallmentDocument) {
  RowSet banks = Rows("SELECT DISTINCT BANCOCOBRANCA FROM PARCELAR WHERE CODIGOEMP = '01'");
  std::set<std::string> seen;
  for (banks.MoveFirst(); !banks.eof(); banks.MoveNext()) seen.insert(Text(banks, "BANCOCOBRANCA"));
  EXPECT_EQ(seen, (std::set<std::string>{"409", "237", "001", "033", "356", "341", "399", "104",
                                         "756", "021"}));
  // Every demo row is in the table above, so the check covers all of them.
  EXPECT_EQ(Rows("SELECT * FROM PARCELAR").row_count(), std::size(kInstallments));

  RowSet count = Rows(
      "SELECT COUNT(*) AS QtdParcelas FROM PARCELAR WHERE CODIGOEMP = '01' AND CODIGOUNIDADE = "
      "'01      ' AND CODIGODOCUMENTO = 'DM        ' AND SERIE = '1  ' AND NUMERO = '1011    '");
  EXPECT_EQ(Text(count, "QtdParcelas"), "3");

  // Both recording paths: one remittance account, the others not.
  RowSet remessa = Rows(
      "SELECT GERAREMESSABOLSR, COUNT(*) AS N FROM CONTA GROUP BY "
      "GERAREMESSABOLSR ORDER BY GERAREMESSABOLSR");
  std::map<std::string, std::string> per_flag;
  for (remessa.MoveFirst(); !remessa.eof(); remessa.MoveNext()) {
    per_flag[Text(remessa, "GERAREMESSABOLSR")] = Text(remessa, "N");
  }
  EXPECT_EQ(per_flag["S"], "1");
  EXPECT_NE(per_flag["N"], "");
}

TEST_P(DemoDataTest, CompanyQueryReadsNoNull) {
  // The company query of the start-up, as the program writes it.
  RowSet company = Rows(
      " SELECT EMPRESA.NOME AS NOME, EMPRESA.NOMEABREV AS NOMEABREV, EMPRESA.MOEDAPADRAO AS "
      "MOEDAPADRAO,  EMPRESA.ENDCOBRANCA AS ENDCOBRANCA, EMPRESA.ENDPAGAMENTO AS ENDPAGAMENTO,  "
      "EMPRESA.USASAI AS USASAI, EMPRESA.TIPOEMPRESA AS TIPOEMPRESA, EMPRESA.CODIGOEMPRESA AS "
      "CODIGOEMPRESA,  PARAMIMP.LOCALANEXO AS LOCALANEXO  FROM EMPRESA, PARAMIMP  WHERE "
      "EMPRESA.CODIGO = '01' ");
  ASSERT_EQ(company.row_count(), 1u);
  for (const char* column : {"Nome", "NomeAbrev", "MoedaPadrao", "EndCobranca", "EndPagamento",
                             "TipoEmpresa", "CODIGOEMPRESA", "UsaSai", "LocalAnexo"}) {
    EXPECT_TRUE(Value(company, column).has_value()) << column;
  }
  EXPECT_EQ(Text(company, "MoedaPadrao"), "R$");
  EXPECT_EQ(Text(company, "EndCobranca"), "00");
  EXPECT_EQ(Text(company, "Nome"), "TECELAGEM MODELO IND\xC3\x9ASTRIA E COM\xC3\x89RCIO LTDA");

  // The print directory is this checkout's demo/print, with the company's logo folder.
  const std::filesystem::path print_dir =
      std::filesystem::canonical(std::filesystem::path(SourceDir()) / "demo" / "print");
  EXPECT_EQ(TrimText(Text(company, "LocalAnexo")), print_dir.string());
  EXPECT_TRUE(std::filesystem::is_directory(print_dir / "BMP" / "01"));

  // The beneficiary's 14-digit CNPJ, printed after a "0" is put in front.
  RowSet beneficiary = Rows(
      "SELECT CGC, ENDERECO, BAIRRO, CIDADE, ESTADO FROM EMPRESA "
      "WHERE  Codigo  = '01' ");
  ASSERT_EQ(beneficiary.row_count(), 1u);
  const std::string cgc = Text(beneficiary, "CGC");
  EXPECT_TRUE(AllDigits(cgc) && cgc.size() == 14) << cgc;
  for (const char* column : {"ENDERECO", "BAIRRO", "CIDADE", "ESTADO"}) Text(beneficiary, column);
}

TEST_P(DemoDataTest, PayersReadBackAsStored) {
  struct Payer {
    const char* code;
    const char* name;    // UTF-8 bytes
    const char* kind;    // CGC_CPF: "J" company, "F" individual
    const char* tax_id;  // CGC (15 characters, leading 0) or CPF (11 digits)
    size_t cep_digits;   // postal code as stored: 7 gets a leading zero when printed
  };
  const Payer payers[] = {
      {"000001",
       "CONFEC\xC3\x87\xC3\x95"
       "ES BOA VISTA LTDA",
       "J", "061740258000119", 7},
      {"000002", "JOS\xC3\x89 DA CONCEI\xC3\x87\xC3\x83O", "F", "71460238508", 8},
      {"000003", "MERCADINHO S\xC3\x83O JO\xC3\x83O LTDA", "J", "009361547000197", 8},
  };
  for (const Payer& payer : payers) {
    SCOPED_TRACE(payer.code);
    RowSet row = Rows(
        "SELECT AEMPR_RAZAO_SOCIAL As NOME, AEMPR_CGC As CGC, AEMPR_CPF As CPF, "
        "AEMPR_CGC_CPF AS CGCCPF, AEMPR_CEP As Cep FROM SUPAEMPR WHERE AEMPR_TIPO = "
        "'C' AND AEMPR_CODIGO = " +
        Quoted(payer.code));
    ASSERT_EQ(row.row_count(), 1u);
    EXPECT_EQ(Text(row, "NOME"), payer.name);
    EXPECT_EQ(Text(row, "CGCCPF"), payer.kind);
    EXPECT_EQ(Text(row, std::string(payer.kind) == "F" ? "CPF" : "CGC"), payer.tax_id);
    const std::string cep = Text(row, "Cep");
    EXPECT_TRUE(AllDigits(cep) && cep.size() == payer.cep_digits) << cep;
  }

  // The second address of the first payer, for a company that bills there.
  RowSet address = Rows(
      "SELECT AENDR_RUA_AV, AENDR_COMPL, AENDR_CEP FROM SUPAENDR "
      "WHERE AENDR_TIPO_EMPR = 'C' AND AENDR_CODIGO = '000001' "
      "AND AENDR_NUM_ENDER = '02'");
  ASSERT_EQ(address.row_count(), 1u);
  EXPECT_EQ(Text(address, "AENDR_RUA_AV"), "RUA DO COM\xC3\x89RCIO");
}

INSTANTIATE_TEST_SUITE_P(Engines, DemoDataTest,
                         ::testing::Values(Engine::kSqlite, Engine::kPostgresql), EngineName);

// ---------------------------------------------------------------------------
// The argument texts printed by the script.

TEST(DemoScript, ArgumentTextsAddressEveryInstallment) {
  const std::string dir = ::boleto::testing::MakeTempDir("bsa");
  ASSERT_FALSE(dir.empty());
  // The connect string goes to standard error: standard output holds only
  // argument texts, one per installment, ready for a batch.
  const CommandOutput run =
      RunDemoScript("--arguments --installments 20 --sqlite " + ShellQuote(dir + "/a.db") +
                    " 2>" + ShellQuote(dir + "/connect"));
  ASSERT_EQ(run.exit_status, 0);
  std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), std::size(kInstallments) + 20);
  const std::string connect = Lines(::boleto::testing::ReadFile(dir + "/connect")).at(0);
  EXPECT_EQ(connect, "DRIVER=SQLite3;Database=" + dir + "/a.db");
  lines.insert(lines.begin(), connect);

  Result<std::unique_ptr<Database>> db = OpenOdbcDatabase(connect);
  ASSERT_TRUE(db.ok()) << db.error().description;
  std::set<std::string> keys;
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::string& text = lines[i];
    SCOPED_TRACE(text);
    ASSERT_EQ(text.size(), 133u);
    // 1-based columns: tag 1-15, connect 16-78, then the keys and the user.
    auto field = [&](size_t first, size_t width) { return text.substr(first - 1, width); };
    for (size_t separator : {79, 82, 91, 102, 106, 115, 118}) {
      EXPECT_EQ(text[separator - 1], ' ') << "column " << separator;
    }
    EXPECT_EQ(TrimText(field(1, 15)), "SQLITE");
    EXPECT_EQ(TrimText(field(16, 63)), connect);
    EXPECT_EQ(field(80, 2), "01");
    EXPECT_EQ(TrimText(field(119, 15)), "DEMO");
    const std::string where = "WHERE CODIGOEMP = " + Quoted(field(80, 2)) +
                              " AND CODIGOUNIDADE = " + Quoted(field(83, 8)) +
                              " AND CODIGODOCUMENTO = " + Quoted(field(92, 10)) +
                              " AND SERIE = " + Quoted(field(103, 3)) +
                              " AND NUMERO = " + Quoted(field(107, 8)) +
                              " AND PARCELA = " + Quoted(field(116, 2));
    Result<RowSet> row = (*db)->Query("SELECT PARCELA FROM PARCELAR " + where);
    ASSERT_TRUE(row.ok()) << row.error().description;
    EXPECT_EQ(row->row_count(), 1u);
    keys.insert(text.substr(79));
  }
  EXPECT_EQ(keys.size(), std::size(kInstallments) + 20);
  db.value().reset();
  ::boleto::testing::RemoveTree(dir);
}

TEST(DemoScript, RebuildReplacesTheDatabase) {
  const std::string dir = ::boleto::testing::MakeTempDir("bsr");
  ASSERT_FALSE(dir.empty());
  const std::string file = dir + "/r.db";
  ASSERT_EQ(RunDemoScript("--sqlite " + ShellQuote(file)).exit_status, 0);
  {
    // A change that a rebuild must undo.
    Result<std::unique_ptr<Database>> db = OpenOdbcDatabase("DRIVER=SQLite3;Database=" + file);
    ASSERT_TRUE(db.ok());
    ASSERT_TRUE((*db)->Execute("DELETE FROM PARCELAR WHERE PARCELA = '02'").ok());
  }
  ASSERT_EQ(RunDemoScript("--sqlite " + ShellQuote(file)).exit_status, 0);
  Result<std::unique_ptr<Database>> db = OpenOdbcDatabase("DRIVER=SQLite3;Database=" + file);
  ASSERT_TRUE(db.ok());
  Result<RowSet> rows = (*db)->Query("SELECT * FROM PARCELAR");
  ASSERT_TRUE(rows.ok());
  EXPECT_EQ(rows->row_count(), std::size(kInstallments));
  db.value().reset();
  // Nothing of the build is left beside the database.
  size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir)) ++entries;
  EXPECT_EQ(entries, 1u);
  ::boleto::testing::RemoveTree(dir);
}

TEST(DemoScript, UnknownOptionIsBadUsage) {
  EXPECT_EQ(RunDemoScript("--sqllite x.db 2>/dev/null").exit_status, 64);
}

// ---------------------------------------------------------------------------
// The logos: uncompressed 24-bit BMP files of the sizes the layout expects.

struct BmpHeader {
  bool valid = false;
  int32_t width = 0;
  int32_t height = 0;
  uint16_t bits = 0;
  uint32_t compression = 0;
};

uint32_t Le(const std::string& data, size_t at, size_t bytes) {
  uint32_t value = 0;
  for (size_t i = 0; i < bytes; ++i) {
    value |= static_cast<uint32_t>(static_cast<unsigned char>(data[at + i])) << (8 * i);
  }
  return value;
}

BmpHeader ReadBmpHeader(const std::string& path) {
  const std::string data = ReadFile(path);
  BmpHeader header;
  // File header (14 bytes) and BITMAPINFOHEADER (40 bytes).
  if (data.size() < 54 || data.compare(0, 2, "BM") != 0) return header;
  header.width = static_cast<int32_t>(Le(data, 18, 4));
  header.height = static_cast<int32_t>(Le(data, 22, 4));
  header.bits = static_cast<uint16_t>(Le(data, 28, 2));
  header.compression = Le(data, 30, 4);
  const uint32_t offset = Le(data, 10, 4);
  const size_t row = (static_cast<size_t>(header.width) * 3 + 3) / 4 * 4;
  header.valid = Le(data, 2, 4) == data.size() && Le(data, 14, 4) == 40 &&
                 offset + row * static_cast<size_t>(std::abs(header.height)) <= data.size();
  return header;
}

TEST(DemoLogos, AreUncompressedTwentyFourBitBitmaps) {
  const std::string bmp = SourceDir() + "/demo/print/BMP/";
  struct Logo {
    std::string file;
    int min_width, max_width, min_height, max_height;
  };
  std::vector<Logo> logos = {{"01/LOGOBOLR.BMP", 600, 800, 90, 140}};
  for (const char* bank : {"409", "237", "001", "033", "341", "399", "104", "756"}) {
    logos.push_back({std::string(bank) + "/LOGO.BMP", 90, 130, 24, 40});
  }
  for (const Logo& logo : logos) {
    SCOPED_TRACE(logo.file);
    const BmpHeader header = ReadBmpHeader(bmp + logo.file);
    ASSERT_TRUE(header.valid);
    EXPECT_EQ(header.bits, 24);
    EXPECT_EQ(header.compression, 0u);  // BI_RGB
    EXPECT_GE(header.width, logo.min_width);
    EXPECT_LE(header.width, logo.max_width);
    EXPECT_GE(std::abs(header.height), logo.min_height);
    EXPECT_LE(std::abs(header.height), logo.max_height);
  }
  // Some banks have no logo, so that their boletos print the description.
  EXPECT_FALSE(std::filesystem::exists(bmp + "356/LOGO.BMP"));
  EXPECT_FALSE(std::filesystem::exists(bmp + "021/LOGO.BMP"));
}

}  // namespace
}  // namespace boleto
