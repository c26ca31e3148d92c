#include "startup/command_line.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

namespace boleto {
namespace {

using Action = CommandLine::Action;

const std::string kText = "  SQLITE        DRIVER=SQLite3;Database=/tmp/x.db   ";

struct Case {
  const char* what;
  std::vector<std::string> args;
  Action action;
  std::string argument_text;
  std::string output_file;
  std::string printer_name;
  MessagesMode messages = MessagesMode::kAuto;
  bool preview = false;
  std::string batch_file;
  std::string problem;    // the exact problem, where the row names one
  std::string selection;  // what --select asks for (Selection below)
  std::string output_folder;
};

// The request of --select on one line: dialect, connect string, user,
// company, unit, bank, document, first and last due day.
std::string Selection(const std::optional<SelectRequest>& request) {
  if (!request) return "";
  const InstallmentFilter& f = request->filter;
  const auto day = [](const std::optional<Date>& d) { return d ? d->Format("YYYY-MM-DD") : ""; };
  return std::string(DialectTag(request->dialect)) + "|" + request->connect_string + "|" +
         request->user + "|" + f.codigo_emp + "|" + f.codigo_unidade + "|" + f.banco_cobranca +
         "|" + f.codigo_documento + "|" + day(f.due_from) + "|" + day(f.due_to);
}

void PrintTo(const Case& c, std::ostream* os) { *os << c.what; }

class CommandLineTest : public ::testing::TestWithParam<Case> {};

TEST_P(CommandLineTest, Reads) {
  const Case& c = GetParam();
  const CommandLine got = ParseCommandLine(c.args);
  EXPECT_EQ(got.action, c.action);
  EXPECT_EQ(got.argument_text, c.argument_text);
  EXPECT_EQ(got.destination.output_file, c.output_file);
  EXPECT_EQ(got.destination.printer_name, c.printer_name);
  EXPECT_EQ(got.messages, c.messages);
  EXPECT_EQ(got.preview, c.preview);
  EXPECT_EQ(got.batch_file, c.batch_file);
  EXPECT_EQ(got.problem.empty(), c.action != Action::kUsageError);
  if (!c.problem.empty()) EXPECT_EQ(got.problem, c.problem);
  EXPECT_EQ(Selection(got.selection), c.selection);
  EXPECT_EQ(got.destination.output_folder, c.output_folder);
}

// A --select command line: what every selection needs, then `more`.
std::vector<std::string> Select(std::vector<std::string> more) {
  std::vector<std::string> args = {
      "--select",  "--dialect", "SQLITE", "--connect", "DRIVER=SQLite3;Database=out/demo.db",
      "--company", "01",        "--user", "CLERK"};
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

// A usage error of --select, with its problem.
Case SelectRefused(const char* what, std::vector<std::string> args, std::string problem) {
  Case c{what, std::move(args), Action::kUsageError, "", "", ""};
  c.problem = std::move(problem);
  return c;
}

// A batch into a folder, with the folder read, or refused with its problem.
Case OutputDir(const char* what, std::vector<std::string> args, std::string folder,
               std::string problem = "") {
  Case c{what, std::move(args), problem.empty() ? Action::kRun : Action::kUsageError, "", "", ""};
  if (problem.empty()) {
    c.preview = true;
    c.batch_file = "-";
    c.output_folder = std::move(folder);
  }
  c.problem = std::move(problem);
  return c;
}

// A --select accepted, with what it asks for.
Case SelectAccepted(const char* what, std::vector<std::string> args, std::string selection) {
  Case c{what, std::move(args), Action::kRun, "", "", ""};
  c.selection = std::move(selection);
  return c;
}

INSTANTIATE_TEST_SUITE_P(
    Options, CommandLineTest,
    ::testing::Values(
        // The argument text is kept byte for byte, blanks at both ends included.
        Case{"text alone", {kText}, Action::kRun, kText, "", ""},
        Case{"preview",
             {"--preview", kText},
             Action::kRun,
             kText,
             "",
             "",
             MessagesMode::kAuto,
             true},
        Case{"batch from standard input",
             {"--preview", "--output", "r.pdf", "--batch", "-"},
             Action::kRun,
             "",
             "r.pdf",
             "",
             MessagesMode::kAuto,
             true,
             "-"},
        Case{"batch with equals",
             {"--batch=list.txt"},
             Action::kRun,
             "",
             "",
             "",
             MessagesMode::kAuto,
             false,
             "list.txt"},
        Case{"batch and a text", {"--batch", "list.txt", kText}, Action::kUsageError, "", "", ""},
        Case{"batch without its file", {"--batch"}, Action::kUsageError, "", "", ""},
        Case{"output then text",
             {"--output", "out/b.pdf", kText},
             Action::kRun,
             kText,
             "out/b.pdf",
             ""},
        Case{"output with equals",
             {"--output=out/b.png", kText},
             Action::kRun,
             kText,
             "out/b.png",
             ""},
        Case{"printer then text", {"--printer", "PDF", kText}, Action::kRun, kText, "", "PDF"},
        Case{"both destinations",
             {"--printer=PDF", "--output", "b.pdf", kText},
             Action::kRun,
             kText,
             "b.pdf",
             "PDF"},
        Case{"messages as dialogs",
             {"--messages", "dialog", kText},
             Action::kRun,
             kText,
             "",
             "",
             MessagesMode::kDialog},
        Case{"messages on the console",
             {"--messages=console", "--output=b.pdf", kText},
             Action::kRun,
             kText,
             "b.pdf",
             "",
             MessagesMode::kConsole},
        // "--" lets a text that starts with dashes through.
        Case{"double dash", {"--", "--odd text"}, Action::kRun, "--odd text", "", ""},
        Case{"help", {"--help"}, Action::kHelp, "", "", ""},
        Case{"help wins over a text", {"--help", kText}, Action::kHelp, "", "", ""},
        Case{"version", {"--version"}, Action::kVersion, "", "", ""},
        // Bad usage.
        Case{"nothing", {}, Action::kUsageError, "", "", ""},
        Case{"empty text", {""}, Action::kUsageError, "", "", ""},
        Case{"option without text", {"--output", "b.pdf"}, Action::kUsageError, "", "", ""},
        Case{"option without value", {"--output"}, Action::kUsageError, "", "", ""},
        Case{"option with empty value", {"--output=", kText}, Action::kUsageError, "", "", ""},
        Case{"unknown option", {"--color", kText}, Action::kUsageError, "", "", ""},
        Case{"unknown option with value", {"--outputs=x", kText}, Action::kUsageError, "", "", ""},
        Case{
            "unknown messages mode", {"--messages=window", kText}, Action::kUsageError, "", "", ""},
        // Options stand only before the text; a text split by the shell in
        // two arguments is refused rather than half read.
        Case{
            "option after the text", {kText, "--output", "b.pdf"}, Action::kUsageError, "", "", ""},
        Case{"two texts", {"SQLITE", "DRIVER=SQLite3"}, Action::kUsageError, "", "", ""},
        // --select: each value must fit its columns of the argument text.
        SelectAccepted("select the company", Select({}),
                       "SQLITE|DRIVER=SQLite3;Database=out/demo.db|CLERK|01|||||"),
        SelectAccepted("select with every filter",
                       {"--unit=02", "--bank", "001", "--document", "NFS", "--due",
                        "2027-01-01..2027-01-31", "--select", "--dialect=POSTGRESQL", "--connect",
                        "  DSN=contas  ", "--company", "01", "--user", "CLERK0123456789"},
                       "POSTGRESQL|DSN=contas|CLERK0123456789|01|02|001|NFS|2027-01-01|2027-01-31"),
        SelectAccepted("select from a day on", Select({"--due", "2027-01-20.."}),
                       "SQLITE|DRIVER=SQLite3;Database=out/demo.db|CLERK|01||||2027-01-20|"),
        SelectAccepted("select up to a day", Select({"--due", "..2027-01-20"}),
                       "SQLITE|DRIVER=SQLite3;Database=out/demo.db|CLERK|01|||||2027-01-20"),
        SelectAccepted(
            "select one day", Select({"--due", "2027-01-20"}),
            "SQLITE|DRIVER=SQLite3;Database=out/demo.db|CLERK|01||||2027-01-20|2027-01-20"),
        SelectRefused("select without user",
                      {"--select", "--dialect", "SQLITE", "--connect", "DSN=x", "--company", "01"},
                      "--select needs --user"),
        SelectRefused(
            "select connect string too long",
            Select({"--connect",
                    "DRIVER=SQLite3;Database=/home/clerk/boletos/2027/janeiro/contas.db"}),
            "--connect takes at most 63 characters, the columns the argument text holds "
            "for it; DRIVER=SQLite3;Database=/home/clerk/boletos/2027/janeiro/contas.db "
            "has 66"),
        SelectRefused("select user too long", Select({"--user", "CLERK0123456789X"}),
                      "--user takes at most 15 characters, the columns the argument text holds "
                      "for it; CLERK0123456789X has 16"),
        SelectRefused("select unit too long", Select({"--unit", "123456789"}),
                      "--unit takes at most 8 characters, the columns the argument text holds "
                      "for it; 123456789 has 9"),
        SelectRefused("select connect string with a line break",
                      Select({"--connect", "DSN=contas\nSQLITE"}),
                      "--connect holds a control character"),
        SelectRefused("select unknown dialect", Select({"--dialect", "MYSQL"}),
                      "--dialect takes ORACLE, SQLSERVER, SYBASESRV, SYBASEANY, SQLBASE, ACCESS, "
                      "SQLITE or POSTGRESQL, not MYSQL"),
        SelectRefused("select bank not digits", Select({"--bank", "1a3"}),
                      "--bank takes the bank's three-digit code, not 1a3"),
        SelectRefused("select bank of two digits", Select({"--bank", "01"}),
                      "--bank takes the bank's three-digit code, not 01"),
        SelectRefused("select due backwards", Select({"--due", "2027-01-31..2027-01-01"}),
                      "--due: 2027-01-31 is after 2027-01-01"),
        SelectRefused(
            "select due without dates", Select({"--due", ".."}),
            "--due takes FROM..TO, FROM.., ..TO or one DATE, dates as YYYY-MM-DD, not .."),
        SelectRefused("select due not a date", Select({"--due", "2027-02-30"}),
                      "--due takes FROM..TO, FROM.., ..TO or one DATE, dates as YYYY-MM-DD, not "
                      "2027-02-30"),
        SelectRefused("select due day first", Select({"--due", "31/01/2027.."}),
                      "--due takes FROM..TO, FROM.., ..TO or one DATE, dates as YYYY-MM-DD, not "
                      "31/01/2027.."),
        SelectRefused("company without select", {"--company", "01", kText},
                      "--company goes with --select"),
        SelectRefused("select with output", Select({"--output", "b.pdf"}),
                      "--select lists on standard output; --output, --output-dir, --printer, "
                      "--messages, --preview and --batch do not go with it"),
        SelectRefused("select into a folder", Select({"--output-dir", "out"}),
                      "--select lists on standard output; --output, --output-dir, --printer, "
                      "--messages, --preview and --batch do not go with it"),
        // --output-dir: a file per installment of a batch, and nowhere else.
        OutputDir("batch into a folder", {"--output-dir", "out/jan", "--preview", "--batch", "-"},
                  "out/jan"),
        OutputDir("folder with equals", {"--preview", "--output-dir=out", "--batch=-"}, "out"),
        OutputDir("folder without batch", {"--output-dir", "out", kText}, "",
                  "--output-dir goes with --batch"),
        OutputDir("folder and output", {"--output-dir", "out", "--output", "b.pdf", "--batch", "-"},
                  "", "--output-dir writes the files; --output and --printer do not go with it"),
        OutputDir("folder and printer", {"--printer=PDF", "--output-dir=out", "--batch", "-"}, "",
                  "--output-dir writes the files; --output and --printer do not go with it"),
        OutputDir("folder without value", {"--output-dir", "--batch", "-"}, "",
                  "--output-dir goes with --batch"),
        SelectRefused("select and a text", Select({kText}), "--select takes no argument text")),
    [](const ::testing::TestParamInfo<Case>& info) {
      std::string name = info.param.what;
      for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      }
      return name;
    });

// What a usage problem quotes from the command line reaches the terminal as
// text only: control characters and stray bytes escaped.
TEST(CommandLine, ProblemQuotesNoControlCharacter) {
  const std::pair<std::vector<std::string>, std::string> rows[] = {
      {{"--\x1B]0;x\x07\x1B[2J", kText}, "unknown option: --\\x1B]0;x\\x07\\x1B[2J"},
      {{"--messages=a\rb\xC3", kText},
       "--messages takes auto, dialog or console, not a\\x0Db\\xC3"},
  };
  for (const auto& [args, problem] : rows) EXPECT_EQ(ParseCommandLine(args).problem, problem);
}

TEST(CommandLine, UsageNamesEveryOptionAndExitStatus) {
  const std::string usage = UsageText();
  EXPECT_EQ(usage.rfind("usage: boleto-sr [--output FILE] [--printer NAME] [--messages MODE] "
                        "[--preview]\n                 [--help] [--version] ARGUMENT-TEXT\n"
                        "       boleto-sr [--output FILE] [--printer NAME] [--preview] --batch "
                        "FILE\n",
                        0),
            0u);
  EXPECT_NE(usage.find("--messages MODE  where messages are shown: auto"), std::string::npos);
  EXPECT_NE(usage.find("64 bad usage"), std::string::npos);
  EXPECT_EQ(usage.back(), '\n');
}

TEST(CommandLine, VersionNamesTheProgram) { EXPECT_EQ(VersionText(), "boleto-sr " BOLETO_VERSION); }

}  // namespace
}  // namespace boleto
