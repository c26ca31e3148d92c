#include "platform/outside_text.h"

#include <gtest/gtest.h>

#include <string>

namespace boleto {
namespace {

struct Row {
  const char* what;
  std::string text;
  std::string expected;
};

// Valid UTF-8 stays as it is; any other text is Windows-1252 as a whole.
TEST(OutsideText, Utf8OrWindows1252) {
  const Row rows[] = {
      {"ASCII", "JOAO", "JOAO"},
      {"UTF-8 kept", "JOSÉ Conceição", "JOSÉ Conceição"},
      {"Latin-1 letter", "JO\xC3O", "JOÃO"},
      // One invalid byte makes the whole text Windows-1252: the UTF-8-looking
      // pair C3 A9 is two characters of that code page, as it was sent.
      {"whole text read alike", "\xC9 \xC3\xA9", "É Ã©"},
      {"code page's own 80-9F", "\x80\x8A\x9C\x9F\x93x\x94", "€ŠœŸ“x”"},
      {"undefined bytes become C1", "\x81\x8D\x8F\x90\x9D\xFF",
       "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D\xC3\xBF"},
      {"overlong form is not UTF-8", "\xC0\xAF", "À¯"},
      {"surrogate is not UTF-8", "\xED\xA0\x80", "í\xC2\xA0€"},
      {"cut sequence", "A\xE2\x82", "Aâ‚"},
      {"NUL stays", std::string("A\0B", 3), std::string("A\0B", 3)},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(Utf8OrWindows1252(row.text), row.expected) << row.what;
    EXPECT_TRUE(IsValidUtf8(Utf8OrWindows1252(row.text))) << row.what;
  }
}

// Nothing that steers a terminal leaves as it is.
TEST(OutsideText, TerminalSafe) {
  const Row rows[] = {
      {"plain text and accents", "Parcela quitada. Conceição", "Parcela quitada. Conceição"},
      {"line feed and tab kept", "a\tb\nc", "a\tb\nc"},
      {"escape sequence", "JO\x1B[2J\x1B]0;x\x07", "JO\\x1B[2J\\x1B]0;x\\x07"},
      {"carriage return and NUL", std::string("a\rb\0c", 5), "a\\x0Db\\x00c"},
      {"DEL", "a\x7F", "a\\x7F"},
      {"C1 control (CSI)",
       "a\xC2\x9B"
       "31m",
       "a\\u009B31m"},
      {"C1's neighbour kept", "\xC2\xA0", "\xC2\xA0"},
      {"stray bytes", "JO\xC3O\x9B", "JO\\xC3O\\x9B"},
  };
  for (const Row& row : rows) EXPECT_EQ(TerminalSafe(row.text), row.expected) << row.what;
}

}  // namespace
}  // namespace boleto
