// The files the program reads at run time besides its database and the
// logos (its font configuration), kept in its data folder: share/boleto-sr
// beside the folder of the executable, so that the installed program
// (/usr/bin/boleto-sr, /usr/share/boleto-sr), a package unpacked into any
// folder and the build tree each find their own. Where the executable's path
// cannot be read or the file is not beside it, the folder the program was
// configured to be installed in is tried. Touches: files (looks only).
#pragma once

#include <string>
#include <string_view>

namespace boleto {

// The path of the data file `name`: in the data folder beside the
// executable, else in the configured installation folder; "" when neither
// holds a regular file of that name.
std::string ProgramDataFile(std::string_view name);

}  // namespace boleto
