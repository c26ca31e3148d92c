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

// The condition on one key column that finds `values`: "= 'v'" for one
// value, as a single installment's query writes it, "IN ('v1', 'v2')" for
// more. `values` is not empty.
std::string SqlEqualsOrIn(std::span<const std::string> values);

}  // namespace boleto
