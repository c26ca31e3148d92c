// The command line: options first, then the argument text as one argument
// kept with all its blanks, or a file of argument texts.
//   boleto-sr [--output FILE] [--printer NAME] [--messages auto|dialog|console]
//             [--preview] [--help] [--version] ARGUMENT-TEXT
//   boleto-sr [--output FILE] [--printer NAME] [--preview] --batch FILE
#pragma once

#include <string>
#include <vector>

#include "platform/dialog_messages.h"
#include "run/run_context.h"

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
};

// Reads the arguments after the program name. "--output=FILE",
// "--printer=NAME", "--messages=MODE" and "--batch=FILE" are accepted too;
// "--" ends the options. With --batch no argument text follows.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// The usage text, ending in a line break.
std::string UsageText();

// "boleto-sr " and the version.
std::string VersionText();

}  // namespace boleto
