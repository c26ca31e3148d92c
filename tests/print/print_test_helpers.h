// Helpers of the printing tests: digitable lines made from known 44-digit
// barcodes with an independent computation of the check digits, the ten
// banks' sample barcodes, and running the command-line tools that read the
// output back (zbarimg, pdftotext), and a PDF page that keeps its document.
#pragma once

#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "print/cairo_page_surface.h"
#include "print/page_delivery.h"
#include "support/command.h"

namespace boleto::testing {

// Modulus 10 with weights 2, 1, 2, ... from the right; products summed by
// their digits; 10 - remainder, and 0 for 10.
inline char Modulo10(const std::string& digits) {
  int sum = 0, weight = 2;
  for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
    int product = (*it - '0') * weight;
    sum += product / 10 + product % 10;
    weight = weight == 2 ? 1 : 2;
  }
  int digit = (10 - sum % 10) % 10;
  return static_cast<char>('0' + digit);
}

// The barcode check digit: modulus 11 with weights 2 to 9 from the right
// over the other 43 digits; 11 - remainder, with 0, 10 and 11 written 1.
inline char BarcodeCheckDigit(const std::string& digits43) {
  int sum = 0, weight = 2;
  for (auto it = digits43.rbegin(); it != digits43.rend(); ++it) {
    sum += (*it - '0') * weight;
    weight = weight == 9 ? 2 : weight + 1;
  }
  int digit = 11 - sum % 11;
  if (digit == 0 || digit == 10 || digit == 11) digit = 1;
  return static_cast<char>('0' + digit);
}

// A 44-digit barcode from its parts, with its check digit in position 5.
inline std::string MakeBarcode(const std::string& bank, const std::string& factor,
                               const std::string& amount10, const std::string& free_field) {
  std::string without = bank + "9" + factor + amount10 + free_field;
  return without.substr(0, 4) + BarcodeCheckDigit(without) + without.substr(4);
}

// The 54-character printed line of a 44-digit barcode.
inline std::string PrintedLineOf(const std::string& barcode) {
  const std::string free_field = barcode.substr(19, 25);
  std::string field1 = barcode.substr(0, 4) + free_field.substr(0, 5);
  field1 += Modulo10(field1);
  std::string field2 = free_field.substr(5, 10);
  field2 += Modulo10(field2);
  std::string field3 = free_field.substr(15, 10);
  field3 += Modulo10(field3);
  return field1.substr(0, 5) + "." + field1.substr(5) + " " + field2.substr(0, 5) + "." +
         field2.substr(5) + " " + field3.substr(0, 5) + "." + field3.substr(5) + " " +
         barcode.substr(4, 1) + " " + barcode.substr(5, 14);
}

// The page written to a file, or printed on a named CUPS queue.
inline PageDestination FileDestination(const std::string& path) {
  PageDestination destination;
  destination.output_file = path;
  return destination;
}
inline PageDestination QueueDestination(const std::string& queue) {
  PageDestination destination;
  destination.printer_name = queue;
  return destination;
}

struct SampleBoleto {
  const char* bank;
  std::string barcode;
};

// One boleto per bank, in the program's dispatch order. Free fields follow
// each bank's published layout with made-up agency, account and reference
// numbers; factor 1000 is 3 July 2000 on the 1997 base (22 February 2025 on
// the 2025 base), 9999 the last factor before the roll-over.
inline std::vector<SampleBoleto> TenBankBoletos() {
  return {
      // Unibanco: "5", client code 7 digits, "00", reference 14 + DV.
      {"409", MakeBarcode("409", "1000", "0000012345", "5123456700000000001234563")},
      // Bradesco: agency 4, portfolio 2, reference 11, account 7, "0".
      {"237", MakeBarcode("237", "1234", "0000100000", "1234090000012345600123450")},
      // Banco do Brasil: "000000", agreement 7, complement 10, portfolio 2.
      {"001", MakeBarcode("001", "9999", "0000000001", "0000001234567000000012318")},
      // Santander: "9", beneficiary 7, reference 13, IOF "0", portfolio 101.
      {"033", MakeBarcode("033", "2000", "0000050050", "9123456700000000123450101")},
      // Real: agency 4, account 7, digitão 1, reference 13.
      {"356", MakeBarcode("356", "1500", "0000009999", "0123456789050000000123456")},
      // Itaú: portfolio 3, reference 8, DAC, agency 4, account 5, DAC, "000".
      {"341", MakeBarcode("341", "1001", "0000123456", "1091234567801231234560000")},
      // HSBC CNR: beneficiary 7, reference 13, day of year 4, "2".
      {"399", MakeBarcode("399", "4321", "0000000100", "1234567000000001234503252")},
      // Caixa: beneficiary 6 + DV, reference groups with kinds, DV.
      {"104", MakeBarcode("104", "5000", "0000002500", "1234561000200040000000013")},
      // Sicoob: portfolio 1, agency 4, modality 2, client 7, reference 8, installment 3.
      {"756", MakeBarcode("756", "6000", "0000045678", "1312301001234500000123001")},
      // Banestes: reference 8, account 11, key 2, bank "021", DVs 2.
      {"021", MakeBarcode("021", "7000", "0000000050", "0000123400001234567202112")},
  };
}

struct Word {
  double x_min, y_min, x_max, y_max;  // points
  std::string text;
};

// Words of a PDF page with their boxes, from pdftotext -bbox.
inline std::vector<Word> PdfWords(const std::string& pdf) {
  testing::CommandOutput html = RunCommand("pdftotext -bbox '" + pdf + "' -");
  std::vector<Word> words;
  const std::regex word(
      R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re");
  for (auto it = std::sregex_iterator(html.output.begin(), html.output.end(), word);
       it != std::sregex_iterator(); ++it) {
    words.push_back(Word{std::stod((*it)[1]), std::stod((*it)[2]), std::stod((*it)[3]),
                         std::stod((*it)[4]), (*it)[5]});
  }
  return words;
}

inline const Word* FindWord(const std::vector<Word>& words, const std::string& text) {
  for (const Word& w : words) {
    if (w.text == text) return &w;
  }
  return nullptr;
}

// A PDF page whose finished document lands in `document`.
inline Result<std::unique_ptr<CairoPageSurface>> PdfPageInto(std::string& document) {
  return CairoPageSurface::Create(PageFormat::kPdf, [&document](const std::string& bytes) {
    document = bytes;
    return Status::Ok();
  });
}

}  // namespace boleto::testing
