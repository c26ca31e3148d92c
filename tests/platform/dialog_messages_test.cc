// Which messages a run gets: the auto rule (dialogs only with a display set
// and standard error not a terminal), and the modes that do not ask.
#include "platform/dialog_messages.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <memory>
#include <optional>
#include <string>

namespace boleto {
namespace {

// Sets the display variables and points standard error at a terminal (a new
// pseudo-terminal) or at /dev/null; puts both back on destruction.
class Surroundings {
 public:
  Surroundings(const char* wayland_display, const char* display, bool terminal) {
    Keep("WAYLAND_DISPLAY", wayland_display, saved_wayland_);
    Keep("DISPLAY", display, saved_display_);
    saved_stderr_ = dup(STDERR_FILENO);
    int target = -1;
    if (terminal) {
      pty_ = posix_openpt(O_RDWR | O_NOCTTY);
      if (pty_ >= 0 && grantpt(pty_) == 0 && unlockpt(pty_) == 0) {
        target = open(ptsname(pty_), O_RDWR | O_NOCTTY);
      }
    } else {
      target = open("/dev/null", O_WRONLY);
    }
    ready_ = target >= 0 && dup2(target, STDERR_FILENO) == STDERR_FILENO;
    if (target >= 0) close(target);
  }
  ~Surroundings() {
    dup2(saved_stderr_, STDERR_FILENO);
    close(saved_stderr_);
    if (pty_ >= 0) close(pty_);
    Restore("WAYLAND_DISPLAY", saved_wayland_);
    Restore("DISPLAY", saved_display_);
  }
  bool ready() const { return ready_; }

 private:
  static void Keep(const char* name, const char* value, std::optional<std::string>& saved) {
    if (const char* old = getenv(name)) saved = old;
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  static void Restore(const char* name, const std::optional<std::string>& saved) {
    if (saved) {
      setenv(name, saved->c_str(), 1);
    } else {
      unsetenv(name);
    }
  }

  std::optional<std::string> saved_wayland_, saved_display_;
  int saved_stderr_ = -1;
  int pty_ = -1;
  bool ready_ = false;
};

TEST(MakeMessages, DialogsOnlyWhereTheClerkCanSeeThem) {
  struct {
    const char* what;
    MessagesMode mode;
    const char* wayland_display;  // nullptr: not set
    const char* display;
    bool terminal;
    bool dialogs;
  } cases[] = {
      {"auto, X display, log", MessagesMode::kAuto, nullptr, ":0", false, true},
      {"auto, Wayland display, log", MessagesMode::kAuto, "wayland-0", nullptr, false, true},
      {"auto, display, terminal", MessagesMode::kAuto, nullptr, ":0", true, false},
      {"auto, no display", MessagesMode::kAuto, nullptr, nullptr, false, false},
      {"auto, empty variables", MessagesMode::kAuto, "", "", false, false},
      {"dialog, no display, terminal", MessagesMode::kDialog, nullptr, nullptr, true, true},
      {"console, display, log", MessagesMode::kConsole, nullptr, ":0", false, false},
  };
  for (const auto& c : cases) {
    std::unique_ptr<Messages> messages;
    {
      Surroundings surroundings(c.wayland_display, c.display, c.terminal);
      ASSERT_TRUE(surroundings.ready()) << c.what;
      messages = MakeMessages(c.mode);
    }
    EXPECT_EQ(dynamic_cast<DialogMessages*>(messages.get()) != nullptr, c.dialogs) << c.what;
    if (!c.dialogs) {
      EXPECT_NE(dynamic_cast<ConsoleMessages*>(messages.get()), nullptr) << c.what;
    }
  }
}

}  // namespace
}  // namespace boleto
