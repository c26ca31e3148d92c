// Message boxes. The program talks to the clerk only through messages with
// an OK button; Show returns once the message has been acknowledged. The
// console form writes to standard error; platform/dialog_messages.h shows
// desktop dialogs as well; tests record what was shown.
#pragma once

#include <string>
#include <vector>

namespace boleto {

enum class MessageIcon { kNone, kExclamation };

class Messages {
 public:
  virtual ~Messages() = default;
  virtual void Show(const std::string& text, MessageIcon icon) = 0;
};

// The message as lines: each carriage return (alone or before a line feed)
// becomes a line feed, and the text ends in a line feed (one is added when
// it is missing).
std::string MessageLines(const std::string& text);

// Writes each message to standard error as MessageLines gives it, made
// TerminalSafe (platform/outside_text.h).
class ConsoleMessages : public Messages {
 public:
  void Show(const std::string& text, MessageIcon icon) override;
};

// Keeps every message shown, in order, for tests to assert on.
class RecordingMessages : public Messages {
 public:
  struct Shown {
    std::string text;
    MessageIcon icon;
  };
  void Show(const std::string& text, MessageIcon icon) override { shown.push_back({text, icon}); }
  std::vector<std::string> texts() const;

  std::vector<Shown> shown;
};

}  // namespace boleto
