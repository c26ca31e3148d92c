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

}  // namespace boleto
