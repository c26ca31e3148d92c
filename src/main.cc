// boleto-sr: prints one boleto for one receivable installment.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "platform/dialog_messages.h"
#include "platform/outside_text.h"
#include "run/run_context.h"
#include "startup/batch.h"
#include "startup/command_line.h"
#include "startup/process_memory.h"
#include "startup/select.h"
#include "startup/start_up.h"

int main(int argc, char** argv) {
  using boleto::CommandLine;
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  const CommandLine line = boleto::ParseCommandLine(args);
  switch (line.action) {
    case CommandLine::Action::kHelp:
      std::fputs(boleto::UsageText().c_str(), stdout);
      return 0;
    case CommandLine::Action::kVersion:
      std::printf("%s\n", boleto::VersionText().c_str());
      return 0;
    case CommandLine::Action::kUsageError:
      std::fprintf(stderr, "boleto-sr: %s\n%s", line.problem.c_str(), boleto::UsageText().c_str());
      return boleto::kExitUsage;
    case CommandLine::Action::kRun:
      break;
  }
  if (line.selection) {
    // The installments of a month-end batch, listed for --batch.
    boleto::ConsoleMessages messages;
    return boleto::RunSelect(*line.selection, stdout, stderr, messages);
  }
  if (!line.batch_file.empty()) {
    // Month-end batches: messages on standard error, a progress line on a
    // terminal.
    std::ifstream file;
    if (line.batch_file != "-") {
      // A folder opens as a file would, and then reads as no line at all.
      std::error_code not_a_folder;
      if (!std::filesystem::is_directory(line.batch_file, not_a_folder)) {
        file.open(line.batch_file);
      }
      if (!file.is_open()) {
        std::fprintf(stderr, "boleto-sr: não foi possível ler o arquivo do lote \"%s\"\n",
                     boleto::TerminalSafe(line.batch_file).c_str());
        return boleto::kExitUsage;
      }
    }
    std::istream& input = line.batch_file == "-" ? std::cin : file;
    return boleto::RunBatch(input, line.destination, line.preview, stderr, isatty(2) != 0);
  }
  boleto::PrepareRunHeap();
  const std::unique_ptr<boleto::Messages> messages = boleto::MakeMessages(line.messages);
  boleto::RunContext ctx;
  ctx.messages = messages.get();
  ctx.destination = line.destination;
  ctx.preview = line.preview;
  return boleto::StartUp(ctx, line.argument_text);
}
