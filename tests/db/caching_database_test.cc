// A batch answers settings queries from their first answer and the server's
// clock from an answer a second old at most; everything else, and above all
// what another clerk may change meanwhile, is read from the database again.

#include "db/caching_database.h"

#include <gtest/gtest.h>

#include <thread>

#include "support/sqlite_fixture.h"

namespace boleto {
namespace {

using Clock = CachingDatabase::Clock;

TEST(CachingDatabaseTest, KeepsEachAnswerAsLongAsItsRuleSays) {
  Result<std::unique_ptr<testing::SqliteFixture>> fixture = testing::SqliteFixture::Create();
  ASSERT_TRUE(fixture.ok()) << fixture.error().description;
  testing::SqliteFixture& f = **fixture;
  ASSERT_TRUE(f.Run("INSERT INTO EMPRESA (CODIGO, NOME) VALUES ('01', 'Antes')").ok());
  Result<std::unique_ptr<Database>> other = f.Open();  // the other clerk
  ASSERT_TRUE(other.ok());

  const std::string setting = "SELECT NOME AS N FROM EMPRESA WHERE CODIGO = '01'";
  const std::string live = "SELECT NOME AS N FROM EMPRESA WHERE CODIGO LIKE '01'";
  const std::string clock = "SELECT NOME AS N FROM EMPRESA WHERE '01' = CODIGO";
  constexpr auto kClockAge = std::chrono::milliseconds(300);
  CachingDatabase cached(std::move(f.Open()).value(),
                         [&](const std::string& sql) -> std::optional<Clock::duration> {
                           if (sql == live) return std::nullopt;
                           if (sql == clock) return kClockAge;
                           return Clock::duration::max();
                         });
  auto name = [&](const std::string& sql) {
    Result<RowSet> rows = cached.Query(sql);
    EXPECT_TRUE(rows.ok());
    return rows.ok() ? rows->Text("N").value() : std::string();
  };
  for (const std::string* sql : {&setting, &live, &clock}) EXPECT_EQ(name(*sql), "Antes");
  ASSERT_TRUE((*other)->Execute("UPDATE EMPRESA SET NOME = 'Depois'").ok());

  struct Case {
    const std::string* sql;
    const char* now;
    const char* once_the_clock_answer_is_old;
  };
  const Case cases[] = {
      {&setting, "Antes", "Antes"}, {&live, "Depois", "Depois"}, {&clock, "Antes", "Depois"}};
  for (const Case& c : cases) EXPECT_EQ(name(*c.sql), c.now) << *c.sql;
  std::this_thread::sleep_for(kClockAge + std::chrono::milliseconds(50));
  for (const Case& c : cases) EXPECT_EQ(name(*c.sql), c.once_the_clock_answer_is_old) << *c.sql;
}

}  // namespace
}  // namespace boleto
