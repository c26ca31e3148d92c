// The database as the program uses it: read-only snapshot queries whose SQL
// goes to the server unchanged, and statements that run in a transaction of
// their own or, between Begin and Commit, in one transaction together.
// Lock waits can share one deadline: between BeginLockDeadline and
// EndLockDeadline no statement waits for a lock past the connection's own
// lock wait counted from BeginLockDeadline.
// Implementations: the ODBC connection (odbc_database.h) and, for tests, a
// tracing wrapper that records every SQL text it passes on.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace boleto {

// How a query is opened. Snapshot with pass-through is the rule; the
// "SQLSERVER" dialect opens three queries with the engine's defaults.
enum class QueryMode { kSnapshotPassThrough, kEngineDefault };

// A read-only snapshot: every row is fetched when the query is opened. Values
// are UTF-8 text as the driver renders them (dates "YYYY-MM-DD", decimals with
// a dot); SQL NULL is kept apart from the empty text.
class RowSet {
 public:
  using Row = std::vector<std::optional<std::string>>;

  RowSet() = default;
  RowSet(std::vector<std::string> columns, std::vector<Row> rows);

  // True when there is no current row (empty result, or moved past the last).
  bool eof() const { return current_ >= rows_.size(); }
  void MoveFirst() { current_ = 0; }
  void MoveNext() {
    if (current_ < rows_.size()) ++current_;
  }
  size_t row_count() const { return rows_.size(); }
  const std::vector<std::string>& columns() const { return columns_; }
  const std::vector<Row>& rows() const { return rows_; }
  // The position of the column named, compared case-insensitively.
  std::optional<size_t> ColumnIndex(std::string_view column) const;
  bool operator==(const RowSet&) const = default;

  // The current row's value of the column named, compared case-insensitively;
  // nullopt for SQL NULL. Error 3021 without a current row, 3265 for an
  // unknown column.
  Result<std::optional<std::string>> Value(std::string_view column) const;
  // The same value where text is required: SQL NULL is error 94.
  Result<std::string> Text(std::string_view column) const;

 private:
  std::vector<std::string> columns_;
  std::vector<Row> rows_;
  size_t current_ = 0;
};

class Database {
 public:
  virtual ~Database() = default;

  // Opens a read-only snapshot of `sql`, positioned on its first row.
  virtual Result<RowSet> Query(const std::string& sql, QueryMode mode) = 0;
  Result<RowSet> Query(const std::string& sql) {
    return Query(sql, QueryMode::kSnapshotPassThrough);
  }
  // Query for a setting that the program only reads (a bank, account,
  // portfolio, instruction, species, the company, a payer's registry
  // entry): a batch may answer it from its first answer (CachingDatabase).
  virtual Result<RowSet> QuerySetting(const std::string& sql, QueryMode mode) {
    return Query(sql, mode);
  }
  Result<RowSet> QuerySetting(const std::string& sql) {
    return QuerySetting(sql, QueryMode::kSnapshotPassThrough);
  }
  // Query for the server's clock (ServerNowSql): a batch may answer it from
  // an answer given less than a second before on the same local day.
  virtual Result<RowSet> QueryClock(const std::string& sql) { return Query(sql); }

  // Runs one statement. Outside a transaction it is a transaction of its
  // own: committed when it succeeds, rolled back when it fails. Inside one
  // (after Begin) nothing is committed until Commit. Returns the number of
  // rows affected. A lock held by another connection is error 3158.
  // Inside a transaction, a statement that fails may leave it unusable
  // until the innermost transaction is rolled back (on PostgreSQL:
  // FailedStatementHaltsTransaction in dialect.h): a caller that goes on
  // after a failure there runs the statement in a transaction of its own,
  // nested in the open one.
  virtual Result<int64_t> Execute(const std::string& sql) = 0;

  // Opens a transaction: every query and statement until Commit or Rollback
  // belongs to it, and a process that dies before the outermost Commit
  // leaves nothing of it behind. Inside an open transaction it opens a
  // nested one (an SQL savepoint), or fails where the database nests none.
  virtual Status Begin() = 0;
  // True when a transaction can be begun inside an open one.
  virtual bool NestsTransactions() const = 0;
  // Ends the innermost transaction: the outermost one's statements become
  // durable, a nested one's join the transaction around it. On failure it
  // is rolled back.
  virtual Status Commit() = 0;
  // Undoes the innermost transaction's statements (nothing when none is
  // open); the transaction around a nested one goes on.
  virtual void Rollback() = 0;

  // From here until the matching EndLockDeadline, the lock waits of every
  // statement and query together end at one deadline: the connection's own
  // lock wait, counted from now. Past it a statement still runs but no
  // longer waits for a lock held elsewhere (it fails with error 3158
  // instead). Inside an open deadline it keeps the open one.
  virtual void BeginLockDeadline() {}
  virtual void EndLockDeadline() {}
};

// One deadline for the lock waits of a scope (BeginLockDeadline).
class LockDeadline {
 public:
  explicit LockDeadline(Database& db) : db_(db) { db_.BeginLockDeadline(); }
  ~LockDeadline() { db_.EndLockDeadline(); }
  LockDeadline(const LockDeadline&) = delete;
  LockDeadline& operator=(const LockDeadline&) = delete;

 private:
  Database& db_;
};

// A transaction rolled back when it goes out of scope uncommitted.
class Transaction {
 public:
  explicit Transaction(Database& db) : db_(db) {}
  ~Transaction() {
    if (open_) db_.Rollback();
  }
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  Status Begin() {
    Status status = db_.Begin();
    open_ = status.ok();
    return status;
  }
  // Opens a transaction that the ones begun inside it join as nested ones,
  // where the database nests transactions; elsewhere it opens nothing, and
  // each one begun inside until Commit is a transaction of its own.
  Status BeginGroup() {
    if (db_.NestsTransactions()) return Begin();
    ungrouped_ = true;
    return Status::Ok();
  }
  // True from a successful Begin (or a BeginGroup that opened a
  // transaction) until Commit: a lock taken meanwhile is held until then.
  bool is_open() const { return open_; }
  Status Commit() {
    open_ = false;
    if (ungrouped_) return Status::Ok();
    return db_.Commit();
  }

 private:
  Database& db_;
  bool open_ = false;
  bool ungrouped_ = false;  // BeginGroup opened nothing: nothing to commit
};

// Passes everything on to another database and keeps each SQL text, with the
// way it was run, for tests to assert on. Settings and clock queries pass
// through Query, so the database behind sees them as plain queries.
class TracingDatabase : public Database {
 public:
  struct Statement {
    std::string sql;
    bool is_query;
    QueryMode mode;
  };

  explicit TracingDatabase(Database& inner) : inner_(inner) {}
  using Database::Query;
  Result<RowSet> Query(const std::string& sql, QueryMode mode) override;
  Result<int64_t> Execute(const std::string& sql) override;
  Status Begin() override { return inner_.Begin(); }
  bool NestsTransactions() const override { return inner_.NestsTransactions(); }
  Status Commit() override { return inner_.Commit(); }
  void Rollback() override { inner_.Rollback(); }
  void BeginLockDeadline() override { inner_.BeginLockDeadline(); }
  void EndLockDeadline() override { inner_.EndLockDeadline(); }

  std::vector<Statement> statements;

 private:
  Database& inner_;
};

}  // namespace boleto
