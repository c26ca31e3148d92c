// libFuzzer target for the argument text: any bytes of any length are taken
// apart without a crash, each field is a piece of the text no wider than its
// columns (at most four bytes a column), and the dialect tag and the connect
// string never keep blanks at their ends.
//
// fuzz-sources: src/startup/argument_text.cc
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "startup/argument_text.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckField(std::string_view text, const std::string& field, size_t columns) {
  Check(field.size() <= columns * 4);
  Check(text.find(field) != std::string_view::npos);
}

void CheckTrimmed(const std::string& field) {
  Check(field.empty() || (field.front() != ' ' && field.back() != ' '));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const boleto::RunParameters params = boleto::ParseArgumentText(text);
  CheckField(text, params.database_type, 15);
  CheckField(text, params.connect_string, 63);
  CheckField(text, params.codigo_emp, 2);
  CheckField(text, params.codigo_unidade, 8);
  CheckField(text, params.codigo_documento, 10);
  CheckField(text, params.serie, 3);
  CheckField(text, params.numero, 8);
  CheckField(text, params.parcela, 2);
  CheckField(text, params.matr_sel, 15);
  CheckTrimmed(params.database_type);
  CheckTrimmed(params.connect_string);
  // Plain ASCII: one byte a column, so the fields have their exact widths.
  bool ascii = true;
  for (unsigned char c : text) ascii = ascii && c < 0x80;
  if (ascii && size >= 133) {
    Check(params.codigo_emp.size() == 2 && params.matr_sel.size() == 15);
    Check(params.codigo_emp == text.substr(79, 2) && params.matr_sel == text.substr(118, 15));
  }
  return 0;
}
