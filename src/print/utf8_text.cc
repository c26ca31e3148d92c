#include "print/utf8_text.h"

namespace boleto {

size_t CharacterCount(std::string_view utf8) {
  size_t count = 0;
  for (size_t i = 0; i < utf8.size(); ++count) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    size_t length = lead < 0x80           ? 1
                    : (lead >> 5) == 0x6  ? 2
                    : (lead >> 4) == 0xE  ? 3
                    : (lead >> 3) == 0x1E ? 4
                                          : 1;
    if (i + length > utf8.size()) length = 1;
    for (size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(utf8[i + k]) & 0xC0) != 0x80) {
        length = 1;
        break;
      }
    }
    i += length;
  }
  return count;
}

}  // namespace boleto
