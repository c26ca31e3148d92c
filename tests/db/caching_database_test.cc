// A batch answers the queries its callers mark as settings from their first
// answer and the server's clock from an answer a second old at most, given
// on the same local day; every other query, and above all what another clerk
// may change meanwhile, is read from the database again, whatever it names.

#include "db/caching_database.h"

#include <gtest/gtest.h>

#include <thread>

#include "support/sqlite_fixture.h"

namespace boleto {
namespace {

class CachingDatabaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Result<std::unique_ptr<testing::SqliteFixture>> fixture = testing::SqliteFixture::Create();
    ASSERT_TRUE(fixture.ok()) << fixture.error().description;
    fixture_ = std::move(fixture).value();
    ASSERT_TRUE(fixture_->Run("INSERT INTO EMPRESA (CODIGO, NOME) VALUES ('01', 'Antes')").ok());
    Result<std::unique_ptr<Database>> other = fixture_->Open();
    ASSERT_TRUE(other.ok());
    other_ = std::move(other).value();
  }

  // Another clerk renames the company.
  void Rename(const char* name) {
    ASSERT_TRUE(other_->Execute(std::string("UPDATE EMPRESA SET NOME = '") + name + "'").ok());
  }

  static std::string Name(const Result<RowSet>& rows) {
    EXPECT_TRUE(rows.ok());
    return rows.ok() ? rows->Text("N").value() : std::string();
  }

  std::unique_ptr<testing::SqliteFixture> fixture_;
  std::unique_ptr<Database> other_;
};

constexpr char kSql[] = "SELECT NOME AS N FROM EMPRESA WHERE CODIGO = '01'";

TEST_F(CachingDatabaseTest, KeepsWhatTheCallerMarksAndNothingElse) {
  CachingDatabase cached(std::move(fixture_->Open()).value());
  // One text, asked three ways; it names none of the tables a batch writes.
  struct Way {
    const char* what;
    std::function<Result<RowSet>()> ask;
    const char* after_the_rename;
  };
  const Way ways[] = {
      {"setting", [&] { return cached.QuerySetting(kSql); }, "Antes"},
      {"setting, engine defaults",
       [&] { return cached.QuerySetting(kSql, QueryMode::kEngineDefault); }, "Antes"},
      {"query", [&] { return cached.Query(kSql); }, "Depois"},
      {"clock, within its second", [&] { return cached.QueryClock(kSql); }, "Antes"},
  };
  for (const Way& way : ways) EXPECT_EQ(Name(way.ask()), "Antes") << way.what;
  Rename("Depois");
  for (const Way& way : ways) EXPECT_EQ(Name(way.ask()), way.after_the_rename) << way.what;
  std::this_thread::sleep_for(CachingDatabase::kClockKeptFor + std::chrono::milliseconds(50));
  EXPECT_EQ(Name(cached.QueryClock(kSql)), "Depois") << "a clock answer a second old";
  EXPECT_EQ(Name(cached.QuerySetting(kSql)), "Antes") << "a setting, for the whole batch";
}

// A page composed just after midnight never carries the day before: the
// clock's answer is asked again once the local date has changed, however
// young it is.
TEST_F(CachingDatabaseTest, ClockAnswerIsNeverKeptPastMidnight) {
  Date today = *Date::FromYmd(2026, 12, 6);
  CachingDatabase cached(std::move(fixture_->Open()).value(), [&] { return today; });
  EXPECT_EQ(Name(cached.QueryClock(kSql)), "Antes");
  Rename("Depois");
  EXPECT_EQ(Name(cached.QueryClock(kSql)), "Antes") << "the same day, the same second";
  today = *Date::FromYmd(2026, 12, 7);
  EXPECT_EQ(Name(cached.QueryClock(kSql)), "Depois") << "after midnight";
  Rename("Outra");
  EXPECT_EQ(Name(cached.QueryClock(kSql)), "Depois") << "kept again on the new day";
}

// Without a batch's cache every way of asking reads the database.
TEST_F(CachingDatabaseTest, TheDatabaseItselfKeepsNothing) {
  std::unique_ptr<Database> db = std::move(fixture_->Open()).value();
  EXPECT_EQ(Name(db->QuerySetting(kSql)), "Antes");
  EXPECT_EQ(Name(db->QueryClock(kSql)), "Antes");
  Rename("Depois");
  EXPECT_EQ(Name(db->QuerySetting(kSql)), "Depois");
  EXPECT_EQ(Name(db->QueryClock(kSql)), "Depois");
}

}  // namespace
}  // namespace boleto
