// Printing through a real CUPS server: the test starts its own cupsd (its own
// configuration, spool and socket in a temporary folder) with three queues,
// prints the boleto through libcups, and reads back what each queue made:
// - the default destination, a cups-pdf queue with A4 paper. It turns the
//   PDF into PostScript with poppler's pdftops, which keeps the text as text
//   (the Ghostscript route would turn it into outlines that pdftotext cannot
//   read);
// - a cups-pdf queue whose defaults are Letter paper, fit-to-page scaling
//   and two copies, which the job's own options must override;
// - a PostScript printer (the generic PostScript driver writing to a file)
//   whose filters convert the PDF with Ghostscript's ps2write, as most
//   PostScript queues do.
// cups-pdf takes its settings only from /etc/cups/cups-pdf-<queue>.conf; the
// test writes that file for its own uniquely named queues and removes it
// when done.
#include <cups/cups.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <thread>
#include <vector>

#include "print/print_job.h"
#include "print_test_helpers.h"
#include "support/paths.h"

namespace boleto {
namespace {

namespace fs = std::filesystem;
using testing::PrintedLineOf;
using testing::QueueDestination;
using testing::RunCommand;
using testing::TenBankBoletos;

constexpr char kCupsd[] = "/usr/sbin/cupsd";
constexpr char kCupsPdfBackend[] = "/usr/lib/cups/backend/cups-pdf";
constexpr char kCupsPdfPpd[] = "/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd";
constexpr char kPostScriptPpd[] = "drv:///sample.drv/generic.ppd";

bool CanConnect(const std::string& socket_path) {
  int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  if (fd < 0) return false;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socket_path.c_str());
  bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return connected;
}

// A cupsd of the test's own, listening on a socket in its folder, with the
// three queues above; the A4 cups-pdf queue is the default destination.
class CupsServer {
 public:
  // Empty when the server runs; otherwise why it cannot run here.
  std::string Start() {
    if (geteuid() != 0) return "cupsd and the cups-pdf backend need root";
    for (const char* needed : {kCupsd, kCupsPdfBackend, kCupsPdfPpd}) {
      if (!fs::exists(needed)) return std::string(needed) + " is not installed";
    }
    dir_ = testing::MakeTempDir("boleto-cups-");
    if (dir_.empty()) return "no temporary folder";
    // cupsd's filters run as user lp: the folders must be reachable.
    chmod(dir_.c_str(), 0755);
    for (const char* sub : {"spool", "cache", "state", "log", "out", "cups-pdf-spool"}) {
      fs::create_directory(dir_ + "/" + sub);
      chmod((dir_ + "/" + sub).c_str(), 0755);
    }
    fs::create_directory(dir_ + "/tmp");
    chmod((dir_ + "/tmp").c_str(), 01777);
    socket_ = dir_ + "/cups.sock";
    queue_ = "boleto_test_" + std::to_string(getpid());
    letter_queue_ = queue_ + "_letter";
    postscript_queue_ = queue_ + "_ps";
    postscript_file_ = dir_ + "/out/printer.ps";

    std::ofstream(dir_ + "/cupsd.conf") << "Listen " << socket_ << "\n"
                                        << "LogLevel warn\n"
                                        << "WebInterface No\n"
                                        << "Browsing Off\n"
                                        << "DefaultAuthType None\n"
                                        << "<Location />\n  Order allow,deny\n  Allow all\n"
                                        << "</Location>\n"
                                        << "<Policy default>\n  <Limit All>\n"
                                        << "    Order deny,allow\n    Allow all\n"
                                        << "  </Limit>\n</Policy>\n";
    std::ofstream(dir_ + "/cups-files.conf") << "ServerRoot " << dir_ << "\n"
                                             << "RequestRoot " << dir_ << "/spool\n"
                                             << "CacheDir " << dir_ << "/cache\n"
                                             << "StateDir " << dir_ << "/state\n"
                                             << "TempDir " << dir_ << "/tmp\n"
                                             << "ErrorLog " << dir_ << "/log/error_log\n"
                                             << "AccessLog " << dir_ << "/log/access_log\n"
                                             << "PageLog " << dir_ << "/log/page_log\n"
                                             << "Printcap " << dir_ << "/printcap\n"
                                             << "ServerBin /usr/lib/cups\n"
                                             << "DataDir /usr/share/cups\n"
                                             << "FileDevice Yes\n";
    for (const std::string& queue : {queue_, letter_queue_}) {
      const std::string out = OutDir(queue);
      fs::create_directory(out);
      chmod(out.c_str(), 0755);
      const std::string conf = "/etc/cups/cups-pdf-" + queue + ".conf";
      cups_pdf_confs_.push_back(conf);
      std::ofstream(conf) << "Out " << out << "\n"
                          << "AnonDirName " << out << "\n"
                          << "Spool " << dir_ << "/cups-pdf-spool\n"
                          << "Log " << dir_ << "/log\n";
      if (!fs::exists(conf)) return "cannot write " + conf;
    }

    pid_ = fork();
    if (pid_ == 0) {
      const std::string log = dir_ + "/log/cupsd.out";
      freopen(log.c_str(), "w", stdout);
      freopen(log.c_str(), "a", stderr);
      const std::string conf = dir_ + "/cupsd.conf", files = dir_ + "/cups-files.conf";
      execl(kCupsd, "cupsd", "-f", "-c", conf.c_str(), "-s", files.c_str(),
            static_cast<char*>(nullptr));
      _exit(127);
    }
    if (pid_ < 0) return "cannot fork cupsd";
    for (int i = 0; i < 200 && !CanConnect(socket_); ++i) {
      if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
        pid_ = -1;
        return "cupsd stopped at once: " + testing::ReadFile(dir_ + "/log/cupsd.out");
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!CanConnect(socket_)) return "cupsd did not open its socket";

    const std::string lpadmin = "CUPS_SERVER='" + socket_ + "' lpadmin ";
    testing::CommandOutput added =
        RunCommand(lpadmin + "-p " + queue_ + " -E -v cups-pdf:/" + queue_ + " -P " + kCupsPdfPpd +
                   " -o PageSize=A4 -o pdftops-renderer-default=pdftops 2>&1 && " + lpadmin +
                   "-d " + queue_ + " 2>&1 && " + lpadmin + "-p " + letter_queue_ +
                   " -E -v cups-pdf:/" + letter_queue_ + " -P " + kCupsPdfPpd +
                   " -o PageSize=Letter -o print-scaling-default=fit -o copies-default=2"
                   " -o pdftops-renderer-default=pdftops 2>&1 && " +
                   lpadmin + "-p " + postscript_queue_ + " -E -v file:" + postscript_file_ +
                   " -m " + kPostScriptPpd + " -o PageSize=A4 2>&1");
    if (added.exit_status != 0) return "lpadmin failed: " + added.output;
    cupsSetServer(socket_.c_str());
    return "";
  }

  void Stop() {
    cupsSetServer(nullptr);
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
    for (const std::string& conf : cups_pdf_confs_) fs::remove(conf);
    if (!dir_.empty()) testing::RemoveTree(dir_);
  }

  // Where the cups-pdf queue writes its PDF files.
  std::string OutDir(const std::string& queue) const { return dir_ + "/out/" + queue; }

  // The PDF the queue wrote, once it is there and complete (up to a minute).
  std::optional<std::string> WaitForPdf(const std::string& queue) const {
    for (int i = 0; i < 600; ++i) {
      for (const auto& entry : fs::directory_iterator(OutDir(queue))) {
        if (entry.path().extension() != ".pdf") continue;
        std::string content = testing::ReadFile(entry.path().string());
        if (content.find("%%EOF") != std::string::npos) return entry.path().string();
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return std::nullopt;
  }
  std::optional<std::string> WaitForPdf() const { return WaitForPdf(queue_); }

  size_t PdfCount() const {
    size_t count = 0;
    for (const auto& entry : fs::directory_iterator(OutDir(queue_))) {
      count += entry.path().extension() == ".pdf";
    }
    return count;
  }

  struct Job {
    int id = 0;
    std::string title;
    ipp_jstate_t state = IPP_JSTATE_PENDING;
  };
  // The queue's last job, once no job of it is pending or printing (up to a
  // minute).
  std::optional<Job> WaitForLastJob(const std::string& queue) const {
    for (int i = 0; i < 600; ++i) {
      cups_job_t* jobs = nullptr;
      const int active =
          cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue.c_str(), 0, CUPS_WHICHJOBS_ACTIVE);
      cupsFreeJobs(active, jobs);
      if (active == 0) {
        const int all =
            cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue.c_str(), 0, CUPS_WHICHJOBS_ALL);
        std::optional<Job> last;
        for (int j = 0; j < all; ++j) {
          if (!last || jobs[j].id > last->id) last = Job{jobs[j].id, jobs[j].title, jobs[j].state};
        }
        cupsFreeJobs(all, jobs);
        return last;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return std::nullopt;
  }

  std::string Run(const std::string& command) const {
    return RunCommand("CUPS_SERVER='" + socket_ + "' " + command + " 2>&1").output;
  }

  const std::string& queue() const { return queue_; }
  const std::string& letter_queue() const { return letter_queue_; }
  const std::string& postscript_queue() const { return postscript_queue_; }
  // The file the PostScript printer writes each job to, in turn.
  const std::string& postscript_file() const { return postscript_file_; }

 private:
  std::string dir_, socket_, queue_, letter_queue_, postscript_queue_, postscript_file_;
  std::vector<std::string> cups_pdf_confs_;
  pid_t pid_ = -1;
};

// Destinations named by the environment would take the place of the
// server's default; they are put aside while the tests run.
class SavedEnvironment {
 public:
  SavedEnvironment() {
    for (const char* name : {"LPDEST", "PRINTER"}) {
      if (const char* value = std::getenv(name)) saved_.emplace_back(name, value);
      unsetenv(name);
    }
  }
  ~SavedEnvironment() {
    for (const auto& [name, value] : saved_) setenv(name.c_str(), value.c_str(), 1);
  }

 private:
  std::vector<std::pair<std::string, std::string>> saved_;
};

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

Status PrintBoleto(const PageDestination& destination, const std::string& printed_line) {
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
  return (*job)->Close();
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
  Status printed = PrintBoleto(PageDestination{}, line);
  ASSERT_TRUE(printed.ok()) << printed.error().description;
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

TEST(CupsWithoutServer, NoDefaultPrinterIsAPrinterFailure) {
  // A server address where nothing listens: there is no default printer.
  SavedEnvironment environment;
  const std::string dir = testing::MakeTempDir("boleto-nocups-");
  const std::string socket = dir + "/nothing.sock";
  cupsSetServer(socket.c_str());
  Result<std::unique_ptr<PrintJob>> job = PrintJob::Open(PageDestination{});
  cupsSetServer(nullptr);
  testing::RemoveTree(dir);
  ASSERT_FALSE(job.ok());
  EXPECT_EQ(job.error().number, error_number::kPrinterFailure);
  EXPECT_EQ(job.error().description.rfind("No default printer is available (CUPS: ", 0), 0u)
      << job.error().description;
}

}  // namespace
}  // namespace boleto
