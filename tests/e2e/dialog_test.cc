// The messages as desktop dialogs, on a real X server started for these
// tests: the built boleto-sr shows each message in a window titled with the
// program's name, whose icon and text the accessibility tree reads; Enter
// (pressed through the X server) closes it and the run goes on to the next
// message and ends with its usual status. Standard error keeps the same
// text as without dialogs.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "db/error_report.h"
#include "e2e/program_runner.h"
#include "startup/command_line.h"
#include "support/paths.h"
#include "support/sqlite_fixture.h"
#include "support/x_display.h"

namespace boleto::testing {
namespace {

using ::testing::Matcher;

constexpr char kXdotool[] = "/usr/bin/xdotool";
constexpr char kPython[] = "/usr/bin/python3";
// A run waits on each dialog; this long without an end is a hang.
constexpr int kRunLimitMs = 60000;
// How long a window may take to appear or to go.
constexpr int kWindowLimitMs = 20000;
// The title of the program's dialogs, as a whole-name pattern for xdotool.
constexpr char kTitlePattern[] = "^boleto-sr$";

// The one visible dialog window's id, or empty when none appears in time.
std::string WaitForDialog(const XDisplay& display) {
  const ProgramRun found =
      RunProgram(kXdotool, {"search", "--sync", "--onlyvisible", "--name", kTitlePattern},
                 display.environment(), kWindowLimitMs);
  return found.out.substr(0, found.out.find('\n'));
}

// Waits until window `id` is no longer visible; false when it stays.
bool WaitUntilGone(const XDisplay& display, const std::string& id) {
  for (int waited = 0; waited < kWindowLimitMs; waited += 100) {
    const ProgramRun visible = RunProgram(
        kXdotool, {"search", "--onlyvisible", "--name", kTitlePattern}, display.environment());
    if (("\n" + visible.out).find("\n" + id + "\n") == std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

struct Dialog {
  std::string title;
  std::string accessible;  // "icon" or "no icon", then each label's text
};

// Reads the dialog in window `id` and closes it with Enter.
Dialog ReadAndClose(const XDisplay& display, const std::string& id) {
  Dialog dialog;
  dialog.title = RunProgram(kXdotool, {"getwindowname", id}, display.environment()).out;
  dialog.accessible = RunProgram(kPython, {SourceDir() + "/tests/e2e/dialog_accessible.py"},
                                 display.environment(), kWindowLimitMs)
                          .out;
  RunProgram(kXdotool, {"windowfocus", "--sync", id, "key", "Return"}, display.environment());
  return dialog;
}

struct Case {
  const char* what;
  std::vector<std::string> options;
  std::string sql;      // on top of the demo rows
  std::string connect;  // empty: the case's demo database
  int exit_status;
  bool icon;  // every dialog shows the exclamation icon
  // The dialogs' texts in order; standard error then holds the same lines.
  std::vector<Matcher<const std::string&>> dialogs;
  Matcher<const std::string&> err = ::testing::_;
  std::string numero = "1002    ";    // the demo document
  std::vector<std::string> env = {};  // added to the desktop's
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.what; }

std::vector<Case> Cases() {
  const std::string refusal_sql =
      "UPDATE DOCUMENTOR SET STATUS = 'C ' WHERE NUMERO = '1002    ';"
      "UPDATE PARCELAR SET RECEBIMENTO = '2026-04-01' WHERE NUMERO = '1002    ';";
  const std::string cancelled =
      "Documento: DM 1 1002    /01-Documento Cancelado. Verifique e corrija";
  const std::string paid = "Documento: DM 1 1002    /01-Parcela quitada. Verifique e corrija";
  // The driver's own number and words stand on lines 1 to 3.
  const std::string report =
      "Error #  -?[0-9]+\n    [^\n]*cannot open the database file[^\n]*\n    \\(Origem : "
      "[^\n]*\\)\n"
      "  \\(Programa : " +
      ProgramIdentification() +
      "\\)\n  Parâmetros não cadastrados corretamente, verifique e corrija antes de prosseguir\\. ";
  return {
      {"refusal as two dialogs",
       {"--messages=dialog"},
       refusal_sql,
       "",
       kExitRefused,
       true,
       {cancelled, paid}},
      {"error report as one dialog of five lines",
       {"--messages=dialog"},
       "",
       "DRIVER=SQLite3;Database=/nonexistent/boleto-sr/missing.db",
       kExitErrorReported,
       false,
       {::testing::MatchesRegex(report)}},
      // Standard error is a pipe here, as when a desktop application starts
      // the program: auto shows dialogs.
      {"auto with a display", {}, refusal_sql, "", kExitRefused, true, {cancelled, paid}},
      // Without dialogs the run waits for nobody, display or not.
      {"console with a display",
       {"--messages=console"},
       refusal_sql,
       "",
       kExitRefused,
       false,
       {},
       ::testing::Eq(cancelled + "\n" + paid + "\n")},
      // A run that shows no message loads no toolkit: the dynamic linker's
      // list of the files it opens names the database library, not GTK.
      {"printed without a message",
       {},
       "",
       "",
       kExitPrinted,
       false,
       {},
       ::testing::AllOf(::testing::HasSubstr("file=libodbc.so.2"),
                        ::testing::Not(::testing::HasSubstr("libgtk"))),
       "1003    ",
       {"LD_DEBUG=files"}},
  };
}

class DialogTest : public ::testing::TestWithParam<Case> {
 protected:
  static void SetUpTestSuite() {
    Result<std::unique_ptr<XDisplay>> started = XDisplay::Start();
    if (started.ok()) {
      display_ = std::move(started).value().release();
    } else {
      start_error_ = started.error().description;
    }
  }
  static void TearDownTestSuite() {
    delete display_;
    display_ = nullptr;
  }

  static XDisplay* display_;
  static std::string start_error_;
};

XDisplay* DialogTest::display_ = nullptr;
std::string DialogTest::start_error_;

TEST_P(DialogTest, ShowsEachMessageAndWaitsForEnter) {
  const Case& c = GetParam();
  ASSERT_NE(display_, nullptr) << start_error_;
  Result<std::unique_ptr<SqliteFixture>> fixture = SqliteFixture::Create();
  ASSERT_TRUE(fixture.ok()) << fixture.error().description;
  const Status loaded = (*fixture)->Run(DemoRowsSql() + c.sql);
  ASSERT_TRUE(loaded.ok()) << loaded.error().description;
  std::string connect = c.connect.empty() ? (*fixture)->connect_string() : c.connect;
  connect.resize(63, ' ');  // the connect string's columns, so the key keeps its own
  const std::string argument = "SQLITE         " + connect + " 01 01       DM         1   " +
                               c.numero + " 01 DEMO           ";
  std::vector<std::string> args = c.options;
  // Beside the database, in the fixture's own folder, removed with it.
  const std::string page = (*fixture)->path() + ".pdf";
  args.insert(args.end(), {"--output", page, argument});

  ProgramRun run;
  std::vector<std::string> env = display_->environment();
  env.insert(env.end(), c.env.begin(), c.env.end());
  std::atomic<bool> ended = false;
  std::jthread program([&] {
    run = RunProgram(ProgramPath(), args, env, kRunLimitMs);
    ended = true;
  });
  std::string shown;  // the dialogs' texts as standard error writes them
  for (size_t i = 0; i < c.dialogs.size(); ++i) {
    const std::string id = WaitForDialog(*display_);
    ASSERT_FALSE(id.empty()) << "no dialog " << i;
    EXPECT_FALSE(ended) << "the run did not wait on dialog " << i;
    const Dialog dialog = ReadAndClose(*display_, id);
    EXPECT_EQ(dialog.title, "boleto-sr\n") << i;
    const std::string icon = c.icon ? "icon\n" : "no icon\n";
    ASSERT_EQ(dialog.accessible.rfind(icon, 0), 0u) << i << ": " << dialog.accessible;
    const std::string text = dialog.accessible.substr(icon.size());
    EXPECT_THAT(text.substr(0, text.size() - 1), c.dialogs[i]) << i;
    shown += text;
    EXPECT_TRUE(WaitUntilGone(*display_, id)) << "dialog " << i << " stays after Enter";
  }
  program.join();
  EXPECT_FALSE(run.timed_out) << "still waiting after " << kRunLimitMs << " ms";
  EXPECT_EQ(run.exit_status, c.exit_status) << run.err;
  EXPECT_THAT(run.err, c.err);
  if (!c.dialogs.empty()) {
    EXPECT_EQ(run.err, shown);
  }
}

INSTANTIATE_TEST_SUITE_P(Dialogs, DialogTest, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           std::string name = info.param.what;
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

}  // namespace
}  // namespace boleto::testing
