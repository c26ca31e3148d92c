// Runs every tests/e2e/scenarios/*.scenario file (format in scenario_file.h)
// on each engine it names: a fresh database, the built boleto-sr started
// with the scenario's options and argument text, then the expected standard
// error, exit status, files and database rows.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "db/database.h"
#include "db/error_report.h"
#include "e2e/program_runner.h"
#include "e2e/scenario_file.h"
#include "support/fifo_copy.h"
#include "support/paths.h"
#include "support/postgres_cluster.h"
#include "support/sqlite_fixture.h"

namespace boleto::testing {
namespace {

// How long one run of the program may take before it counts as a hang.
constexpr int kRunLimitMs = 60000;

std::string ScenarioDir() { return SourceDir() + "/tests/e2e/scenarios"; }

struct ScenarioRun {
  std::string file;
  std::string engine;
};

void PrintTo(const ScenarioRun& run, std::ostream* os) { *os << run.file << " on " << run.engine; }

std::vector<ScenarioRun> AllScenarioRuns() {
  std::vector<std::string> files;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(ScenarioDir(), ec)) {
    if (entry.path().extension() == ".scenario") files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  std::vector<ScenarioRun> runs;
  for (const std::string& file : files) {
    std::string error;
    const std::string name = std::filesystem::path(file).stem().string();
    const std::optional<Scenario> scenario = ParseScenario(name, ReadFile(file), &error);
    if (!scenario) {
      runs.push_back({file, "unreadable"});  // fails with the parse error
      continue;
    }
    for (const std::string& engine : scenario->engines) runs.push_back({file, engine});
  }
  return runs;
}

std::string PadTo(std::string text, size_t columns) {
  if (text.size() < columns) text.append(columns - text.size(), ' ');
  return text;
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// The scenario's database on one engine, with the base rows and its SQL.
class ScenarioDatabase {
 public:
  virtual ~ScenarioDatabase() = default;
  virtual const std::string& connect_string() const = 0;
  virtual std::string tag() const = 0;
  virtual Status Run(const std::string& sql) = 0;
  virtual Result<std::unique_ptr<Database>> Open() = 0;
};

class SqliteScenarioDatabase : public ScenarioDatabase {
 public:
  explicit SqliteScenarioDatabase(std::unique_ptr<SqliteFixture> fixture)
      : fixture_(std::move(fixture)) {}
  const std::string& connect_string() const override { return fixture_->connect_string(); }
  std::string tag() const override { return "SQLITE"; }
  Status Run(const std::string& sql) override { return fixture_->Run(sql); }
  Result<std::unique_ptr<Database>> Open() override { return fixture_->Open(); }

 private:
  std::unique_ptr<SqliteFixture> fixture_;
};

class PostgresScenarioDatabase : public ScenarioDatabase {
 public:
  PostgresScenarioDatabase(PostgresCluster* cluster, std::string connect)
      : cluster_(cluster), connect_(std::move(connect)) {}
  const std::string& connect_string() const override { return connect_; }
  std::string tag() const override { return "POSTGRESQL"; }
  Status Run(const std::string& sql) override { return cluster_->Run(sql, connect_); }
  Result<std::unique_ptr<Database>> Open() override { return cluster_->Open(connect_); }

 private:
  PostgresCluster* cluster_;
  std::string connect_;
};

Result<std::unique_ptr<ScenarioDatabase>> MakeDatabase(const std::string& engine) {
  if (engine == "postgresql") {
    Result<PostgresCluster*> cluster = PostgresCluster::Shared();
    if (!cluster.ok()) return cluster.error();
    Result<std::string> connect = (*cluster)->NewDatabase();
    if (!connect.ok()) return connect.error();
    return std::unique_ptr<ScenarioDatabase>(
        std::make_unique<PostgresScenarioDatabase>(*cluster, *connect));
  }
  Result<std::unique_ptr<SqliteFixture>> fixture = SqliteFixture::Create();
  if (!fixture.ok()) return fixture.error();
  return std::unique_ptr<ScenarioDatabase>(
      std::make_unique<SqliteScenarioDatabase>(std::move(fixture).value()));
}

// The rows of `sql`, each as its columns joined by "|".
Result<std::vector<std::string>> RowsOf(Database& db, const std::string& sql) {
  Result<RowSet> rows = db.Query(sql);
  if (!rows.ok()) return rows.error();
  std::vector<std::string> result;
  for (rows->MoveFirst(); !rows->eof(); rows->MoveNext()) {
    std::string line;
    for (size_t i = 0; i < rows->columns().size(); ++i) {
      if (i > 0) line += "|";
      const Result<std::optional<std::string>> value = rows->Value(rows->columns()[i]);
      line += value.ok() && value->has_value() ? **value : "NULL";
    }
    result.push_back(line);
  }
  return result;
}

class ScenarioTest : public ::testing::TestWithParam<ScenarioRun> {};

TEST_P(ScenarioTest, Runs) {
  const ScenarioRun& run = GetParam();
  const std::string name = std::filesystem::path(run.file).stem().string();
  std::string parse_error;
  const std::optional<Scenario> parsed = ParseScenario(name, ReadFile(run.file), &parse_error);
  ASSERT_TRUE(parsed.has_value()) << parse_error;
  const Scenario& scenario = *parsed;
  SCOPED_TRACE(name + ": " + scenario.description);

  Result<std::unique_ptr<ScenarioDatabase>> made = MakeDatabase(run.engine);
  ASSERT_TRUE(made.ok()) << made.error().description;
  ScenarioDatabase& database = **made;

  const std::string out = MakeTempDir("scenario_");
  ASSERT_FALSE(out.empty());
  struct RemoveOnExit {
    const std::string& dir;
    ~RemoveOnExit() { RemoveTree(dir); }
  } remove_out{out};
  const auto expand = [&](std::string text) {
    text = ReplaceAll(text, "{TAG}", PadTo(database.tag(), 15));
    text = ReplaceAll(text, "{CONNECT}", PadTo(database.connect_string(), 63));
    text = ReplaceAll(text, "{OUT}", out);
    text = ReplaceAll(text, "{SOURCE}", SourceDir());
    text = ReplaceAll(text, "{DEMO_PRINT}", SourceDir() + "/demo/print");
    text = ReplaceAll(text, "{PROGRAM}", ProgramIdentification());
    for (size_t at = text.find("{CONNECT="); at != std::string::npos;
         at = text.find("{CONNECT=", at)) {
      const size_t end = text.find('}', at);
      if (end == std::string::npos) break;
      const std::string connect = PadTo(text.substr(at + 9, end - at - 9), 63);
      text.replace(at, end - at + 1, connect);
      at += connect.size();
    }
    for (size_t at = text.find("{BYTE="); at != std::string::npos; at = text.find("{BYTE=", at)) {
      const std::string byte(1, static_cast<char>(std::stoi(text.substr(at + 6, 2), nullptr, 16)));
      text.replace(at, 9, byte);
      at += 1;
    }
    return text;
  };
  ASSERT_LE(database.connect_string().size(), 63u) << database.connect_string();

  if (scenario.base == "demo") {
    const std::string demo = DemoRowsSql();
    ASSERT_FALSE(demo.empty()) << "sql/demo.sql";
    const Status loaded = database.Run(demo);
    ASSERT_TRUE(loaded.ok()) << loaded.error().description;
  }
  if (!scenario.sql.empty()) {
    const Status ran = database.Run(expand(scenario.sql));
    ASSERT_TRUE(ran.ok()) << ran.error().description;
  }

  std::vector<std::string> args;
  for (const std::string& option : scenario.options) args.push_back(expand(option));
  if (scenario.argument) args.push_back(expand(*scenario.argument));
  for (const ScenarioPathPair& link : scenario.symlinks) {
    const std::filesystem::path path = expand(link.path);
    std::filesystem::create_directories((path.parent_path() / expand(link.other)).parent_path());
    std::filesystem::create_symlink(expand(link.other), path);
  }
  std::vector<std::unique_ptr<FifoCopy>> fifos;
  for (const ScenarioPathPair& fifo : scenario.fifos) {
    fifos.push_back(std::make_unique<FifoCopy>(expand(fifo.path), expand(fifo.other)));
  }
  const ProgramRun result = RunProgram(ProgramPath(), args, {}, kRunLimitMs);
  fifos.clear();

  EXPECT_FALSE(result.timed_out) << "no end after " << kRunLimitMs << " ms";
  EXPECT_EQ(result.signal, 0) << "ended by signal " << result.signal;
  EXPECT_EQ(result.exit_status, scenario.exit_status) << "standard error:\n" << result.err;
  if (scenario.stderr_exact) {
    EXPECT_EQ(result.err, expand(*scenario.stderr_exact));
  }
  for (const std::string& part : scenario.stderr_has) {
    EXPECT_NE(result.err.find(expand(part)), std::string::npos)
        << "missing: " << expand(part) << "\nstandard error:\n"
        << result.err;
  }
  for (const std::string& file : scenario.files) {
    std::error_code ec;
    EXPECT_GT(std::filesystem::file_size(expand(file), ec), 0u) << expand(file);
  }
  for (const std::string& file : scenario.no_files) {
    EXPECT_FALSE(std::filesystem::exists(expand(file))) << expand(file);
  }
  for (const ScenarioPathPair& link : scenario.symlinks) {
    std::error_code ec;
    EXPECT_EQ(std::filesystem::read_symlink(expand(link.path), ec), expand(link.other))
        << expand(link.path) << " is no longer that link";
  }
  for (const ScenarioPathPair& fifo : scenario.fifos) {
    EXPECT_TRUE(std::filesystem::is_fifo(expand(fifo.path))) << expand(fifo.path);
  }
  if (!scenario.checks.empty()) {
    Result<std::unique_ptr<Database>> db = database.Open();
    ASSERT_TRUE(db.ok()) << db.error().description;
    for (const ScenarioCheck& check : scenario.checks) {
      const Result<std::vector<std::string>> rows = RowsOf(**db, expand(check.sql));
      ASSERT_TRUE(rows.ok()) << check.sql << ": " << rows.error().description;
      std::vector<std::string> expected;
      for (const std::string& row : check.rows) expected.push_back(expand(row));
      EXPECT_EQ(*rows, expected) << check.sql;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, ScenarioTest, ::testing::ValuesIn(AllScenarioRuns()),
                         [](const ::testing::TestParamInfo<ScenarioRun>& info) {
                           std::string name =
                               std::filesystem::path(info.param.file).stem().string() + "_" +
                               info.param.engine;
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(ScenarioTest);

// The scenario format itself: directives, blocks, comments and the "|"
// that keeps trailing blanks.
TEST(ScenarioFile, ReadsEveryDirective) {
  const std::string text =
      "# a comment\n"
      "@description Empresa sem linha\n"
      "@engines sqlite postgresql\n"
      "@base demo\n"
      "@sql\n"
      "DELETE FROM EMPRESA;\n"
      "# not SQL\n"
      "DELETE FROM PARAMIMP;\n"
      "\n"
      "@options --output {OUT}/b.pdf\n"
      "@argument\n"
      "#{TAG}{CONNECT} 01  |\n"
      "@exit 1\n"
      "@stderr\n"
      "line one\n"
      "ends in a blank |\n"
      "\n"
      "@stderr-has\n"
      "Error #\n"
      "@check SELECT CODIGO FROM EMPRESA\n"
      "01|NULL\n"
      "@file {OUT}/b.pdf\n"
      "@no-file {OUT}/c.pdf\n"
      "@symlink {OUT}/l.pdf p/b.pdf\n"
      "@fifo {OUT}/f.pdf {OUT}/copy.pdf\n";
  std::string error;
  const std::optional<Scenario> s = ParseScenario("x", text, &error);
  ASSERT_TRUE(s.has_value()) << error;
  EXPECT_EQ(s->description, "Empresa sem linha");
  EXPECT_EQ(s->engines, (std::vector<std::string>{"sqlite", "postgresql"}));
  EXPECT_EQ(s->base, "demo");
  EXPECT_EQ(s->sql, "DELETE FROM EMPRESA;\nDELETE FROM PARAMIMP;\n");
  EXPECT_EQ(s->options, (std::vector<std::string>{"--output", "{OUT}/b.pdf"}));
  EXPECT_EQ(s->argument, "#{TAG}{CONNECT} 01  ");
  EXPECT_EQ(s->exit_status, 1);
  EXPECT_EQ(s->stderr_exact, "line one\nends in a blank \n");
  EXPECT_EQ(s->stderr_has, std::vector<std::string>{"Error #"});
  ASSERT_EQ(s->checks.size(), 1u);
  EXPECT_EQ(s->checks[0].sql, "SELECT CODIGO FROM EMPRESA");
  EXPECT_EQ(s->checks[0].rows, std::vector<std::string>{"01|NULL"});
  EXPECT_EQ(s->files, std::vector<std::string>{"{OUT}/b.pdf"});
  EXPECT_EQ(s->no_files, std::vector<std::string>{"{OUT}/c.pdf"});
  ASSERT_EQ(s->symlinks.size(), 1u);
  EXPECT_EQ(s->symlinks[0].path + " " + s->symlinks[0].other, "{OUT}/l.pdf p/b.pdf");
  ASSERT_EQ(s->fifos.size(), 1u);
  EXPECT_EQ(s->fifos[0].path + " " + s->fifos[0].other, "{OUT}/f.pdf {OUT}/copy.pdf");
}

TEST(ScenarioFile, DefaultsAndEmptyArgument) {
  std::string error;
  const std::optional<Scenario> s = ParseScenario("x", "@argument\n\n@stderr\n", &error);
  ASSERT_TRUE(s.has_value()) << error;
  EXPECT_EQ(s->engines, std::vector<std::string>{"sqlite"});
  EXPECT_EQ(s->base, "schema");
  EXPECT_EQ(s->argument, "");
  EXPECT_EQ(s->exit_status, 0);
  EXPECT_EQ(s->stderr_exact, "");
  EXPECT_FALSE(ParseScenario("x", "", &error)->argument.has_value());
}

TEST(ScenarioFile, RefusesWhatItCannotRead) {
  for (const char* text : {"stray text\n", "@exit one\n", "@engines oracle\n", "@base full\n",
                           "@frobnicate\n", "@check\n", "@argument", "@fifo {OUT}/f.pdf\n"}) {
    std::string error;
    EXPECT_FALSE(ParseScenario("bad", text, &error).has_value()) << text;
    EXPECT_EQ(error.rfind("bad.scenario line ", 0), 0u) << error;
  }
}

// Every scenario file in the folder reads cleanly.
TEST(ScenarioFile, EveryFileReads) {
  for (const ScenarioRun& run : AllScenarioRuns()) EXPECT_NE(run.engine, "unreadable") << run.file;
}

}  // namespace
}  // namespace boleto::testing
