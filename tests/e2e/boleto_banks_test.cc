// The built boleto-sr printing every demo installment, one per bank (and
// the document of three installments), against a SQLite database built from
// the schema and the demo rows: the PDF's text holds the printed line, the
// document value, the payer lines and the instruction lines; a 300-dpi PNG
// of the same boleto decodes to the barcode that the printed line encodes;
// the installment records what was printed. On PostgreSQL the same program
// runs with the dialect tags "POSTGRESQL" and "SQLSERVER".
//
// The expected printed lines are not copied from the program: the test
// composes them from the bank code, the due-date factor (counted here from
// the due date), the amount due (worked out by hand from the demo rows) and
// the bank's free field, with the check digits computed here.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "db/database.h"
#include "e2e/demo_database.h"
#include "e2e/program_runner.h"
#include "support/cups_server.h"
#include "support/paths.h"
#include "support/postgres_cluster.h"
#include "support/sqlite_fixture.h"

namespace boleto::testing {
namespace {

namespace fs = std::filesystem;
using std::chrono::days;
using std::chrono::sys_days;
using std::chrono::year_month_day;

// --- Independent barcode arithmetic (FEBRABAN) ---------------------------

// Modulus 10, weights 2,1,2,1... from the rightmost digit, products above 9
// reduced to the sum of their digits.
char Mod10(const std::string& digits) {
  int sum = 0, weight = 2;
  for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
    int p = (*it - '0') * weight;
    sum += p > 9 ? p - 9 : p;
    weight = 3 - weight;
  }
  return static_cast<char>('0' + (10 - sum % 10) % 10);
}

// The barcode's general digit: modulus 11, weights 2..9 from the right;
// 0, 1 and 10 as results become 1.
char BarcodeDigit(const std::string& digits43) {
  int sum = 0, weight = 2;
  for (auto it = digits43.rbegin(); it != digits43.rend(); ++it) {
    sum += (*it - '0') * weight;
    weight = weight == 9 ? 2 : weight + 1;
  }
  const int d = 11 - sum % 11;
  return static_cast<char>(d == 0 || d == 1 || d >= 10 ? '1' : '0' + d);
}

// Days from 07/10/1997 while they fit 1000-9999, else from 29/05/2022.
std::string DueDateFactor(int y, int m, int d) {
  const sys_days due{
      year_month_day{std::chrono::year{y}, std::chrono::month(m), std::chrono::day(d)}};
  const auto from = [&](int by, int bm, int bd) {
    const sys_days base{
        year_month_day{std::chrono::year{by}, std::chrono::month(bm), std::chrono::day(bd)}};
    return std::abs((due - base).count());
  };
  long n = from(1997, 10, 7);
  if (n < 1000 || n > 9999) n = from(2022, 5, 29) % 10000;
  std::string text = std::to_string(n);
  return std::string(4 - text.size(), '0') + text;
}

struct Codes {
  std::string barcode;  // 44 digits
  std::string printed;  // 54 characters
};

Codes Compose(const std::string& bank, const std::string& factor, const std::string& cents10,
              const std::string& free) {
  const std::string prefix = bank + "9";
  const std::string tail = factor + cents10;
  const char dv = BarcodeDigit(prefix + tail + free);
  const std::string f1 = prefix + free.substr(0, 5);
  const std::string f2 = free.substr(5, 10);
  const std::string f3 = free.substr(15, 10);
  Codes c;
  c.barcode = prefix + dv + tail + free;
  c.printed = f1.substr(0, 5) + "." + f1.substr(5) + Mod10(f1) + " " + f2.substr(0, 5) + "." +
              f2.substr(5) + Mod10(f2) + " " + f3.substr(0, 5) + "." + f3.substr(5) + Mod10(f3) +
              " " + dv + " " + tail;
  return c;
}

// The barcode read back from the printed line's eight pieces.
std::string BarcodeOfPrinted(const std::string& p) {
  if (p.size() != 54) return "";
  return p.substr(0, 4) + p.substr(38, 1) + p.substr(40, 14) + p.substr(4, 1) + p.substr(6, 4) +
         p.substr(12, 5) + p.substr(18, 5) + p.substr(25, 5) + p.substr(31, 5);
}

// --- One row per demo installment ------------------------------------------

struct BankCase {
  const char* name;  // test name
  const char* document;
  const char* serie;
  const char* numero;
  const char* parcela;
  const char* bank;
  int due_y, due_m, due_d;
  const char* cents;                    // AmountDue in cents, 10 digits (worked out by hand)
  const char* value_text;               // AmountDueText
  const char* free_field;               // the bank's 25 digits
  std::vector<std::string> page_texts;  // payer lines, instruction lines, captions
  const char* id_bancaria;              // as stored, 20 characters
  const char* receipt;                  // NumeroRecebimento
};

const std::string kPayer1 =
    "CONFECÇÕES BOA VISTA LTDA - 61.740.258/0001-19\n"
    "AVENIDA PAULISTA,1000/CONJ 12\n"
    "BELA VISTA-SÃO PAULO-SP CEP:01310-100";  // CEP stored with 7 digits
const std::string kPayer2 =
    "JOSÉ DA CONCEIÇÃO - 714.602.385-08\n"
    "RUA DAS FLORES,25/APTO 301\n"
    "CENTRO-BELO HORIZONTE-MG CEP:30110-012";
const std::string kPayer3 =
    "MERCADINHO SÃO JOÃO LTDA - 09.361.547/0001-97\n"
    "ESTRADA DO CAMPO LIMPO,/\n"  // street number 0 prints nothing
    "CAMPO LIMPO-SÃO PAULO-SP CEP:05777-001";
const char kNoAfter30[] = "NÃO RECEBER APÓS 30 DIAS DO VENCIMENTO";
const char kProtest5[] = "PROTESTAR APÓS 5 DIAS ÚTEIS DO VENCIMENTO";

std::vector<std::string> Lines(std::initializer_list<std::string> parts) {
  std::vector<std::string> out;
  for (const std::string& part : parts) {
    size_t start = 0;
    for (size_t nl; (nl = part.find('\n', start)) != std::string::npos; start = nl + 1) {
      out.push_back(part.substr(start, nl - start));
    }
    out.push_back(part.substr(start));
  }
  return out;
}

const std::vector<BankCase>& BankCases() {
  static const std::vector<BankCase> cases = {
      // 409: 1.234,56 - 34,56 deductions = 1.200,00. Free field "5", agreement
      // 2031671, "00", base 000000001001 01, digit: weights 7..2 over the base
      // give 7 + 4 + 2 = 13, remainder 2, 11 - 2 = 9.
      {"Unibanco409", "DM", "1", "1001", "01", "409", 2026, 4, 15, "0000120000", "1.200,00",
       "5203167100000000001001019",
       Lines({kPayer1, "Valor Principal de R$ 1.234,56", "Out.Abatimentos de R$ 34,56", kNoAfter30,
              kProtest5, "| 409-0 |", "000000001001/01-9"}),
       "000000001001019     ", "0000100101"},
      // 237: 2.345,67 + 2,50 fee - 25,00 discount = 2.323,17; interest 0,0333 %
      // of 2.348,17 = 0,78; fine 2 % = 46,96. Free field: agency 1234,
      // portfolio 09, number 000001002, installment 01, account 0012345, 0.
      {"Bradesco237", "DM", "1", "1002", "01", "237", 2026, 4, 30, "0000232317", "2.323,17",
       "1234090000010020100123450",
       Lines({kPayer1, "Valor Principal de R$ 2.345,67", "Desconto até o vencimento de R$ 25,00",
              "Após vencimento juros diários de R$ 0,78",
              "Após vencimento multa de R$ 46,96 Taxa Bancária de R$ 2,50", kNoAfter30, kProtest5,
              "| 237-2 |"}),
       "09000001002018      ", "0000100201"},
      // 001, seven-digit agreement: "000000", 1234567, 00001003 01, portfolio 18.
      {"BancoDoBrasil001", "DM", "1", "1003", "01", "001", 2026, 5, 5, "0000098765", "987,65",
       "0000001234567000010030118",
       Lines({kPayer2, "Valor Principal de R$ 987,65", kNoAfter30, "NÃO DISPENSAR JUROS DE MORA",
              "| 001-9 |"}),
       "12345670000100301   ", "0000100301"},
      // 033: 4.321,00 + 15,00 additions = 4.336,00. Free field "9", code 7654321,
      // base 000000100401, digit (weights 5432987654 32: 7 + 16 + 2 = 25,
      // remainder 3, 11 - 3 = 8), "0", portfolio 101.
      {"Santander033", "DM", "1", "1004", "01", "033", 2026, 6, 10, "0000433600", "4.336,00",
       "9765432100000010040180101",
       Lines({kPayer1, "Valor Principal de R$ 4.321,00", "Out.Acrescimos de R$ 15,00", kNoAfter30,
              kProtest5, "ECR"}),
       "0000001004018       ", "0000100401"},
      // 356: 5.000,00 + 1,90 fee; no logo: the description "Banco Real" prints.
      // Free field: agency 0501, account 6703255, digit, number 00000001005 01;
      // the reference stored is the number's rightmost seven digits.
      {"Real356", "NFS", "2", "1005", "01", "356", 2026, 7, 20, "0000500190", "5.001,90",
       "0501670325530000000100501",
       Lines({kPayer3, "Valor Principal de R$ 5.000,00", "Taxa Bancária de R$ 1,90",
              "NÃO RECEBER APÓS 15 DIAS DO VENCIMENTO", kProtest5, "Banco Real", "NFS 2 1005"}),
       "0100501             ", "0000100501"},
      // 341: 1.234,56 - 18,52 tax = 1.216,04; 3 % discount = 36,48 until
      // 31/08 - 5 days = 26/08, before the due date: announced, not deducted.
      // Free field: portfolio 109, number 00100601, DAC, agency 0057, account
      // 12345, digit 7, "000".
      {"Itau341", "DM", "1", "1006", "01", "341", 2026, 8, 31, "0000121604", "1.216,04",
       "1090010060120057123457000",
       Lines({kPayer1, "Valor Principal de R$ 1.234,56 Imp.Ret.na Fonte de R$ 18,52",
              "Desconto até 26/08/2026 de R$ 36,48", kNoAfter30,
              "PROTESTAR APÓS 10 DIAS CORRIDOS DO VENCIMENTO"}),
       "00100601            ", "0000100601"},
      // 399 CNR, due 01/02/2027: code 3903125, number 0000000100701, Julian
      // date 032 and 7, "2".
      {"Hsbc399", "DM", "1", "1007", "01", "399", 2027, 2, 1, "0000078901", "789,01",
       "3903125000000010070103272",
       Lines({kPayer2, "Valor Principal de R$ 789,01", kNoAfter30, kProtest5, "CNR"}),
       "0000100701741007    ", "0000100701"},
      // 104, six-character code, remittance account: interest 0,033 % of
      // 1.500,00 = 0,495 (printed 0,50), fine 30,00. Free field: code 654321,
      // its digit (7,6,5,4,3,2: 112, remainder 2, 9), 000, "1" (remittance),
      // 000, "4", 000100801, then the field's own digit.
      {"Caixa104", "DM", "1", "1008", "01", "104", 2026, 10, 15, "0000150000", "1.500,00",
       "6543219000100040001008011",
       Lines({kPayer1, "Valor Principal de R$ 1.500,00", "Após vencimento juros diários de R$ 0,50",
              "Após vencimento multa de R$ 30,00", kNoAfter30,
              "SUJEITO A PROTESTO APÓS O VENCIMENTO"}),
       "24000000000100801   ", "0000100801"},
      // 756: modality 1, agency 4321, "01", code 1234567, number 0001009,
      // its digit, installment 001.
      {"Sicoob756", "NFS", "2", "1009", "01", "756", 2026, 11, 30, "0000250050", "2.500,50",
       "1432101123456700010097001",
       Lines({kPayer2, "Valor Principal de R$ 2.500,50", kNoAfter30, kProtest5}),
       "000100970010        ", "0000100901"},
      // 021: no logo and no PARAMBANBOL row: the first word of the bank name.
      // Key 001010 01 12345678901 2 021 and its two digits.
      {"Banestes021", "DM", "1", "1010", "01", "021", 2026, 12, 21, "0000035075", "350,75",
       "0010100112345678901202146",
       Lines({kPayer3, "Valor Principal de R$ 350,75", kProtest5, kNoAfter30, "BANESTES"}),
       "0010100180          ", "0000101001"},
      // 001, six-digit agreement: 123456, seven zeros and 0000101101, "21".
      {"BancoDoBrasilSixDigits", "DM", "1", "1011", "01", "001", 2026, 5, 20, "0000100000",
       "1.000,00", "1234560000000000010110121",
       Lines({kPayer1, "Valor Principal de R$ 1.000,00", "NÃO DISPENSAR JUROS DE MORA", kNoAfter30,
              "01/03"}),
       "00000000000101101   ", "0000101101"},
      {"SecondOfThree237", "DM", "1", "1011", "02", "237", 2026, 6, 20, "0000100250", "1.002,50",
       "1234090000010110200123450",
       Lines({kPayer1, "Valor Principal de R$ 1.000,00", "Taxa Bancária de R$ 2,50", "02/03"}),
       "09000001011025      ", "0000101102"},
      // 104, sixteen-character code, no remittance: "82" and the number.
      {"CaixaSixteen104", "DM", "1", "1011", "03", "104", 2027, 1, 20, "0000100001", "1.000,01",
       "8200101103123487000000321",
       Lines({kPayer1, "Valor Principal de R$ 1.000,01", "03/03", "SR"}), "82001011035         ",
       "0000101103"},
  };
  return cases;
}

std::string Text(const std::string& pdf) {
  return RunProgram("/usr/bin/pdftotext", {"-layout", pdf, "-"}).out;
}

std::string Trimmed(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

// Each test gets its own database with the demo rows and a scratch folder.
class DemoDatabase {
 protected:
  void CreateDemo() {
    auto fx = SqliteFixture::Create();
    ASSERT_TRUE(fx.ok()) << fx.error().description;
    fixture_ = std::move(*fx);
    Status loaded = fixture_->Run(DemoRowsSql());
    ASSERT_TRUE(loaded.ok()) << loaded.error().description;
    out_ = MakeTempDir("bole2e");
  }
  void RemoveDemo() {
    fixture_.reset();
    if (!out_.empty()) RemoveTree(out_);
  }

  ProgramRun Print(const std::string& file, const char* document, const char* serie,
                   const char* numero, const char* parcela) {
    return RunProgram(ProgramPath(), {"--output", out_ + "/" + file,
                                      ArgumentText("SQLITE", fixture_->connect_string(), document,
                                                   serie, numero, parcela)});
  }

  std::string Rows(const std::string& query) { return RowsText(fixture_->db(), query); }

  std::unique_ptr<SqliteFixture> fixture_;
  std::string out_;
};

class BoletoBanks : public DemoDatabase, public ::testing::TestWithParam<BankCase> {
 protected:
  void SetUp() override { CreateDemo(); }
  void TearDown() override { RemoveDemo(); }
};

class BoletoLedger : public DemoDatabase, public ::testing::Test {
 protected:
  void SetUp() override { CreateDemo(); }
  void TearDown() override { RemoveDemo(); }
};

TEST_P(BoletoBanks, PrintsTheLineAndRecordsIt) {
  const BankCase& c = GetParam();
  const Codes expected =
      Compose(c.bank, DueDateFactor(c.due_y, c.due_m, c.due_d), c.cents, c.free_field);
  const std::string pdf = out_ + "/boleto.pdf";
  const ProgramRun run = Print("boleto.pdf", c.document, c.serie, c.numero, c.parcela);
  ASSERT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  const std::string text = Text(pdf);
  EXPECT_NE(text.find(expected.printed), std::string::npos) << expected.printed << "\n" << text;
  EXPECT_NE(text.find(c.value_text), std::string::npos) << text;
  for (const std::string& line : c.page_texts) {
    EXPECT_NE(text.find(line), std::string::npos) << "missing: " << line << "\n" << text;
  }

  const std::string key = std::string(" FROM PARCELAR WHERE NUMERO = '") + Pad(c.numero, 8) +
                          "' AND PARCELA = '" + c.parcela + "'";
  EXPECT_EQ(Rows("SELECT IDBANCARIA, NUMERORECEBIMENTO, DOCTORECEBIMENTO" + key),
            std::string(c.id_bancaria) + "|" + c.receipt + "|BOL-BANCAR\n");

  // The same boleto as a 300-dpi picture, printed from a fresh copy of the
  // demo (a remittance installment may not be printed twice): the bars
  // decode to the barcode that the printed line encodes.
  RemoveDemo();
  CreateDemo();
  const std::string png = out_ + "/boleto.png";
  const ProgramRun picture = Print("boleto.png", c.document, c.serie, c.numero, c.parcela);
  ASSERT_EQ(picture.exit_status, 0) << picture.err;
  EXPECT_EQ(BarcodeOfPrinted(expected.printed), expected.barcode);
  EXPECT_EQ(Trimmed(RunProgram("/usr/bin/zbarimg", {"--raw", "-q", png}).out), expected.barcode);
}

INSTANTIATE_TEST_SUITE_P(Demo, BoletoBanks, ::testing::ValuesIn(BankCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(BoletoLedger, RecordingAfterRepeatedPrints) {
  // The remittance account (Caixa 1008) draws reference 42 after the demo's
  // 41 and queues one REMESSAR row; printed again, the installment is now in
  // a remittance and refused. The Bradesco fee (1002) is added once over two
  // prints; Itaú's (1006) scheduled date is the discount limit; the other
  // installments stay untouched.
  const struct {
    const char* numero;
    int exit_status;
  } prints[] = {{"1008", 0}, {"1008", 1}, {"1002", 0}, {"1002", 0}, {"1006", 0}};
  for (const auto& p : prints) {
    const ProgramRun run = Print("boleto.pdf", "DM", "1", p.numero, "01");
    EXPECT_EQ(run.exit_status, p.exit_status) << p.numero << ": " << run.err;
  }
  EXPECT_EQ(Rows("SELECT NUMERO FROM DOCNUMERO WHERE CODIGO = 'REFBANCAR '"), "0000000042\n");
  EXPECT_EQ(Rows("SELECT NUMERO, REFBANCARIA, IDBANCARIA, OCORRENCIA, DATAPROCESSO FROM REMESSAR"),
            "1008    |0000000042|24000000000100801   |REMESBS   |NULL\n");
  EXPECT_EQ(Rows("SELECT REFBANCARIA FROM PARCELAR WHERE NUMERO = '1008    '"), "0000000042\n");
  EXPECT_EQ(Rows("SELECT VALOROUTROC FROM PARCELAR WHERE NUMERO = '1002    '"), "2.5\n");
  EXPECT_EQ(Rows("SELECT PROGRAMADA FROM PARCELAR WHERE NUMERO = '1006    '"), "2026-08-26\n");
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM PARCELAR WHERE DOCTORECEBIMENTO = 'BOL-BANCAR'"), "3\n");
  EXPECT_EQ(Rows("SELECT DATAOCORRENCIA = date('now', 'localtime') FROM REMESSAR"), "1\n");
}

TEST_F(BoletoLedger, PrintsOnAQueueUnderTheInstallmentsName) {
  // The program on a CUPS server of the test's own, on the queue whose
  // defaults are Letter, fit-to-page and two copies: the job is named after
  // the installment and prints one A4 page; then the installment is recorded.
  // A stopped (paused) queue takes the job all the same: the installment is
  // recorded, the clerk is told that the queue is stopped, and the job
  // prints once the queue is resumed.
  SavedEnvironment environment;
  CupsServer server;
  const std::string not_here = server.Start();
  if (!not_here.empty()) {
    server.Stop();
    GTEST_SKIP() << "no CUPS server in this sandbox: " << not_here;
  }
  const std::string& queue = server.letter_queue();
  const struct {
    const char* numero;
    bool stopped;
    std::string err;
  } prints[] = {
      {"1003", false, ""},
      {"1002", true,
       "A fila de impressão \"" + queue +
           "\" está parada: o trabalho foi aceito e será impresso quando a fila for retomada.\n"},
  };
  for (const auto& p : prints) {
    SCOPED_TRACE(p.numero);
    if (p.stopped) server.Run("cupsdisable " + queue);
    const ProgramRun run =
        RunProgram(ProgramPath(),
                   {"--printer", queue,
                    ArgumentText("SQLITE", fixture_->connect_string(), "DM", "1", p.numero, "01")},
                   {"CUPS_SERVER=" + server.socket()});
    cups_job_t* jobs = nullptr;
    const int waiting =
        cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue.c_str(), 0, CUPS_WHICHJOBS_ACTIVE);
    cupsFreeJobs(waiting, jobs);
    if (p.stopped) server.Run("cupsenable " + queue);
    EXPECT_EQ(run.exit_status, 0) << run.err;
    EXPECT_EQ(run.err, p.err);
    if (p.stopped) {
      EXPECT_EQ(waiting, 1);
    }
    // No ASSERT before the server is stopped: it would be left running.
    const CupsServer::Job job = server.WaitForLastJob(queue).value_or(CupsServer::Job{});
    EXPECT_EQ(job.title, "Boleto 01 DM 1 " + std::string(p.numero) + "/01");
    EXPECT_EQ(job.state, IPP_JSTATE_COMPLETED);
    EXPECT_EQ(Rows(std::string("SELECT DOCTORECEBIMENTO FROM PARCELAR WHERE NUMERO = '") +
                   p.numero + "    '"),
              "BOL-BANCAR\n");
  }
  std::optional<std::string> pdf = server.WaitForPdf(queue);
  const std::string info = pdf ? RunProgram("/usr/bin/pdfinfo", {*pdf}).out : "";
  server.Stop();
  EXPECT_TRUE(std::regex_search(info, std::regex("\nPages: +1\n"))) << info;
  EXPECT_NE(info.find("595 x 842 pts (A4)"), std::string::npos) << info;
}

TEST_F(BoletoLedger, CompanyFolderWithoutAnyLogoEndsInTheErrorReport) {
  // The company folder exists (the logo directory check passes) but holds
  // neither LOGOBOLR.BMP nor LOGO.BMP: the error is reported before anything
  // is printed or written.
  const std::string print_dir = out_ + "/print";
  fs::create_directories(print_dir + "/BMP/01");
  ASSERT_TRUE(fixture_->Run("UPDATE PARAMIMP SET LOCALANEXO = '" + print_dir + "'").ok());
  const ProgramRun run = Print("boleto.pdf", "DM", "1", "1002", "01");
  EXPECT_EQ(run.exit_status, 2);
  EXPECT_EQ(run.err.rfind("Error #  53\n", 0), 0u) << run.err;
  EXPECT_NE(run.err.find(print_dir + "/BMP/01/LOGO.BMP"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(out_ + "/boleto.pdf"));
  EXPECT_EQ(Rows("SELECT IDBANCARIA, NUMERORECEBIMENTO, DOCTORECEBIMENTO, VALOROUTROC FROM "
                 "PARCELAR WHERE NUMERO = '1002    '"),
            "NULL|          |          |0\n");
}

TEST_F(BoletoLedger, WithoutAnyFontNothingIsPrintedOrWritten) {
  // The font folders hidden under an empty file system in a mount namespace
  // of the program's own (possible for root only): the first text cannot be
  // printed, which is reported before the page is handed over.
  const std::string hide = "mount -t tmpfs none /usr/share/fonts && exec \"$0\" \"$@\"";
  if (RunProgram("/usr/bin/unshare", {"-m", "sh", "-c", hide, "true"}).exit_status != 0) {
    GTEST_SKIP() << "the font folders cannot be hidden here";
  }
  const ProgramRun run =
      RunProgram("/usr/bin/unshare",
                 {"-m", "sh", "-c", hide, ProgramPath(), "--output", out_ + "/boleto.pdf",
                  ArgumentText("SQLITE", fixture_->connect_string(), "DM", "1", "1002", "01")});
  EXPECT_EQ(run.exit_status, 2) << run.err;
  EXPECT_EQ(run.err.rfind("Error #  482\n", 0), 0u) << run.err;
  EXPECT_NE(run.err.find("No font is installed to print "), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(out_ + "/boleto.pdf"));
  EXPECT_EQ(Rows("SELECT IDBANCARIA, NUMERORECEBIMENTO, DOCTORECEBIMENTO, VALOROUTROC FROM "
                 "PARCELAR WHERE NUMERO = '1002    '"),
            "NULL|          |          |0\n");
}

// --- PostgreSQL -------------------------------------------------------------

class BoletoOnPostgres : public ::testing::TestWithParam<const char*> {};

TEST_P(BoletoOnPostgres, PrintsAndRecords) {
  const std::string tag = GetParam();
  auto cluster = PostgresCluster::Shared();
  ASSERT_TRUE(cluster.ok()) << cluster.error().description;
  auto connect = (*cluster)->NewDatabase();
  ASSERT_TRUE(connect.ok()) << connect.error().description;
  Status loaded = (*cluster)->Run(DemoRowsSql(), *connect);
  ASSERT_TRUE(loaded.ok()) << loaded.error().description;
  // The "SQLSERVER" dialect's SQL runs unchanged: its clock function is
  // provided; its 'YYYY/MM/DD' date literals PostgreSQL reads as they are.
  Status getdate = (*cluster)->Run(
      "CREATE FUNCTION GETDATE() RETURNS timestamp AS 'SELECT LOCALTIMESTAMP(0)' LANGUAGE SQL",
      *connect);
  ASSERT_TRUE(getdate.ok()) << getdate.error().description;
  const std::string out = MakeTempDir("bolpg");

  // Itaú (discount limit written as a date literal) and Caixa (remittance
  // row with the server's date and time).
  struct Run {
    const char* numero;
    const char* line;
  } runs[] = {
      {"1006", "34191.09008 10060.120051 71234.570001 6 15550000121604"},
      {"1008", "10496.54328 19000.100040 00010.080117 3 16000000150000"},
  };
  for (const Run& r : runs) {
    const std::string pdf = out + "/" + r.numero + ".pdf";
    const ProgramRun run = RunProgram(
        ProgramPath(), {"--output", pdf, ArgumentText(tag, *connect, "DM", "1", r.numero, "01")});
    ASSERT_EQ(run.exit_status, 0) << tag << " " << r.numero << ": " << run.err;
    EXPECT_NE(Text(pdf).find(r.line), std::string::npos) << tag << " " << r.numero;
  }

  auto db = (*cluster)->Open(*connect);
  ASSERT_TRUE(db.ok()) << db.error().description;
  auto rows = (*db)->Query(
      "SELECT NUMERO, IDBANCARIA, NUMERORECEBIMENTO, DOCTORECEBIMENTO, "
      "COALESCE(CAST(PROGRAMADA AS VARCHAR(10)), '-') AS P, COALESCE(REFBANCARIA, '-') AS R "
      "FROM PARCELAR WHERE NUMERO IN ('1006    ', '1008    ') ORDER BY NUMERO");
  ASSERT_TRUE(rows.ok()) << rows.error().description;
  std::string state;
  for (; !rows->eof(); rows->MoveNext()) {
    for (const char* col :
         {"NUMERO", "IDBANCARIA", "NUMERORECEBIMENTO", "DOCTORECEBIMENTO", "P", "R"}) {
      state += **rows->Value(col) + "|";
    }
    state += "\n";
  }
  EXPECT_EQ(state,
            "1006    |00100601            |0000100601|BOL-BANCAR|2026-08-26|-|\n"
            "1008    |24000000000100801   |0000100801|BOL-BANCAR|-|0000000042|\n")
      << tag;
  auto remittance = (*db)->Query(
      "SELECT REFBANCARIA, IDBANCARIA, CASE WHEN DATAOCORRENCIA = CURRENT_DATE THEN 'today' ELSE "
      "'other' END AS D "
      "FROM REMESSAR");
  ASSERT_TRUE(remittance.ok()) << remittance.error().description;
  ASSERT_FALSE(remittance->eof()) << tag;
  EXPECT_EQ(**remittance->Value("REFBANCARIA"), "0000000042");
  EXPECT_EQ(**remittance->Value("IDBANCARIA"), "24000000000100801   ");
  EXPECT_EQ(**remittance->Value("D"), "today") << tag << ": the dialect's current date";
  RemoveTree(out);
}

INSTANTIATE_TEST_SUITE_P(Dialects, BoletoOnPostgres, ::testing::Values("POSTGRESQL", "SQLSERVER"));

}  // namespace
}  // namespace boleto::testing
