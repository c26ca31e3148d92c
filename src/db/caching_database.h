// A database whose read-only queries of settings are answered, after the
// first time, from the first answer: a batch of thousands of installments
// asks the same bank, account, portfolio, company and payer questions again
// and again. Which queries may be kept, and for how long, is the caller's
// rule; statements, transactions and every other query go to the database.
// A batch sees the settings as they were when it first read them.
// Touches: the database.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "db/database.h"

namespace boleto {

class CachingDatabase : public Database {
 public:
  using Clock = std::chrono::steady_clock;
  // How long the answer to `sql` may be kept: nothing for a query that
  // always goes to the database, Clock::duration::max() for as long as the
  // database is open.
  using KeepFor = std::function<std::optional<Clock::duration>(const std::string& sql)>;

  // Keeps the answers of the queries as `keep_for` says (errors are never
  // kept).
  CachingDatabase(std::unique_ptr<Database> inner, KeepFor keep_for)
      : inner_(std::move(inner)), keep_for_(std::move(keep_for)) {}

  using Database::Query;
  Result<RowSet> Query(const std::string& sql, QueryMode mode) override;
  Result<int64_t> Execute(const std::string& sql) override { return inner_->Execute(sql); }
  Status Begin() override { return inner_->Begin(); }
  bool NestsTransactions() const override { return inner_->NestsTransactions(); }
  Status Commit() override { return inner_->Commit(); }
  void Rollback() override { inner_->Rollback(); }
  void BeginLockDeadline() override { inner_->BeginLockDeadline(); }
  void EndLockDeadline() override { inner_->EndLockDeadline(); }

 private:
  struct Kept {
    RowSet answer;
    Clock::time_point until;
  };
  std::unique_ptr<Database> inner_;
  KeepFor keep_for_;
  std::map<std::pair<std::string, QueryMode>, Kept> answers_;
};

}  // namespace boleto
