// The one way a value goes between single quotes in SQL text: every single
// quote inside it is doubled, so a quote in the argument text or in stored
// data can neither break a statement nor change its meaning.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace boleto {

// The value with each ' doubled, without the surrounding quotes, so that the
// callers keep their fixed SQL pieces ("... = '" + SqlQuote(v) + "' ").
std::string SqlQuote(std::string_view value);

// "IN ('v1', 'v2')": `values` (not empty) quoted, in their order.
template <typename Values>
std::string SqlInList(const Values& values) {
  std::string in = "IN (";
  for (const std::string& value : values) {
    in += (in.size() == 4 ? "'" : ", '") + SqlQuote(value) + "'";
  }
  return in + ")";
}

// The condition on one key column that finds `values`: "= 'v'" for one
// value, as a single installment's query writes it, "IN ('v1', 'v2')" for
// more. `values` is not empty.
std::string SqlEqualsOrIn(std::span<const std::string> values);

// For a query of the installments of several documents that joins
// DOCUMENTOR: "  AND  DOCUMENTOR.CODIGOEMP       = '01' ... AND
// DOCUMENTOR.NUMERO          IN (...) ", the documents named by their own
// key values too, so that the server finds them by their key instead of
// reading every document of the series. Empty for one number: a single
// installment's query stays as it has always been written.
std::string DocumentsByKeySql(std::string_view codigo_emp, std::string_view codigo_unidade,
                              std::string_view codigo_documento, std::string_view serie,
                              std::span<const std::string> numeros);

}  // namespace boleto
