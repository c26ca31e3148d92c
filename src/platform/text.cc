#include "platform/text.h"

namespace boleto {

std::string_view TrimBlanks(std::string_view text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

std::string_view TrimRightBlanks(std::string_view text) {
  const size_t last = text.find_last_not_of(' ');
  if (last == std::string_view::npos) return {};
  return text.substr(0, last + 1);
}

std::string PadLeftKeepRight(std::string_view text, size_t width, char fill) {
  if (text.size() >= width) return std::string(text.substr(text.size() - width));
  std::string padded(width - text.size(), fill);
  padded.append(text);
  return padded;
}

}  // namespace boleto
