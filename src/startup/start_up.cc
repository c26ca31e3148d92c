#include "startup/start_up.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "boleto/boleto_run.h"
#include "db/dialect.h"
#include "db/error_report.h"
#include "db/odbc_database.h"
#include "startup/argument_text.h"
#include "startup/command_line.h"
#include "startup/company_parameters.h"
#include "validation/eligibility.h"

namespace boleto {

namespace {

// The exit status of a run that ended with `status` after the errors it
// showed and went on after: any such error gives the error status.
int ExitStatusOf(const std::vector<Error>& errors_shown, int status) {
  return errors_shown.empty() ? status : kExitErrorReported;
}

}  // namespace

int StartUp(RunContext& ctx, std::string_view argument_text) {
  if (!argument_text.empty()) {
    // Made UTF-8 once, before the columns are counted; a control character
    // would be printed, echoed to a terminal or refused by the database only
    // once the page had left.
    const std::string text = DecodeArgumentText(argument_text);
    if (const std::optional<std::string> problem = ControlCharacterInFields(text)) {
      ReportError(*ctx.messages,
                  MakeError(error_number::kInvalidArgument, "Texto de argumento com " + *problem),
                  kStartUpContext);
      return kExitErrorReported;
    }
    ctx.params = ParseArgumentText(text);
    ctx.decimal_mark.assign(1, '.');
  }

  // Every statement that writes a date or reads the clock needs the
  // dialect: an unknown tag would print the page and then fail half-way
  // through the recording.
  const std::optional<Dialect> dialect = ParseDialect(ctx.params.database_type);
  if (!ctx.params.connect_string.empty() && !dialect) {
    ReportError(*ctx.messages,
                MakeError(error_number::kInvalidArgument,
                          "Unknown dialect tag \"" + ctx.params.database_type +
                              "\": ORACLE, SQLSERVER, SYBASESRV, SYBASEANY, SQLBASE, ACCESS, "
                              "SQLITE or POSTGRESQL"),
                kStartUpContext);
    return kExitErrorReported;
  }
  // Without a connect string the connection fails whatever the tag says.
  ctx.dialect = dialect.value_or(ctx.dialect);
  Result<std::unique_ptr<Database>> opened =
      OpenOdbcDatabase(ctx.params.connect_string, ctx.dialect);
  if (!opened.ok()) {
    ReportError(*ctx.messages, opened.error(), kStartUpContext);
    return kExitErrorReported;
  }
  // The connection lives until the run is over.
  const std::unique_ptr<Database> db = std::move(opened).value();
  ctx.db = db.get();

  switch (LoadCompanyParameters(ctx)) {
    case CompanyOutcome::kLoaded:
      break;
    case CompanyOutcome::kNoRow:
      return kExitRefused;
    case CompanyOutcome::kErrorReported:
      // The error has been shown; a boleto with part of its company data
      // missing is never printed.
      return kExitErrorReported;
  }

  const Eligibility eligibility = CheckInstallmentEligibility(ctx);
  const std::vector<Error>& shown = eligibility.errors_shown;
  switch (eligibility.outcome) {
    case EligibilityOutcome::kAccepted:
      break;
    case EligibilityOutcome::kRefused:
      return ExitStatusOf(shown, kExitRefused);
    case EligibilityOutcome::kErrorReported:
      return kExitErrorReported;
  }

  switch (BoletoRun(ctx)) {
    case RunOutcome::kPrinted:
      return ExitStatusOf(shown, kExitPrinted);
    case RunOutcome::kNothingToPrint:
    case RunOutcome::kDirectoryRefused:
    case RunOutcome::kRefused:
      return ExitStatusOf(shown, kExitRefused);
    case RunOutcome::kErrorReported:
      break;
  }
  return kExitErrorReported;
}

}  // namespace boleto
