// Text crossing the program's edges. Coming in, a text from the calling
// application is made UTF-8: kept as it is when the whole text is valid
// UTF-8, otherwise read as Windows-1252 (what an application on a Windows
// desktop sends), one character per byte. Going out to a terminal, no
// control character leaves as it is: escape sequences, carriage returns and
// stray bytes are shown as visible escapes instead.
#pragma once

#include <string>
#include <string_view>

namespace boleto {

// Appends a code point as UTF-8.
void AppendCharacter(char32_t character, std::string& out);

// Whether every byte of `text` belongs to a well-formed UTF-8 sequence.
bool IsValidUtf8(std::string_view text);

// `text` as UTF-8: unchanged when valid UTF-8, otherwise each byte read as
// the Windows-1252 character it stands for ("JO\xC3O" becomes "JOÃO"); the
// five bytes that code page leaves undefined become the C1 control
// characters of the same number, as Windows reads them.
std::string Utf8OrWindows1252(std::string_view text);

// `text` fit to be written to a terminal: line feeds and tabs kept, every
// other control character (C0, DEL) and every byte that starts no valid
// UTF-8 sequence written as "\xHH", a C1 control character as "\u00HH".
std::string TerminalSafe(std::string_view text);

}  // namespace boleto
