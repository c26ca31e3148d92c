#include "validation/installment_key.h"

#include <string_view>

#include "platform/characters.h"
#include "platform/text.h"

namespace boleto {
namespace {

// Key widths of the CHAR columns in PARCELAR and DOCUMENTOR.
constexpr size_t kUnidadeWidth = 8;
constexpr size_t kDocumentoWidth = 10;
constexpr size_t kSerieWidth = 3;
constexpr size_t kNumeroWidth = 8;
constexpr size_t kParcelaWidth = 2;

}  // namespace

InstallmentKey NormalizeInstallmentKey(const RunParameters& params) {
  InstallmentKey key;
  key.codigo_emp = params.codigo_emp;
  key.codigo_unidade = CutOrPadRight(params.codigo_unidade, kUnidadeWidth);
  key.codigo_documento = CutOrPadRight(params.codigo_documento, kDocumentoWidth);
  key.serie = CutOrPadRight(params.serie, kSerieWidth);
  key.numero = CutOrPadRight(params.numero, kNumeroWidth);
  key.parcela = std::string(LastCharacters("00" + params.parcela, kParcelaWidth));
  return key;
}

std::string MessagePrefix(const InstallmentKey& key) {
  std::string prefix = "Documento: ";
  prefix += TrimRightBlanks(key.codigo_documento);
  prefix += ' ';
  prefix += TrimRightBlanks(key.serie);
  prefix += ' ';
  prefix += key.numero;
  prefix += '/';
  prefix += key.parcela;
  return prefix;
}

std::string InstallmentKeyText(const InstallmentKey& key) {
  return std::string(TrimBlanks(key.codigo_emp)) + " " +
         std::string(TrimBlanks(key.codigo_unidade)) + " " +
         std::string(TrimBlanks(key.codigo_documento)) + " " + std::string(TrimBlanks(key.serie)) +
         " " + std::string(TrimBlanks(key.numero)) + "/" + key.parcela;
}

}  // namespace boleto
