// The one run of the process: the argument text taken apart, the connection
// opened, the company parameters loaded, the installment checked and its
// boleto printed and recorded. Number and date conventions (comma decimal
// mark, dot thousands mark, day before month) live in the program's own
// formatting functions; nothing of the operating system's locale is touched.
#pragma once

#include <string_view>

#include "run/run_context.h"

namespace boleto {

// The context of the error report when the run cannot start: the
// connection, the dialect tag or the argument text is wrong.
inline constexpr char kStartUpContext[] =
    "Parâmetros não cadastrados corretamente, verifique e corrija antes de prosseguir.";

// Runs every stage in order on `ctx` (whose messages and destination are set)
// and gives the exit status: 0 printed, 1 refused or nothing to print, 2 an
// error was reported. A failing connection is reported with the context
// "Parâmetros não cadastrados corretamente, verifique e corrija antes de
// prosseguir.".
int StartUp(RunContext& ctx, std::string_view argument_text);

}  // namespace boleto
