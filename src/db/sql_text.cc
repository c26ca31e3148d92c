#include "db/sql_text.h"

namespace boleto {

std::string SqlQuote(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (char c : value) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out;
}

std::string SqlEqualsOrIn(std::span<const std::string> values) {
  if (values.size() == 1) return "= '" + SqlQuote(values.front()) + "'";
  return SqlInList(values);
}

std::string DocumentsByKeySql(std::string_view codigo_emp, std::string_view codigo_unidade,
                              std::string_view codigo_documento, std::string_view serie,
                              std::span<const std::string> numeros) {
  if (numeros.size() == 1) return "";
  return "  AND  DOCUMENTOR.CODIGOEMP       = '" + SqlQuote(codigo_emp) +
         "' "
         "  AND  DOCUMENTOR.CODIGOUNIDADE   = '" +
         SqlQuote(codigo_unidade) +
         "' "
         "  AND  DOCUMENTOR.CODIGODOCUMENTO = '" +
         SqlQuote(codigo_documento) +
         "' "
         "  AND  DOCUMENTOR.SERIE           = '" +
         SqlQuote(serie) +
         "' "
         "  AND  DOCUMENTOR.NUMERO          " +
         SqlEqualsOrIn(numeros) + " ";
}

}  // namespace boleto
