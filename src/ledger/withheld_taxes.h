// The six taxes withheld from an installment, as the installment query and
// the recording's locked read select them: added up for the amounts, and
// each on its own, so that a value that is no number (a text that SQLite's
// loose typing kept, which the sum's arithmetic would read as another
// number) is refused naming its column. Pure: SQL texts and names only.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "db/dialect.h"

namespace boleto {

// The names under which WithheldTaxColumnsSql selects the six tax columns.
inline constexpr std::array<const char*, 6> kWithheldTaxColumns = {
    "ValorIRRF", "ValorINSS", "ValorCSLL", "ValorCOFINS", "ValorPIS", "ValorISS"};

// The six taxes added up, each NULL as zero (one NULL would make the whole
// sum NULL): "(COALESCE(PARCELAR.VALORIRRF, 0) + ... +
// COALESCE(PARCELAR.VALORISS, 0))" in most dialects.
std::string WithheldTaxesSql(Dialect dialect);

// The six tax columns each under its own name, as select-list items each
// followed by ", ": "PARCELAR.ValorIRRF AS ValorIRRF, ... PARCELAR.ValorISS
// AS ValorISS, ".
std::string WithheldTaxColumnsSql();

}  // namespace boleto
