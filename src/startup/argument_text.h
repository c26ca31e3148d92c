// The argument text of the command line: one fixed-column text naming the
// dialect, the ODBC connect string, the installment's key and the requesting
// user. Columns are 1-based and count characters: a valid UTF-8 sequence is
// one column, any other byte is one column too. A shorter text gives shorter
// or empty fields; nothing after column 133 is read.
#pragma once

#include <string_view>

#include "run/run_context.h"

namespace boleto {

// Width of a full argument text, in columns.
inline constexpr int kArgumentTextColumns = 133;

// The nine fields at their columns; only the dialect tag and the connect
// string lose their blanks at both ends. Columns 79, 82, 91, 102, 106, 115
// and 118 separate the fields and are never read.
RunParameters ParseArgumentText(std::string_view text);

}  // namespace boleto
