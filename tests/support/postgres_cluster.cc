#include "support/postgres_cluster.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <vector>

#include "db/odbc_database.h"
#include "support/paths.h"
#include "support/sqlite_fixture.h"

namespace boleto::testing {
namespace {

constexpr char kBinDir[] = "/usr/lib/postgresql/15/bin/";
constexpr char kSystemUser[] = "postgres";

Error ClusterError(std::string text) {
  return MakeError(error_number::kOdbcCallFailed, std::move(text), "postgres test cluster");
}

// The server refuses to run as root: as root, server programs run as the
// "postgres" system user.
std::vector<std::string> AsServerUser(std::vector<std::string> argv) {
  if (geteuid() != 0) return argv;
  std::vector<std::string> wrapped = {"/usr/sbin/runuser", "-u", kSystemUser, "--"};
  wrapped.insert(wrapped.end(), argv.begin(), argv.end());
  return wrapped;
}

// Runs `argv` with no standard input and its output appended to `log`;
// returns the exit status (-1 when it could not run). Output goes to a file,
// never to a pipe: the server started by pg_ctl keeps its descriptors.
int RunCommand(const std::vector<std::string>& argv, const std::string& log) {
  pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    int in = open("/dev/null", O_RDONLY);
    int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (in >= 0) dup2(in, 0);
    if (out >= 0) {
      dup2(out, 1);
      dup2(out, 2);
    }
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A TCP port that nothing listens on now. The server listens only on its
// socket in a private folder, so the number just names that socket.
int FreePort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return 54329;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof(address);
  int port = 54329;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  close(fd);
  return port;
}

bool WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  return static_cast<bool>(out);
}

// Starts, fully detached, a shell that waits for this process to end and
// then stops the server and removes the folder: the cleanup of a test
// program that crashed or was killed. Returns its process id.
int StartWatchdog(const std::string& stop_command, const std::string& dir) {
  const std::string script = "while [ -d /proc/" + std::to_string(getpid()) +
                             " ]; do sleep 1; done; " + stop_command + "; rm -rf '" + dir + "'";
  int ready[2];
  if (pipe(ready) != 0) return 0;
  pid_t pid = fork();
  if (pid < 0) return 0;
  if (pid == 0) {
    setsid();
    pid_t inner = fork();
    if (inner != 0) {
      (void)!write(ready[1], &inner, sizeof(inner));
      _exit(0);
    }
    int null_fd = open("/dev/null", O_RDWR);
    dup2(null_fd, 0);
    dup2(null_fd, 1);
    dup2(null_fd, 2);
    for (int fd = 3; fd < 1024; ++fd) close(fd);
    execl("/bin/sh", "sh", "-c", script.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(ready[1]);
  pid_t inner = 0;
  if (read(ready[0], &inner, sizeof(inner)) != sizeof(inner)) inner = 0;
  close(ready[0]);
  waitpid(pid, nullptr, 0);
  return inner;
}

}  // namespace

Result<PostgresCluster*> PostgresCluster::Shared() {
  // Started once per test program and stopped when it ends.
  static std::unique_ptr<PostgresCluster> cluster;
  static std::optional<Error> failure;
  if (cluster == nullptr && !failure) {
    std::unique_ptr<PostgresCluster> started(new PostgresCluster());
    Status status = started->Start();
    if (status.ok()) {
      cluster = std::move(started);
    } else {
      failure = status.error();
    }
  }
  if (failure) return *failure;
  return cluster.get();
}

Status PostgresCluster::Start() {
  std::string pattern = "/tmp/bpgXXXXXX";  // short: the socket path is limited to 107 bytes
  if (mkdtemp(pattern.data()) == nullptr) return ClusterError("mkdtemp failed");
  dir_ = pattern;
  const std::string log = dir_ + "/commands.log";
  if (geteuid() == 0) {
    const passwd* user = getpwnam(kSystemUser);
    if (user == nullptr) return ClusterError("no system user \"postgres\" to run the server as");
    if (chown(dir_.c_str(), user->pw_uid, user->pw_gid) != 0) {
      return ClusterError("cannot give " + dir_ + " to the postgres user");
    }
  }
  const std::string data = dir_ + "/data";
  if (RunCommand(AsServerUser({std::string(kBinDir) + "initdb", "-D", data, "-U", "postgres", "-A",
                               "trust", "-E", "UTF8", "--locale=C", "-N"}),
                 log) != 0) {
    return ClusterError("initdb failed: " + ReadFile(log));
  }
  // Trust for everyone but the role that shows a refused login.
  const std::string hba = std::string("local all ") + kPasswordRole +
                          " scram-sha-256\n"
                          "local all all trust\n";
  if (!WriteFile(data + "/pg_hba.conf", hba)) return ClusterError("cannot write pg_hba.conf");

  port_ = FreePort();
  const std::string options = "-k " + dir_ + " -p " + std::to_string(port_) +
                              " -c listen_addresses='' -c fsync=off -c full_page_writes=off"
                              " -c synchronous_commit=off";
  std::string stop = std::string(kBinDir) + "pg_ctl -D '" + data + "' -m immediate stop";
  if (geteuid() == 0) stop = std::string("/usr/sbin/runuser -u ") + kSystemUser + " -- " + stop;
  watchdog_pid_ = StartWatchdog(stop, dir_);
  if (RunCommand(AsServerUser({std::string(kBinDir) + "pg_ctl", "-D", data, "-l",
                               dir_ + "/server.log", "-w", "-t", "60", "-o", options, "start"}),
                 log) != 0) {
    return ClusterError("the server did not start: " + ReadFile(log) +
                        ReadFile(dir_ + "/server.log"));
  }
  running_ = true;

  // The data source, in this process's environment for every child.
  odbc_ini_ = dir_ + "/odbc.ini";
  const std::string ini =
      "[boletopg]\n"
      "Driver=PostgreSQL Unicode\n"
      "Servername=" +
      dir_ +
      "\n"
      "Port=" +
      std::to_string(port_) +
      "\n"
      "Database=boleto\n"
      "Username=postgres\n"
      "ConnSettings=SET lock_timeout TO '10s'\n";
  if (!WriteFile(odbc_ini_, ini)) return ClusterError("cannot write " + odbc_ini_);
  setenv("ODBCINI", odbc_ini_.c_str(), 1);

  const std::string admin = "DSN=boletopg;Database=postgres";
  Result<std::unique_ptr<Database>> db = OpenOdbcDatabase(admin);
  if (!db.ok()) return db.error();
  for (const char* statement :
       {"CREATE DATABASE boleto_template", "CREATE ROLE boleto_pw LOGIN PASSWORD 'secret'"}) {
    Result<RowSet> created = (*db)->Query(statement);
    if (!created.ok()) return created.error();
  }
  {
    Result<std::unique_ptr<Database>> template_db =
        OpenOdbcDatabase("DSN=boletopg;Database=boleto_template");
    if (!template_db.ok()) return template_db.error();
    const std::string schema = ReadFile(SourceDir() + "/sql/schema.postgresql.sql");
    if (schema.empty()) return ClusterError("sql/schema.postgresql.sql not found");
    Status loaded = RunSqlScript(**template_db, schema);
    if (!loaded.ok()) return loaded;
  }
  Result<RowSet> copied = (*db)->Query("CREATE DATABASE boleto TEMPLATE boleto_template");
  if (!copied.ok()) return copied.error();
  connect_string_ = "DSN=boletopg";
  return Status::Ok();
}

Result<std::string> PostgresCluster::NewDatabase() {
  Result<std::unique_ptr<Database>> db = OpenOdbcDatabase("DSN=boletopg;Database=postgres");
  if (!db.ok()) return db.error();
  const std::string name = "b" + std::to_string(next_database_++);
  Result<RowSet> created = (*db)->Query("CREATE DATABASE " + name + " TEMPLATE boleto_template");
  if (!created.ok()) return created.error();
  return "DSN=boletopg;Database=" + name;
}

Result<std::unique_ptr<Database>> PostgresCluster::Open(std::string_view connect_string) const {
  return OpenOdbcDatabase(connect_string.empty() ? connect_string_ : connect_string);
}

Status PostgresCluster::Run(std::string_view script, std::string_view connect_string) const {
  Result<std::unique_ptr<Database>> db = Open(connect_string);
  if (!db.ok()) return db.error();
  return RunSqlScript(**db, script);
}

void PostgresCluster::Stop() {
  if (watchdog_pid_ > 0) {
    kill(watchdog_pid_, SIGTERM);
    watchdog_pid_ = 0;
  }
  if (running_) {
    RunCommand(AsServerUser({std::string(kBinDir) + "pg_ctl", "-D", dir_ + "/data", "-m", "fast",
                             "-w", "stop"}),
               "/dev/null");
    running_ = false;
  }
  if (!dir_.empty()) RemoveTree(dir_);
}

PostgresCluster::~PostgresCluster() { Stop(); }

}  // namespace boleto::testing
