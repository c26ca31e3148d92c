#include "startup/select.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "db/error_report.h"
#include "db/odbc_database.h"
#include "platform/characters.h"
#include "platform/text.h"
#include "startup/command_line.h"
#include "startup/start_up.h"
#include "validation/installment_key.h"

namespace boleto {
namespace {

// The connect string's columns (16-78) and the user's (119-133).
constexpr size_t kDialectColumns = 15;
constexpr size_t kConnectColumns = 63;
constexpr size_t kUserColumns = 15;

// The key columns of the query, in the order and widths of the argument
// text: company, unit, document, series, number, installment.
struct KeyColumn {
  const char* name;
  size_t columns;
};
constexpr KeyColumn kKeyColumns[] = {{"CodigoEmp", 2},        {"CodigoUnidade", 8},
                                     {"CodigoDocumento", 10}, {"Serie", 3},
                                     {"Numero", 8},           {"Parcela", 2}};

// Each key value of the current row, or the error of reading it.
Result<std::vector<std::string>> KeyValues(const RowSet& rows) {
  std::vector<std::string> values;
  for (const KeyColumn& column : kKeyColumns) {
    BOLETO_ASSIGN_OR_RETURN(std::string value, rows.Text(column.name));
    values.push_back(std::move(value));
  }
  return values;
}

// The installment as the clerk reads it: "01 01 DM 1 1003/01".
std::string KeyText(const std::vector<std::string>& values) {
  return InstallmentKeyText(InstallmentKey{values[0], values[1], values[2], values[3], values[4],
                                           std::string(TrimBlanks(values[5]))});
}

// The argument text naming the installment, or nothing when a key value
// does not fit its columns or would break the line.
std::optional<std::string> ArgumentText(const SelectRequest& request,
                                        const std::vector<std::string>& values) {
  std::string text = CutOrPadRight(std::string(DialectTag(request.dialect)), kDialectColumns) +
                     CutOrPadRight(request.connect_string, kConnectColumns);
  for (size_t i = 0; i < values.size(); ++i) {
    const std::string& value = values[i];
    if (CharacterCount(value) > kKeyColumns[i].columns) return std::nullopt;
    if (value.find_first_of("\r\n") != std::string::npos) return std::nullopt;
    text += ' ' + CutOrPadRight(value, kKeyColumns[i].columns);
  }
  text += ' ' + CutOrPadRight(request.user, kUserColumns);
  return text;
}

}  // namespace

int RunSelect(const SelectRequest& request, std::FILE* out, std::FILE* log, Messages& messages) {
  Result<std::unique_ptr<Database>> opened =
      OpenOdbcDatabase(request.connect_string, request.dialect);
  if (!opened.ok()) {
    ReportError(messages, opened.error(), kStartUpContext);
    return kExitErrorReported;
  }
  Result<std::string> sql = OpenInstallmentsQuery(request.dialect, request.filter);
  Result<RowSet> rows = sql.ok() ? (*opened)->Query(*sql) : Result<RowSet>(sql.error());
  if (!rows.ok()) {
    ReportError(messages, rows.error(), "");
    return kExitErrorReported;
  }
  size_t written = 0;
  size_t left_out = 0;
  for (; !rows->eof(); rows->MoveNext()) {
    Result<std::vector<std::string>> values = KeyValues(*rows);
    if (!values.ok()) {
      ReportError(messages, values.error(), "");
      return kExitErrorReported;
    }
    const std::optional<std::string> text = ArgumentText(request, *values);
    if (!text) {
      std::fprintf(log,
                   "boleto-sr: %s: a chave não cabe nas colunas do texto de argumento; parcela "
                   "não listada\n",
                   KeyText(*values).c_str());
      ++left_out;
      continue;
    }
    std::fprintf(out, "%s\n", text->c_str());
    ++written;
  }
  if (std::fflush(out) != 0 || std::ferror(out)) {
    std::fprintf(log, "boleto-sr: não foi possível escrever a lista: %s\n", std::strerror(errno));
    return kExitErrorReported;
  }
  if (written == 0 && left_out == 0) {
    std::fprintf(log, "boleto-sr: nenhuma parcela em aberto encontrada\n");
  }
  return written > 0 && left_out == 0 ? kExitPrinted : kExitRefused;
}

}  // namespace boleto
