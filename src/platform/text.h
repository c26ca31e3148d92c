// Small text rules the whole program applies: blanks cut at
// one or both ends (blanks only, never tabs or line breaks), and digit texts
// widened by left-padding with zeros and keeping the rightmost characters.
#pragma once

#include <string>
#include <string_view>

namespace boleto {

// `text` without blanks at both ends / at the right end.
std::string_view TrimBlanks(std::string_view text);
std::string_view TrimRightBlanks(std::string_view text);

// The rightmost `width` characters of `width` copies of `fill` followed by
// `text`: "7" padded to 2 with '0' is "07", "123" to 2 is "23".
std::string PadLeftKeepRight(std::string_view text, size_t width, char fill = '0');

}  // namespace boleto
