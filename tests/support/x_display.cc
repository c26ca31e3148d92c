#include "support/x_display.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string_view>

#include "support/paths.h"

extern char** environ;

namespace boleto::testing {
namespace {

constexpr char kXvfb[] = "/usr/bin/Xvfb";
constexpr char kDbusDaemon[] = "/usr/bin/dbus-daemon";
// How long the server or the bus may take to say where it listens.
constexpr int kStartLimitMs = 20000;
// The descriptor on which each of them writes that: the first after the
// standard three.
constexpr int kReportFd = 3;

// Starts `argv` with `env` added to this process's environment, standard
// output and error to `log`, and the write end of a pipe as kReportFd;
// returns the pid and reads the first line written there (without its line
// feed) into `report`. The child ends when the test program dies.
pid_t StartReporting(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                     const std::string& log, std::string& report) {
  std::vector<std::string> environment = env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string_view entry = *e;
    const std::string_view name = entry.substr(0, entry.find('=') + 1);
    const bool replaced = std::any_of(
        env.begin(), env.end(), [&](const std::string& own) { return own.starts_with(name); });
    if (!replaced) environment.emplace_back(entry);
  }
  std::vector<char*> envp;
  for (std::string& e : environment) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<std::string> args = argv;
  std::vector<char*> argp;
  for (std::string& a : args) argp.push_back(a.data());
  argp.push_back(nullptr);

  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return -1;
  const int log_fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(1);
    dup2(log_fd, STDOUT_FILENO);
    dup2(log_fd, STDERR_FILENO);
    if (fds[1] == kReportFd) {
      fcntl(kReportFd, F_SETFD, 0);
    } else {
      dup2(fds[1], kReportFd);
    }
    execve(argp[0], argp.data(), envp.data());
    _exit(127);
  }
  close(fds[1]);
  close(log_fd);
  if (pid > 0) {
    pollfd fd = {fds[0], POLLIN, 0};
    char c;
    while (poll(&fd, 1, kStartLimitMs) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') report += c;
  }
  close(fds[0]);
  return pid;
}

void Stop(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
}

}  // namespace

Result<std::unique_ptr<XDisplay>> XDisplay::Start() {
  std::unique_ptr<XDisplay> display(new XDisplay());
  display->dir_ = MakeTempDir("bsrx");
  if (display->dir_.empty()) return MakeError(0, "cannot make a folder for the X server");
  const std::string& dir = display->dir_;

  std::string number;
  display->server_ = StartReporting({kXvfb, "-displayfd", std::to_string(kReportFd), "-screen", "0",
                                     "1024x768x24", "-nolisten", "tcp"},
                                    {}, dir + "/xvfb.log", number);
  if (number.empty()) {
    return MakeError(0, std::string(kXvfb) + " did not start: " + ReadFile(dir + "/xvfb.log"));
  }
  display->environment_ = {"DISPLAY=:" + number, "XDG_RUNTIME_DIR=" + dir};

  // The accessibility services keep their own bus's socket under
  // XDG_RUNTIME_DIR: this folder, not the user's, which other tests share.
  std::string address;
  display->bus_ = StartReporting(
      {kDbusDaemon, "--session", "--nofork", "--print-address=" + std::to_string(kReportFd)},
      display->environment_, dir + "/dbus.log", address);
  if (address.empty()) {
    return MakeError(0,
                     std::string(kDbusDaemon) + " did not start: " + ReadFile(dir + "/dbus.log"));
  }
  display->environment_.push_back("DBUS_SESSION_BUS_ADDRESS=" + address);
  return display;
}

XDisplay::~XDisplay() {
  Stop(bus_);
  Stop(server_);
  if (!dir_.empty()) RemoveTree(dir_);
}

}  // namespace boleto::testing
