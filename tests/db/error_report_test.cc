// The one error report: five lines (four without a context), each closed by
// a lone carriage return, shown once without icon and handed back.
#include "db/error_report.h"

#include <gtest/gtest.h>

#include <string>

namespace boleto {
namespace {

// Line 4 as every report carries it.
const std::string kProgramLine = "  (Programa : boleto-sr " BOLETO_VERSION ")\r";

TEST(ProgramIdentification, NameAndVersion) {
  EXPECT_EQ(ProgramIdentification(), "boleto-sr " BOLETO_VERSION);
}

TEST(ReportError, ComposesTheLinesExactly) {
  struct Case {
    const char* what;
    Error error;
    std::string context;
    std::string expected;
  };
  const Case cases[] = {
      {"a context: five lines, the context between two blanks and one blank",
       Error{3146, "ODBC call failed.", "ODBC SQLite3 HY000"}, "Erro na obtenção do Banco: 237",
       "Error #  3146\r    ODBC call failed.\r    (Origem : ODBC SQLite3 HY000)\r" + kProgramLine +
           "  Erro na obtenção do Banco: 237 \r"},
      {"an empty context: four lines", Error{94, "Invalid use of Null: Nome", "boleto-sr"}, "",
       "Error #  94\r    Invalid use of Null: Nome\r    (Origem : boleto-sr)\r" + kProgramLine},
      {"a context of blanks only: four lines", Error{94, "Invalid use of Null", "boleto-sr"},
       "     ", "Error #  94\r    Invalid use of Null\r    (Origem : boleto-sr)\r" + kProgramLine},
      {"leading and trailing blanks of the context are kept",
       Error{13, "Type mismatch", "boleto-sr"}, "  Erro atualizando registro para remessa EDI ",
       "Error #  13\r    Type mismatch\r    (Origem : boleto-sr)\r" + kProgramLine +
           "    Erro atualizando registro para remessa EDI  \r"},
      {"a negative number keeps its sign after the two blanks",
       Error{-2147217900, "Syntax error", "ODBC"}, "",
       "Error #  -2147217900\r    Syntax error\r    (Origem : ODBC)\r" + kProgramLine},
      {"no description and no source: empty places", Error{5, "", ""}, "",
       "Error #  5\r    \r    (Origem : )\r" + kProgramLine},
      {"a tab is no blank: the context line stays", Error{6, "Overflow", "boleto-sr"}, "\t",
       "Error #  6\r    Overflow\r    (Origem : boleto-sr)\r" + kProgramLine + "  \t \r"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RecordingMessages messages;
    const std::string returned = ReportError(messages, c.error, c.context);
    EXPECT_EQ(returned, c.expected);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, c.expected);
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::kNone);
    // Carriage returns alone, never a line feed.
    EXPECT_EQ(returned.find('\n'), std::string::npos);
  }
}

}  // namespace
}  // namespace boleto
