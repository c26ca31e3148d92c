#include "boleto/parties.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

#include "db/sql_text.h"
#include "platform/text.h"

namespace boleto {
namespace {

// Characters `start` (1-based) to start + length - 1 of `text`, fewer or
// none where the text is shorter.
std::string_view Mid(std::string_view text, size_t start, size_t length) {
  if (start - 1 >= text.size()) return {};
  return text.substr(start - 1, length);
}

// A column's value as text, NULL counting as empty text.
Result<std::string> TextOrEmpty(const RowSet& rows, std::string_view column) {
  auto value = rows.Value(column);
  if (!value.ok()) return value.error();
  return value->value_or(std::string());
}

}  // namespace

std::string FormatCnpj(std::string_view t) {
  std::string s;
  s.append(Mid(t, 2, 2)).append(".").append(Mid(t, 4, 3)).append(".").append(Mid(t, 7, 3));
  s.append("/").append(Mid(t, 10, 4)).append("-").append(Mid(t, 14, 2));
  return s;
}

std::string FormatCpf(std::string_view t) {
  std::string s;
  s.append(Mid(t, 1, 3)).append(".").append(Mid(t, 4, 3)).append(".").append(Mid(t, 7, 3));
  s.append("-").append(Mid(t, 10, 2));
  return s;
}

std::string PostalCodeText(std::string_view cep) {
  const std::string c8 = PadLeftKeepRight(cep, 8);
  return c8.substr(0, 5) + "-" + c8.substr(5, 3);
}

std::string StreetNumberText(std::string_view numero) {
  const std::string_view trimmed = TrimBlanks(numero);
  if (trimmed.empty()) return {};
  // The drivers render an integer column as plain digits, possibly with a
  // fraction; the mask keeps the whole number, rounded, without zeros.
  const std::string text(trimmed);
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size() || !std::isfinite(value)) return text;
  const double rounded = std::round(value);
  if (rounded == 0) return {};
  if (std::fabs(rounded) >= 1e18) return text;
  return std::to_string(static_cast<int64_t>(rounded));
}

std::string BeneficiaryQuery(std::string_view codigo_emp) {
  return "SELECT CGC, ENDERECO, BAIRRO, CIDADE, ESTADO FROM EMPRESA "
         "WHERE  Codigo  = '" +
         SqlQuote(codigo_emp) + "' ";
}

Result<Beneficiary> ReadBeneficiary(Database& db, std::string_view codigo_emp,
                                    std::string_view company_name) {
  Beneficiary b;
  b.name = std::string(TrimRightBlanks(company_name));
  auto rows = db.QuerySetting(BeneficiaryQuery(codigo_emp));
  if (!rows.ok()) return rows.error();
  if (rows->eof()) return b;
  std::string cols[5];
  const char* names[5] = {"CGC", "ENDERECO", "BAIRRO", "CIDADE", "ESTADO"};
  for (int i = 0; i < 5; ++i) {
    auto v = TextOrEmpty(*rows, names[i]);
    if (!v.ok()) return v.error();
    cols[i] = std::move(*v);
  }
  b.tax_id = FormatCnpj("0" + cols[0]);
  b.address = std::string(TrimRightBlanks(cols[1])) + " " + std::string(TrimRightBlanks(cols[2])) +
              " " + std::string(TrimRightBlanks(cols[3])) + " " +
              std::string(TrimRightBlanks(cols[4]));
  return b;
}

std::string Payer::Line1() const { return std::string(TrimBlanks(name)) + " - " + tax_id; }

std::string Payer::Line2() const {
  return std::string(TrimBlanks(street)) + "," + number_text + "/" + complement;
}

std::string Payer::Line3() const {
  return std::string(TrimBlanks(district)) + "-" + std::string(TrimBlanks(city)) + "-" + state +
         " CEP:" + postal_code_text;
}

std::string PayerAddressQuery(std::string_view tipo_empresa, std::string_view codigo_empresa,
                              std::string_view address_number) {
  return "SELECT AEMPR_RAZAO_SOCIAL As NOME, "
         "       AENDR_CGC          As CGC, "
         "       AENDR_CPF          As CPF, "
         "       AENDR_CGC_CPF      AS CGCCPF, "
         "       AENDR_RUA_AV       As Rua, "
         "       AENDR_NRO          As Numero, "
         "       AENDR_COMPL        As Complemento, "
         "       AENDR_BAIRRO_DIST  As Bairro, "
         "       AENDR_CEP          As Cep, "
         "       AENDR_CIDADE       As Cidade, "
         "       AENDR_ESTADO       As UF "
         "FROM   SUPAEMPR, SUPAENDR "
         "WHERE  AEMPR_TIPO   = '" +
         SqlQuote(tipo_empresa) +
         "' "
         "AND    AEMPR_CODIGO = '" +
         SqlQuote(codigo_empresa) +
         "'"
         "AND    AEMPR_TIPO = AENDR_TIPO_EMPR "
         "AND    AEMPR_CODIGO = AENDR_CODIGO "
         "AND    AENDR_NUM_ENDER = '" +
         SqlQuote(address_number) + "'";
}

std::string PayerRegistryQuery(std::string_view tipo_empresa, std::string_view codigo_empresa) {
  return "SELECT AEMPR_RAZAO_SOCIAL As NOME, "
         "       AEMPR_CGC          As CGC, "
         "       AEMPR_CPF          As CPF, "
         "       AEMPR_CGC_CPF      AS CGCCPF, "
         "       AEMPR_RUA_AV       As Rua, "
         "       AEMPR_NRO          As Numero, "
         "       AEMPR_COMPL        As Complemento, "
         "       AEMPR_BAIRRO_DIST  As Bairro, "
         "       AEMPR_CEP          As Cep, "
         "       AEMPR_CIDADE       As Cidade, "
         "       AEMPR_ESTADO       As UF "
         "FROM   SUPAEMPR "
         "WHERE  AEMPR_TIPO   = '" +
         SqlQuote(tipo_empresa) +
         "' "
         "AND    AEMPR_CODIGO = '" +
         SqlQuote(codigo_empresa) + "'";
}

namespace {

// The payer's values from the current row of either payer query.
Result<Payer> PayerFromRow(const RowSet& row) {
  Payer p;
  // Only "F" (an individual) selects the CPF; NULL or anything else the CNPJ.
  auto kind = row.Value("CGCCPF");
  if (!kind.ok()) return kind.error();
  const bool individual = kind->has_value() && **kind == "F";
  auto tax = row.Text(individual ? "CPF" : "CGC");
  if (!tax.ok()) return tax.error();
  p.tax_id = individual ? FormatCpf(*tax) : FormatCnpj(*tax);

  struct Field {
    const char* column;
    std::string* target;
  };
  std::string numero, cep;
  const Field fields[] = {{"Nome", &p.name},       {"Rua", &p.street},
                          {"Numero", &numero},     {"Complemento", &p.complement},
                          {"Bairro", &p.district}, {"Cep", &cep},
                          {"Cidade", &p.city},     {"UF", &p.state}};
  for (const Field& f : fields) {
    auto v = row.Text(f.column);
    if (!v.ok()) return v.error();
    *f.target = std::move(*v);
  }
  p.number_text = StreetNumberText(numero);
  p.postal_code_text = PostalCodeText(cep);
  return p;
}

}  // namespace

Result<Payer> ReadPayer(Database& db, std::string_view tipo_empresa,
                        std::string_view codigo_empresa, std::string_view end_cobranca) {
  if (end_cobranca != "00") {
    auto rows = db.QuerySetting(PayerAddressQuery(tipo_empresa, codigo_empresa, end_cobranca));
    if (!rows.ok()) return rows.error();
    if (!rows->eof()) return PayerFromRow(*rows);
    // No such address: fall back to the registry's own address.
  }
  auto rows = db.QuerySetting(PayerRegistryQuery(tipo_empresa, codigo_empresa));
  if (!rows.ok()) return rows.error();
  if (rows->eof()) return Payer{};
  return PayerFromRow(*rows);
}

}  // namespace boleto
