// A database whose read-only queries of settings are answered, after the
// first time, from the first answer: a batch of thousands of installments
// asks the same bank, account, portfolio, company and payer questions again
// and again. Which queries may be kept is the caller's rule; statements,
// transactions and every other query go to the database. A batch sees the
// settings as they were when it first read them. Touches: the database.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "db/database.h"

namespace boleto {

class CachingDatabase : public Database {
 public:
  // Keeps the answers of the queries `cacheable` accepts (errors are never
  // kept).
  CachingDatabase(std::unique_ptr<Database> inner,
                  std::function<bool(const std::string& sql)> cacheable)
      : inner_(std::move(inner)), cacheable_(std::move(cacheable)) {}

  using Database::Query;
  Result<RowSet> Query(const std::string& sql, QueryMode mode) override;
  Result<int64_t> Execute(const std::string& sql) override { return inner_->Execute(sql); }
  Status Begin() override { return inner_->Begin(); }
  Status Commit() override { return inner_->Commit(); }
  void Rollback() override { inner_->Rollback(); }

 private:
  std::unique_ptr<Database> inner_;
  std::function<bool(const std::string&)> cacheable_;
  std::map<std::pair<std::string, QueryMode>, RowSet> answers_;
};

}  // namespace boleto
