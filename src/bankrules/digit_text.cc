#include "bankrules/digit_text.h"

namespace boleto::bankrules {

std::string Pad(std::string_view text, size_t width) {
  if (text.size() >= width) return std::string(text.substr(text.size() - width));
  std::string out(width - text.size(), '0');
  out += text;
  return out;
}

std::string_view Mid(std::string_view text, size_t first, size_t count) {
  if (first == 0 || first > text.size()) return {};
  return text.substr(first - 1, count);
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace boleto::bankrules
