// Interleaved 2 of 5 as the boleto draws it: each digit is five elements,
// two of them wide; digits are taken in pairs, the first digit of a pair
// giving the bars and the second the spaces between them. The symbol is a
// start pattern, the interleaved data and a stop pattern. This module only
// encodes: it turns digits into bar elements; drawing them is elsewhere.
#pragma once

#include <string_view>
#include <vector>

#include "platform/status.h"
#include "print/printer_surface.h"

namespace boleto {

// One bar or space in modules (15 twips each): horizontal start relative to
// the running position, top, width and bottom, and the colour it is painted
// in (spaces are painted white).
struct BarElement {
  int start;
  int top;
  int width;
  int bottom;
  Rgb colour;
  friend bool operator==(const BarElement&, const BarElement&) = default;
};

// Elements run from module 10 to module 60 below the origin; wide elements
// are three modules, narrow ones one.
inline constexpr BarElement kNarrowBar{0, 10, 1, 60, kBlack};
inline constexpr BarElement kNarrowSpace{0, 10, 1, 60, kWhite};
inline constexpr BarElement kWideBar{0, 10, 3, 60, kBlack};
inline constexpr BarElement kWideSpace{0, 10, 3, 60, kWhite};

// The elements of the whole symbol for an even number of digits: start
// (narrow bar, narrow space, narrow bar, narrow space), ten elements per pair
// of digits, stop (wide bar, narrow space, narrow bar, narrow space). An odd
// count or a non-digit is an error (5), never a wrong symbol.
Result<std::vector<BarElement>> Interleaved2of5Elements(std::string_view digits);

}  // namespace boleto
