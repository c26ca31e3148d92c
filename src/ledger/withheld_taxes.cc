#include "ledger/withheld_taxes.h"

namespace boleto {

std::string WithheldTaxesSql(Dialect dialect) {
  const auto tax = [dialect](const char* column) { return SqlNullAsZero(dialect, column); };
  return "(" + tax("PARCELAR.VALORIRRF") + " + " + tax("PARCELAR.VALORINSS") + " + " +
         tax("PARCELAR.VALORCSLL") + " + " + tax("PARCELAR.VALORCOFINS") + " + " +
         tax("PARCELAR.VALORPIS") + " + " + tax("PARCELAR.VALORISS") + ")";
}

std::string WithheldTaxColumnsSql() {
  std::string sql;
  for (const char* column : kWithheldTaxColumns) {
    sql += std::string("PARCELAR.") + column + " AS " + column + ", ";
  }
  return sql;
}

}  // namespace boleto
