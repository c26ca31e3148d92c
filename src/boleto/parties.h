// The two parties named on a boleto: the beneficiary (the company issuing
// it, from EMPRESA) and the payer (the document's customer, from the
// registry SUPAEMPR or one of its numbered addresses in SUPAENDR). Holds the
// queries that read them, the choice of the payer's address, the CNPJ / CPF
// and postal-code layouts and the three printed payer lines.
#pragma once

#include <string>
#include <string_view>

#include "db/database.h"
#include "platform/status.h"

namespace boleto {

// Characters 2 to 15 laid out as 99.999.999/9999-99: registry CNPJs carry one
// leading digit, so a 14-digit CNPJ is passed with a "0" in front. Positions
// missing from a short input are left out; nothing is validated.
std::string FormatCnpj(std::string_view text);

// Characters 1 to 11 laid out as 999.999.999-99; no validation.
std::string FormatCpf(std::string_view text);

// The postal code as 99999-999 after left-padding it with zeros to 8
// ("1234567" gives "01234-567", "" gives "00000-000").
std::string PostalCodeText(std::string_view cep);

// A street number with the mask "#####": the whole number without leading
// zeros, empty for zero; a text that is no number is kept as it is.
std::string StreetNumberText(std::string_view numero);

struct Beneficiary {
  std::string name;     // company name, trailing blanks removed
  std::string tax_id;   // CNPJ layout of "0" & EMPRESA.CGC
  std::string address;  // street, district, city and state, each right-trimmed
};

// "SELECT CGC, ENDERECO, BAIRRO, CIDADE, ESTADO FROM EMPRESA WHERE ..." for
// the company code (quoted through SqlQuote).
std::string BeneficiaryQuery(std::string_view codigo_emp);

// Reads the beneficiary's tax number and address (empty without a row; a
// NULL column counts as empty text) and takes the name from `company_name`.
Result<Beneficiary> ReadBeneficiary(Database& db, std::string_view codigo_emp,
                                    std::string_view company_name);

// The payer's values as printed. All empty when no registry row exists.
struct Payer {
  std::string name;
  std::string tax_id;  // CPF layout for an individual ("F"), CNPJ otherwise
  std::string street;
  std::string number_text;  // StreetNumberText of the number
  std::string complement;   // as read, untrimmed
  std::string district;
  std::string city;
  std::string state;
  std::string postal_code_text;  // PostalCodeText of the CEP

  // "NAME - TAXID"
  std::string Line1() const;
  // "STREET,NUMBER/COMPLEMENT"
  std::string Line2() const;
  // "DISTRICT-CITY-UF CEP:99999-999"
  std::string Line3() const;
};

// The query of the payer's numbered address `address_number` (SUPAENDR).
std::string PayerAddressQuery(std::string_view tipo_empresa, std::string_view codigo_empresa,
                              std::string_view address_number);
// The query of the payer's own registry address (SUPAEMPR).
std::string PayerRegistryQuery(std::string_view tipo_empresa, std::string_view codigo_empresa);

// Reads the payer: the billing address `end_cobranca` when it is not "00"
// and exists, otherwise the registry's own address. A NULL in a column that
// is printed is error 94; database errors are passed on.
Result<Payer> ReadPayer(Database& db, std::string_view tipo_empresa,
                        std::string_view codigo_empresa, std::string_view end_cobranca);

}  // namespace boleto
