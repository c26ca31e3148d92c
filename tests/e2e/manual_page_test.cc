// The manual page as man shows it: rendered without a warning from groff,
// with every section a reader looks for, and naming every option the usage
// text (--help) lists, so that an option added to the program without its
// entry in the page fails here.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "e2e/program_runner.h"
#include "startup/command_line.h"
#include "support/paths.h"

namespace boleto::testing {
namespace {

TEST(ManualPage, RendersItsSectionsAndEveryOptionOfTheUsage) {
  const ProgramRun man =
      RunProgram("/usr/bin/man", {"--warnings", "-l", SourceDir() + "/doc/boleto-sr.1"},
                 {"LC_ALL=C.UTF-8", "MANWIDTH=100", "MANPAGER=cat", "PAGER=cat"});
  ASSERT_EQ(man.exit_status, 0) << man.err;
  EXPECT_EQ(man.err, "");
  const std::string& page = man.out;
  for (const char* section : {"NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "ARGUMENT TEXT",
                              "EXIT STATUS", "REFUSALS", "ENVIRONMENT", "FILES", "EXAMPLES"}) {
    EXPECT_NE(page.find("\n" + std::string(section) + "\n"), std::string::npos) << section;
  }
  // Texts the clerk sees, as the program writes them.
  EXPECT_NE(page.find("Documento: DM 1 1002    /01-Parcela quitada. Verifique e corrija"),
            std::string::npos);
  const std::string usage = UsageText();
  const std::regex option("--[a-z][a-z-]*");
  int options = 0;
  for (std::sregex_iterator it(usage.begin(), usage.end(), option), end; it != end;
       ++it, ++options) {
    EXPECT_NE(page.find("       " + it->str()), std::string::npos)
        << it->str() << " has no entry in the manual page";
  }
  EXPECT_GE(options, 4);  // --output, --printer, --help, --version at least
}

}  // namespace
}  // namespace boleto::testing
