// The argument text of the command line: one fixed-column text naming the
// dialect, the ODBC connect string, the installment's key and the requesting
// user. It is made UTF-8 once, before its columns are counted (valid UTF-8
// as it is, any other text as Windows-1252), and a text with a control
// character in a field is refused before anything is read or printed.
// Columns are 1-based and count characters: a valid UTF-8 sequence is one
// column, any other byte is one column too. A shorter text gives shorter or
// empty fields; nothing after column 133 is read.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "run/run_context.h"

namespace boleto {

// Width of a full argument text, in columns.
inline constexpr int kArgumentTextColumns = 133;

// The nine fields at their columns; only the dialect tag and the connect
// string lose their blanks at both ends. Columns 79, 82, 91, 102, 106, 115
// and 118 separate the fields and are never read.
RunParameters ParseArgumentText(std::string_view text);

// The argument text as received, made UTF-8: kept when it is valid UTF-8,
// otherwise read as Windows-1252, one column per byte.
std::string DecodeArgumentText(std::string_view received);

// What makes the UTF-8 `text` unusable, or nothing: the first control
// character (NUL, tab, line break, ESC, DEL, C1, ...) in the columns of a
// field, as "caractere de controle U+001B na coluna 120 (usuário)". The
// separator columns and what follows column 133 are never read, so they are
// not checked.
std::optional<std::string> ControlCharacterInFields(std::string_view text);

}  // namespace boleto
