// The one error report of the program: a fixed five-line text built from an
// error's number, description and source, the program's name and version, and
// a context text chosen by the caller; shown once, without icon.
#pragma once

#include <string>
#include <string_view>

#include "platform/messages.h"
#include "platform/status.h"

namespace boleto {

// Program identification on line 4: "boleto-sr " and the version.
std::string ProgramIdentification();

// Composes the report (each line ends with a carriage return; line 5 only
// when the trimmed context is not empty), shows it and returns it.
std::string ReportError(Messages& messages, const Error& error, std::string_view context);

}  // namespace boleto
