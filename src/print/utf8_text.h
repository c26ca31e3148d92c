// UTF-8 of the texts the forms print: character counts ("Beneficiário" is
// twelve characters, not thirteen bytes) and the lines a text prints as.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/outside_text.h"  // AppendCharacter

namespace boleto {

// Number of characters (code points) of a UTF-8 text; a byte that starts no
// well-formed sequence counts as one character.
size_t CharacterCount(std::string_view utf8);

// The code point starting at `pos`, which moves past it; a byte that starts
// no well-formed sequence (overlong forms and surrogates included) is
// U+FFFD and moves one byte.
char32_t NextCharacter(std::string_view utf8, size_t& pos);

// The lines a text prints as: split at line feeds, carriage returns, CR LF
// pairs and the line and paragraph separators U+2028 and U+2029 (a text
// ending in one ends with an empty line), each line
// well-formed UTF-8 of printable characters: a malformed byte becomes
// U+FFFD, a tab a blank, other control characters are dropped.
std::vector<std::string> PrintedLines(std::string_view utf8);

}  // namespace boleto
