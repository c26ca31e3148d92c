#include "startup/argument_text.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/characters.h"
#include "platform/outside_text.h"

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

// The field at each column as the clerk names it; nullptr for a separator.
const char* FieldAtColumn(int column) {
  struct Field {
    int last_column;
    const char* name;
  };
  static constexpr Field kFields[] = {
      {15, "dialeto"}, {78, "conexão ODBC"}, {79, nullptr},  {81, "empresa"},
      {82, nullptr},   {90, "unidade"},      {91, nullptr},  {101, "documento"},
      {102, nullptr},  {105, "série"},       {106, nullptr}, {114, "número"},
      {115, nullptr},  {117, "parcela"},     {118, nullptr}, {kArgumentTextColumns, "usuário"}};
  for (const Field& field : kFields) {
    if (column <= field.last_column) return field.name;
  }
  return nullptr;
}

}  // namespace

std::string DecodeArgumentText(std::string_view received) { return Utf8OrWindows1252(received); }

std::optional<std::string> ControlCharacterInFields(std::string_view text) {
  const std::vector<size_t> starts = ColumnStarts(text);
  for (size_t column = 1; column < starts.size(); ++column) {
    const int control = ControlCharacter(text, starts[column - 1]);
    const char* field = FieldAtColumn(static_cast<int>(column));
    if (control < 0 || field == nullptr) continue;
    char code[8];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(control));
    return std::string("caractere de controle ") + code + " na coluna " + std::to_string(column) +
           " (" + field + ")";
  }
  return std::nullopt;
}

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
