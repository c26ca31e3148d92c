// Complete boletos per bank, composed by hand from each bank's public rules:
// the row comments give the weights, sums and remainders of every digit.
#include "bankrules/bank_fields.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "bankrules/barcode.h"

namespace boleto {
namespace {

// The stored settings of one installment.
struct Stored {
  const char* bank;
  const char* numero;
  const char* parcela;
  const char* agencia;
  const char* conta;
  const char* identificacao_sr;
  const char* carteira_sr;
  const char* carteira_ext;
  const char* gera_remessa;
  const char* due;  // DDMMYYYY
  int64_t cents;
};

struct Expected {
  const char* free_field;
  const char* id_bancaria;
  const char* agency_text;
  const char* reference_text;
  std::optional<std::string> portfolio_text;
  std::optional<std::string> acceptance_text;
  std::optional<std::string> species_text;
  const char* barcode;
  const char* printed;
};

struct Row {
  Stored in;
  Expected out;
};

BankInput InputOf(const Stored& s) {
  BankInput in;
  in.bank_code = s.bank;
  in.doc_number = s.numero;
  in.installment_no = s.parcela;
  in.agency4 = Agency4(s.agencia);
  in.account7 = Account7(s.conta);
  in.account_digit = AccountDigit(s.conta);
  in.agencia_cobranca = s.agencia;
  in.conta_cobranca = s.conta;
  in.identificacao_sr = MakeBeneficiaryCodeForms(s.identificacao_sr);
  in.carteira_sr = s.carteira_sr;
  in.carteira_ext = s.carteira_ext;
  in.gera_remessa_bol_sr = s.gera_remessa;
  in.due_date_digits = s.due;
  in.due_date_short = std::string(s.due).substr(0, 4) + std::string(s.due).substr(6, 2);
  return in;
}

// Composes the whole boleto the way the run does: barcode fields, bank
// branch, digitable line.
void ExpectBoletos(const std::vector<Row>& rows) {
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string("bank ") + row.in.bank + " number " + row.in.numero);
    const Result<BarcodeFields> barcode_fields =
        ComposeBarcodeFields(row.in.bank, row.in.due, Currency::FromCents(row.in.cents));
    ASSERT_TRUE(barcode_fields.ok()) << barcode_fields.error().description;
    const Result<BankFields> fields = ComposeBankFields(InputOf(row.in));
    ASSERT_TRUE(fields.ok()) << fields.error().description;
    EXPECT_EQ(fields->free_field, row.out.free_field);
    EXPECT_EQ(fields->id_bancaria, row.out.id_bancaria);
    EXPECT_EQ(fields->agency_text, row.out.agency_text);
    EXPECT_EQ(fields->reference_text, row.out.reference_text);
    EXPECT_EQ(fields->portfolio_text, row.out.portfolio_text);
    EXPECT_EQ(fields->acceptance_text, row.out.acceptance_text);
    EXPECT_EQ(fields->species_text, row.out.species_text);
    const Result<DigitableLine> line = ComposeDigitableLine(
        barcode_fields->prefix, barcode_fields->factor_and_amount, fields->free_field);
    ASSERT_TRUE(line.ok()) << line.error().description;
    EXPECT_EQ(line->barcode, row.out.barcode);
    EXPECT_EQ(line->printed, row.out.printed);
  }
}

const std::nullopt_t none = std::nullopt;

TEST(Bank409Test, UnibancoBoletos) {
  ExpectBoletos({
      // Number 000000000123/01: weights 2..9 from the right, S 30, R 8, digit 3.
      // Free field 5 + client 1234567 + 00 + number + 3. Factor 1047 (10/04/2025),
      // barcode S 412 R 5 digit 6; fields S 43, 15, 15: digits 7, 5, 5.
      {{"409", "123", "1", "0123", "45678-9", "1234567", "", "", "", "10042025", 15000},
       {"5123456700000000000123013", "000000000123013", "0123/45678-9", "000000000123/01-3", none,
        none, none, "40996104700000150005123456700000000000123013",
        "40995.12347 56700.000005 00001.230135 6 10470000015000"}},
      // Number 000098765432/12: S 243, R 1: digit 0 (11 - 1 does not fit one digit).
      // Factor 1312 (31/12/2025); barcode S 637 R 10 digit 1; fields S 37, 25, 36.
      {{"409", "98765432", "12", "1500", "998877-1", "76543", "", "", "", "31122025", 123456},
       {"5007654300000098765432120", "000098765432120", "1500/998877-1", "000098765432/12-0", none,
        none, none, "40991131200001234565007654300000098765432120",
        "40995.00763 54300.000095 87654.321204 1 13120000123456"}},
  });
}

TEST(Bank237Test, BradescoBoletos) {
  ExpectBoletos({
      // Portfolio 09, number 00000004567/03: weights 2..7 from the right, S 185, R 9,
      // digit 2. Agency 1234: 5+8+9+8=30, R 8, digit 3. Account 0012345: weights
      // 2,7,6,5,4,3,2, S 50, R 6, digit 5. Factor 1021; barcode S 576 R 4 digit 7.
      {{"237", "4567", "3", "1234-5", "0012345-6", "", "09", "", "", "15032025", 9990},
       {"1234090000045670300123450", "09000004567032", "1234-3/0012345-5", "09/00000456703-2", none,
        none, none, "23797102100000099901234090000045670300123450",
        "23791.23405 90000.045675 03001.234503 7 10210000009990"}},
      // Portfolio 6 written 06; number 01234567801: S 212, R 3, digit 8. Agency 0456:
      // S 43, R 10, digit 1. Account 0098765: S 150, R 7, digit 4. Factor 9999
      // (21/02/2025); barcode S 890 R 10 digit 1.
      {{"237", "12345678", "1", "456", "98765", "", "6", "", "", "21022025", 100},
       {"0456060123456780100987650", "06012345678018", "0456-1/0098765-4", "06/01234567801-8", none,
        none, none, "23791999900000001000456060123456780100987650",
        "23790.45608 60123.456786 01009.876507 1 99990000000100"}},
      // Number 00000000006/01: S 89, R 1: the digit is "P", printed and stored,
      // never in the free field. Factor 1000 (22/02/2025); barcode S 422 R 4 digit 7.
      {{"237", "6", "1", "1234", "0012345", "", "09", "", "", "22022025", 250075},
       {"1234090000000060100123450", "0900000000601P", "1234-3/0012345-5", "09/00000000601-P", none,
        none, none, "23797100000002500751234090000000060100123450",
        "23791.23405 90000.000068 01001.234507 7 10000000250075"}},
  });
}

TEST(Bank001Test, BancoDoBrasilBoletos) {
  ExpectBoletos({
      // Seven-digit agreement 1234567: 000000 + 1234567 + 00004567/02 + portfolio 18.
      // Factor 1007 (01/03/2025); barcode S 540 R 1 digit 1; fields S 11, 26, 28.
      {{"001", "4567", "2", "1234-5", "12345-6", "1234567", "18", "", "", "01032025", 35000},
       {"0000001234567000045670218", "12345670000456702", "1234-5/12345-6", "12345670000456702",
        none, none, none, "00191100700000350000000001234567000045670218",
        "00190.00009 01234.567004 00456.702182 1 10070000035000"}},
      // Six-digit agreement 123456: agreement + seventeen-digit number + service 21.
      // Factor 1001 (23/02/2025); barcode S 353 R 1 digit 1; fields S 26, 6, 23.
      {{"001", "89", "1", "0001", "999-9", "123456", "17", "", "", "23022025", 1},
       {"1234560000000000000890121", "00000000000008901", "0001/999-9", "00000000000008901", none,
        none, none, "00191100100000000011234560000000000000890121",
        "00191.23454 60000.000004 00008.901217 1 10010000000001"}},
  });
}

TEST(Bank001Test, SevenDigitAgreementsTakeTheSevenDigitLayout) {
  // The agreement's value decides: from 1.000.000 on (seven digits) the
  // seventeen-digit number starts with it; below, the agreement's six digits
  // lead the field and service "21" ends it.
  const struct {
    const char* agreement;
    const char* free_field;
    const char* why;
  } rows[] = {
      {"1000001", "0000001000001000012340114", "just above one million"},
      {"1000000", "0000001000000000012340114", "one million has seven digits"},
      {"999999", "9999990000000000012340121", "six digits"},
  };
  for (const auto& row : rows) {
    BankInput in =
        InputOf({"001", "1234", "1", "0001", "1", row.agreement, "14", "", "", "10042025", 100});
    const Result<BankFields> got = ComposeBankFields(in);
    ASSERT_TRUE(got.ok()) << row.why << ": " << got.error().description;
    EXPECT_EQ(got->free_field, row.free_field) << row.why;
  }
}

TEST(Bank033Test, SantanderBoletos) {
  ExpectBoletos({
      // Number 0000001234/01: weights 2..9 from the right, S 52, R 8, digit 3.
      // 9 + code 1234567 + number + 3 + IOF 0 + portfolio 101 (ECR). The agency
      // loses its trailing blanks. Factor 1128 (30/06/2025); barcode S 556 R 6 digit 5.
      {{"033", "1234", "1", "3456  ", "13000123-4", "1234567", "", "101", "", "30062025", 78912},
       {"9123456700000012340130101", "0000001234013", "3456/1234567", "000000123401 3", "ECR", none,
        none, "03395112800000789129123456700000012340130101",
        "03399.12347 56700.000013 23401.301017 5 11280000078912"}},
      // Number 0000055555/02: S 154, R 0, digit 0; portfolio 102 prints CSR. Factor
      // 1096 (07/10/2000); barcode S 454 R 3 digit 8.
      {{"033", "55555", "2", "0001", "1", "7654", "", "102", "", "07102000", 10000},
       {"9000765400000555550200102", "0000055555020", "0001/0007654", "000005555502 0", "CSR", none,
        none, "03398109600000100009000765400000555550200102",
        "03399.00078 65400.000553 55502.001021 8 10960000010000"}},
  });
}

TEST(Bank356Test, RealBoletos) {
  ExpectBoletos({
      // Modulus 10 over number 0000000778801, agency 0501 and account 6703255:
      // S 57, digit 3. Only the last seven digits are stored. Factor 1000
      // (03/07/2000); barcode S 604 R 10 digit 1.
      {{"356", "7788", "1", "0501", "6703255", "", "", "", "", "03072000", 4550},
       {"0501670325530000000778801", "0778801", "0501/6703255/3", "0000000778801", none, none, none,
        "35691100000000045500501670325530000000778801",
        "35690.50168 70325.530007 00007.788011 1 10000000004550"}},
      // Number 0001234567810, agency 1234, account 0054321: S 65, digit 5. Factor
      // 2000 (19/11/2027), amount 999.999,99; barcode S 910 R 8 digit 3.
      {{"356", "12345678", "10", "1234", "54321-0", "", "", "", "", "19112027", 99999999},
       {"1234005432150001234567810", "4567810", "1234/0054321/5", "0001234567810", none, none, none,
        "35693200000999999991234005432150001234567810",
        "35691.23403 05432.150000 12345.678101 3 20000099999999"}},
  });
}

TEST(Bank341Test, ItauBoletos) {
  ExpectBoletos({
      // Agency 0123, account 12345-6, number 00123401, portfolio 109: DAC modulus 10
      // over 0123 12345 109 00123401, S 60, DAC 0. Factor 1047; barcode S 477 R 4
      // digit 7.
      {{"341", "1234", "1", "0123", "12345-6", "", "", "109", "", "10042025", 15000},
       {"1090012340100123123456000", "00123401", "0123/12345-6", "109/00123401-0", "109", none,
        none, "34197104700000150001090012340100123123456000",
        "34191.09008 12340.100127 31234.560006 7 10470000015000"}},
      // Agency 2938, account 04561-7, number 08765403, portfolio 175: S 84, DAC 6.
      // Factor 1539 (15/08/2026); barcode S 906 R 4 digit 7.
      {{"341", "87654", "3", "2938", "04561-7", "", "", "175", "", "15082026", 4321098},
       {"1750876540362938045617000", "08765403", "2938/04561-7", "175/08765403-6", "175", none,
        none, "34197153900043210981750876540362938045617000",
        "34191.75082 76540.362936 80456.170002 7 15390004321098"}},
  });
}

TEST(Bank399Test, HsbcBoletos) {
  ExpectBoletos({
      // CNR, number 0000012345601: weights 9..2 from the right, S 121, R 0: D1 0.
      // 1234560104 + 1234567 + 010225 = 1235804896: S 285, R 10: D2 0. Julian date
      // of 01/02/2025: day 032, year digit 5. Factor 9979; barcode S 687 R 5 digit 6.
      {{"399", "123456", "1", "1234", "5678", "1234567", "", "CNR", "", "01022025", 20000},
       {"1234567000001234560103252", "001234560104023456", "1234567", "0012345601040", "CNR", none,
        "", "39996997900000200001234567000001234560103252",
        "39991.23452 67000.001239 45601.032522 6 99790000020000"}},
      // CNR, number 0000000457102: S 108, R 9: D1 9 (the remainder itself).
      // 45710294 + 7654321 + 150325 = 53514940: S 163, R 9: D2 9. Julian 074, 5.
      // Factor 1021; barcode S 567 R 6 digit 5.
      {{"399", "4571", "2", "1234", "5678", "7654321", "", "CNR", "", "15032025", 123456},
       {"7654321000000045710207452", "0000457102949571", "7654321", "0000457102949", "CNR", none,
        "", "39995102100001234567654321000000045710207452",
        "39997.65435 21000.000048 57102.074523 5 10210000123456"}},
      // CNR on 31/12/2024, day 366 of a leap year; number 0008765432112: S 230, R 10:
      // D1 0; 876543211204 + 0001234 + 311224: S 363, R 0: D2 0. Factor 9947.
      {{"399", "87654321", "12", "1", "1", "1234", "", "CNR", "", "31122024", 1},
       {"0001234000876543211236642", "87654321120407654321", "0001234", "8765432112040", "CNR",
        none, "", "39998994700000000010001234000876543211236642",
        "39990.00122 34000.876549 32112.366425 8 99470000000001"}},
      // CSB, range 54321 and number 12301: weights 5,4,3,2,7,6,5,4,3,2, S 91, R 3,
      // digit 8. Free field number, agency 1234, account 0056789, 00, product 1.
      // Factor 1072 (05/05/2025); barcode S 845 R 9 digit 2.
      {{"399", "123", "1", "1234", "56789", "54321", "", "CSB", "", "05052025", 77777},
       {"5432112301812340056789001", "54321123018", "1234 0056789", "54 321 123 01 8", "CSB", none,
        "", "39992107200000777775432112301812340056789001",
        "39995.43212 12301.812348 00567.890017 2 10720000077777"}},
      // CSB, range 00987 and number 00704: S 128, R 7, digit 4. Factor 1087.
      {{"399", "7", "4", "345", "1234567", "987", "", "CSB", "", "20052025", 500},
       {"0098700704403451234567001", "00987007044", "0345 1234567", "00 987 007 04 4", "CSB", none,
        "", "39993108700000005000098700704403451234567001",
        "39990.09875 00704.403450 12345.670017 3 10870000000500"}},
  });
}

TEST(Bank104Test, CaixaBoletos) {
  ExpectBoletos({
      // Six-digit code 123456: weights 7..2, S 77, R 0, digit 0. Number
      // 000000000123401 split 000, kind 1 (remittance), 000, issuer 4, 000123401;
      // field digit weights 2..9 from the right, S 190, R 3: 8. Portfolio 14 and
      // number: S 90, R 2, digit 9. Factor 1052; barcode S 383 R 9 digit 2.
      {{"104", "1234", "1", "0987", "1", "123456", "14", "RG", "S", "15042025", 10000},
       {"1234560000100040001234018", "14000000000123401", "0987/123456-0", "14000000000123401-9",
        "RG", none, none, "10492105200000100001234560000100040001234018",
        "10491.23456 60000.100044 00012.340188 2 10520000010000"}},
      // Code 654321: S 112, R 2, digit 9; kind 2 (no remittance); number
      // 000009876543203; field S 458, R 7: 4; portfolio 24: S 282, R 7: 4. Factor 1006.
      {{"104", "98765432", "3", "0001", "1", "654321", "24", "SR", "N", "28022025", 123},
       {"6543219000200948765432034", "24000009876543203", "0001/654321-9", "24000009876543203-4",
        "SR", none, none, "10497100600000001236543219000200948765432034",
        "10496.54328 19000.200949 87654.320347 7 10060000000123"}},
      // Sixteen-character code 0123 870 00012345 1, no remittance: number 82 +
      // 00123401, weights 2..9 from the right, S 80, R 3, digit 8; free field number
      // and the code's first 15. Factor 1052; barcode S 368 R 5 digit 6.
      {{"104", "1234", "1", "0123", "1", "0123870000123451", "", "", "N", "15042025", 10000},
       {"8200123401012387000012345", "82001234018", "0123.870.00012345.1", "8200123401.8", "SR",
        none, none, "10496105200000100008200123401012387000012345",
        "10498.20010 23401.012382 70000.123458 6 10520000010000"}},
      // With remittance: 9 + 000567802, S 169, R 4, digit 7. Factor 1199 (09/09/2025).
      {{"104", "5678", "2", "1234", "1", "1234001000987654", "", "", "S", "09092025", 8800},
       {"9000567802123400100098765", "90005678027", "1234.001.00098765.4", "9000567802.7", "CR",
        none, none, "10495119900000088009000567802123400100098765",
        "10499.00051 67802.123405 01000.987659 5 11990000008800"}},
  });
}

TEST(Bank104Test, SixteenCharacterCodeIsTakenTrimmed) {
  // The layout is chosen by the trimmed length; the code's characters are
  // taken from the trimmed text too, so blanks stored around it never reach
  // the free field or the agency text.
  Row row = {
      {"104", "1234", "1", "0123", "1", "  0123870000123451  ", "", "", "N", "15042025", 10000},
      {}};
  const Result<BankFields> got = ComposeBankFields(InputOf(row.in));
  ASSERT_TRUE(got.ok()) << got.error().description;
  EXPECT_EQ(got->free_field, "8200123401012387000012345");
  EXPECT_EQ(got->agency_text, "0123.870.00012345.1");
  EXPECT_EQ(got->reference_text, "8200123401.8");
}

TEST(Bank756Test, SicoobBoletos) {
  ExpectBoletos({
      // Cooperative 4133, client 0000123456, number 0001234: weights 3,1,9,7, S 194,
      // R 7, digit 4. Portfolio 1, modality 01, client 0123456, installment 001.
      // Stored: 0001234 4 001 and its digit, weights 2..9 from the right, S 92, R 4:
      // 7. Factor 1026; barcode S 563 R 2 digit 9.
      {{"756", "1234", "1", "4133", "1", "123456", "", "101", "", "20032025", 25050},
       {"1413301012345600012344001", "000123440017", "4133/ 0123456", "00012344", "1", "N", none,
        "75699102600000250501413301012345600012344001",
        "75691.41331 01012.345607 00123.440018 9 10260000025050"}},
      // Cooperative 3069, client 0001234567, number 7654321: S 406, R 10, digit 1.
      // Modality 05, installment 012; stored digit S 148, R 5: 6. Factor 1067.
      {{"756", "7654321", "12", "3069", "1", "1234567", "", "105", "", "30042025", 99},
       {"1306905123456776543211012", "765432110126", "3069/ 1234567", "76543211", "1", "N", none,
        "75695106700000000991306905123456776543211012",
        "75691.30698 05123.456773 65432.110123 5 10670000000099"}},
  });
}

TEST(Bank021Test, BanestesBoletos) {
  ExpectBoletos({
      // Key 00012301 12345678901 2 021: modulus 10, S 60, K1 0; modulus 11 weights
      // 2..7 from the right over the key and K1, S 247, R 5, K2 6. Number digits:
      // weights 9..2, S 30, R 8: 3; weights 10..2, S 43, R 10: 1. Factor 1016;
      // barcode S 485 R 1 digit 1.
      {{"021", "123", "1", "0123", "1", "12345678901", "", "2", "", "10032025", 12345},
       {"0001230112345678901202106", "0001230131", "0123/12345678901", "00012301", "2", none, none,
        "02191101600000123450001230112345678901202106",
        "02190.00122 30112.345670 89012.021062 1 10160000012345"}},
      // Key 98765407 00000098765 1 021: S 74, K1 6; S 409, R 2, K2 9. Number digits
      // S 285, R 10: 1; S 333, R 3: 8. Factor 1082; barcode S 687 R 5 digit 6.
      {{"021", "987654", "7", "456", "1", "98765", "", "1", "", "15052025", 600000},
       {"9876540700000098765102169", "9876540718", "0456/00000098765", "98765407", "1", none, none,
        "02196108200006000009876540700000098765102169",
        "02199.87658 40700.000090 87651.021690 6 10820000600000"}},
  });
}

Row RowFor(const char* bank) {
  return {{bank, "1234", "1", "0123", "12345-6", "123456", "14", "101", "S", "10042025", 100}, {}};
}

TEST(Bank021Test, WithoutPortfolioTheShortKeyIsRefused) {
  // Key 00123401 00000123456 (no portfolio character) 021, 22 digits: modulus
  // 10 S 43, K1 7. The second digit reads the key and K1, 23 digits, not 24.
  BankInput in = InputOf(RowFor("021").in);
  in.carteira_ext = "";
  const Result<BankFields> got = ComposeBankFields(in);
  ASSERT_FALSE(got.ok());
  EXPECT_EQ(got.error().number, error_number::kTypeMismatch);
  EXPECT_EQ(
      got.error().description,
      "Bank 021: Check digit \"N2\" needs exactly 24 digits, got \"00123401000001234560217\"");
}

TEST(ComposeBankFieldsTest, CaixaKindSitsAtFreeFieldPosition11) {
  BankInput in = InputOf(RowFor("104").in);
  in.gera_remessa_bol_sr = "S";
  EXPECT_EQ(ComposeBankFields(in)->free_field.substr(10, 1), "1");
  in.gera_remessa_bol_sr = "N";
  EXPECT_EQ(ComposeBankFields(in)->free_field.substr(10, 1), "2");
  in.gera_remessa_bol_sr = "";
  EXPECT_EQ(ComposeBankFields(in)->free_field.substr(10, 1), "2");
}

TEST(ComposeBankFieldsTest, SettingsWithoutFreeFieldComposeNothingAndTheLineRefusesThem) {
  const struct {
    const char* bank;
    const char* carteira_ext;
    const char* identificacao_sr;
    const char* why;
  } rows[] = {
      {"033", "201", "1234567", "Santander portfolio other than 101/102"},
      {"399", "XYZ", "1234567", "HSBC portfolio other than CNR/CSB"},
      {"104", "", "12345", "Caixa code of five characters"},
      {"104", "", "12345678", "Caixa code of eight characters"},
      {"999", "", "1", "a bank without rules"},
      {"41", "", "1", "a bank code that is not three characters"},
  };
  for (const auto& row : rows) {
    BankInput in = InputOf(RowFor(row.bank).in);
    in.carteira_ext = row.carteira_ext;
    in.identificacao_sr = MakeBeneficiaryCodeForms(row.identificacao_sr);
    const Result<BankFields> got = ComposeBankFields(in);
    ASSERT_TRUE(got.ok()) << row.why;
    EXPECT_EQ(got->free_field, "") << row.why;
    EXPECT_EQ(got->id_bancaria, "") << row.why;
    EXPECT_EQ(got->reference_text, "") << row.why;
    EXPECT_FALSE(got->portfolio_text.has_value()) << row.why;
    const Result<DigitableLine> line =
        ComposeDigitableLine("0339", "10470000000100", got->free_field);
    ASSERT_FALSE(line.ok()) << row.why;
    EXPECT_EQ(line.error().number, error_number::kMalformedBarcode) << row.why;
  }
}

TEST(ComposeBankFieldsTest, ItauAccountWithoutDigitNeverBecomesABarcode) {
  BankInput in = InputOf(RowFor("341").in);
  in.conta_cobranca = "12345";
  in.account7 = Account7("12345");
  in.account_digit = AccountDigit("12345");
  const Result<BankFields> got = ComposeBankFields(in);
  ASSERT_TRUE(got.ok());
  EXPECT_EQ(got->free_field.size(), 24u);
  EXPECT_FALSE(ComposeDigitableLine("3419", "10470000000100", got->free_field).ok());
}

TEST(ComposeBankFieldsTest, TextsThatAreNotDigitsAreErrors) {
  const struct {
    const char* bank;
    const char* numero;
    const char* carteira_sr;
    const char* due;
    const char* why;
  } rows[] = {
      {"409", "12A", "14", "10042025", "a letter in the number"},
      {"237", "12 3", "09", "10042025", "a blank in the number"},
      {"033", "X", "14", "10042025", "Santander number"},
      {"104", "1234", "1", "10042025", "Caixa portfolio of one digit"},
      {"104", "1234", "145", "10042025", "Caixa portfolio of three digits"},
      {"399", "1234", "", "31022025", "HSBC CNR with no valid due date"},
  };
  for (const auto& row : rows) {
    BankInput in = InputOf(RowFor(row.bank).in);
    in.doc_number = row.numero;
    in.carteira_sr = row.carteira_sr;
    in.due_date_digits = row.due;
    if (std::string(row.bank) == "033") in.carteira_ext = "101";
    if (std::string(row.bank) == "399") in.carteira_ext = "CNR";
    const Result<BankFields> got = ComposeBankFields(in);
    ASSERT_FALSE(got.ok()) << row.why;
    EXPECT_EQ(got.error().number, error_number::kTypeMismatch) << row.why;
    EXPECT_NE(got.error().description.find(row.bank), std::string::npos) << got.error().description;
  }
}

TEST(StoredTextsTest, AgencyAndAccountDigits) {
  const struct {
    const char* stored;
    const char* agency4;
    const char* account7;
    const char* digit;
  } rows[] = {
      {"0123", "0123", "0000123", ""},
      {" 123-4 ", "0123", "0000123", "4"},
      {"12345-6", "2345", "0012345", "6"},
      {"12345-67", "2345", "0012345", "6"},  // only the first character after the dash
      {"12345-", "2345", "0012345", "0"},    // nothing after the dash counts as 0
      {"1-2-3", "0001", "0000001", "2"},     // the first dash decides
      {
          "123456789",
          "6789",
          "3456789",
          "",
      },  // rightmost digits kept
      {"", "0000", "0000000", ""},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(Agency4(row.stored), row.agency4) << row.stored;
    EXPECT_EQ(Account7(row.stored), row.account7) << row.stored;
    EXPECT_EQ(AccountDigit(row.stored), row.digit) << row.stored;
  }
}

TEST(StoredTextsTest, BeneficiaryCodeForms) {
  const struct {
    const char* stored;
    BeneficiaryCodeForms expected;
  } rows[] = {
      {"  12345  ", {"  12345  ", "12345", "012345", "0012345", "000012345", "00000012345"}},
      {"1234567890", {"1234567890", "12345", "123456", "1234567", "123456789", "01234567890"}},
      {"", {"", "00000", "000000", "0000000", "000000000", "00000000000"}},
  };
  for (const auto& row : rows) {
    const BeneficiaryCodeForms got = MakeBeneficiaryCodeForms(row.stored);
    EXPECT_EQ(got.stored, row.expected.stored);
    EXPECT_EQ(got.digits5, row.expected.digits5) << row.stored;
    EXPECT_EQ(got.digits6, row.expected.digits6) << row.stored;
    EXPECT_EQ(got.digits7, row.expected.digits7) << row.stored;
    EXPECT_EQ(got.digits9, row.expected.digits9) << row.stored;
    EXPECT_EQ(got.digits11, row.expected.digits11) << row.stored;
  }
}

}  // namespace
}  // namespace boleto
