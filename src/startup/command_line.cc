#include "startup/command_line.h"

#include <string_view>

#include "db/error_report.h"
#include "platform/outside_text.h"

namespace boleto {

namespace {

CommandLine UsageError(std::string problem) {
  CommandLine line;
  line.action = CommandLine::Action::kUsageError;
  // The problem quotes what was given: shown on a terminal, as text only.
  line.problem = TerminalSafe(problem);
  return line;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine line;
  size_t i = 0;
  for (; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") {
      ++i;
      break;
    }
    if (arg.size() < 2 || arg[0] != '-' || arg[1] != '-') break;
    if (arg == "--help") {
      line.action = CommandLine::Action::kHelp;
      return line;
    }
    if (arg == "--version") {
      line.action = CommandLine::Action::kVersion;
      return line;
    }
    if (arg == "--preview") {
      line.preview = true;
      continue;
    }
    std::string name = arg;
    std::string value;
    bool has_value = false;
    if (const size_t eq = arg.find('='); eq != std::string::npos) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
      has_value = true;
    }
    if (name != "--output" && name != "--printer" && name != "--messages" && name != "--batch") {
      return UsageError("unknown option: " + name);
    }
    if (!has_value) {
      if (i + 1 >= args.size()) return UsageError(name + " needs a value");
      value = args[++i];
    }
    if (value.empty()) return UsageError(name + " needs a value");
    if (name == "--output") {
      line.destination.output_file = value;
    } else if (name == "--batch") {
      line.batch_file = value;
    } else if (name == "--messages") {
      const std::optional<MessagesMode> mode = ParseMessagesMode(value);
      if (!mode) return UsageError("--messages takes auto, dialog or console, not " + value);
      line.messages = *mode;
    } else {
      line.destination.printer_name = value;
    }
  }
  if (!line.batch_file.empty()) {
    if (i < args.size()) return UsageError("--batch takes its argument texts from its file");
    line.action = CommandLine::Action::kRun;
    return line;
  }
  if (i >= args.size() || args[i].empty()) return UsageError("the argument text is missing");
  if (i + 1 < args.size()) {
    return UsageError("one argument text expected; quote it to keep its blanks");
  }
  line.action = CommandLine::Action::kRun;
  line.argument_text = args[i];
  return line;
}

std::string UsageText() {
  return "usage: boleto-sr [--output FILE] [--printer NAME] [--messages MODE] [--preview]\n"
         "                 [--help] [--version] ARGUMENT-TEXT\n"
         "       boleto-sr [--output FILE] [--printer NAME] [--preview] --batch FILE\n"
         "\n"
         "Prints the boleto of one receivable installment named by ARGUMENT-TEXT, one\n"
         "fixed-column argument (quote it: its blanks count):\n"
         "  columns   1-15  dialect tag (ORACLE, SQLSERVER, SYBASESRV, SYBASEANY, SQLBASE,\n"
         "                  ACCESS, SQLITE, POSTGRESQL)\n"
         "  columns  16-78  ODBC connect string, e.g. DRIVER=SQLite3;Database=FILE or DSN=NAME\n"
         "  columns  80-81  company        83-90   unit          92-101  document\n"
         "  columns 103-105 series        107-114 number       116-117 installment\n"
         "  columns 119-133 requesting user\n"
         "\n"
         "  --output FILE    write the page to FILE (.pdf or .png) instead of printing it\n"
         "  --printer NAME   print on the CUPS destination NAME instead of the default one\n"
         "  --messages MODE  where messages are shown: auto (the default: desktop dialogs\n"
         "                   when a display is set and standard error is not a terminal),\n"
         "                   dialog, or console (standard error only); every message is\n"
         "                   also written to standard error\n"
         "  --preview        print the page marked as a preview and record nothing\n"
         "  --batch FILE     print every installment named in FILE (one argument text\n"
         "                   a line; - for standard input) into one PDF or print job,\n"
         "                   then record each; one line per installment on standard error\n"
         "  --help           show this text\n"
         "  --version        show the program's version\n"
         "\n"
         "Exit status: 0 printed, 1 refused or nothing to print, 2 error reported,\n"
         "64 bad usage.\n";
}

std::string VersionText() { return ProgramIdentification(); }

}  // namespace boleto
