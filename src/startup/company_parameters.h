// The company of the run and its print settings: name, default currency,
// billing-address number (EMPRESA) and print directory (PARAMIMP), read once
// right after the connection is open.
#pragma once

#include <string>
#include <string_view>

#include "run/run_context.h"

namespace boleto {

enum class CompanyOutcome { kLoaded, kNoRow, kErrorReported };

// The SELECT of EMPRESA and PARAMIMP for company `codigo_emp`.
std::string CompanyParametersSql(std::string_view codigo_emp);

// Fills ctx.company. No row: shows "Verifique parâmetros de conexão e
// permissão de acesso." (no icon) and gives kNoRow. A NULL in any of the nine
// columns or a failing query: an error report with empty context, values read
// before the failure kept, kErrorReported.
CompanyOutcome LoadCompanyParameters(RunContext& ctx);

}  // namespace boleto
