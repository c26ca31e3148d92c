// Character counts of the UTF-8 texts the forms hold: "Beneficiário" is
// twelve characters, not thirteen bytes.
#pragma once

#include <cstddef>
#include <string_view>

namespace boleto {

// Number of characters (code points) of a UTF-8 text; a byte that starts no
// well-formed sequence counts as one character.
size_t CharacterCount(std::string_view utf8);

}  // namespace boleto
