// What tells databases apart when connect strings name them, so that two
// spellings of one connect string ("Database=/x/W.db" and
// "Database=/x//W.db", "driver=" and "DRIVER=") count as one database.
// Touches: the file system (reads the links on an SQLite file's path).
#pragma once

#include <string>
#include <string_view>

namespace boleto {

// For an SQLite driver (its DRIVER names SQLite, in any case) with a
// Database: the file's absolute path, plain and with its links followed,
// whether the file exists yet or not. For any other connect string: its
// parts, each key in capitals, keys and values without the blanks around
// them, sorted by key. Equal texts name one database.
std::string DatabaseIdentity(std::string_view connect);

}  // namespace boleto
