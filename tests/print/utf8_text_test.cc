// The characters and lines a printed text is made of. Byte sequences from
// the Unicode standard's table of well-formed UTF-8 (Table 3-7) and its
// examples of ill-formed ones.
#include "print/utf8_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace boleto {
namespace {

TEST(Utf8TextTest, CharactersOfWellAndIllFormedSequences) {
  const struct {
    std::string bytes;
    std::vector<char32_t> characters;
    const char* why;
  } kCases[] = {
      {"Aé", {U'A', U'é'}, "two-byte sequence C3 A9"},
      {"\xE2\x82\xAC", {0x20AC}, "EURO SIGN, three bytes"},
      {"\xF0\x9F\x98\x80", {0x1F600}, "four bytes"},
      {"\xC3", {0xFFFD}, "cut short at the end"},
      {"\xC3(", {0xFFFD, U'('}, "lead byte without continuation"},
      {"\x80", {0xFFFD}, "lone continuation byte"},
      {"\xC0\xAF", {0xFFFD, 0xFFFD}, "overlong '/'"},
      {"\xE0\x80\xAF", {0xFFFD, 0xFFFD, 0xFFFD}, "overlong '/' in three bytes"},
      {"\xED\xA0\x80", {0xFFFD, 0xFFFD, 0xFFFD}, "surrogate D800"},
      {"\xF4\x90\x80\x80", {0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD}, "above U+10FFFF"},
      {"\xFF", {0xFFFD}, "never a lead byte"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    std::vector<char32_t> decoded;
    for (size_t pos = 0; pos < c.bytes.size();) decoded.push_back(NextCharacter(c.bytes, pos));
    EXPECT_EQ(decoded, c.characters);
  }
}

TEST(Utf8TextTest, AppendCharacterRoundTrips) {
  for (const char32_t c : {0x41u, 0x7Fu, 0x80u, 0xE9u, 0x7FFu, 0x800u, 0x20ACu, 0xFFFDu, 0xFFFFu,
                           0x10000u, 0x10FFFFu}) {
    std::string utf8;
    AppendCharacter(c, utf8);
    size_t pos = 0;
    EXPECT_EQ(NextCharacter(utf8, pos), c);
    EXPECT_EQ(pos, utf8.size());
  }
}

TEST(Utf8TextTest, PrintedLines) {
  using Lines = std::vector<std::string>;
  const struct {
    std::string text;
    Lines lines;
  } kCases[] = {
      {"", {""}},
      {"Recibo do Pagador", {"Recibo do Pagador"}},
      {"a\nb", {"a", "b"}},
      {"a\r\nb", {"a", "b"}},
      {"a\rb", {"a", "b"}},
      {"a\n", {"a", ""}},
      {"a\n\nb", {"a", "", "b"}},
      {"a\xE2\x80\xA8"
       "b",
       {"a", "b"}},           // LINE SEPARATOR
      {"R$\t10", {"R$ 10"}},  // a tab prints as a blank
      {"a\x01\x7F"
       "b\xC2\x85",
       {"ab"}},                          // C0, DEL and C1 controls
      {"JOS\xC9", {"JOS\xEF\xBF\xBD"}},  // Latin-1 É: not UTF-8
      {"Beneficiário", {"Beneficiário"}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(PrintedLines(c.text), c.lines);
  }
}

TEST(Utf8TextTest, CharacterCountCountsCodePoints) {
  EXPECT_EQ(CharacterCount("Beneficiário"), 12u);
  EXPECT_EQ(CharacterCount("\xE2\x82\xAC 1"), 3u);
  EXPECT_EQ(CharacterCount("\xC3"), 1u);      // a malformed byte is one character
  EXPECT_EQ(CharacterCount("\xC0\xAF"), 2u);  // an overlong '/' prints as two U+FFFD
}

}  // namespace
}  // namespace boleto
