// Reading ahead on both engines: every answer an installment's own query
// gets from the read-ahead is the answer the database gives that query, and
// only answers that can be told apart exactly are given ahead.

#include "startup/read_ahead.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "boleto/queries.h"
#include "ledger/ledger_database.h"
#include "validation/eligibility.h"

namespace boleto {
namespace {

using ledger_testing::Engine;
using ledger_testing::InstallmentRows;
using ledger_testing::LedgerDatabase;

InstallmentKey KeyOf(const std::string& numero, const std::string& parcela = "02") {
  return InstallmentKey{"01", "01      ", "DM        ", "1  ", numero, parcela};
}

class ReadAheadTest : public ::testing::TestWithParam<Engine> {
 public:
  void SetUp() override {
    Result<std::unique_ptr<LedgerDatabase>> made = LedgerDatabase::Create(GetParam());
    ASSERT_TRUE(made.ok()) << made.error().description;
    database_ = std::move(*made);
    for (const char* numero : {"123     ", "124     ", "125     ", "127     "}) {
      ASSERT_TRUE(database_->Run(InstallmentRows(KeyOf(numero))).ok());
    }
    // 124 paid, 125's document cancelled: the eligibility query finds them,
    // the installment query does not. 127 has a third installment.
    ASSERT_TRUE(database_
                    ->Run("UPDATE PARCELAR SET RECEBIMENTO = '2026-12-01' WHERE NUMERO = "
                          "'124     ' AND PARCELA = '02';"
                          "UPDATE DOCUMENTOR SET STATUS = 'C ' WHERE NUMERO = '125     ';"
                          "INSERT INTO PARCELAR (CODIGOEMP, CODIGOUNIDADE, CODIGODOCUMENTO, "
                          "SERIE, NUMERO, PARCELA, VALOR) VALUES ('01', '01      ', "
                          "'DM        ', '1  ', '127     ', '03', 5)")
                    .ok());
    dialect_ = *ParseDialect(database_->dialect());
  }

  // The three queries of `key` as the installment's run asks them.
  std::vector<std::pair<std::string, QueryMode>> OwnQueries(const InstallmentKey& key) const {
    const QueryMode mode = InstallmentQueryMode(dialect_);
    return {
        {EligibilityInstallmentQuery(key, std::span(&key.numero, 1), std::span(&key.parcela, 1)),
         mode},
        {InstallmentQuery(dialect_, key), mode},
        {InstallmentCountQuery(key), QueryMode::kSnapshotPassThrough}};
  }

  std::unique_ptr<LedgerDatabase> database_;
  Dialect dialect_ = Dialect::kSqlite;
};

TEST_P(ReadAheadTest, EachInstallmentGetsWhatItsOwnQueriesFind) {
  struct Case {
    const char* why;
    std::vector<InstallmentKey> keys;
    size_t read_ahead;   // statements reading ahead
    size_t own_queries;  // the keys' own queries that still reach the database
  };
  const Case cases[] = {
      {"open, paid, cancelled, missing, two installments of one document",
       {KeyOf("123     "), KeyOf("124     "), KeyOf("125     "), KeyOf("126     "),
        KeyOf("127     "), KeyOf("127     ", "03")},
       3,
       0},
      // Numbers a CHAR column or a collation may take for each other ask on
      // their own (PostgreSQL's CHAR takes the first two for one).
      {"a number with and without its padding", {KeyOf("123     "), KeyOf("123")}, 0, 6},
      {"a number in two cases", {KeyOf("12a     "), KeyOf("12A     ")}, 0, 6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    auto tracing = std::make_unique<TracingDatabase>(database_->db());
    TracingDatabase& traced = *tracing;
    CachingDatabase cached(std::move(tracing));
    ReadAhead(cached, dialect_, c.keys);
    const size_t read_ahead = traced.statements.size();
    EXPECT_EQ(read_ahead, c.read_ahead);
    for (const InstallmentKey& key : c.keys) {
      for (const auto& [sql, mode] : OwnQueries(key)) {
        Result<RowSet> given = cached.Query(sql, mode);
        Result<RowSet> found = database_->db().Query(sql, mode);
        ASSERT_TRUE(given.ok() && found.ok()) << sql;
        EXPECT_EQ(*given, *found) << key.numero << key.parcela << ": " << sql;
      }
    }
    EXPECT_EQ(traced.statements.size() - read_ahead, c.own_queries);
    // An answer is given once: asked again, the query goes to the database.
    const auto [sql, mode] = OwnQueries(c.keys.front()).front();
    ASSERT_TRUE(cached.Query(sql, mode).ok());
    EXPECT_EQ(traced.statements.back().sql, sql);
  }
}

LEDGER_TESTS_ON_BOTH_ENGINES(ReadAheadTest);

}  // namespace
}  // namespace boleto
