#include "startup/command_line.h"

#include <map>
#include <string_view>

#include "db/dialect.h"
#include "db/error_report.h"
#include "platform/characters.h"
#include "platform/outside_text.h"
#include "platform/text.h"

namespace boleto {

namespace {

CommandLine UsageError(std::string problem) {
  CommandLine line;
  line.action = CommandLine::Action::kUsageError;
  // The problem quotes what was given: shown on a terminal, as text only.
  line.problem = TerminalSafe(problem);
  return line;
}

// The options of --select that take a value, with the columns each value
// must fit in the argument texts it lists; 0 for those never written there.
const std::map<std::string, size_t, std::less<>> kSelectOptions = {
    {"--dialect", 15}, {"--connect", 63},  {"--company", 2}, {"--user", 15},
    {"--unit", 8},     {"--document", 10}, {"--bank", 3},    {"--due", 0}};

// A "YYYY-MM-DD" date, nothing else.
std::optional<Date> IsoDate(std::string_view text) {
  if (text.size() != 10) return std::nullopt;
  return Date::ParseIso(text);
}

// Reads --due into `filter`; the problem, or empty.
std::string ReadDueDates(const std::string& due, InstallmentFilter& filter) {
  const size_t dots = due.find("..");
  const std::string from = due.substr(0, dots);
  const std::string to = dots == std::string::npos ? from : due.substr(dots + 2);
  const std::string wrong =
      "--due takes FROM..TO, FROM.., ..TO or one DATE, dates as YYYY-MM-DD, not " + due;
  if (from.empty() && to.empty()) return wrong;
  if (!from.empty() && !(filter.due_from = IsoDate(from))) return wrong;
  if (!to.empty() && !(filter.due_to = IsoDate(to))) return wrong;
  if (filter.due_from && filter.due_to && *filter.due_from > *filter.due_to) {
    return "--due: " + from + " is after " + to;
  }
  return "";
}

// Builds the request of --select from the values given; the problem, or
// empty.
std::string ReadSelection(std::map<std::string, std::string, std::less<>> values,
                          SelectRequest& request) {
  for (const char* needed : {"--dialect", "--connect", "--company", "--user"}) {
    if (!values.contains(needed)) return std::string("--select needs ") + needed;
  }
  // The connect string is read back from its columns without the blanks
  // around it.
  values["--connect"] = std::string(TrimBlanks(values["--connect"]));
  for (const auto& [name, value] : values) {
    for (const char c : value) {
      // A line break would split the line; no other control character
      // belongs in a value either.
      if (static_cast<unsigned char>(c) < 0x20) return name + " holds a control character";
    }
    const size_t columns = kSelectOptions.find(name)->second;
    const size_t length = CharacterCount(value);
    if (columns > 0 && length > columns) {
      return name + " takes at most " + std::to_string(columns) +
             " characters, the columns the argument text holds for it; " + value + " has " +
             std::to_string(length);
    }
  }
  if (values["--connect"].empty()) return "--connect needs a value";
  const std::optional<Dialect> dialect = ParseDialect(values["--dialect"]);
  if (!dialect) {
    return "--dialect takes ORACLE, SQLSERVER, SYBASESRV, SYBASEANY, SQLBASE, ACCESS, SQLITE or "
           "POSTGRESQL, not " +
           values["--dialect"];
  }
  request.dialect = *dialect;
  // The value given, or empty (without adding it to `values`).
  const auto given = [&values](const char* name) {
    const auto found = values.find(name);
    return found == values.end() ? std::string() : found->second;
  };
  request.connect_string = values["--connect"];
  request.user = values["--user"];
  InstallmentFilter& filter = request.filter;
  filter.codigo_emp = values["--company"];
  filter.codigo_unidade = given("--unit");
  filter.codigo_documento = given("--document");
  filter.banco_cobranca = given("--bank");
  if (values.contains("--bank") &&
      (filter.banco_cobranca.size() != 3 ||
       filter.banco_cobranca.find_first_not_of("0123456789") != std::string::npos)) {
    return "--bank takes the bank's three-digit code, not " + filter.banco_cobranca;
  }
  if (values.contains("--due")) return ReadDueDates(values["--due"], filter);
  return "";
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine line;
  bool select = false;
  std::map<std::string, std::string, std::less<>> select_values;
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
    if (arg == "--select") {
      select = true;
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
    if (name != "--output" && name != "--output-dir" && name != "--printer" &&
        name != "--messages" && name != "--batch" && !kSelectOptions.contains(name)) {
      return UsageError("unknown option: " + name);
    }
    if (!has_value) {
      if (i + 1 >= args.size()) return UsageError(name + " needs a value");
      value = args[++i];
    }
    if (value.empty()) return UsageError(name + " needs a value");
    if (kSelectOptions.contains(name)) {
      select_values[name] = value;
    } else if (name == "--output") {
      line.destination.output_file = value;
    } else if (name == "--output-dir") {
      line.destination.output_folder = value;
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
  if (select) {
    if (i < args.size()) return UsageError("--select takes no argument text");
    if (!line.batch_file.empty() || line.preview || !line.destination.output_file.empty() ||
        !line.destination.output_folder.empty() || !line.destination.printer_name.empty() ||
        line.messages != MessagesMode::kAuto) {
      return UsageError(
          "--select lists on standard output; --output, --output-dir, --printer, --messages, "
          "--preview and --batch do not go with it");
    }
    SelectRequest request;
    const std::string problem = ReadSelection(std::move(select_values), request);
    if (!problem.empty()) return UsageError(problem);
    line.selection = std::move(request);
    line.action = CommandLine::Action::kRun;
    return line;
  }
  if (!select_values.empty())
    return UsageError(select_values.begin()->first + " goes with --select");
  if (!line.destination.output_folder.empty()) {
    // A file per installment: a batch alone has many, and they go nowhere else.
    if (line.batch_file.empty()) return UsageError("--output-dir goes with --batch");
    if (!line.destination.output_file.empty() || !line.destination.printer_name.empty()) {
      return UsageError("--output-dir writes the files; --output and --printer do not go with it");
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
         "       boleto-sr --output-dir DIR [--preview] --batch FILE\n"
         "       boleto-sr --select --dialect TAG --connect TEXT --company CODE --user NAME\n"
         "                 [--unit CODE] [--bank NNN] [--document CODE] [--due FROM..TO]\n"
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
         "  --output-dir DIR with --batch: one PDF file per installment in DIR, named by\n"
         "                   its key (01-01-DM-1-1003-01.pdf), instead of one document\n"
         "  --select         write the argument texts of the open installments of\n"
         "                   --company (in --dialect, over --connect, asked by --user),\n"
         "                   one a line in key order, for --batch -; narrowed by\n"
         "  --unit CODE      one unit,\n"
         "  --bank NNN       one collecting bank,\n"
         "  --document CODE  one document code,\n"
         "  --due FROM..TO   due dates (YYYY-MM-DD) from FROM to TO, both included;\n"
         "                   FROM.., ..TO or one DATE alone\n"
         "  --dialect TAG, --connect TEXT, --company CODE, --user NAME\n"
         "                   what the argument texts hold in their columns\n"
         "  --help           show this text\n"
         "  --version        show the program's version\n"
         "\n"
         "Exit status: 0 printed, 1 refused or nothing to print, 2 error reported,\n"
         "64 bad usage; with --select 0 listed, 1 none found.\n";
}

std::string VersionText() { return ProgramIdentification(); }

}  // namespace boleto
