// Interleaved 2 of 5 as the boleto draws it: each digit is five elements,
// two of them wide; digits are taken in pairs, the first digit of a pair
// giving the bars and the second the spaces between them. The symbol is a
// start pattern, the interleaved data and a stop pattern. This module only
// encodes: it turns digits into bars and spaces; drawing them is elsewhere.
#pragma once

#include <string_view>
#include <vector>

#include "platform/status.h"

namespace boleto {

// One element of the symbol: a bar or the space after it, one module wide
// (narrow) or three (wide).
struct BarElement {
  enum class Kind { kBar, kSpace };
  Kind kind;
  int width;  // modules
  friend bool operator==(const BarElement&, const BarElement&) = default;
};

inline constexpr BarElement kNarrowBar{BarElement::Kind::kBar, 1};
inline constexpr BarElement kNarrowSpace{BarElement::Kind::kSpace, 1};
inline constexpr BarElement kWideBar{BarElement::Kind::kBar, 3};
inline constexpr BarElement kWideSpace{BarElement::Kind::kSpace, 3};

// The elements of the whole symbol for an even number of digits: start
// (narrow bar, narrow space, narrow bar, narrow space), ten elements per pair
// of digits, stop (wide bar, narrow space, narrow bar, narrow space). An odd
// count or a non-digit is an error (5), never a wrong symbol.
Result<std::vector<BarElement>> Interleaved2of5Elements(std::string_view digits);

}  // namespace boleto
