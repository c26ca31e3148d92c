#include "startup/argument_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <random>
#include <string>

namespace boleto {
namespace {

// Puts `value` at 1-based column `first` of a text of blanks, growing it as
// needed.
void Put(std::string& text, int first, const std::string& value) {
  const size_t end = static_cast<size_t>(first - 1) + value.size();
  if (text.size() < end) text.resize(end, ' ');
  text.replace(static_cast<size_t>(first - 1), value.size(), value);
}

// A full 133-column text; `separator` stands in every separator column.
std::string FullText(char separator = ' ') {
  std::string text;
  Put(text, 1, "  ORACLE       ");
  Put(text, 16, std::string("  DSN=contas a receber;UID=x  ") + std::string(34, ' '));
  Put(text, 80, "01");
  Put(text, 83, "01      ");
  Put(text, 92, "DUPLICATA ");
  Put(text, 103, "A  ");
  Put(text, 107, "00012345");
  Put(text, 116, "7 ");
  Put(text, 119, "MATR0001       ");
  for (int column : {79, 82, 91, 102, 106, 115, 118}) Put(text, column, std::string(1, separator));
  return text;
}

struct Case {
  const char* what;
  std::string text;
  RunParameters expected;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.what; }

RunParameters Fields(std::string type, std::string connect, std::string emp, std::string unidade,
                     std::string documento, std::string serie, std::string numero,
                     std::string parcela, std::string matr) {
  return RunParameters{type, connect, emp, unidade, documento, serie, numero, parcela, matr};
}

class ArgumentTextTest : public ::testing::TestWithParam<Case> {};

TEST_P(ArgumentTextTest, FieldsAtTheirColumns) {
  const Case& c = GetParam();
  const RunParameters got = ParseArgumentText(c.text);
  EXPECT_EQ(got.database_type, c.expected.database_type);
  EXPECT_EQ(got.connect_string, c.expected.connect_string);
  EXPECT_EQ(got.codigo_emp, c.expected.codigo_emp);
  EXPECT_EQ(got.codigo_unidade, c.expected.codigo_unidade);
  EXPECT_EQ(got.codigo_documento, c.expected.codigo_documento);
  EXPECT_EQ(got.serie, c.expected.serie);
  EXPECT_EQ(got.numero, c.expected.numero);
  EXPECT_EQ(got.parcela, c.expected.parcela);
  EXPECT_EQ(got.matr_sel, c.expected.matr_sel);
}

// The full text: tag and connect string lose their outer blanks (inner ones
// stay), every key field keeps its blanks ("01" and six blanks stays eight
// columns wide, installment "7 " stays "7 ").
const RunParameters kFull = Fields("ORACLE", "DSN=contas a receber;UID=x", "01", "01      ",
                                   "DUPLICATA ", "A  ", "00012345", "7 ", "MATR0001       ");

std::string Cut(const std::string& text, size_t columns) { return text.substr(0, columns); }

INSTANTIATE_TEST_SUITE_P(
    ColumnTable, ArgumentTextTest,
    ::testing::Values(
        Case{"full 133 columns", FullText(), kFull},
        // Separator columns are never read, whatever they hold.
        Case{"letters in every separator column", FullText('X'), kFull},
        // Columns past 133 are not read: MatrSel keeps its 15 columns.
        Case{"text longer than 133 columns", FullText() + "EXTRA", kFull},
        // Ends at 117: the installment is complete, the user is empty.
        Case{"ends at column 117", Cut(FullText(), 117),
             Fields("ORACLE", "DSN=contas a receber;UID=x", "01", "01      ", "DUPLICATA ", "A  ",
                    "00012345", "7 ", "")},
        // Ends at 100: 9 of the document's 10 columns, nothing after.
        Case{"ends at column 100", Cut(FullText(), 100),
             Fields("ORACLE", "DSN=contas a receber;UID=x", "01", "01      ", "DUPLICATA", "", "",
                    "", "")},
        // Ends inside the installment and inside the user.
        Case{"ends at column 116", Cut(FullText(), 116),
             Fields("ORACLE", "DSN=contas a receber;UID=x", "01", "01      ", "DUPLICATA ", "A  ",
                    "00012345", "7", "")},
        Case{"ends at column 125", Cut(FullText(), 125),
             Fields("ORACLE", "DSN=contas a receber;UID=x", "01", "01      ", "DUPLICATA ", "A  ",
                    "00012345", "7 ", "MATR000")},
        // Ends on a separator column: the field before it is whole.
        Case{"ends at column 79", Cut(FullText(), 79),
             Fields("ORACLE", "DSN=contas a receber;UID=x", "", "", "", "", "", "", "")},
        Case{"ends at column 80", Cut(FullText(), 80),
             Fields("ORACLE", "DSN=contas a receber;UID=x", "0", "", "", "", "", "", "")},
        Case{"tag only", "ORACLE", Fields("ORACLE", "", "", "", "", "", "", "", "")},
        Case{"tag cut at column 3", "  O", Fields("O", "", "", "", "", "", "", "", "")},
        Case{"empty text", "", Fields("", "", "", "", "", "", "", "", "")},
        Case{"blanks only", std::string(133, ' '),
             Fields("", "", "  ", "        ", "          ", "   ", "        ", "  ",
                    "               ")},
        // A tab is no blank: only blanks are removed from tag and connect string.
        Case{"tab around the tag", "\tSQLITE\t",
             Fields("\tSQLITE\t", "", "", "", "", "", "", "", "")},
        // A tag that fills its 15 columns runs straight into the connect string.
        Case{"tag of 15 columns", "POSTGRESQLXXXXXDSN=x",
             Fields("POSTGRESQLXXXXX", "DSN=x", "", "", "", "", "", "", "")}),
    [](const ::testing::TestParamInfo<Case>& info) {
      std::string name = info.param.what;
      for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      }
      return name;
    });

// A connect string that fills all 63 columns and touches the separator.
TEST(ArgumentText, ConnectStringFillsItsColumns) {
  std::string text = FullText();
  const std::string connect = "DRIVER=SQLite3;Database=/tmp/" + std::string(34, 'c');
  ASSERT_EQ(connect.size(), 63u);
  Put(text, 16, connect);
  EXPECT_EQ(ParseArgumentText(text).connect_string, connect);
  EXPECT_EQ(ParseArgumentText(text).codigo_emp, "01");
}

// Columns count characters: an accented letter written in UTF-8 takes one
// column, so the fields after it stay where the caller put them.
TEST(ArgumentText, Utf8LetterIsOneColumn) {
  // "DSN=Conceição": 13 characters in 15 bytes, then 50 blanks: 63 columns.
  const std::string text =
      FullText().substr(0, 15) + "DSN=Conceição" + std::string(50, ' ') + FullText().substr(78);
  const RunParameters got = ParseArgumentText(text);
  EXPECT_EQ(got.connect_string, "DSN=Conceição");
  EXPECT_EQ(got.codigo_emp, "01");
  EXPECT_EQ(got.codigo_unidade, "01      ");
  EXPECT_EQ(got.matr_sel, "MATR0001       ");
}

TEST(ArgumentText, Utf8UserCodeKeptWhole) {
  std::string text = FullText();
  text.replace(118, 15, "JOSÉ");  // 4 characters, 5 bytes
  text += std::string(11, ' ');
  EXPECT_EQ(ParseArgumentText(text).matr_sel, "JOSÉ           ");
}

// A byte that starts no valid UTF-8 sequence is a column of its own; a
// sequence cut short by such a byte is not swallowed.
TEST(ArgumentText, InvalidBytesAreOneColumnEach) {
  std::string text = FullText();
  text[79] = '\xC3';  // lead byte followed by '1': two columns
  text[80] = '1';
  EXPECT_EQ(ParseArgumentText(text).codigo_emp,
            "\xC3"
            "1");
  text[79] = '\xFF';
  EXPECT_EQ(ParseArgumentText(text).codigo_emp,
            "\xFF"
            "1");
  text[81] = '\xE9';  // a separator column holding a Latin-1 byte
  EXPECT_EQ(ParseArgumentText(text).codigo_unidade, "01      ");
}

// The text as received is made UTF-8 once (Windows-1252 where it is not
// valid UTF-8), so a byte of that code page is one column; a control
// character in any field is named with its column and field, in the
// separator columns and past column 133 it is never read.
TEST(ArgumentText, DecodedThenRefusedForControlCharacters) {
  struct Row {
    const char* what;
    int column;
    std::string value;
    std::string matr_sel;
    std::string problem;
  };
  const Row rows[] = {
      {"UTF-8 user", 119, "JOSÉ           ", "JOSÉ           ", ""},
      {"Latin-1 user", 119, "JO\xC3O           ", "JOÃO           ", ""},
      {"Windows-1252 user", 119, "\x80\x9C             ", "€œ             ", ""},
      {"Latin-1 document, user at its columns", 92,
       "D\xC9"
       "BITO",
       "MATR0001       ", ""},
      {"NUL in the user", 121, std::string(1, '\0'), std::string("MA\0R0001       ", 15),
       "caractere de controle U+0000 na coluna 121 (usuário)"},
      {"escape sequence in the user", 119, "\x1B[2J", "\x1B[2J0001       ",
       "caractere de controle U+001B na coluna 119 (usuário)"},
      {"undefined Windows-1252 byte in the unit", 90, "\x81", "MATR0001       ",
       "caractere de controle U+0081 na coluna 90 (unidade)"},
      {"UTF-8 C1 at the user's end", 133, "\xC2\x9B", "MATR0001      \xC2\x9B",
       "caractere de controle U+009B na coluna 133 (usuário)"},
      {"line feed in the document", 95, "\n", "MATR0001       ",
       "caractere de controle U+000A na coluna 95 (documento)"},
      {"carriage return in the tag", 1, "\r", "MATR0001       ",
       "caractere de controle U+000D na coluna 1 (dialeto)"},
      {"tab in the connect string", 20, "\t", "MATR0001       ",
       "caractere de controle U+0009 na coluna 20 (conexão ODBC)"},
      {"DEL in the installment", 117, "\x7F", "MATR0001       ",
       "caractere de controle U+007F na coluna 117 (parcela)"},
      {"ESC in a separator column", 118, "\x1B", "MATR0001       ", ""},
      {"ESC after column 133", 134, "\x1B", "MATR0001       ", ""},
  };
  for (const Row& row : rows) {
    std::string received = FullText();
    Put(received, row.column, row.value);
    const std::string text = DecodeArgumentText(received);
    EXPECT_EQ(ParseArgumentText(text).matr_sel, row.matr_sel) << row.what;
    EXPECT_EQ(ControlCharacterInFields(text).value_or(""), row.problem) << row.what;
  }
}

// Any bytes of any length up to 500 give fields no longer than their widths
// (in bytes, at most four per column) and cut from the text itself.
TEST(ArgumentText, RandomTextsNeverBreakTheParser) {
  std::mt19937 random(20260101);
  for (int round = 0; round < 20000; ++round) {
    const size_t length = random() % 501;
    std::string text(length, '\0');
    for (char& c : text) c = static_cast<char>(random() % 256);
    if (round % 3 == 0) {
      for (char& c : text) c = static_cast<char>(0x80 + random() % 64 + (random() % 2) * 0x40);
    }
    const RunParameters got = ParseArgumentText(text);
    const std::pair<const std::string*, size_t> fields[] = {
        {&got.database_type, 15}, {&got.connect_string, 63},   {&got.codigo_emp, 2},
        {&got.codigo_unidade, 8}, {&got.codigo_documento, 10}, {&got.serie, 3},
        {&got.numero, 8},         {&got.parcela, 2},           {&got.matr_sel, 15}};
    for (const auto& [field, width] : fields) {
      ASSERT_LE(field->size(), width * 4) << "length " << length;
      ASSERT_NE(text.find(*field), std::string::npos);
    }
    const bool ascii = std::all_of(text.begin(), text.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii && length <= 133) {
      ASSERT_EQ(got.matr_sel.size(), length > 118 ? length - 118 : 0);
    }
  }
}

}  // namespace
}  // namespace boleto
