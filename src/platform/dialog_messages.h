// Messages where the clerk sees them: a modal desktop dialog per message
// (GTK 3), with the program's name as title, the message's icon, its lines
// and one OK button; Show returns once the clerk has pressed OK. Every
// message is also written to standard error first, so that logs keep it.
// The toolkit is loaded when the first dialog is due, never before: a run
// that shows no message starts no toolkit. Touches: standard error, the
// desktop display.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/messages.h"

namespace boleto {

// How the run shows its messages (--messages=auto|dialog|console).
enum class MessagesMode { kAuto, kDialog, kConsole };

// "auto", "dialog" or "console"; nothing for any other text.
std::optional<MessagesMode> ParseMessagesMode(std::string_view text);

// Dialogs when the toolkit opens the desktop display; otherwise standard
// error alone, after one line saying so when `announce_fallback` is set.
class DialogMessages : public Messages {
 public:
  explicit DialogMessages(bool announce_fallback) : announce_fallback_(announce_fallback) {}
  void Show(const std::string& text, MessageIcon icon) override;

 private:
  bool announce_fallback_;
  ConsoleMessages console_;
};

// The messages of a run. kConsole: standard error. kDialog: dialogs, with
// the fallback announced. kAuto: dialogs without announcement when
// WAYLAND_DISPLAY or DISPLAY is set (not empty) and standard error is not a
// terminal, standard error otherwise.
std::unique_ptr<Messages> MakeMessages(MessagesMode mode);

}  // namespace boleto
