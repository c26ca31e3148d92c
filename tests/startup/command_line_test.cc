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
};

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
        Case{"two texts", {"SQLITE", "DRIVER=SQLite3"}, Action::kUsageError, "", "", ""}),
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
