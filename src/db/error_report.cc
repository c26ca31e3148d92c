#include "db/error_report.h"

namespace boleto {

std::string ProgramIdentification() { return std::string(kProgramName) + " " + BOLETO_VERSION; }

std::string ReportError(Messages& messages, const Error& error, std::string_view context) {
  std::string text;
  text += "Error #  " + std::to_string(error.number) + "\r";
  text += "    " + error.description + "\r";
  text += "    (Origem : " + error.source + ")\r";
  text += "  (Programa : " + ProgramIdentification() + ")\r";
  const size_t first = context.find_first_not_of(' ');
  if (first != std::string_view::npos) {
    text += "  " + std::string(context) + " \r";
  }
  messages.Show(text, MessageIcon::kNone);
  return text;
}

}  // namespace boleto
