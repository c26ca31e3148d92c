// Printing through a real CUPS server of the test's own
// (support/cups_server.h) with an A4 cups-pdf queue as the default
// destination, a cups-pdf queue whose defaults are Letter, fit-to-page and
// two copies, and a PostScript printer; the test prints the boleto through
// libcups and reads back what each queue made.
#include <cups/cups.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "print/print_job.h"
#include "print_test_helpers.h"
#include "support/cups_server.h"
#include "support/paths.h"

namespace boleto {
namespace {

using testing::CupsServer;
using testing::PrintedLineOf;
using testing::QueueDestination;
using testing::RunCommand;
using testing::SavedEnvironment;
using testing::TenBankBoletos;

class CupsPrintingTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    environment_ = new SavedEnvironment();
    server_ = new CupsServer();
    skip_reason_ = server_->Start();
  }
  static void TearDownTestSuite() {
    server_->Stop();
    delete server_;
    delete environment_;
  }
  void SetUp() override {
    if (!skip_reason_.empty()) GTEST_SKIP() << "no CUPS server in this sandbox: " << skip_reason_;
  }

  static inline SavedEnvironment* environment_ = nullptr;
  static inline CupsServer* server_ = nullptr;
  static inline std::string skip_reason_;
};

// Prints one boleto on the destination; `stopped_queue`, when given, gets
// the stopped queue the job waits in (empty when it went out as usual).
Status PrintBoleto(const PageDestination& destination, const std::string& printed_line,
                   std::string* stopped_queue = nullptr) {
  LayoutForm receipt_stub(ReceiptStubTemplate());
  LayoutForm compensation_part(CompensationPartTemplate());
  if (Status set = compensation_part.SetCaption("nr", printed_line); !set.ok()) return set;
  for (LayoutForm* form : {&receipt_stub, &compensation_part}) {
    if (Status set = form->SetCaption("lblValorDocumento", "987,65"); !set.ok()) return set;
  }
  Result<std::unique_ptr<PrintJob>> job = PrintJob::Open(destination);
  if (!job.ok()) return job.status();
  (*job)->Setup();
  if (Status drawn = (*job)->Render(receipt_stub, compensation_part, "BANCO ITAÚ S.A.");
      !drawn.ok()) {
    return drawn;
  }
  if (Status completed = (*job)->CompletePage(); !completed.ok()) return completed;
  if (stopped_queue != nullptr) *stopped_queue = (*job)->stopped_queue();
  return (*job)->Close();
}

// The jobs of the queue not yet completed, cancelled or aborted.
int ActiveJobs(const std::string& queue) {
  cups_job_t* jobs = nullptr;
  const int active =
      cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue.c_str(), 0, CUPS_WHICHJOBS_ACTIVE);
  cupsFreeJobs(active, jobs);
  return active;
}

// A row through the barcode of a PDF page read at 1440 dots per inch, a dot
// a twip: the widths of its bars, and the span from the first bar's left
// edge to the last bar's right edge. On the A4 page at its true size the
// bars stand from x 1063 to 7138 and from y 13550 to 14300 twips; the row
// is taken at y 13900 from x 900 to 7900.
struct BarcodeRow {
  std::vector<int> bars;
  int span = 0;
};
BarcodeRow ReadBarcodeRow(const std::string& pdf, const std::string& dir) {
  RunCommand("pdftoppm -r 1440 -x 900 -y 13900 -W 7000 -H 1 -gray -singlefile '" + pdf + "' '" +
             dir + "/row'");
  const std::string pgm = testing::ReadFile(dir + "/row.pgm");
  // "P5", width, height and the largest value, each ended by a newline,
  // then a byte a dot.
  size_t start = 0;
  for (int line = 0; line < 3 && start != std::string::npos; ++line) {
    start = pgm.find('\n', start);
    if (start != std::string::npos) ++start;
  }
  BarcodeRow row;
  if (start == std::string::npos) return row;
  int first = -1, last = -1, run = 0;
  for (size_t i = start; i <= pgm.size(); ++i) {
    const bool dark = i < pgm.size() && static_cast<unsigned char>(pgm[i]) < 128;
    if (dark) {
      const int x = static_cast<int>(i - start);
      if (first < 0) first = x;
      last = x;
      ++run;
    } else if (run > 0) {
      row.bars.push_back(run);
      run = 0;
    }
  }
  if (first >= 0) row.span = last - first + 1;
  return row;
}

// The Interleaved 2 of 5 symbol of 44 digits: a start of two narrow bars,
// 22 pairs of digits of 5 bars each (2 wide, 3 narrow), a stop of a wide
// and a narrow bar; narrow 15 twips, wide 45. It spans 60 + 22 x 270 + 75
// = 6075 twips, 107.2 mm.
constexpr size_t kBars = 2 + 22 * 5 + 2;
constexpr int kNarrow = 15, kWide = 45, kSpan = 6075;

TEST_F(CupsPrintingTest, DefaultQueueReceivesTheBoleto) {
  const std::string line = PrintedLineOf(TenBankBoletos()[5].barcode);
  std::string stopped_queue = "not set";
  Status printed = PrintBoleto(PageDestination{}, line, &stopped_queue);
  ASSERT_TRUE(printed.ok()) << printed.error().description;
  EXPECT_EQ(stopped_queue, "") << "a running queue prints at once";
  std::optional<std::string> pdf = server_->WaitForPdf();
  ASSERT_TRUE(pdf.has_value()) << server_->Run("lpstat -W all -o");

  testing::CommandOutput text = RunCommand("pdftotext -layout '" + *pdf + "' -");
  for (const std::string& expected :
       {line, std::string("Recibo do Pagador"), std::string("987,65"),
        std::string("BANCO ITAÚ S.A."),
        std::string("Autenticação Mecânica / FICHA DE COMPENSAÇÃO")}) {
    EXPECT_NE(text.output.find(expected), std::string::npos) << expected << "\n" << text.output;
  }
  // The receipt stub's title comes before the digitable line, which comes
  // before the compensation part's title.
  EXPECT_LT(text.output.find("Recibo do Pagador"), text.output.find(line));
  EXPECT_LT(text.output.find(line), text.output.find("FICHA DE COMPENSAÇÃO"));

  // Places survive the queue: the digitable line's first field where it is
  // drawn, page (3960, 8495) twips plus the origin shift, in points.
  const double shift = (kA4WidthTwips - 96 * 120.0) / 2;
  const std::vector<testing::Word> words = testing::PdfWords(*pdf);
  const testing::Word* place = testing::FindWord(words, line.substr(0, 11));
  ASSERT_NE(place, nullptr);
  EXPECT_NEAR(place->x_min, (3960 + shift) / 20, 3);
  EXPECT_NEAR(place->y_min, 8495 / 20.0, 3);
}

// A queue whose defaults are Letter paper, fit-to-page and two copies prints
// the job as it asks: one A4 page at its true size, the barcode 107.2 mm,
// under the installment's name.
TEST_F(CupsPrintingTest, LetterQueuePrintsOneA4PageAtTrueSize) {
  PageDestination destination = QueueDestination(server_->letter_queue());
  destination.job_name = PrintJobName("01", "DM        ", "1  ", "    1003", "01");
  Status printed = PrintBoleto(destination, PrintedLineOf(TenBankBoletos()[0].barcode));
  ASSERT_TRUE(printed.ok()) << printed.error().description;
  std::optional<std::string> pdf = server_->WaitForPdf(server_->letter_queue());
  ASSERT_TRUE(pdf.has_value()) << server_->Run("lpstat -W all -o");

  testing::CommandOutput info = RunCommand("pdfinfo '" + *pdf + "'");
  EXPECT_TRUE(std::regex_search(info.output, std::regex("\nPages: +1\n"))) << info.output;
  EXPECT_NE(info.output.find("595 x 842 pts (A4)"), std::string::npos) << info.output;
  const std::string dir = testing::MakeTempDir("boleto-letter-");
  const BarcodeRow row = ReadBarcodeRow(*pdf, dir);
  testing::RemoveTree(dir);
  EXPECT_NEAR(row.span, kSpan, 11) << "0.2 mm is 11 twips";
  EXPECT_EQ(row.bars.size(), kBars);

  std::optional<CupsServer::Job> job = server_->WaitForLastJob(server_->letter_queue());
  ASSERT_TRUE(job.has_value());
  EXPECT_EQ(job->title, "Boleto 01 DM 1 1003/01");
}

// A PostScript printer keeps the page as vectors and fonts (a page marked
// as a transparency group became one 300-dpi image): every bar is 15 or 45
// twips, and each bank's barcode decodes from the printer's output at 150,
// 200 and 300 dots per inch.
TEST_F(CupsPrintingTest, PostScriptQueueKeepsFontsAndBars) {
  const std::string dir = testing::MakeTempDir("boleto-ps-");
  for (const auto& sample : TenBankBoletos()) {
    SCOPED_TRACE(sample.bank);
    Status printed =
        PrintBoleto(QueueDestination(server_->postscript_queue()), PrintedLineOf(sample.barcode));
    ASSERT_TRUE(printed.ok()) << printed.error().description;
    std::optional<CupsServer::Job> job = server_->WaitForLastJob(server_->postscript_queue());
    ASSERT_TRUE(job.has_value());
    ASSERT_EQ(job->state, IPP_JSTATE_COMPLETED) << server_->Run("lpstat -W all -o");
    const std::string pdf = dir + "/" + sample.bank + ".pdf";
    ASSERT_EQ(RunCommand("ps2pdf '" + server_->postscript_file() + "' '" + pdf + "'").exit_status,
              0);

    EXPECT_NE(RunCommand("pdffonts '" + pdf + "'").output.find("LiberationSans"),
              std::string::npos);
    testing::CommandOutput images = RunCommand("pdfimages -list '" + pdf + "'");
    EXPECT_EQ(std::count(images.output.begin(), images.output.end(), '\n'), 2)
        << "no image, only the list's heading:\n"
        << images.output;
    const BarcodeRow row = ReadBarcodeRow(pdf, dir);
    EXPECT_EQ(row.bars.size(), kBars);
    EXPECT_NEAR(row.span, kSpan, 2);
    for (int width : row.bars) {
      EXPECT_TRUE(std::abs(width - kNarrow) <= 1 || std::abs(width - kWide) <= 1) << width;
    }
    for (int dpi : {150, 200, 300}) {
      // The barcode area, with more than the ten narrow bars of quiet zone
      // the symbol needs on either side: x 800 to 7600, y 13300 to 14600
      // twips.
      auto dots = [dpi](int twips) { return std::to_string(twips * dpi / 1440); };
      const std::string png = dir + "/barcode";
      RunCommand("pdftoppm -r " + std::to_string(dpi) + " -x " + dots(800) + " -y " + dots(13300) +
                 " -W " + dots(6800) + " -H " + dots(1300) + " -gray -png -singlefile '" + pdf +
                 "' '" + png + "'");
      EXPECT_EQ(RunCommand("zbarimg --raw -q -Sdisable -Si25.enable '" + png + ".png'").output,
                sample.barcode + "\n")
          << dpi << " dpi";
    }
  }
  testing::RemoveTree(dir);
}

// A stopped (paused) queue accepts the job and holds it: the delivery names
// the queue, the job waits, and it prints once the queue is resumed.
TEST_F(CupsPrintingTest, StoppedQueueHoldsTheJobUntilResumed) {
  const std::string& queue = server_->postscript_queue();
  ASSERT_EQ(ActiveJobs(queue), 0);
  server_->Run("cupsdisable " + queue);
  std::string stopped_queue;
  Status printed = PrintBoleto(QueueDestination(queue), PrintedLineOf(TenBankBoletos()[2].barcode),
                               &stopped_queue);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const int waiting = ActiveJobs(queue);
  server_->Run("cupsenable " + queue);
  ASSERT_TRUE(printed.ok()) << printed.error().description;
  EXPECT_EQ(stopped_queue, queue);
  EXPECT_EQ(waiting, 1);
  std::optional<CupsServer::Job> job = server_->WaitForLastJob(queue);
  ASSERT_TRUE(job.has_value());
  EXPECT_EQ(job->state, IPP_JSTATE_COMPLETED) << server_->Run("lpstat -W all -o");
}

TEST_F(CupsPrintingTest, NamedQueueThatDoesNotExist) {
  Status printed =
      PrintBoleto(QueueDestination("no_such_queue"), PrintedLineOf(TenBankBoletos()[0].barcode));
  ASSERT_FALSE(printed.ok());
  EXPECT_EQ(printed.error().number, error_number::kPrinterFailure);
  EXPECT_EQ(printed.error().description.rfind("The printer \"no_such_queue\" is not available", 0),
            0u)
      << printed.error().description;
}

TEST_F(CupsPrintingTest, QueueRejectingJobsIsAPrinterFailure) {
  const size_t before = server_->PdfCount();
  server_->Run("cupsreject " + server_->queue());
  Status printed =
      PrintBoleto(QueueDestination(server_->queue()), PrintedLineOf(TenBankBoletos()[1].barcode));
  server_->Run("cupsaccept " + server_->queue());
  ASSERT_FALSE(printed.ok());
  EXPECT_EQ(printed.error().number, error_number::kPrinterFailure);
  EXPECT_EQ(printed.error().description.rfind(
                "The printer \"" + server_->queue() + "\" refused the page: ", 0),
            0u)
      << printed.error().description;
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_EQ(server_->PdfCount(), before);
}

TEST(CupsWithoutServer, AServerThatCannotBeReachedIsAPrinterFailure) {
  // A server address where nothing listens: the message says so, for the
  // default destination as for a named queue, not that the queue is missing.
  SavedEnvironment environment;
  const std::string dir = testing::MakeTempDir("boleto-nocups-");
  const std::string socket = dir + "/nothing.sock";
  cupsSetServer(socket.c_str());
  std::vector<Result<std::unique_ptr<PrintJob>>> jobs;
  jobs.push_back(PrintJob::Open(PageDestination{}));
  jobs.push_back(PrintJob::Open(QueueDestination("caixa")));
  cupsSetServer(nullptr);
  testing::RemoveTree(dir);
  for (const Result<std::unique_ptr<PrintJob>>& job : jobs) {
    ASSERT_FALSE(job.ok());
    EXPECT_EQ(job.error().number, error_number::kPrinterFailure);
    EXPECT_EQ(job.error().description,
              "O servidor de impressão (CUPS) em " + socket + " não pode ser alcançado");
  }
}

}  // namespace
}  // namespace boleto
