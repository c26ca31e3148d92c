#include "support/postgres_cluster.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <stdlib.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <vector>

#include "db/odbc_database.h"
#include "support/paths.h"
#include "support/sqlite_fixture.h"

namespace boleto::testing {
namespace {

constexpr char kBinDir[] = "/usr/lib/postgresql/15/bin/";
constexpr char kSystemUser[] = "postgres";
// Changes whenever what BuildDataFolder puts in the prepared cluster changes.
constexpr char kPreparedVersion[] = "boleto prepared cluster 2\n";

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

Status GiveToServerUser(const std::string& path) {
  if (geteuid() != 0) return Status::Ok();
  const passwd* user = getpwnam(kSystemUser);
  if (user == nullptr) return ClusterError("no system user \"postgres\" to run the server as");
  if (chown(path.c_str(), user->pw_uid, user->pw_gid) != 0) {
    return ClusterError("cannot give " + path + " to the postgres user");
  }
  return Status::Ok();
}

// Starts the server of `data` listening only on a socket in `socket_dir`.
// Durability is off: the cluster lives as long as one test program.
Status StartServer(const std::string& data, const std::string& socket_dir, int port) {
  const std::string options = "-k " + socket_dir + " -p " + std::to_string(port) +
                              " -c listen_addresses='' -c fsync=off -c full_page_writes=off"
                              " -c synchronous_commit=off";
  const std::string log = socket_dir + "/commands.log";
  const std::string server_log = socket_dir + "/server.log";
  if (RunCommand(AsServerUser({std::string(kBinDir) + "pg_ctl", "-D", data, "-l", server_log, "-w",
                               "-t", "60", "-o", options, "start"}),
                 log) != 0) {
    return ClusterError("the server did not start: " + ReadFile(log) + ReadFile(server_log));
  }
  return Status::Ok();
}

void StopServer(const std::string& data) {
  RunCommand(
      AsServerUser({std::string(kBinDir) + "pg_ctl", "-D", data, "-m", "fast", "-w", "stop"}),
      "/dev/null");
}

// Debian's odbcinst.ini turns psqlODBC's communication log on (CommLog=1),
// which leaves a /tmp/psqlodbc_*.log behind for every process that connects:
// the driver reads that setting from its own section, not the data source's,
// whenever no connection is open. Writes into `folder` a copy of the
// driver list in use with every CommLog turned off and points ODBCSYSINI at
// it, for this process and the programs it starts.
Status UseDriversWithoutCommLog(const std::string& folder) {
  const char* system_dir = getenv("ODBCSYSINI");
  const char* file_name = getenv("ODBCINSTINI");
  const std::string drivers = ReadFile(std::string(system_dir != nullptr ? system_dir : "/etc") +
                                       "/" + (file_name != nullptr ? file_name : "odbcinst.ini"));
  std::string copy;
  std::istringstream lines(drivers);
  for (std::string line; std::getline(lines, line);) {
    const size_t key = line.find_first_not_of(" \t");
    const bool comm_log =
        key != std::string::npos && strncasecmp(line.c_str() + key, "CommLog", 7) == 0;
    copy += (comm_log ? "CommLog=0" : line) + "\n";
  }
  const std::string path = folder + "/odbcinst.ini";
  if (!WriteFile(path, copy)) return ClusterError("cannot write " + path);
  setenv("ODBCSYSINI", folder.c_str(), 1);
  unsetenv("ODBCINSTINI");
  return Status::Ok();
}

// The lines of an odbc.ini data source for the server on `socket_dir`.
// Lock waits end after 10 s with an error instead of never; no
// communication log while connected.
std::string DataSourceBody(const std::string& socket_dir, int port, const std::string& database) {
  return "Driver=PostgreSQL Unicode\n"
         "Servername=" +
         socket_dir +
         "\n"
         "Port=" +
         std::to_string(port) +
         "\n"
         "Database=" +
         database +
         "\n"
         "Username=postgres\n"
         "CommLog=0\n"
         "ConnSettings=SET lock_timeout TO '10s'\n";
}

// Builds into `folder` a stopped cluster holding the role kPasswordRole, the
// database "boleto_template" with the schema and its copy "boleto".
Status BuildDataFolder(const std::string& folder, const std::string& schema) {
  const std::string data = folder + "/data";
  const std::string log = folder + "/commands.log";
  if (RunCommand(AsServerUser({std::string(kBinDir) + "initdb", "-D", data, "-U", "postgres", "-A",
                               "trust", "-E", "UTF8", "--locale=C", "-N", "--wal-segsize=1"}),
                 log) != 0) {
    return ClusterError("initdb failed: " + ReadFile(log));
  }
  // Trust for everyone but the role that shows a refused login.
  const std::string hba = std::string("local all ") + PostgresCluster::kPasswordRole +
                          " scram-sha-256\n"
                          "local all all trust\n";
  if (!WriteFile(data + "/pg_hba.conf", hba)) return ClusterError("cannot write pg_hba.conf");

  const int port = FreePort();
  Status started = StartServer(data, folder, port);
  if (!started.ok()) return started;
  Status built = [&]() -> Status {
    const std::string server = "DRIVER={PostgreSQL Unicode};Servername=" + folder +
                               ";Port=" + std::to_string(port) +
                               ";Username=postgres;CommLog=0;Database=";
    Result<std::unique_ptr<Database>> admin = OpenOdbcDatabase(server + "postgres");
    if (!admin.ok()) return admin.error();
    for (const std::string& statement :
         {std::string("CREATE DATABASE boleto_template"), std::string("CREATE ROLE ") +
                                                              PostgresCluster::kPasswordRole +
                                                              " LOGIN PASSWORD 'secret'"}) {
      Result<RowSet> done = (*admin)->Query(statement);
      if (!done.ok()) return done.error();
    }
    {
      Result<std::unique_ptr<Database>> template_db = OpenOdbcDatabase(server + "boleto_template");
      if (!template_db.ok()) return template_db.error();
      Status loaded = RunSqlScript(**template_db, schema);
      if (!loaded.ok()) return loaded;
    }
    Result<RowSet> copied = (*admin)->Query("CREATE DATABASE boleto TEMPLATE boleto_template");
    if (!copied.ok()) return copied.error();
    return Status::Ok();
  }();
  StopServer(data);
  return built;
}

// A file lock held for the life of the object.
class FileLock {
 public:
  FileLock(const std::string& path, int operation) {
    fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ >= 0 && flock(fd_, operation) != 0) {
      close(fd_);
      fd_ = -1;
    }
  }
  ~FileLock() {
    if (fd_ >= 0) close(fd_);
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// Prepared folders of schemas that nobody has used for an hour.
void RemoveStalePreparedFolders(const std::string& prefix, const std::string& keep) {
  std::error_code ec;
  const auto now = std::filesystem::file_time_type::clock::now();
  for (const auto& entry : std::filesystem::directory_iterator(ScratchRoot(), ec)) {
    const std::string path = entry.path().string();
    if (path.rfind(prefix, 0) != 0 || path == keep || !entry.is_directory(ec)) continue;
    const auto used = std::filesystem::last_write_time(path + "/ready", ec);
    if (!ec && now - used < std::chrono::hours(1)) continue;
    FileLock lock(path + ".lock", LOCK_EX | LOCK_NB);
    if (!lock.held()) continue;
    RemoveTree(path);
    std::filesystem::remove(path + ".lock", ec);
  }
}

// initdb and the schema take seconds, and every test case may be a process
// of its own: the first process builds a stopped cluster for the current
// schema once, under a lock, and every cluster starts as a copy of it.
// Returns the prepared data folder.
Result<std::string> PreparedDataFolder() {
  const std::string schema = ReadFile(SourceDir() + "/sql/schema.postgresql.sql");
  if (schema.empty()) return ClusterError("sql/schema.postgresql.sql not found");
  char key[17];
  snprintf(key, sizeof(key), "%016zx",
           std::hash<std::string>{}(std::string(kPreparedVersion) + schema));
  const std::string prefix = ScratchRoot() + "/bpgcache-" + std::to_string(geteuid()) + "-";
  const std::string folder = prefix + key;
  const std::string ready = folder + "/ready";
  {
    FileLock shared(folder + ".lock", LOCK_SH);
    if (shared.held() && std::filesystem::exists(ready)) {
      std::error_code ec;
      std::filesystem::last_write_time(ready, std::filesystem::file_time_type::clock::now(), ec);
      return folder + "/data";
    }
  }
  FileLock exclusive(folder + ".lock", LOCK_EX);
  if (!exclusive.held()) return ClusterError("cannot lock " + folder + ".lock");
  if (!std::filesystem::exists(ready)) {
    RemoveTree(folder);  // what a build that died left behind
    std::error_code ec;
    std::filesystem::create_directory(folder, ec);
    if (ec) return ClusterError("cannot create " + folder);
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all, ec);
    Status owned = GiveToServerUser(folder);
    if (!owned.ok()) return owned.error();
    Status built = BuildDataFolder(folder, schema);
    if (!built.ok()) {
      RemoveTree(folder);
      return built.error();
    }
    if (!WriteFile(ready, "")) return ClusterError("cannot write " + ready);
    RemoveStalePreparedFolders(prefix, folder);
  }
  return folder + "/data";
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
  // Short: the socket's path is limited to 107 bytes.
  std::string pattern = ScratchRoot() + "/bpgXXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) return ClusterError("mkdtemp failed");
  dir_ = pattern;
  Status owned = GiveToServerUser(dir_);
  if (!owned.ok()) return owned;
  // Before the first connection: the driver reads its log setting once.
  Status quiet = UseDriversWithoutCommLog(dir_);
  if (!quiet.ok()) return quiet;

  Result<std::string> template_data = PreparedDataFolder();
  if (!template_data.ok()) return template_data.error();
  const std::string data = dir_ + "/data";
  const std::string log = dir_ + "/commands.log";
  if (RunCommand(AsServerUser({"/bin/cp", "-a", *template_data, data}), log) != 0) {
    return ClusterError("cannot copy the prepared cluster: " + ReadFile(log));
  }

  port_ = FreePort();
  std::string stop = std::string(kBinDir) + "pg_ctl -D '" + data + "' -m immediate stop";
  if (geteuid() == 0) stop = std::string("/usr/sbin/runuser -u ") + kSystemUser + " -- " + stop;
  watchdog_pid_ = StartWatchdog(stop, dir_);
  Status started = StartServer(data, dir_, port_);
  if (!started.ok()) return started;
  running_ = true;

  // The data source, in this process's environment for every child.
  odbc_ini_ = dir_ + "/odbc.ini";
  const std::string ini = "[boletopg]\n" + DataSourceBody(dir_, port_, "boleto");
  if (!WriteFile(odbc_ini_, ini)) return ClusterError("cannot write " + odbc_ini_);
  setenv("ODBCINI", odbc_ini_.c_str(), 1);
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
    StopServer(dir_ + "/data");
    running_ = false;
  }
  if (!dir_.empty()) RemoveTree(dir_);
}

PostgresCluster::~PostgresCluster() { Stop(); }

}  // namespace boleto::testing
