// Running a shell command from a test and keeping what it printed.
#pragma once

#include <stdio.h>
#include <sys/wait.h>

#include <string>

namespace boleto::testing {

struct CommandOutput {
  int exit_status = -1;
  std::string output;
};

// Runs a shell command and keeps its standard output.
inline CommandOutput RunCommand(const std::string& command) {
  CommandOutput result;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
  int status = pclose(pipe);
  result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

}  // namespace boleto::testing
