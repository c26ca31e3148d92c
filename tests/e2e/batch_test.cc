// Month-end batches through the built program, on SQLite and PostgreSQL: the
// demo installments with a paid one, a cancelled one, a malformed, a blank,
// a repeated line and lines with control characters go into one PDF of a
// page per printed installment, each page's barcode decoding to its own
// line; the database afterwards is what the same single runs one by one
// leave; the PDF, streamed to the disk, passes qpdf's check; a preview, a
// failed delivery and a run killed mid-way leave every table as it was (the
// killed one the earlier output too, and no temporary file); on a CUPS
// queue the batch is one job.
// The installments a clerk chooses with --select are those chosen by hand,
// and the batch prints each of them.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "e2e/demo_database.h"
#include "e2e/program_runner.h"
#include "support/cups_server.h"

namespace boleto::testing {
namespace {

// The demo's installments as (number, installment, document, series).
struct Key {
  const char* numero;
  const char* parcela;
  const char* document;
  const char* serie;
};
const Key kDemo[] = {
    {"1001", "01", "DM", "1"}, {"1002", "01", "DM", "1"},  {"1003", "01", "DM", "1"},
    {"1004", "01", "DM", "1"}, {"1005", "01", "NFS", "2"}, {"1006", "01", "DM", "1"},
    {"1007", "01", "DM", "1"}, {"1008", "01", "DM", "1"},  {"1009", "01", "NFS", "2"},
    {"1010", "01", "DM", "1"}, {"1011", "01", "DM", "1"},  {"1011", "02", "DM", "1"},
    {"1011", "03", "DM", "1"}};

// Every row of the tables a print writes, in key order; the remittance rows
// without the moment they were written.
std::string Tables(DemoOn& demo) {
  return demo.Rows("SELECT * FROM PARCELAR ORDER BY NUMERO, PARCELA") +
         demo.Rows(
             "SELECT CODIGOEMP, NUMERO, PARCELA, IDBANCARIA, REFBANCARIA, VALOR FROM "
             "REMESSAR ORDER BY NUMERO, PARCELA") +
         demo.Rows("SELECT * FROM DOCNUMERO ORDER BY CODIGOEMP, CODIGO") +
         demo.Rows("SELECT * FROM DOCUMENTOR ORDER BY NUMERO");
}

// The 44 barcode digits a 47-digit printed line stands for: bank and
// currency, the general digit, factor and amount, then the free field from
// the first three fields without their digits.
std::string BarcodeOfLine(std::string line) {
  line.erase(std::remove_if(line.begin(), line.end(), [](char c) { return c < '0' || c > '9'; }),
             line.end());
  if (line.size() != 47) return "";
  return line.substr(0, 4) + line.substr(32, 1) + line.substr(33, 14) + line.substr(4, 5) +
         line.substr(10, 10) + line.substr(21, 10);
}

// The demo's database under another spelling of its connect string: the
// SQLite file's path with a doubled "/", the PostgreSQL parts the other way
// round.
std::string OtherSpelling(const DemoOn& demo) {
  std::string connect = demo.connect_string();
  if (demo.tag() == "SQLITE") return connect.insert(connect.rfind('/'), "/");
  const size_t split = connect.find(';');
  return connect.substr(split + 1) + ";" + connect.substr(0, split);
}

// The file --output-dir writes an installment to.
std::string FileName(const Key& k) {
  return std::string("01-01-") + k.document + "-" + k.serie + "-" + k.numero + "-" + k.parcela +
         ".pdf";
}

// The names in a folder, sorted.
std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The digitable line printed on a page of a PDF, or "".
std::string PrintedLine(const std::string& pdf, int page) {
  static const std::regex line(R"(\d{5}\.\d{5} \d{5}\.\d{6} \d{5}\.\d{6} \d \d{14})");
  const std::string text = RunProgram("/usr/bin/pdftotext", {"-f", std::to_string(page), "-l",
                                                             std::to_string(page), pdf, "-"})
                               .out;
  std::smatch found;
  return std::regex_search(text, found, line) ? found.str() : "";
}

class BatchTest : public ::testing::TestWithParam<Engine> {
 protected:
  void SetUp() override {
    out_ = MakeTempDir("bolbatch");
    for (auto* demo : {&batch_, &single_}) {
      auto made = DemoOn::Create(GetParam());
      ASSERT_TRUE(made.ok()) << made.error().description;
      *demo = std::move(*made);
      // One installment paid and one document cancelled before the batch.
      ASSERT_TRUE((*demo)
                      ->db()
                      .Execute("UPDATE PARCELAR SET RECEBIMENTO = '2026-04-01' WHERE "
                               "NUMERO = '1001    '")
                      .ok());
      ASSERT_TRUE((*demo)
                      ->db()
                      .Execute("UPDATE DOCUMENTOR SET STATUS = 'C ' WHERE NUMERO = '1004    '")
                      .ok());
    }
  }
  void TearDown() override { RemoveTree(out_); }

  // The batch file as Notepad writes it (a byte-order mark first, CR LF):
  // every demo installment (the remittance one requested by a user written
  // in Windows-1252), then a malformed, a blank and a repeated line, two
  // lines with control characters in the user, an installment repeated
  // through another spelling of its database, and blank lines at the end.
  std::string BatchFile(DemoOn& demo) {
    std::string text = "\xEF\xBB\xBF";
    for (const Key& k : kDemo) {
      std::string line = demo.Argument(k.numero, k.parcela, k.document, k.serie);
      if (std::string(k.numero) == "1008") line.replace(118, 4, "JO\xC3O");
      text += line + "\n";
    }
    text += "SQLITE         DRIVER=SQLite3\n\n";
    text += demo.Argument("1003") + "\n";
    text += demo.Argument("1002").replace(120, 1, 1, '\0') + "\n";
    text += demo.Argument("1002").replace(118, 3, "\x1B[2J") + "\n";
    text += ArgumentText(demo.tag(), OtherSpelling(demo), "DM", "1", "1002", "01") + "\r\n";
    text += "   \r\n\r\n";
    const std::string file = out_ + "/batch.txt";
    std::ofstream(file) << text;
    return file;
  }

  std::unique_ptr<DemoOn> batch_;
  std::unique_ptr<DemoOn> single_;
  std::string out_;
};

// Every printed page is an installment recorded, whatever else was
// reported for it: a bank whose name cannot be read (error 94) is printed
// and recorded as a single run does, and every page after it still belongs
// to its own installment.
TEST_P(BatchTest, OnePdfOfEveryPrintedInstallmentRecordedAsSingleRunsWouldBe) {
  struct Case {
    const char* why;
    const char* change;  // applied before the batch and the single runs
    int exit_status;
    std::vector<const char*> said;
    bool one_file_each = false;  // --output-dir instead of one PDF
  };
  const Case cases[] = {
      {"the demo", "", 1, {"boleto-sr: 11 impressos, 5 recusados, 0 com erro\n"}},
      {"a file per installment, named by its key",
       "",
       1,
       {"boleto-sr: 11 impressos, 5 recusados, 0 com erro\n"},
       true},
      {"bank 237 without a name",
       "UPDATE BANCO SET NOME = NULL WHERE CODIGO = '237'",
       2,
       {"linha 2: 01 01 DM 1 1002/01: Error #  94 Invalid use of Null: Descricao",
        "linha 2: 01 01 DM 1 1002/01: impresso\n", "linha 12: 01 01 DM 1 1011/02: impresso\n",
        "boleto-sr: 11 impressos, 5 recusados, 2 com erro\n"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    if (&c != cases) {
      TearDown();
      SetUp();
    }
    if (*c.change != '\0') {
      for (auto* demo : {&batch_, &single_}) ASSERT_TRUE((*demo)->db().Execute(c.change).ok());
    }
    const std::string pdf = out_ + "/run.pdf";
    const std::string folder = out_ + "/files";
    std::filesystem::create_directory(folder);
    const ProgramRun run =
        RunProgram(ProgramPath(), {c.one_file_each ? "--output-dir" : "--output",
                                   c.one_file_each ? folder : pdf, "--batch", BatchFile(*batch_)});
    EXPECT_EQ(run.exit_status, c.exit_status) << run.err;
    std::vector<const char*> said = {
        "linha 14: texto de argumento incompleto",
        "linha 16: 01 01 DM 1 1003/01: repetida, impressa uma só vez",
        "linha 1: 01 01 DM 1 1001/01: Documento: DM 1 1001    /01-Parcela quitada.",
        "linha 4: 01 01 DM 1 1004/01: Documento: DM 1 1004    /01-Documento Cancelado.",
        "linha 17: texto de argumento com caractere de controle U+0000 na coluna 121 (usuário)\n",
        "linha 18: texto de argumento com caractere de controle U+001B na coluna 119 (usuário)\n",
        "linha 19: 01 01 DM 1 1002/01: repetida, impressa uma só vez\n",
        "linha 3: 01 01 DM 1 1003/01: impresso\n"};
    said.insert(said.end(), c.said.begin(), c.said.end());
    for (const char* line : said) {
      EXPECT_NE(run.err.find(line), std::string::npos) << line << "\n" << run.err;
    }
    EXPECT_EQ(run.err.find('\x1B'), std::string::npos) << run.err;
    // Blank lines name nothing and are passed over without a word.
    for (const char* unsaid : {"em branco", "linha 15", "linha 20", "linha 21"}) {
      EXPECT_EQ(run.err.find(unsaid), std::string::npos) << unsaid << "\n" << run.err;
    }
    EXPECT_EQ(batch_->Rows("SELECT MATRSEL FROM REMESSAR"), "JOÃO           \n");
    // The printed pages, in the batch's order: the pages of the one PDF,
    // or the one page of each installment's file.
    std::vector<std::pair<std::string, int>> pages;
    std::vector<std::string> files;
    for (const Key& k : kDemo) {
      const std::string numero = k.numero;
      if (numero != "1001" && numero != "1004") files.push_back(FileName(k));
    }
    if (c.one_file_each) {
      std::vector<std::string> sorted = files;
      std::sort(sorted.begin(), sorted.end());
      EXPECT_EQ(Names(folder), sorted);
      for (const std::string& name : files) pages.emplace_back(folder + "/" + name, 1);
    } else {
      EXPECT_TRUE(Names(folder).empty());
      for (int page = 1; page <= 11; ++page) pages.emplace_back(pdf, page);
    }
    for (const auto& [file, page] : pages) {
      if (page > 1) continue;
      const std::string info = RunProgram("/usr/bin/pdfinfo", {file}).out;
      EXPECT_TRUE(
          std::regex_search(info, std::regex(c.one_file_each ? "\nPages: +1\n" : "\nPages: +11\n")))
          << info;
      // Streamed to the disk page by page, the document is still a clean PDF.
      const ProgramRun check = RunProgram("/usr/bin/qpdf", {"--check", file});
      EXPECT_EQ(check.exit_status, 0) << check.out << check.err;
      EXPECT_EQ(check.out.find("WARNING") + check.err.find("WARNING"), 2 * std::string::npos)
          << check.out << check.err;
    }
    EXPECT_EQ(RowsText(batch_->db(),
                       "SELECT COUNT(*) FROM PARCELAR WHERE DoctoRecebimento = 'BOL-BANCAR'"),
              "11\n");
    // Each page's barcode is the one its printed line stands for.
    for (const auto& [file, page] : pages) {
      const std::string line = PrintedLine(file, page);
      ASSERT_FALSE(line.empty()) << file << " page " << page;
      ASSERT_EQ(RunProgram("/usr/bin/pdftoppm",
                           {"-f", std::to_string(page), "-l", std::to_string(page), "-r", "150",
                            "-gray", "-png", "-singlefile", file, out_ + "/p"})
                    .exit_status,
                0);
      const std::string decoded =
          RunProgram("/usr/bin/zbarimg", {"-q", "--raw", "-Si25.enable", out_ + "/p.png"}).out;
      EXPECT_EQ(decoded, BarcodeOfLine(line) + "\n") << file << " page " << page;
    }

    // The same installments, one run each, in the same order; each
    // installment's file holds what its single run prints.
    for (const Key& k : kDemo) {
      RunProgram(ProgramPath(), {"--output", out_ + "/single.pdf",
                                 single_->Argument(k.numero, k.parcela, k.document, k.serie)});
      if (c.one_file_each && std::filesystem::exists(folder + "/" + FileName(k))) {
        EXPECT_EQ(PrintedLine(folder + "/" + FileName(k), 1), PrintedLine(out_ + "/single.pdf", 1))
            << FileName(k);
      }
    }
    EXPECT_EQ(Tables(*batch_), Tables(*single_));
  }
}

// Each row once into one PDF and once into a file per installment.
TEST_P(BatchTest, PreviewAndFailedDeliveryLeaveEveryTableAsItWas) {
  const std::string before = Tables(*batch_);
  const std::string folder = out_ + "/files";
  std::filesystem::create_directory(folder);
  for (const bool one_file_each : {false, true}) {
    SCOPED_TRACE(one_file_each ? "--output-dir" : "--output");
    // Where the batch goes: the option and its value, `file` or `dir`.
    const auto to = [one_file_each](const std::string& file, const std::string& dir) {
      return one_file_each ? std::vector<std::string>{"--output-dir", dir}
                           : std::vector<std::string>{"--output", file};
    };
    const auto run = [this](std::vector<std::string> args) {
      args.insert(args.end(), {"--batch", BatchFile(*batch_)});
      return RunProgram(ProgramPath(), args);
    };
    const std::string pdf = out_ + "/preview.pdf";
    std::vector<std::string> args = to(pdf, folder);
    args.insert(args.begin(), "--preview");
    const ProgramRun preview = run(args);
    EXPECT_EQ(preview.exit_status, 1) << preview.err;
    EXPECT_NE(preview.err.find("11 em prévia, 5 recusados, 0 com erro; nada foi gravado"),
              std::string::npos)
        << preview.err;
    std::vector<std::string> written = {pdf};
    if (one_file_each) {
      written.clear();
      for (const std::string& name : Names(folder)) written.push_back(folder + "/" + name);
    }
    std::string text;
    for (const std::string& file : written) {
      text += RunProgram("/usr/bin/pdftotext", {file, "-"}).out;
    }
    size_t marks = 0;
    for (size_t at = text.find("PRÉVIA — SEM VALOR PARA PAGAMENTO"); at != std::string::npos;
         at = text.find("PRÉVIA", at + 1)) {
      ++marks;
    }
    EXPECT_EQ(marks, 11u);
    EXPECT_EQ(Names(folder).size(), one_file_each ? 11u : 0u);
    EXPECT_EQ(Tables(*batch_), before);

    // A folder that does not exist: refused before anything is drawn.
    const std::string missing = out_ + "/no/such/folder";
    const ProgramRun undelivered = run(to(missing + "/run.pdf", missing));
    EXPECT_EQ(undelivered.exit_status, 2) << undelivered.err;
    EXPECT_NE(undelivered.err.find(
                  one_file_each ? "boleto-sr: Cannot write the page to " + missing +
                                      ": No such file or directory\n"
                                : "o documento não foi entregue, nada foi gravado: Cannot write "
                                  "the page to " +
                                      missing + "/run.pdf: No such file or directory\n"),
              std::string::npos)
        << undelivered.err;
    EXPECT_EQ(Tables(*batch_), before);

    // Killed while its pages go to the disk (a file-size limit of 16 KiB, far
    // below the document's, raises SIGXFSZ, which no handler catches): the
    // earlier output is as it was and no temporary file is left beside it.
    const std::string earlier =
        one_file_each ? folder + "/01-01-DM-1-1003-01.pdf" : out_ + "/run.pdf";
    if (one_file_each) RemoveTree(folder);
    std::filesystem::create_directory(folder);
    std::ofstream(earlier, std::ios::binary) << "earlier";
    args = to(earlier, folder);
    args.insert(args.end(), {"--batch", BatchFile(*batch_)});
    // No core file either, wherever cores are kept.
    rlimit file_size, core_size;
    getrlimit(RLIMIT_FSIZE, &file_size);
    getrlimit(RLIMIT_CORE, &core_size);
    const rlimit small{16 << 10, file_size.rlim_max}, no_core{0, core_size.rlim_max};
    setrlimit(RLIMIT_FSIZE, &small);
    setrlimit(RLIMIT_CORE, &no_core);
    const ProgramRun killed = RunProgram(ProgramPath(), args);
    setrlimit(RLIMIT_FSIZE, &file_size);
    setrlimit(RLIMIT_CORE, &core_size);
    EXPECT_EQ(killed.signal, SIGXFSZ) << killed.err;
    EXPECT_EQ(ReadFile(earlier), "earlier");
    EXPECT_EQ(Names(out_),
              (std::vector<std::string>{"batch.txt", "files", "preview.pdf", "run.pdf"}));
    EXPECT_EQ(Names(folder), one_file_each ? std::vector<std::string>{"01-01-DM-1-1003-01.pdf"}
                                           : std::vector<std::string>{});
    EXPECT_EQ(Tables(*batch_), before);
  }
}

// What another clerk does between the drawing and the recording stays with
// that installment: the batch locks and reads its installments many at a
// time, and an installment changed meanwhile is reported and left as it is;
// when the lock of many fails, each installment is locked on its own, and
// only the one that cannot be locked fails. Triggers on the lock statement
// of installment 1003 stand in for the other clerk. With a file per
// installment, one whose file cannot be written (a folder holds its name)
// is not recorded either, and the others are.
TEST_P(BatchTest, AnInstallmentChangedOrLockedMeanwhileFailsAlone) {
  const bool pg = GetParam() == Engine::kPostgres;
  const std::string when_1003_is_locked =
      pg ? "WHEN (OLD.NUMERO = '1003    ' AND NEW.DoctoRecebimento IS NOT DISTINCT FROM "
           "OLD.DoctoRecebimento)"
         : "WHEN OLD.NUMERO = '1003    ' AND NEW.DoctoRecebimento IS OLD.DoctoRecebimento";
  struct Case {
    const char* why;
    const char* action;  // what the trigger does when 1003 is locked
    const char* timing;
    const char* said;
    const char* summary;
    int exit_status;
    bool file_held = false;  // no trigger: 1003's file name is a folder's
  };
  const Case cases[] = {
      {"paid meanwhile", "UPDATE PARCELAR SET RECEBIMENTO = '2026-12-01' WHERE NUMERO = '1003    '",
       "AFTER",
       "linha 3: 01 01 DM 1 1003/01: Documento: DM 1 1003    /01-Parcela quitada por outro usuário",
       "boleto-sr: 10 impressos, 6 recusados, 0 com erro", 1},
      {"lock refused",
       pg ? "RAISE EXCEPTION 'bloqueio recusado pelo teste'"
          : "SELECT RAISE(ABORT, 'bloqueio recusado pelo teste')",
       "BEFORE", "bloqueio recusado pelo teste", "boleto-sr: 10 impressos, 5 recusados, 1 com erro",
       2},
      {"its file cannot be written", "", "",
       "01 01 DM 1 1003/01: Error #  482 Cannot write the page to {FILES}/01-01-DM-1-1003-01.pdf: "
       "Is a directory (Origem : boleto-sr)",
       "boleto-sr: 10 impressos, 5 recusados, 1 com erro", 2, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    if (&c != cases) {
      TearDown();
      SetUp();
    }
    Database& db = batch_->db();
    const std::string trigger = std::string("CREATE TRIGGER meanwhile ") + c.timing +
                                " UPDATE OF DoctoRecebimento ON PARCELAR ";
    const std::string files = out_ + "/files";
    std::vector<std::string> to = {"--output", out_ + "/run.pdf"};
    if (c.file_held) {
      to = {"--output-dir", files};
      std::filesystem::create_directories(files + "/01-01-DM-1-1003-01.pdf");
    } else if (pg) {
      ASSERT_TRUE(
          db.Execute(std::string("CREATE FUNCTION meanwhile() RETURNS trigger AS $$ BEGIN ") +
                     c.action + "; RETURN NULL; END $$ LANGUAGE plpgsql")
              .ok());
      ASSERT_TRUE(db.Execute(trigger + "FOR EACH ROW " + when_1003_is_locked +
                             " EXECUTE FUNCTION meanwhile()")
                      .ok());
    } else {
      ASSERT_TRUE(db.Execute(trigger + when_1003_is_locked + " BEGIN " + c.action + "; END").ok());
    }
    to.insert(to.end(), {"--batch", BatchFile(*batch_)});
    const ProgramRun run = RunProgram(ProgramPath(), to);
    EXPECT_EQ(run.exit_status, c.exit_status) << run.err;
    const std::string said = std::regex_replace(c.said, std::regex("\\{FILES\\}"), files);
    for (const std::string& line :
         {said, std::string(c.summary), std::string("linha 2: 01 01 DM 1 1002/01: impresso\n")}) {
      EXPECT_NE(run.err.find(line), std::string::npos) << line << "\n" << run.err;
    }
    if (c.file_held) {
      EXPECT_EQ(Names(files).size(), 11u);
      EXPECT_TRUE(std::filesystem::is_directory(files + "/01-01-DM-1-1003-01.pdf"));
    }
    EXPECT_EQ(RowsText(db, "SELECT DoctoRecebimento FROM PARCELAR WHERE NUMERO = '1003    '"),
              "          \n");
    EXPECT_EQ(RowsText(db, "SELECT COUNT(*) FROM PARCELAR WHERE DoctoRecebimento = 'BOL-BANCAR'"),
              "10\n");
  }
}

// Besides the paid 1001 and the cancelled 1004: 1006 is in a processed
// remittance, 1005 moves to unit 02 and 1009 to company 02. Each row's
// installments are written "NUMBER/INSTALLMENT" in key order.
TEST_P(BatchTest, SelectListsTheOpenInstallmentsChosenByHandAndTheBatchPrintsThem) {
  Database& db = batch_->db();
  for (const char* sql :
       {"INSERT INTO REMESSAR (CODIGOEMP, CODIGOUNIDADE, CODIGODOCUMENTO, SERIE, NUMERO, PARCELA, "
        "IDBANCARIA, DATAPROCESSO) VALUES ('01', '01      ', 'DM        ', '1  ', '1006    ', "
        "'01', 'OLD                 ', '2026-04-02')",
        "UPDATE DOCUMENTOR SET CODIGOUNIDADE = '02      ' WHERE NUMERO = '1005    '",
        "UPDATE PARCELAR SET CODIGOUNIDADE = '02      ' WHERE NUMERO = '1005    '",
        "UPDATE DOCUMENTOR SET CODIGOEMP = '02' WHERE NUMERO = '1009    '",
        "UPDATE PARCELAR SET CODIGOEMP = '02' WHERE NUMERO = '1009    '"}) {
    ASSERT_TRUE(db.Execute(sql).ok()) << sql;
  }
  // The argument text of "NUMBER/INSTALLMENT", written out by hand.
  const auto line = [&](const std::string& installment) {
    const std::string numero = installment.substr(0, 4);
    const bool nfs = numero == "1005" || numero == "1009";
    std::string text =
        batch_->Argument(numero, installment.substr(5), nfs ? "NFS" : "DM", nfs ? "2" : "1");
    if (numero == "1005") text.replace(82, 2, "02");  // unit, columns 83-90
    if (numero == "1009") text.replace(79, 2, "02");  // company, columns 80-81
    return text + "\n";
  };
  struct Case {
    std::vector<std::string> options;
    std::vector<std::string> installments;
  };
  const std::vector<std::string> company_01 = {"1002/01", "1003/01", "1007/01",
                                               "1008/01", "1010/01", "1011/01",
                                               "1011/02", "1011/03", "1005/01"};
  const Case cases[] = {
      {{"--company", "01"}, company_01},
      {{"--company", "01", "--unit", "02"}, {"1005/01"}},
      {{"--company", "02"}, {"1009/01"}},
      {{"--company", "01", "--bank", "001"}, {"1003/01", "1011/01"}},
      {{"--company", "01", "--document", "NFS"}, {"1005/01"}},
      {{"--company", "01", "--unit", "01", "--document", "DM", "--bank", "104"},
       {"1008/01", "1011/03"}},
      {{"--company", "01", "--due", "2027-01-01..2027-01-31"}, {"1011/03"}},
      {{"--company", "01", "--due", "2027-01-20.."}, {"1007/01", "1011/03"}},
      {{"--company", "01", "--due", "..2026-05-05"}, {"1002/01", "1003/01"}},
      {{"--company", "01", "--due", "2026-05-20"}, {"1011/01"}},
      {{"--company", "01", "--bank", "237", "--due", "..2026-06-30"}, {"1002/01", "1011/02"}},
      {{"--company", "03"}, {}},
  };
  std::string company_01_list;
  for (const Case& c : cases) {
    std::vector<std::string> args = {
        "--select", "--dialect", batch_->tag(), "--connect", batch_->connect_string(),
        "--user",   "E2E"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const ProgramRun run = RunProgram(ProgramPath(), args);
    std::string expected;
    for (const std::string& installment : c.installments) expected += line(installment);
    SCOPED_TRACE(c.options.back());
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(run.exit_status, c.installments.empty() ? 1 : 0) << run.err;
    EXPECT_EQ(run.err,
              c.installments.empty() ? "boleto-sr: nenhuma parcela em aberto encontrada\n" : "");
    if (c.installments == company_01) company_01_list = run.out;
  }

  // The list, as the batch reads it, prints every installment of it, saved
  // by Notepad with its byte-order mark and a blank line at the end.
  const std::string file = out_ + "/selected.txt";
  std::ofstream(file) << "\xEF\xBB\xBF" + company_01_list + "\n";
  const ProgramRun batch =
      RunProgram(ProgramPath(), {"--output", out_ + "/run.pdf", "--batch", file});
  EXPECT_EQ(batch.exit_status, 0) << batch.err;
  EXPECT_NE(batch.err.find("boleto-sr: 9 impressos, 0 recusados, 0 com erro\n"), std::string::npos)
      << batch.err;
  EXPECT_NE(batch.err.find("linha 9: 01 02 NFS 2 1005/01: impresso\n"), std::string::npos)
      << batch.err;

  // A key longer than its columns cannot be named by an argument text: it is
  // reported and left out (SQLite alone keeps a value longer than its CHAR).
  if (GetParam() == Engine::kSqlite) {
    for (const char* table : {"DOCUMENTOR", "PARCELAR"}) {
      ASSERT_TRUE(db.Execute(std::string("UPDATE ") + table +
                             " SET NUMERO = '100800000' WHERE NUMERO = '1008    '")
                      .ok());
    }
    const ProgramRun run = RunProgram(
        ProgramPath(), {"--select", "--dialect", "SQLITE", "--connect", batch_->connect_string(),
                        "--company", "01", "--bank", "104", "--user", "E2E"});
    EXPECT_EQ(run.out, line("1011/03"));
    EXPECT_EQ(run.err,
              "boleto-sr: 01 01 DM 1 100800000/01: a chave não cabe nas colunas do texto de "
              "argumento; parcela não listada\n");
    EXPECT_EQ(run.exit_status, 1);
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, BatchTest, ::testing::Values(Engine::kSqlite, Engine::kPostgres),
                         [](const ::testing::TestParamInfo<Engine>& info) {
                           return info.param == Engine::kSqlite ? "Sqlite" : "Postgres";
                         });

// On a printer the batch is one job of a page per installment, named by its
// pages (not by the lines read: a blank one and a repeat). The queue is
// stopped (paused) meanwhile: it takes the job, the log says the job waits
// until the queue is resumed, the installments are recorded and the job
// prints once the queue is resumed.
TEST(BatchOnCups, OneJobOfAPagePerInstallment) {
  SavedEnvironment environment;
  CupsServer server;
  const std::string not_here = server.Start();
  if (!not_here.empty()) {
    server.Stop();
    GTEST_SKIP() << "no CUPS server in this sandbox: " << not_here;
  }
  auto demo = DemoOn::Create(Engine::kSqlite);
  ASSERT_TRUE(demo.ok());
  const std::string dir = MakeTempDir("bolbatchcups");
  const std::string file = dir + "/batch.txt";
  std::ofstream(file) << (*demo)->Argument("1002") + "\n\n" + (*demo)->Argument("1003") + "\n" +
                             (*demo)->Argument("1006") + "\n" +
                             ArgumentText("SQLITE", OtherSpelling(**demo), "DM", "1", "1003",
                                          "01") +
                             "\n";
  server.Run("cupsdisable " + server.queue());
  const ProgramRun run = RunProgram(ProgramPath(), {"--printer", server.queue(), "--batch", file},
                                    {"CUPS_SERVER=" + server.socket()});
  const std::string recorded = (*demo)->Rows(
      "SELECT COUNT(*) FROM PARCELAR WHERE DOCTORECEBIMENTO = 'BOL-BANCAR' AND NUMERO IN "
      "('1002    ', '1003    ', '1006    ')");
  server.Run("cupsenable " + server.queue());
  EXPECT_EQ(run.exit_status, 0) << run.err;
  EXPECT_NE(run.err.find("boleto-sr: A fila de impressão \"" + server.queue() +
                         "\" está parada: o trabalho foi aceito e será impresso quando a fila "
                         "for retomada.\n"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(recorded, "3\n");
  std::optional<CupsServer::Job> job = server.WaitForLastJob(server.queue());
  std::optional<std::string> pdf = server.WaitForPdf(server.queue());
  const std::string info = pdf ? RunProgram("/usr/bin/pdfinfo", {*pdf}).out : "";
  server.Stop();
  RemoveTree(dir);
  ASSERT_TRUE(job.has_value());
  EXPECT_EQ(job->title, "Boletos (3)");
  EXPECT_TRUE(std::regex_search(info, std::regex("\nPages: +3\n"))) << info;
}

}  // namespace
}  // namespace boleto::testing
