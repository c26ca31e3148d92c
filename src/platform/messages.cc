#include "platform/messages.h"

#include <cstdio>

#include "platform/outside_text.h"

namespace boleto {

std::string MessageLines(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 1);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out += text[i];
    }
  }
  if (out.empty() || out.back() != '\n') out += '\n';
  return out;
}

void ConsoleMessages::Show(const std::string& text, MessageIcon /*icon*/) {
  // A message can carry text from the argument text or the database: no
  // control character of theirs reaches the terminal as it is.
  const std::string out = TerminalSafe(MessageLines(text));
  std::fwrite(out.data(), 1, out.size(), stderr);
  std::fflush(stderr);
}

std::vector<std::string> RecordingMessages::texts() const {
  std::vector<std::string> result;
  for (const Shown& s : shown) result.push_back(s.text);
  return result;
}

}  // namespace boleto
