// A database that answers the queries its callers mark as settings from
// their first answer: a batch of thousands of installments asks the same
// bank, account, portfolio, company and payer questions again and again.
// The server's clock is answered from an answer less than a second old given
// on the same local day, so that a page never carries the date of another
// day. A query whose answer the batch read ahead, with those of other
// installments, is answered once from it. Every other query (the default:
// live data that the batch itself or another clerk may change), statements
// and transactions go to the database. A batch sees the settings as they
// were when it first read them.
// Touches: the database, the local clock.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "db/database.h"
#include "platform/date.h"

namespace boleto {

class CachingDatabase : public Database {
 public:
  using Clock = std::chrono::steady_clock;
  // The local date now.
  using LocalDate = std::function<Date()>;

  // A clock answer is asked again once it is this old: the page prints the
  // day it gives, and a batch composes hundreds of pages a second.
  static constexpr std::chrono::seconds kClockKeptFor{1};

  explicit CachingDatabase(std::unique_ptr<Database> inner, LocalDate local_date = &Date::Today)
      : inner_(std::move(inner)), local_date_(std::move(local_date)) {}

  using Database::Query;
  using Database::QuerySetting;
  // An anticipated answer to exactly `sql` in `mode` is given, once;
  // anything else goes to the database.
  Result<RowSet> Query(const std::string& sql, QueryMode mode) override;
  Result<RowSet> QuerySetting(const std::string& sql, QueryMode mode) override;
  Result<RowSet> QueryClock(const std::string& sql) override;
  Result<int64_t> Execute(const std::string& sql) override { return inner_->Execute(sql); }
  Status Begin() override { return inner_->Begin(); }
  bool NestsTransactions() const override { return inner_->NestsTransactions(); }
  Status Commit() override { return inner_->Commit(); }
  void Rollback() override { inner_->Rollback(); }
  void BeginLockDeadline() override { inner_->BeginLockDeadline(); }
  void EndLockDeadline() override { inner_->EndLockDeadline(); }

  // Gives `answer` to the next Query of exactly `sql` in `mode`, in place of
  // the database's: a batch reads the rows of many installments in one query
  // and hands each installment's query its own. Each answer is given once.
  void Anticipate(std::string sql, QueryMode mode, RowSet answer);
  // Forgets the anticipated answers not given yet (an installment refused
  // before its query ran leaves its answers behind).
  void ForgetAnticipated() { anticipated_.clear(); }

 private:
  // A clock answer, with when it was given (errors are never kept).
  struct ClockAnswer {
    RowSet answer;
    Clock::time_point asked;
    Date local_date;
  };
  std::unique_ptr<Database> inner_;
  LocalDate local_date_;
  std::map<std::pair<std::string, QueryMode>, RowSet> settings_;
  std::map<std::string, ClockAnswer> clock_;
  // Two installments of one document ask the same count: one answer each.
  std::multimap<std::pair<std::string, QueryMode>, RowSet> anticipated_;
};

}  // namespace boleto
