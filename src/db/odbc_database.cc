#include "db/odbc_database.h"

#include <sql.h>
#include <sqlext.h>
#include <strings.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "db/connect_string.h"
#include "db/driver_library.h"
#include "db/odbc_errors.h"

namespace boleto {
namespace {

// A statement handle freed with its scope.
class Statement {
 public:
  explicit Statement(SQLHDBC dbc) {
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &handle_))) handle_ = SQL_NULL_HSTMT;
  }
  ~Statement() {
    if (handle_ != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, handle_);
  }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  SQLHSTMT get() const { return handle_; }

 private:
  SQLHSTMT handle_ = SQL_NULL_HSTMT;
};

// How long a statement waits for a lock another connection holds before it
// fails with error 3158, unless the connect string or data source says
// otherwise: long enough for another clerk's recording to end, short enough
// for a clerk to see the lock message instead of a program that hangs.
constexpr int kDefaultLockWaitMs = 10000;

class OdbcDatabase : public Database {
 public:
  explicit OdbcDatabase(Dialect dialect) : dialect_(dialect) {}
  ~OdbcDatabase() override {
    if (connected_) SQLDisconnect(dbc_);
    if (dbc_ != SQL_NULL_HDBC) SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    if (env_ != SQL_NULL_HENV) SQLFreeHandle(SQL_HANDLE_ENV, env_);
  }

  Status Connect(std::string_view connect_string);

  using Database::Query;
  Result<RowSet> Query(const std::string& sql, QueryMode mode) override;
  Result<int64_t> Execute(const std::string& sql) override;
  Status Begin() override;
  bool NestsTransactions() const override { return Savepoint(1).has_value(); }
  Status Commit() override;
  void Rollback() override;
  void BeginLockDeadline() override;
  void EndLockDeadline() override;

 private:
  Error HandleError(SQLSMALLINT type, SQLHANDLE handle, std::string_view fallback) const {
    return DriverError(type, handle, driver_, sqlite_, fallback);
  }
  Result<std::optional<std::string>> ReadValue(SQLHSTMT stmt, SQLUSMALLINT column);
  Result<int64_t> RunInTransaction(const std::string& sql);
  // Runs a statement of the connection's own set-up; its rows are dropped.
  Status RunSetup(const std::string& sql, std::string_view fallback);
  // The server's lock_timeout, bounded by the program when nothing set it.
  Status BoundPostgresLockWait();
  void EndTransaction(SQLSMALLINT completion);
  // Before a statement under a lock deadline: PostgreSQL's lock_timeout cut
  // to what is left of the deadline once the wait in force would pass it.
  Status KeepLockWaitWithinDeadline();

  // What a statement waits for a lock held elsewhere before it fails.
  std::chrono::milliseconds lock_wait_{kDefaultLockWaitMs};
  int deadlines_ = 0;  // lock deadlines open (BeginLockDeadline)
  std::chrono::steady_clock::time_point deadline_;
  bool wait_cut_ = false;  // lock_timeout was set below lock_wait_
  // The statements of the transaction nested `depth` deep; none where the
  // dialect has no savepoints.
  std::optional<SavepointSql> Savepoint(int depth) const {
    return SavepointStatements(dialect_, "boleto_sp" + std::to_string(depth));
  }

  SQLHENV env_ = SQL_NULL_HENV;
  SQLHDBC dbc_ = SQL_NULL_HDBC;
  bool connected_ = false;
  std::string driver_;  // the driver's name once connected
  bool sqlite_ = false;
  Dialect dialect_;
  bool in_transaction_ = false;
  int savepoints_ = 0;  // transactions opened inside the open one
  // The outermost of them begun before the transaction ran anything: no
  // savepoint is set for those (Transact-SQL refuses SAVE TRANSACTION
  // before a statement has begun the transaction), and undoing one undoes
  // the whole transaction, which holds nothing else.
  int unset_savepoints_ = 0;
  bool begun_on_server_ = false;  // a statement has run in the transaction
  // Transactions still open for their callers after a savepoint that could
  // not be released or undone took the whole transaction with it: until
  // they are ended, nothing runs and each of them fails, so that nothing is
  // written outside the transaction its caller believes it is in, and no
  // caller takes its work for committed.
  int lost_ = 0;
  Error LostTransaction() const {
    return MakeError(error_number::kOdbcCallFailed,
                     "The transaction was rolled back: a savepoint could not be released or "
                     "undone.",
                     "ODBC");
  }
};

Status OdbcDatabase::Connect(std::string_view connect_string) {
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_))) {
    env_ = SQL_NULL_HENV;
    return MakeError(error_number::kOdbcCallFailed, "ODBC environment not available.", "ODBC");
  }
  SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_))) {
    dbc_ = SQL_NULL_HDBC;
    return HandleError(SQL_HANDLE_ENV, env_, "ODBC connection not available.");
  }
  // No login time-out: the server decides how long a connection may take.
  SQLSetConnectAttr(dbc_, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(0), 0);

  std::string connect(connect_string);
  const std::string driver_key = ConnectValue(connect, "DRIVER");
  driver_ = !driver_key.empty() ? driver_key : ConnectValue(connect, "DSN");
  sqlite_ = ContainsNoCase(driver_key, "sqlite");
  const auto add_option = [&connect](const std::string& option) {
    if (!connect.empty() && connect.back() != ';') connect += ';';
    connect += option;
  };
  if (sqlite_ && !HasConnectKey(connect, "NoCreat")) {
    // The SQLite driver would create a missing file as a new empty database.
    add_option("NoCreat=1");
  }
  if (sqlite_) {
    // The driver waits its Timeout twice over before a statement fails (once
    // in its busy handler, once more on the retry), so it is given half the
    // wait meant: the connect string's Timeout, or 10 s where it has none
    // (the driver's own default waits minutes on a database held elsewhere).
    const ValuePlace place = FindConnectValue(connect, "Timeout");
    if (place.begin == std::string_view::npos) {
      add_option("Timeout=" + std::to_string(kDefaultLockWaitMs / 2));
    } else if (std::optional<int64_t> given = DecimalDigitsValue(ConnectValue(connect, "Timeout"));
               given && *given > 0) {
      lock_wait_ = std::chrono::milliseconds(*given);
      connect.replace(place.begin, place.end - place.begin,
                      std::to_string(std::max<int64_t>(1, *given / 2)));
    }
  }

  if (ContainsNoCase(DriverLibrary(env_, connect), "psqlodbc") &&
      !HasConnectKey(connect, "Protocol") && !HasConnectKey(connect, "A1")) {
    // psqlODBC undoes a failed statement of a transaction alone by wrapping
    // every statement in a savepoint of its own (its rollback level 2, the
    // default): two more statements for each one sent. The program undoes
    // what it must through its own savepoints (Begin inside a transaction),
    // so the driver is told to undo nothing (level 0): a failed statement
    // leaves the transaction failed until Rollback.
    add_option("Protocol=7.4-0");
  }

  SQLCHAR out[1024];
  SQLSMALLINT out_length = 0;
  SQLRETURN rc = SQLDriverConnect(dbc_, nullptr, reinterpret_cast<SQLCHAR*>(connect.data()),
                                  static_cast<SQLSMALLINT>(connect.size()), out, sizeof(out),
                                  &out_length, SQL_DRIVER_NOPROMPT);
  if (!SQL_SUCCEEDED(rc)) {
    Error error = HandleError(SQL_HANDLE_DBC, dbc_, "The connection could not be opened.");
    // The SQLite driver says no more than "connect failed".
    constexpr int kSqliteCantOpen = 14;
    if (sqlite_ && error.number == kSqliteCantOpen) {
      error.description +=
          " (cannot open the database file \"" + ConnectValue(connect, "Database") + "\")";
    }
    return error;
  }
  connected_ = true;

  SQLCHAR name[256] = {0};
  SQLSMALLINT name_length = 0;
  if (SQL_SUCCEEDED(SQLGetInfo(dbc_, SQL_DRIVER_NAME, name, sizeof(name), &name_length)) &&
      name[0] != 0) {
    driver_ = reinterpret_cast<const char*>(name);
    if (ContainsNoCase(driver_, "sqlite")) sqlite_ = true;
  }
  if (ContainsNoCase(driver_, "psqlodbc")) {
    // psqlODBC takes the client encoding from the environment's locale
    // (LATIN1 under pt_BR.ISO-8859-1, SQL_ASCII under C): the server would
    // store our UTF-8 bytes as other characters. This program's text is UTF-8.
    Status encoding =
        RunSetup("SET client_encoding TO 'UTF8'", "The client encoding could not be set.");
    if (!encoding.ok()) return encoding;
    return BoundPostgresLockWait();
  }
  return Status::Ok();
}

Status OdbcDatabase::RunSetup(const std::string& sql, std::string_view fallback) {
  Statement stmt(dbc_);
  std::string text = sql;
  if (stmt.get() == SQL_NULL_HSTMT ||
      !SQL_SUCCEEDED(SQLExecDirect(stmt.get(), reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS))) {
    return HandleError(SQL_HANDLE_STMT, stmt.get(), fallback);
  }
  return Status::Ok();
}

Status OdbcDatabase::BoundPostgresLockWait() {
  // A lock_timeout of 0 (the server's default) waits for ever; one set by
  // the data source (ConnSettings), the role or the server is kept.
  Result<RowSet> current = Query("SHOW lock_timeout");
  if (!current.ok()) return current.error();
  Result<std::string> value =
      current->eof() ? Result<std::string>(std::string("0")) : current->Text("lock_timeout");
  if (!value.ok()) return value.error();
  if (*value != "0") {
    lock_wait_ = LockTimeoutSetting(*value).value_or(lock_wait_);
    return Status::Ok();
  }
  return RunSetup("SET lock_timeout TO " + std::to_string(kDefaultLockWaitMs),
                  "The lock wait could not be set.");
}

void OdbcDatabase::BeginLockDeadline() {
  if (deadlines_++ == 0) deadline_ = std::chrono::steady_clock::now() + lock_wait_;
}

void OdbcDatabase::EndLockDeadline() {
  if (deadlines_ == 0 || --deadlines_ > 0 || !wait_cut_) return;
  wait_cut_ = false;
  // A cut wait set inside a transaction that goes on (a batch's) would cut
  // the statements after the deadline's scope; the transaction's end undoes
  // it otherwise.
  if (in_transaction_ && lost_ == 0) {
    (void)RunInTransaction("SET LOCAL lock_timeout TO " + std::to_string(lock_wait_.count()));
  }
}

Status OdbcDatabase::KeepLockWaitWithinDeadline() {
  // SQLite takes the whole database at a transaction's first write, so only
  // that write waits for another connection: its Timeout is the deadline.
  if (deadlines_ == 0 || sqlite_ || !in_transaction_) return Status::Ok();
  using std::chrono::milliseconds;
  const milliseconds left =
      std::chrono::ceil<milliseconds>(deadline_ - std::chrono::steady_clock::now());
  // The wait in force may overrun the deadline by this much before it is
  // cut: a statement under it costs a round trip more, so the many short
  // statements of a batch's recording run without one.
  constexpr milliseconds kOverrun{50};
  if (left > lock_wait_ - kOverrun) return Status::Ok();
  // 0 would mean no limit at all: past the deadline a lock is not waited for.
  const int64_t wait_ms = std::max<int64_t>(1, left.count());
  Result<int64_t> set = RunInTransaction("SET LOCAL lock_timeout TO " + std::to_string(wait_ms));
  if (!set.ok()) return set.error();
  wait_cut_ = true;
  return Status::Ok();
}

Result<std::optional<std::string>> OdbcDatabase::ReadValue(SQLHSTMT stmt, SQLUSMALLINT column) {
  // Long values arrive in pieces; each piece but the last fills the buffer
  // less its terminating zero.
  char buffer[4096];
  std::string value;
  for (;;) {
    SQLLEN indicator = 0;
    SQLRETURN rc = SQLGetData(stmt, column, SQL_C_CHAR, buffer, sizeof(buffer), &indicator);
    if (rc == SQL_NO_DATA) break;
    if (!SQL_SUCCEEDED(rc)) return HandleError(SQL_HANDLE_STMT, stmt, "A value could not be read.");
    if (indicator == SQL_NULL_DATA) return std::optional<std::string>();
    const bool truncated =
        indicator == SQL_NO_TOTAL || indicator >= static_cast<SQLLEN>(sizeof(buffer));
    if (rc == SQL_SUCCESS_WITH_INFO && truncated) {
      value.append(buffer, sizeof(buffer) - 1);
      continue;
    }
    value.append(buffer, static_cast<size_t>(std::max<SQLLEN>(indicator, 0)));
    break;
  }
  return std::optional<std::string>(std::move(value));
}

Result<RowSet> OdbcDatabase::Query(const std::string& sql, QueryMode mode) {
  if (lost_ > 0) return LostTransaction();
  BOLETO_RETURN_IF_ERROR(KeepLockWaitWithinDeadline());
  if (in_transaction_) begun_on_server_ = true;
  Statement stmt(dbc_);
  if (stmt.get() == SQL_NULL_HSTMT)
    return HandleError(SQL_HANDLE_DBC, dbc_, "No statement handle.");
  if (mode == QueryMode::kSnapshotPassThrough) {
    // A read-only snapshot. A driver that lacks either still gives every row
    // at once below, which is what a snapshot means to the callers.
    SQLSetStmtAttr(stmt.get(), SQL_ATTR_CURSOR_TYPE,
                   reinterpret_cast<SQLPOINTER>(SQL_CURSOR_STATIC), 0);
    SQLSetStmtAttr(stmt.get(), SQL_ATTR_CONCURRENCY,
                   reinterpret_cast<SQLPOINTER>(SQL_CONCUR_READ_ONLY), 0);
  }
  std::string text = sql;
  SQLRETURN rc = SQLExecDirect(stmt.get(), reinterpret_cast<SQLCHAR*>(text.data()),
                               static_cast<SQLINTEGER>(text.size()));
  if (rc == SQL_NO_DATA) return RowSet();
  if (!SQL_SUCCEEDED(rc)) return HandleError(SQL_HANDLE_STMT, stmt.get(), "The query failed.");

  SQLSMALLINT column_count = 0;
  if (!SQL_SUCCEEDED(SQLNumResultCols(stmt.get(), &column_count))) {
    return HandleError(SQL_HANDLE_STMT, stmt.get(), "The query failed.");
  }
  if (column_count == 0) return RowSet();  // a statement without a result set
  std::vector<std::string> columns;
  for (SQLUSMALLINT i = 1; i <= column_count; ++i) {
    std::vector<SQLCHAR> name(256);
    SQLSMALLINT length = 0, type = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    rc = SQLDescribeCol(stmt.get(), i, name.data(), static_cast<SQLSMALLINT>(name.size()), &length,
                        &type, &size, &digits, &nullable);
    if (SQL_SUCCEEDED(rc) && length >= static_cast<SQLSMALLINT>(name.size())) {
      name.resize(static_cast<size_t>(length) + 1);
      rc = SQLDescribeCol(stmt.get(), i, name.data(), static_cast<SQLSMALLINT>(name.size()),
                          &length, &type, &size, &digits, &nullable);
    }
    if (!SQL_SUCCEEDED(rc)) return HandleError(SQL_HANDLE_STMT, stmt.get(), "The query failed.");
    columns.emplace_back(reinterpret_cast<const char*>(name.data()));
  }

  std::vector<RowSet::Row> rows;
  for (;;) {
    rc = SQLFetch(stmt.get());
    if (rc == SQL_NO_DATA) break;
    if (!SQL_SUCCEEDED(rc))
      return HandleError(SQL_HANDLE_STMT, stmt.get(), "A row could not be read.");
    RowSet::Row row;
    row.reserve(static_cast<size_t>(column_count));
    for (SQLUSMALLINT i = 1; i <= column_count; ++i) {
      Result<std::optional<std::string>> value = ReadValue(stmt.get(), i);
      if (!value.ok()) return value.error();
      row.push_back(std::move(*value));
    }
    rows.push_back(std::move(row));
  }
  return RowSet(std::move(columns), std::move(rows));
}

Result<int64_t> OdbcDatabase::RunInTransaction(const std::string& sql) {
  begun_on_server_ = true;
  Statement stmt(dbc_);
  if (stmt.get() == SQL_NULL_HSTMT)
    return HandleError(SQL_HANDLE_DBC, dbc_, "No statement handle.");
  std::string text = sql;
  SQLRETURN rc = SQLExecDirect(stmt.get(), reinterpret_cast<SQLCHAR*>(text.data()),
                               static_cast<SQLINTEGER>(text.size()));
  // SQL_NO_DATA: a searched update or delete that matched no row.
  if (rc == SQL_NO_DATA) return int64_t{0};
  if (!SQL_SUCCEEDED(rc)) return HandleError(SQL_HANDLE_STMT, stmt.get(), "The statement failed.");
  SQLLEN count = 0;
  if (!SQL_SUCCEEDED(SQLRowCount(stmt.get(), &count))) {
    return HandleError(SQL_HANDLE_STMT, stmt.get(), "The statement failed.");
  }
  return static_cast<int64_t>(count);
}

Result<int64_t> OdbcDatabase::Execute(const std::string& sql) {
  if (lost_ > 0) return LostTransaction();
  BOLETO_RETURN_IF_ERROR(KeepLockWaitWithinDeadline());
  if (in_transaction_) return RunInTransaction(sql);
  SQLRETURN rc = SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT,
                                   reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0);
  if (!SQL_SUCCEEDED(rc))
    return HandleError(SQL_HANDLE_DBC, dbc_, "No transaction could be begun.");

  Result<int64_t> result = RunInTransaction(sql);
  if (result.ok()) {
    rc = SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_COMMIT);
    if (!SQL_SUCCEEDED(rc)) {
      result = HandleError(SQL_HANDLE_DBC, dbc_, "The transaction could not be committed.");
    }
  }
  if (!result.ok()) SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK);
  SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
  return result;
}

// A transaction begun inside another is a savepoint of it: its statements
// are undone alone on Rollback and kept, still uncommitted, on Commit.
Status OdbcDatabase::Begin() {
  if (lost_ > 0) return LostTransaction();
  if (in_transaction_) {
    const std::optional<SavepointSql> savepoint = Savepoint(savepoints_ + 1);
    if (savepoint && !begun_on_server_) {
      unset_savepoints_ = ++savepoints_;
      return Status::Ok();
    }
    if (!savepoint) {
      return MakeError(error_number::kOdbcCallFailed,
                       "No transaction can be begun inside another: the " +
                           std::string(DialectTag(dialect_)) + " dialect has no savepoints.",
                       "ODBC");
    }
    Result<int64_t> set = RunInTransaction(savepoint->set);
    if (!set.ok()) return set.error();
    ++savepoints_;
    return Status::Ok();
  }
  SQLRETURN rc = SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT,
                                   reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0);
  if (!SQL_SUCCEEDED(rc))
    return HandleError(SQL_HANDLE_DBC, dbc_, "No transaction could be begun.");
  in_transaction_ = true;
  begun_on_server_ = false;
  return Status::Ok();
}

Status OdbcDatabase::Commit() {
  if (lost_ > 0) {
    --lost_;
    return LostTransaction();
  }
  if (!in_transaction_) return Status::Ok();
  if (savepoints_ > 0) {
    // Where the dialect has no release, the savepoint simply stays.
    const std::string release =
        savepoints_ > unset_savepoints_ ? Savepoint(savepoints_)->release : "";
    Result<int64_t> released = release.empty() ? int64_t{0} : RunInTransaction(release);
    if (!released.ok()) {
      Rollback();
      return released.error();
    }
    unset_savepoints_ = std::min(unset_savepoints_, --savepoints_);
    return Status::Ok();
  }
  if (!SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_COMMIT))) {
    Error error = HandleError(SQL_HANDLE_DBC, dbc_, "The transaction could not be committed.");
    EndTransaction(SQL_ROLLBACK);
    return error;
  }
  EndTransaction(SQL_COMMIT);
  return Status::Ok();
}

void OdbcDatabase::Rollback() {
  if (lost_ > 0) {
    --lost_;
    return;
  }
  if (!in_transaction_) return;
  if (savepoints_ > 0 && savepoints_ <= unset_savepoints_) {
    // Nothing ran before it: the transactions around it go on, empty.
    unset_savepoints_ = --savepoints_;
    SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK);
    begun_on_server_ = false;
    return;
  }
  if (savepoints_ > 0) {
    const SavepointSql savepoint = *Savepoint(savepoints_);
    --savepoints_;
    Result<int64_t> undone = RunInTransaction(savepoint.undo);
    if (undone.ok() && (savepoint.release.empty() || RunInTransaction(savepoint.release).ok())) {
      return;
    }
    // A savepoint that cannot be undone leaves nothing to trust: the whole
    // transaction goes, with every transaction still open around this one.
    lost_ = savepoints_ + 1;
    savepoints_ = 0;
  }
  EndTransaction(SQL_ROLLBACK);
}

void OdbcDatabase::EndTransaction(SQLSMALLINT completion) {
  if (completion == SQL_ROLLBACK) SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK);
  SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
  in_transaction_ = false;
  savepoints_ = 0;
  unset_savepoints_ = 0;
  begun_on_server_ = false;
}

// Drops the "ODBC;" that older callers put before the connect string.
std::string_view WithoutOdbcPrefix(std::string_view connect_string) {
  constexpr std::string_view kPrefix = "ODBC;";
  if (connect_string.size() >= kPrefix.size() &&
      strncasecmp(connect_string.data(), kPrefix.data(), kPrefix.size()) == 0) {
    connect_string.remove_prefix(kPrefix.size());
  }
  return connect_string;
}

}  // namespace

Result<std::unique_ptr<Database>> OpenOdbcDatabase(std::string_view connect_string,
                                                   Dialect dialect) {
  auto db = std::make_unique<OdbcDatabase>(dialect);
  Status status = db->Connect(WithoutOdbcPrefix(connect_string));
  if (!status.ok()) return status.error();
  return std::unique_ptr<Database>(std::move(db));
}

}  // namespace boleto
