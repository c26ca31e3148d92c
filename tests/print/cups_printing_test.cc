// Printing through a real CUPS queue: the test starts its own cupsd (its own
// configuration, spool and socket in a temporary folder) with a cups-pdf
// queue as the default destination, prints the boleto through libcups, and
// reads the PDF that the queue produced. The queue turns the PDF into
// PostScript with poppler's pdftops, which keeps the text as text (the
// Ghostscript route would turn it into outlines that pdftotext cannot read).
// cups-pdf takes its settings only
// from /etc/cups/cups-pdf-<queue>.conf; the test writes that file for its own
// uniquely named queue and removes it when done.
#include <cups/cups.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <thread>

#include "print/print_job.h"
#include "print_test_helpers.h"
#include "support/paths.h"

namespace boleto {
namespace {

namespace fs = std::filesystem;
using testing::PrintedLineOf;
using testing::RunCommand;
using testing::TenBankBoletos;

constexpr char kCupsd[] = "/usr/sbin/cupsd";
constexpr char kCupsPdfBackend[] = "/usr/lib/cups/backend/cups-pdf";
constexpr char kCupsPdfPpd[] = "/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd";

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

// A cupsd of the test's own, listening on a socket in its folder, with one
// cups-pdf queue that is the default destination.
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
    out_dir_ = dir_ + "/out";

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
                                             << "DataDir /usr/share/cups\n";
    cups_pdf_conf_ = "/etc/cups/cups-pdf-" + queue_ + ".conf";
    std::ofstream(cups_pdf_conf_) << "Out " << out_dir_ << "\n"
                                  << "AnonDirName " << out_dir_ << "\n"
                                  << "Spool " << dir_ << "/cups-pdf-spool\n"
                                  << "Log " << dir_ << "/log\n";
    if (!fs::exists(cups_pdf_conf_)) return "cannot write " + cups_pdf_conf_;

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

    const std::string env = "CUPS_SERVER='" + socket_ + "' ";
    testing::CommandOutput added =
        RunCommand(env + "lpadmin -p " + queue_ + " -E -v cups-pdf:/" + queue_ + " -P " +
                   kCupsPdfPpd + " -o PageSize=A4 -o pdftops-renderer-default=pdftops 2>&1 && " +
                   env + "lpadmin -d " + queue_ + " 2>&1");
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
    if (!cups_pdf_conf_.empty()) fs::remove(cups_pdf_conf_);
    if (!dir_.empty()) testing::RemoveTree(dir_);
  }

  // The PDF the queue wrote, once it is there and complete (up to a minute).
  std::optional<std::string> WaitForPdf() const {
    for (int i = 0; i < 600; ++i) {
      for (const auto& entry : fs::directory_iterator(out_dir_)) {
        if (entry.path().extension() != ".pdf") continue;
        std::string content = testing::ReadFile(entry.path().string());
        if (content.find("%%EOF") != std::string::npos) return entry.path().string();
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return std::nullopt;
  }

  size_t PdfCount() const {
    size_t count = 0;
    for (const auto& entry : fs::directory_iterator(out_dir_)) {
      count += entry.path().extension() == ".pdf";
    }
    return count;
  }

  std::string Run(const std::string& command) const {
    return RunCommand("CUPS_SERVER='" + socket_ + "' " + command + " 2>&1").output;
  }

  const std::string& queue() const { return queue_; }

 private:
  std::string dir_, socket_, queue_, out_dir_, cups_pdf_conf_;
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

// The top left corner, in points, of the first word that equals `word`.
std::optional<std::pair<double, double>> WordPlace(const std::string& pdf,
                                                   const std::string& word) {
  testing::CommandOutput html = RunCommand("pdftotext -bbox '" + pdf + "' -");
  const std::regex pattern("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\"[^>]*>" + word + "</word>");
  std::smatch match;
  if (!std::regex_search(html.output, match, pattern)) return std::nullopt;
  return std::make_pair(std::stod(match[1]), std::stod(match[2]));
}

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
  std::optional<std::pair<double, double>> place = WordPlace(*pdf, line.substr(0, 11));
  ASSERT_TRUE(place.has_value());
  EXPECT_NEAR(place->first, (3960 + shift) / 20, 3);
  EXPECT_NEAR(place->second, 8495 / 20.0, 3);
}

TEST_F(CupsPrintingTest, NamedQueueThatDoesNotExist) {
  Status printed =
      PrintBoleto(PageDestination{"", "no_such_queue"}, PrintedLineOf(TenBankBoletos()[0].barcode));
  ASSERT_FALSE(printed.ok());
  EXPECT_EQ(printed.error().number, error_number::kPrinterFailure);
  EXPECT_EQ(printed.error().description.rfind("The printer \"no_such_queue\" is not available", 0),
            0u)
      << printed.error().description;
}

TEST_F(CupsPrintingTest, QueueRejectingJobsIsAPrinterFailure) {
  const size_t before = server_->PdfCount();
  server_->Run("cupsreject " + server_->queue());
  Status printed = PrintBoleto(PageDestination{"", server_->queue()},
                               PrintedLineOf(TenBankBoletos()[1].barcode));
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
