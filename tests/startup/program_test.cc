// The built boleto-sr as its callers start it: options, usage, and argument
// texts of any length and bytes ending with a status, never a crash or hang.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "db/error_report.h"
#include "e2e/program_runner.h"
#include "startup/command_line.h"
#include "support/paths.h"
#include "support/sqlite_fixture.h"

namespace boleto {
namespace {

using testing::ProgramPath;
using testing::ProgramRun;
using testing::RunProgram;

TEST(Program, HelpGoesToStandardOutput) {
  const ProgramRun run = RunProgram(ProgramPath(), {"--help"});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.out, UsageText());
  EXPECT_EQ(run.err, "");
}

TEST(Program, Version) {
  const ProgramRun run = RunProgram(ProgramPath(), {"--version"});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.out, ProgramIdentification() + "\n");
}

TEST(Program, BadUsageIsStatus64WithUsageOnStandardError) {
  const std::vector<std::vector<std::string>> cases = {
      {}, {""}, {"--output"}, {"--printer", "P"}, {"--verbose", "SQLITE"}, {"SQLITE", "DSN=x"}};
  for (const std::vector<std::string>& args : cases) {
    const ProgramRun run = RunProgram(ProgramPath(), args);
    EXPECT_EQ(run.exit_status, kExitUsage) << args.size();
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find(UsageText()), std::string::npos) << run.err;
  }
}

// A handful of random argument texts, with random bytes and with a real
// database whose company is missing: each ends with its status (2 for a
// control character or a connect string that opens nothing, 1 for a
// company without a row).
TEST(Program, RandomArgumentTextsEndWithAStatus) {
  auto fixture = testing::SqliteFixture::Create();
  ASSERT_TRUE(fixture.ok()) << fixture.error().description;
  std::string connect = (*fixture)->connect_string();
  connect.resize(63, ' ');
  // Beside the database, in the fixture's own folder, removed with it.
  const std::string page = (*fixture)->path() + ".pdf";
  std::mt19937 random(133);
  for (int round = 0; round < 8; ++round) {
    const size_t length = 1 + random() % 500;
    std::string text(length, ' ');
    for (char& c : text) c = static_cast<char>(1 + random() % 255);  // argv holds no NUL
    if (round % 2 == 1) {
      // No control character (C0, DEL, C1 as Windows-1252 reads 80-9F) in
      // the rounds with a real database: it would be refused before the
      // database is opened.
      for (char& c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || (byte >= 0x7F && byte <= 0x9F)) c = 'x';
      }
    }
    const bool real_database = round % 2 == 1 && length >= 79;
    if (real_database) text.replace(0, 15 + 63, "SQLITE         " + connect);
    const ProgramRun run = RunProgram(ProgramPath(), {"--output", page, "--", text}, {}, 30000);
    ASSERT_FALSE(run.timed_out) << "round " << round;
    ASSERT_EQ(run.signal, 0) << "round " << round;
    EXPECT_EQ(run.exit_status, real_database ? kExitRefused : kExitErrorReported)
        << "round " << round << "\n"
        << run.err;
  }
}

}  // namespace
}  // namespace boleto
