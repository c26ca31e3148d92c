#include "ledger/document_number.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <functional>

#include "ledger_database.h"

namespace boleto {
namespace {

using ledger_testing::Cell;
using ledger_testing::Engine;
using ledger_testing::ExpectedReport;
using ledger_testing::LedgerDatabase;
using ledger_testing::MakeContext;

constexpr char kReadSql[] =
    "SELECT NUMERO FROM DOCNUMERO  WHERE CODIGOEMP = '01'   AND  CODIGO    = 'REFBANCAR '";

class DocumentNumberTest : public ::testing::TestWithParam<Engine> {
 protected:
  void SetUp() override {
    Result<std::unique_ptr<LedgerDatabase>> made = LedgerDatabase::Create(GetParam());
    ASSERT_TRUE(made.ok()) << made.error().description;
    database_ = std::move(*made);
    traced_ = std::make_unique<TracingDatabase>(database_->db());
    ctx_ = MakeContext(*traced_, messages_, database_->dialect());
  }

  std::vector<std::string> Sql() const {
    std::vector<std::string> texts;
    for (const auto& statement : traced_->statements) texts.push_back(statement.sql);
    return texts;
  }

  // Every DOCNUMERO row as "company|code|number".
  std::vector<std::string> Sequences() {
    RowSet rows = database_->Rows("SELECT * FROM DOCNUMERO ORDER BY CODIGOEMP, CODIGO");
    std::vector<std::string> out;
    for (; !rows.eof(); rows.MoveNext()) {
      out.push_back(Cell(rows, "CODIGOEMP").value_or("NULL") + "|" +
                    Cell(rows, "CODIGO").value_or("NULL") + "|" +
                    Cell(rows, "NUMERO").value_or("NULL"));
    }
    return out;
  }

  std::unique_ptr<LedgerDatabase> database_;
  std::unique_ptr<TracingDatabase> traced_;
  RecordingMessages messages_;
  RunContext ctx_;
};

TEST_P(DocumentNumberTest, ReadFindsTheSequenceByCompanyAndCode) {
  ASSERT_TRUE(database_
                  ->Run("INSERT INTO DOCNUMERO VALUES ('01', 'REFBANCAR ', '0000000041');"
                        "INSERT INTO DOCNUMERO VALUES ('02', 'REFBANCAR ', '0000000900');"
                        "INSERT INTO DOCNUMERO VALUES ('01', 'REFBANCARI', '0000000500')")
                  .ok());
  struct Case {
    const char* company;
    const char* code;
    const char* number;
    const char* expected;
    const char* sql_tail;  // after "SELECT NUMERO FROM DOCNUMERO  WHERE CODIGOEMP = '"
  };
  const Case cases[] = {
      // the code padded with blanks to 10
      {"01", "REFBANCAR", "", "0000000041", "01'   AND  CODIGO    = 'REFBANCAR '"},
      {"01", "REFBANCAR ", "", "0000000041", "01'   AND  CODIGO    = 'REFBANCAR '"},
      // another company's sequence
      {"02", "REFBANCAR ", "", "0000000900", "02'   AND  CODIGO    = 'REFBANCAR '"},
      // a longer code cut to its first 10 characters
      {"01", "REFBANCARIA", "", "0000000500", "01'   AND  CODIGO    = 'REFBANCARI'"},
      // restricted to a number, found and not found
      {"01", "REFBANCAR ", "0000000041", "0000000041",
       "01'   AND  CODIGO    = 'REFBANCAR '  AND NUMERO  = '0000000041'"},
      {"01", "REFBANCAR ", "40", "NAO CADASTRADO",
       "01'   AND  CODIGO    = 'REFBANCAR '  AND NUMERO  = '40        '"},
      // no such sequence; a quote cannot break the statement
      {"03", "REFBANCAR ", "", "NAO CADASTRADO", "03'   AND  CODIGO    = 'REFBANCAR '"},
      {"0'", "REFBANCAR ", "", "NAO CADASTRADO", "0'''   AND  CODIGO    = 'REFBANCAR '"},
  };
  for (const Case& c : cases) {
    traced_->statements.clear();
    const Recovered<std::string> read = ReadDocumentNumber(ctx_, c.company, c.code, c.number);
    EXPECT_EQ(read.value, c.expected) << c.code;
    EXPECT_FALSE(read.error.has_value()) << c.code;
    EXPECT_EQ(Sql(),
              std::vector<std::string>{
                  std::string("SELECT NUMERO FROM DOCNUMERO  WHERE CODIGOEMP = '") + c.sql_tail});
  }
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_P(DocumentNumberTest, NullNumberIsReportedAsNotRegistered) {
  ASSERT_TRUE(database_->Run("INSERT INTO DOCNUMERO VALUES ('01', 'REFBANCAR ', NULL)").ok());
  const Recovered<std::string> read = ReadDocumentNumber(ctx_, "01", "REFBANCAR ", "");
  EXPECT_EQ(read.value, "NAO CADASTRADO");
  ASSERT_TRUE(read.error.has_value());
  EXPECT_EQ(read.error->number, error_number::kInvalidUseOfNull);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].text.substr(0, 12), "Error #  94\r");
  EXPECT_TRUE(messages_.shown[0].text.ends_with(
      "\r  Erro na Verificação do Documento Padrão: REFBANCAR  \r"));
}

TEST_P(DocumentNumberTest, WriteInsertsOrUpdates) {
  EXPECT_TRUE(WriteDocumentNumber(ctx_, "I", "01", "REFBANCAR", "0000000001"));
  EXPECT_EQ(Sequences(), std::vector<std::string>{"01|REFBANCAR |0000000001"});
  EXPECT_TRUE(WriteDocumentNumber(ctx_, "A", "01", "REFBANCAR ", "0000000002"));
  EXPECT_EQ(Sequences(), std::vector<std::string>{"01|REFBANCAR |0000000002"});
  // Updating a sequence that has no row changes nothing and still succeeds.
  EXPECT_TRUE(WriteDocumentNumber(ctx_, "A", "02", "REFBANCAR ", "0000000009"));
  EXPECT_EQ(Sequences(), std::vector<std::string>{"01|REFBANCAR |0000000002"});
  const std::vector<std::string> expected = {
      "INSERT INTO DOCNUMERO (CodigoEmp, Codigo, Numero )  VALUES ( '01', 'REFBANCAR ', "
      "'0000000001') ",
      "UPDATE DOCNUMERO SET NUMERO = '0000000002'  WHERE CODIGOEMP = '01'   AND  CODIGO    = "
      "'REFBANCAR '",
      "UPDATE DOCNUMERO SET NUMERO = '0000000009'  WHERE CODIGOEMP = '02'   AND  CODIGO    = "
      "'REFBANCAR '",
  };
  EXPECT_EQ(Sql(), expected);
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_P(DocumentNumberTest, SecondFirstRowIsRefusedAndReported) {
  ASSERT_TRUE(WriteDocumentNumber(ctx_, "I", "01", "REFBANCAR ", "0000000001"));
  EXPECT_FALSE(WriteDocumentNumber(ctx_, "I", "01", "REFBANCAR ", "0000000001"));
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_TRUE(messages_.shown[0].text.ends_with(
      "\r  Erro na Atualização do Documento Padrão: REFBANCAR  \r"))
      << messages_.shown[0].text;
}

TEST_P(DocumentNumberTest, DrawStartsAtOneAndCountsOn) {
  struct Step {
    const char* drawn;
    std::vector<std::string> sql;
  };
  const Step steps[] = {
      {"0000000001",
       {kReadSql,
        "INSERT INTO DOCNUMERO (CodigoEmp, Codigo, Numero )  VALUES ( '01', 'REFBANCAR ', "
        "'0000000001') "}},
      {"0000000002",
       {kReadSql,
        "UPDATE DOCNUMERO SET NUMERO = '0000000002'  WHERE CODIGOEMP = '01'   AND  CODIGO    = "
        "'REFBANCAR '  AND NUMERO  = '0000000001'"}},
  };
  for (const Step& step : steps) {
    traced_->statements.clear();
    Result<std::string> drawn = DrawDocumentNumber(ctx_, "01", "REFBANCAR ");
    ASSERT_TRUE(drawn.ok());
    EXPECT_EQ(*drawn, step.drawn);
    EXPECT_EQ(Sql(), step.sql);
  }
  EXPECT_EQ(Sequences(), std::vector<std::string>{"01|REFBANCAR |0000000002"});
}

// Passes everything on, but lets another program act on the database just
// before the first statement of the draw is executed.
class InterleavingDatabase : public Database {
 public:
  InterleavingDatabase(Database& inner, std::function<void()> before_first_execute)
      : inner_(inner), before_(std::move(before_first_execute)) {}
  using Database::Query;
  Result<RowSet> Query(const std::string& sql, QueryMode mode) override {
    return inner_.Query(sql, mode);
  }
  Result<int64_t> Execute(const std::string& sql) override {
    if (before_) std::exchange(before_, nullptr)();
    return inner_.Execute(sql);
  }
  Status Begin() override { return inner_.Begin(); }
  bool NestsTransactions() const override { return inner_.NestsTransactions(); }
  Status Commit() override { return inner_.Commit(); }
  void Rollback() override { inner_.Rollback(); }

 private:
  Database& inner_;
  std::function<void()> before_;
};

// Also inside the recording's transaction, where our refused first row must
// be undone alone for the draw to go on (PostgreSQL refuses every statement
// after a failed one until then). Only PostgreSQL lets another program write
// while a transaction of ours is open: SQLite's takes the whole database.
TEST_P(DocumentNumberTest, DrawAfterAnotherProgramTookTheNumberRead) {
  enum class Around { kNothing, kTransactionBegun, kTransactionThatWrote };
  struct Case {
    const char* stored;             // before the draw; empty: no row
    const char* other_program_sql;  // runs between our read and our write
    const char* drawn;
    Around around;  // what the draw runs in
  };
  const char* const kOtherDrew42 =
      "UPDATE DOCNUMERO SET NUMERO = '0000000042' WHERE CODIGOEMP = '01' AND CODIGO = 'REFBANCAR "
      "'";
  const char* const kOtherInsertedTheFirst =
      "INSERT INTO DOCNUMERO VALUES ('01', 'REFBANCAR ', '0000000001')";
  const Case cases[] = {
      // the other program drew 42 after we read 41
      {"0000000041", kOtherDrew42, "0000000043", Around::kNothing},
      {"0000000041", kOtherDrew42, "0000000043", Around::kTransactionThatWrote},
      // the other program inserted the first row after we found none
      {"", kOtherInsertedTheFirst, "0000000002", Around::kNothing},
      {"", kOtherInsertedTheFirst, "0000000002", Around::kTransactionBegun},
      {"", kOtherInsertedTheFirst, "0000000002", Around::kTransactionThatWrote},
  };
  for (const Case& c : cases) {
    if (c.around != Around::kNothing && GetParam() == Engine::kSqlite) continue;
    SCOPED_TRACE(std::string(c.other_program_sql) + " around " +
                 std::to_string(static_cast<int>(c.around)));
    SetUp();
    if (*c.stored) {
      ASSERT_TRUE(database_
                      ->Run(std::string("INSERT INTO DOCNUMERO VALUES ('01', 'REFBANCAR ', '") +
                            c.stored + "')")
                      .ok());
    }
    Result<std::unique_ptr<Database>> other = database_->Open();
    ASSERT_TRUE(other.ok());
    InterleavingDatabase interleaved(
        database_->db(), [&] { ASSERT_TRUE((*other)->Execute(c.other_program_sql).ok()); });
    RecordingMessages messages;
    RunContext ctx = MakeContext(interleaved, messages, database_->dialect());
    Transaction recording(database_->db());
    if (c.around != Around::kNothing) ASSERT_TRUE(recording.Begin().ok());
    if (c.around == Around::kTransactionThatWrote) {
      ASSERT_TRUE(database_->db().Execute("UPDATE EMPRESA SET NOME = NOME").ok());
    }
    Result<std::string> drawn = DrawDocumentNumber(ctx, "01", "REFBANCAR ");
    ASSERT_TRUE(drawn.ok()) << drawn.error().description;
    if (recording.is_open()) ASSERT_TRUE(recording.Commit().ok());
    EXPECT_EQ(*drawn, c.drawn);
    EXPECT_EQ(Sequences(), std::vector<std::string>{std::string("01|REFBANCAR |") + c.drawn});
    EXPECT_TRUE(messages.shown.empty());
  }
}

TEST_P(DocumentNumberTest, FailedDrawIsReportedWithTheSequenceContexts) {
  struct Case {
    const char* script;
    const char* context;
  };
  const Case cases[] = {
      {"INSERT INTO DOCNUMERO VALUES ('01', 'REFBANCAR ', NULL)",
       "Erro na Verificação do Documento Padrão: REFBANCAR "},
      {"ALTER TABLE DOCNUMERO RENAME COLUMN NUMERO TO ULTIMO",
       "Erro na Verificação do Documento Padrão: REFBANCAR "},
      // a table that refuses every number
      {"DROP TABLE DOCNUMERO; CREATE TABLE DOCNUMERO (CODIGOEMP CHAR(2), CODIGO CHAR(10), "
       "NUMERO CHAR(10) CHECK (NUMERO < '0'))",
       "Erro na Atualização do Documento Padrão: REFBANCAR "},
  };
  for (const Case& c : cases) {
    SetUp();
    ASSERT_TRUE(database_->Run(c.script).ok()) << c.script;
    Result<std::string> drawn = DrawDocumentNumber(ctx_, "01", "REFBANCAR ");
    ASSERT_FALSE(drawn.ok()) << c.script;
    ASSERT_EQ(messages_.shown.size(), 1u) << c.script;
    EXPECT_EQ(messages_.shown[0].text, ExpectedReport(drawn.error(), c.context)) << c.script;
    messages_.shown.clear();
  }
}

// Another user holds the sequence's table through the whole draw: each
// write waits the connection's lock time-out, a few of them are waited out,
// then the lock message is shown (not the error report) and nothing is
// drawn. Once the lock is gone the sequence counts on from where it was.
TEST_P(DocumentNumberTest, LockedSequenceShowsTheLockMessageAfterAFewWaits) {
  constexpr int kLockWaitMs = 150;
  constexpr size_t kWritesTried = 3;  // the draw outlasts this many lock conflicts
  struct Case {
    const char* stored;  // empty: the sequence has no row yet
    const char* write;   // the statement every attempt tries
    const char* next;    // drawn once the lock is gone
  };
  const Case cases[] = {
      {"0000000041", "UPDATE DOCNUMERO", "0000000042"},
      {"", "INSERT INTO DOCNUMERO", "0000000001"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.write);
    Result<std::unique_ptr<LedgerDatabase>> made = LedgerDatabase::Create(GetParam(), kLockWaitMs);
    ASSERT_TRUE(made.ok()) << made.error().description;
    std::unique_ptr<LedgerDatabase> database = std::move(*made);
    if (*c.stored) {
      ASSERT_TRUE(database
                      ->Run(std::string("INSERT INTO DOCNUMERO VALUES ('01', 'REFBANCAR ', '") +
                            c.stored + "')")
                      .ok());
    }
    TracingDatabase traced(database->db());
    RecordingMessages messages;
    RunContext ctx = MakeContext(traced, messages, database->dialect());
    Result<std::string> drawn = std::string();
    {
      ledger_testing::LockHolder lock(*database, "DOCNUMERO");
      ASSERT_TRUE(lock.locked());
      drawn = DrawDocumentNumber(ctx, "01", "REFBANCAR ");
    }
    ASSERT_FALSE(drawn.ok()) << *drawn;
    EXPECT_EQ(drawn.error().number, error_number::kRecordLocked);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              "Impossível gravar dados, Registro está bloqueado por outro usuário");
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::kExclamation);
    size_t writes = 0;
    for (const TracingDatabase::Statement& statement : traced.statements) {
      if (!statement.is_query) {
        ++writes;
        EXPECT_EQ(statement.sql.rfind(c.write, 0), 0u) << statement.sql;
      }
    }
    EXPECT_EQ(writes, kWritesTried);

    RecordingMessages after;
    RunContext again = MakeContext(database->db(), after, database->dialect());
    Result<std::string> next = DrawDocumentNumber(again, "01", "REFBANCAR ");
    ASSERT_TRUE(next.ok()) << next.error().description;
    EXPECT_EQ(*next, c.next);
    EXPECT_TRUE(after.shown.empty());
  }
}

TEST(NextDocumentNumberTest, AddsOneAndPadsToTenDigits) {
  struct Case {
    const char* stored;
    const char* next;
  };
  const Case cases[] = {
      {"0000000041", "0000000042"},  // the stored sequence plus one
      {"0000000009", "0000000010"},  // carries into the next digit
      {"41", "0000000042"},          // a shorter stored number, padded
      {"9999999998", "9999999999"},  // the last number that fits
  };
  for (const Case& c : cases) {
    Result<std::string> next = NextDocumentNumber(c.stored, ".");
    ASSERT_TRUE(next.ok()) << c.stored;
    EXPECT_EQ(*next, c.next) << c.stored;
  }
  // After the last 10-digit number the sequence would start over.
  Result<std::string> past = NextDocumentNumber("9999999999", ".");
  ASSERT_FALSE(past.ok());
  EXPECT_EQ(past.error().number, error_number::kOverflow);
}

// A draw as a separate program makes it: its own connection.
using DrawFunction = std::function<Result<std::string>(RunContext&)>;

// Starts `count` processes that each open their own connection to
// `connect_string`, wait at a common gate and then draw one number at the
// same moment. Returns what each drew (or "error: ..." / "no connection").
std::vector<std::string> DrawTogether(const std::string& connect_string, const std::string& dialect,
                                      int count, const DrawFunction& draw) {
  int gate[2], ready[2], results[2];
  if (pipe(gate) != 0 || pipe(ready) != 0 || pipe(results) != 0) return {};
  std::vector<pid_t> children;
  for (int i = 0; i < count; ++i) {
    const pid_t pid = fork();
    if (pid == 0) {
      close(gate[1]);
      close(ready[0]);
      close(results[0]);
      std::string line;
      Result<std::unique_ptr<Database>> db = OpenOdbcDatabase(connect_string);
      char byte = 'r';
      (void)!write(ready[1], &byte, 1);
      (void)!read(gate[0], &byte, 1);  // returns at end of file: the gate opened
      if (!db.ok()) {
        line = "no connection";
      } else {
        RecordingMessages messages;
        RunContext ctx = MakeContext(**db, messages, dialect);
        Result<std::string> drawn = draw(ctx);
        line = drawn.ok() ? *drawn : "error: " + drawn.error().description;
      }
      line = line.substr(0, 200) + "\n";  // one write below PIPE_BUF: never interleaved
      (void)!write(results[1], line.data(), line.size());
      _exit(0);  // no destructors: the parent's connections stay its own
    }
    children.push_back(pid);
  }
  close(ready[1]);
  close(results[1]);
  close(gate[0]);
  char byte;
  for (int i = 0; i < count; ++i) (void)!read(ready[0], &byte, 1);
  close(gate[1]);  // every child connected: let them all draw
  std::string output;
  char buffer[512];
  for (ssize_t n; (n = read(results[0], buffer, sizeof buffer)) > 0;) output.append(buffer, n);
  close(results[0]);
  close(ready[0]);
  for (pid_t pid : children) waitpid(pid, nullptr, 0);

  std::vector<std::string> lines;
  for (size_t start = 0, end; (end = output.find('\n', start)) != std::string::npos;
       start = end + 1) {
    lines.push_back(output.substr(start, end - start));
  }
  return lines;
}

std::string Padded(int number) {
  std::string digits = std::to_string(number);
  return std::string(10 - digits.size(), '0') + digits;
}

TEST_P(DocumentNumberTest, ProgramsDrawingAtTheSameMomentGetDistinctNumbers) {
  constexpr int kPrograms = 8;
  constexpr int kRounds = 20;  // enough rounds for a read-then-write race to show
  const DrawFunction draw = [](RunContext& ctx) {
    return DrawDocumentNumber(ctx, "01", "REFBANCAR ");
  };
  for (int round = 0; round < kRounds; ++round) {
    std::vector<std::string> drawn =
        DrawTogether(database_->connect_string(), database_->dialect(), kPrograms, draw);
    std::sort(drawn.begin(), drawn.end());
    std::vector<std::string> expected;
    // The first round starts without a row: eight first draws at once.
    for (int i = 1; i <= kPrograms; ++i) expected.push_back(Padded(round * kPrograms + i));
    ASSERT_EQ(drawn, expected) << "round " << round;
  }
  EXPECT_EQ(Sequences(), std::vector<std::string>{"01|REFBANCAR |" + Padded(kRounds * kPrograms)});
}

LEDGER_TESTS_ON_BOTH_ENGINES(DocumentNumberTest);

}  // namespace
}  // namespace boleto
