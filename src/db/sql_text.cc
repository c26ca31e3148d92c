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
  std::string in = "IN (";
  for (const std::string& value : values) {
    if (&value != values.data()) in += ", ";
    in += "'" + SqlQuote(value) + "'";
  }
  return in + ")";
}

}  // namespace boleto
