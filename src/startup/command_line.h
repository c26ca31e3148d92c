// The command line: options first, then the argument text as one argument
// kept with all its blanks, or a file of argument texts.
//   boleto-sr [--output FILE] [--printer NAME] [--messages auto|dialog|console]
//             [--preview] [--help] [--version] ARGUMENT-TEXT
//   boleto-sr [--output FILE] [--printer NAME] [--preview] --batch FILE
//   boleto-sr --output-dir DIR [--preview] --batch FILE
//   boleto-sr --select --dialect TAG --connect TEXT --company CODE --user NAME
//             [--unit CODE] [--bank NNN] [--document CODE] [--due FROM..TO]
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/dialog_messages.h"
#include "run/run_context.h"
#include "startup/select.h"

namespace boleto {

// Exit statuses of the process.
inline constexpr int kExitPrinted = 0;
inline constexpr int kExitRefused = 1;  // refused, or nothing to print
inline constexpr int kExitErrorReported = 2;
inline constexpr int kExitUsage = 64;  // bad usage, as sysexits.h numbers it

struct CommandLine {
  enum class Action { kRun, kHelp, kVersion, kUsageError };
  Action action = Action::kUsageError;
  std::string argument_text;
  PrintDestination destination;
  MessagesMode messages = MessagesMode::kAuto;
  bool preview = false;    // print, record nothing, mark the page
  std::string batch_file;  // argument texts one per line ("-": standard input)
  std::string problem;     // what was wrong, for kUsageError (TerminalSafe)
  // With --select: the installments to list instead of printing one.
  std::optional<SelectRequest> selection;
};

// Reads the arguments after the program name. "--output=FILE",
// "--printer=NAME", "--messages=MODE" and "--batch=FILE" are accepted too;
// "--" ends the options. With --batch no argument text follows; --output-dir
// goes with --batch alone, without --output or --printer.
// --select takes --dialect, --connect, --company and --user (each value must
// fit its columns of the argument text: a longer one is bad usage), and
// optionally --unit, --bank (three digits), --document and --due: FROM..TO,
// FROM.. or ..TO, dates YYYY-MM-DD, both ends included, or one DATE alone
// for that day. No argument text follows it and no printing option goes
// with it.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// The usage text, ending in a line break.
std::string UsageText();

// "boleto-sr " and the version.
std::string VersionText();

}  // namespace boleto
