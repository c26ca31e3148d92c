#include "startup/argument_text.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/characters.h"

namespace boleto {

namespace {

// Byte offsets of the first kArgumentTextColumns columns, plus the end of
// the last one: column c (1-based) is [starts[c-1], starts[c]).
std::vector<size_t> ColumnStarts(std::string_view text) {
  std::vector<size_t> starts;
  size_t at = 0;
  while (at < text.size() && starts.size() < static_cast<size_t>(kArgumentTextColumns)) {
    starts.push_back(at);
    at += CharacterLength(text, at);
  }
  starts.push_back(at);
  return starts;
}

// The substring at columns first .. first + width - 1, cut short where the
// text ends.
std::string Columns(std::string_view text, const std::vector<size_t>& starts, int first,
                    int width) {
  const size_t columns = starts.size() - 1;
  const size_t from = static_cast<size_t>(first - 1);
  if (from >= columns) return "";
  const size_t to = std::min(columns, from + static_cast<size_t>(width));
  return std::string(text.substr(starts[from], starts[to] - starts[from]));
}

std::string TrimBlanks(std::string value) {
  const size_t first = value.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return value.substr(first, value.find_last_not_of(' ') - first + 1);
}

}  // namespace

RunParameters ParseArgumentText(std::string_view text) {
  const std::vector<size_t> starts = ColumnStarts(text);
  RunParameters params;
  params.database_type = TrimBlanks(Columns(text, starts, 1, 15));
  params.connect_string = TrimBlanks(Columns(text, starts, 16, 63));
  params.codigo_emp = Columns(text, starts, 80, 2);
  params.codigo_unidade = Columns(text, starts, 83, 8);
  params.codigo_documento = Columns(text, starts, 92, 10);
  params.serie = Columns(text, starts, 103, 3);
  params.numero = Columns(text, starts, 107, 8);
  params.parcela = Columns(text, starts, 116, 2);
  params.matr_sel = Columns(text, starts, 119, 15);
  return params;
}

}  // namespace boleto
