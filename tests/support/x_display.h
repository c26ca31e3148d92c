// A throw-away desktop for the dialog tests: an X server (Xvfb) on a display
// number it picks itself, and a D-Bus session bus of its own through which
// the toolkit publishes its accessibility tree (the accessibility services
// are started by the bus on first use and end with it). Both processes are
// stopped, and their folder removed, by the destructor; they are also told
// to end when the test program dies.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/status.h"

namespace boleto::testing {

class XDisplay {
 public:
  // Starts the server and the bus; an error says which could not start.
  static Result<std::unique_ptr<XDisplay>> Start();
  ~XDisplay();

  XDisplay(const XDisplay&) = delete;
  XDisplay& operator=(const XDisplay&) = delete;

  // "DISPLAY=:N", "DBUS_SESSION_BUS_ADDRESS=..." and "XDG_RUNTIME_DIR=...":
  // the environment entries of a program that uses this desktop.
  const std::vector<std::string>& environment() const { return environment_; }

 private:
  XDisplay() = default;

  std::string dir_;
  pid_t server_ = -1;
  pid_t bus_ = -1;
  std::vector<std::string> environment_;
};

}  // namespace boleto::testing
