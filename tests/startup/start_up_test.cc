#include "startup/start_up.h"

#include <gtest/gtest.h>

#include <string>

#include "startup/command_line.h"
#include "support/sqlite_fixture.h"

namespace boleto {
namespace {

const char kStartUpContext[] =
    "  Parâmetros não cadastrados corretamente, verifique e corrija antes de prosseguir. \r";

struct StartUpRun {
  RecordingMessages messages;
  RunContext ctx;
  StartUpRun() { ctx.messages = &messages; }
};

// The decimal mark is set once a text has been read, and left empty without
// one; neither opens a connection here, which is reported with the start-up
// context.
TEST(StartUp, DecimalMarkAndFailedConnection) {
  for (const std::string text : {"", "SQLITE"}) {
    StartUpRun run;
    EXPECT_EQ(StartUp(run.ctx, text), kExitErrorReported);
    EXPECT_EQ(run.ctx.decimal_mark, text.empty() ? "" : ".");
    ASSERT_EQ(run.messages.shown.size(), 1u);
    const std::string& report = run.messages.shown[0].text;
    EXPECT_EQ(report.rfind("Error #  ", 0), 0u) << report;
    EXPECT_TRUE(report.ends_with(kStartUpContext)) << report;
  }
}

// A connect string in the ODBC prefix form of older callers still opens the
// database; the company is then looked up (and here missing).
TEST(StartUp, OdbcPrefixedConnectStringOpens) {
  auto fixture = testing::SqliteFixture::Create();
  ASSERT_TRUE(fixture.ok()) << fixture.error().description;
  std::string connect = "ODBC;" + (*fixture)->connect_string();
  ASSERT_LE(connect.size(), 63u);
  connect.resize(63, ' ');
  StartUpRun run;
  const std::string text = "  SQLITE       " + connect + " 01 01       DM         1   1001     01";
  EXPECT_EQ(StartUp(run.ctx, text), kExitRefused);
  EXPECT_EQ(run.ctx.params.database_type, "SQLITE");
  EXPECT_EQ(run.messages.texts(),
            std::vector<std::string>{"Verifique parâmetros de conexão e permissão de acesso."});
}

}  // namespace
}  // namespace boleto
