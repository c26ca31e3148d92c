// A CUPS server of a test's own: a cupsd (its own
// configuration, spool and socket in a temporary folder) with three queues,
// for the test to print on and read back what each queue made:
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
// Also keeps LPDEST and PRINTER out of the way (SavedEnvironment).
#pragma once

#include <cups/cups.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/command.h"
#include "support/paths.h"

namespace boleto::testing {

constexpr char kCupsd[] = "/usr/sbin/cupsd";
constexpr char kCupsPdfBackend[] = "/usr/lib/cups/backend/cups-pdf";
constexpr char kCupsPdfPpd[] = "/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd";
constexpr char kPostScriptPpd[] = "drv:///sample.drv/generic.ppd";

inline bool CanConnect(const std::string& socket_path) {
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
      if (!std::filesystem::exists(needed)) return std::string(needed) + " is not installed";
    }
    dir_ = MakeTempDir("boleto-cups-");
    if (dir_.empty()) return "no temporary folder";
    // cupsd's filters run as user lp: the folders must be reachable.
    chmod(dir_.c_str(), 0755);
    for (const char* sub : {"spool", "cache", "state", "log", "out", "cups-pdf-spool"}) {
      std::filesystem::create_directory(dir_ + "/" + sub);
      chmod((dir_ + "/" + sub).c_str(), 0755);
    }
    std::filesystem::create_directory(dir_ + "/tmp");
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
      std::filesystem::create_directory(out);
      chmod(out.c_str(), 0755);
      const std::string conf = "/etc/cups/cups-pdf-" + queue + ".conf";
      cups_pdf_confs_.push_back(conf);
      std::ofstream(conf) << "Out " << out << "\n"
                          << "AnonDirName " << out << "\n"
                          << "Spool " << dir_ << "/cups-pdf-spool\n"
                          << "Log " << dir_ << "/log\n";
      if (!std::filesystem::exists(conf)) return "cannot write " + conf;
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
        return "cupsd stopped at once: " + ReadFile(dir_ + "/log/cupsd.out");
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!CanConnect(socket_)) return "cupsd did not open its socket";

    const std::string lpadmin = "CUPS_SERVER='" + socket_ + "' lpadmin ";
    CommandOutput added =
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
    for (const std::string& conf : cups_pdf_confs_) std::filesystem::remove(conf);
    if (!dir_.empty()) RemoveTree(dir_);
  }

  // Where the cups-pdf queue writes its PDF files.
  std::string OutDir(const std::string& queue) const { return dir_ + "/out/" + queue; }

  // The PDF the queue wrote, once it is there and complete (up to a minute).
  std::optional<std::string> WaitForPdf(const std::string& queue) const {
    for (int i = 0; i < 600; ++i) {
      for (const auto& entry : std::filesystem::directory_iterator(OutDir(queue))) {
        if (entry.path().extension() != ".pdf") continue;
        std::string content = ReadFile(entry.path().string());
        if (content.find("%%EOF") != std::string::npos) return entry.path().string();
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return std::nullopt;
  }
  std::optional<std::string> WaitForPdf() const { return WaitForPdf(queue_); }

  size_t PdfCount() const {
    size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(OutDir(queue_))) {
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

  // The server's address, for CUPS_SERVER.
  const std::string& socket() const { return socket_; }
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

}  // namespace boleto::testing
