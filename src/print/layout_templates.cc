// The layout templates as data. Each row is one control in drawing order,
// written as on the designed form: kind, name, array index, geometry in
// twips, caption, font and alignment.
#include "print/layout_form.h"

namespace boleto {
namespace {

// Placeholder of the many wide value labels: sixty "X" characters.
constexpr std::string_view kSixtyX = "XXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXX";
static_assert(kSixtyX.size() == 60);
// Placeholder of the bank-code box: bank code and its check digit.
constexpr std::string_view kBankCodePlaceholder = "| 999-9 |";

constexpr ControlTemplate Label(std::string_view name, int index, int left, int top, int width,
                                int height, std::string_view caption, FontSpec font,
                                Alignment alignment) {
  return {ControlKind::kLabel, name, index, left, top, width, height, caption, font, alignment};
}

constexpr ControlTemplate Line(std::string_view name, int index, int x1, int y1, int x2, int y2) {
  return {ControlKind::kLine, name, index, x1, y1, x2, y2, "", kDefaultFont, Alignment::kLeft};
}

constexpr ControlTemplate PictureBox(std::string_view name, int left, int top, int width,
                                     int height, FontSpec font) {
  return {ControlKind::kPictureBox, name, kNoIndex, left, top, width, height, "", font,
          Alignment::kLeft};
}

// Payer's receipt stub, drawn at the top of the page.
constexpr ControlTemplate kReceiptStubControls[] = {
    PictureBox("PictLogoBanco", 120, 1850, 1695, 500, kDefaultFont),  // 1
    PictureBox("Picture2", 120, 0, 10695, 1815, kDefaultFont),        // 2
    Label("lblCedente1", kNoIndex, 240, 3240, 6135, 165, "Cedente", {"MS Serif", 6.75, false},
          Alignment::kLeft),  // 3
    Label("lblTCNPJCedente", kNoIndex, 6510, 2845, 1455, 150, "CNPJ do Beneficiário",
          {"Arial", 6.75, false}, Alignment::kLeft),  // 4
    Label("lblCNPJCedente", kNoIndex, 6525, 3000, 1500, 165, "99.999.999/9999-99", kDefaultFont,
          Alignment::kLeft),                          // 5
    Line("Line3", 25, 6480, 2805, 6480, 3450),        // 6
    Line("Line2", kNoIndex, 8040, 6000, 8040, 2400),  // 7
    Line("Line3", 0, 120, 6960, 10680, 6960),         // 8
    Label("lblCodigoBanco", kNoIndex, 1800, 2040, 1215, 315, kBankCodePlaceholder,
          {"Verdana", 11.25, true}, Alignment::kLeft),  // 9
    Label("lblSacado1", kNoIndex, 840, 6060, 9735, 165, kSixtyX, kDefaultFont,
          Alignment::kLeft),  // 10
    Label("lblSacado2", kNoIndex, 840, 6285, 9735, 165, kSixtyX, kDefaultFont,
          Alignment::kLeft),  // 11
    Label("lblIntrucao3", kNoIndex, 240, 4830, 7695, 165, kSixtyX, kDefaultFont,
          Alignment::kLeft),  // 12
    Label("lblIntrucao4", kNoIndex, 240, 5055, 7695, 165, kSixtyX, kDefaultFont,
          Alignment::kLeft),  // 13
    Label("lblIntrucao5", kNoIndex, 240, 5295, 7695, 165, kSixtyX, kDefaultFont,
          Alignment::kLeft),  // 14
    Label("lblIntrucao6", kNoIndex, 240, 5520, 7695, 165, kSixtyX, kDefaultFont,
          Alignment::kLeft),  // 15
    Label("lblIntrucao7", kNoIndex, 240, 5760, 7695, 165, kSixtyX, kDefaultFont,
          Alignment::kLeft),                   // 16
    Line("Line3", 1, 120, 6000, 10680, 6000),  // 17
    Line("Line3", 2, 120, 2400, 10680, 2400),  // 18
    Label("lblTRecibo", 7, 9000, 2160, 1650, 195, "Recibo do Pagador",
          {"MS Sans Serif", 8.25, true}, Alignment::kLeft),  // 19
    Line("Line3", 4, 120, 3840, 10680, 3840),                // 20
    Line("Line3", 5, 120, 3450, 10680, 3450),                // 21
    Line("Line3", 6, 120, 2805, 10680, 2805),                // 22
    Label("lblDataDocumento", kNoIndex, 240, 3630, 1335, 165, "Data do Doc.", kDefaultFont,
          Alignment::kLeft),  // 23
    Label("lblCedente", kNoIndex, 240, 3000, 6150, 165, "Cedente", kDefaultFont,
          Alignment::kLeft),  // 24
    Label("lblLocalPagamento", kNoIndex, 240, 2585, 7695, 165, "Local do Pagamento", kDefaultFont,
          Alignment::kLeft),  // 25
    Label("lblTDataDocumento", kNoIndex, 240, 3495, 1335, 150, "Data do Documento",
          {"Arial", 6.75, false}, Alignment::kLeft),  // 26
    Label("lblTCedente", kNoIndex, 240, 2850, 735, 150, "Beneficiário", {"Arial", 6.75, false},
          Alignment::kLeft),  // 27
    Label("lblTLocalPagamento", kNoIndex, 240, 2440, 1455, 150, "Local do Pagamento",
          {"Arial", 6.75, false}, Alignment::kLeft),  // 28
    Label("lblNumDocumento", kNoIndex, 1815, 3630, 1455, 165, "Num do Documento", kDefaultFont,
          Alignment::kLeft),  // 29
    Label("lblTNumDocumento", kNoIndex, 1815, 3495, 1560, 150, "Nº do Documento",
          {"Arial", 6.75, false}, Alignment::kLeft),  // 30
    Label("lblEspecie", kNoIndex, 3840, 3630, 720, 165, "Especie", kDefaultFont,
          Alignment::kLeft),  // 31
    Label("lblTEspecie", kNoIndex, 3840, 3495, 720, 150, "Espécie Doc.", {"Arial", 6.75, false},
          Alignment::kLeft),  // 32
    Label("lblAceite", kNoIndex, 4815, 3630, 495, 165, "Aceite", kDefaultFont,
          Alignment::kLeft),  // 33
    Label("lblTAceite", kNoIndex, 4815, 3495, 495, 150, "Aceite", {"Arial", 6.75, false},
          Alignment::kLeft),  // 34
    Label("lblDataProcessamento", kNoIndex, 5550, 3630, 1305, 165, "Processamento", kDefaultFont,
          Alignment::kLeft),  // 35
    Label("lblTDataProcessamento", kNoIndex, 5505, 3495, 1545, 150, "Data de Processamento",
          {"Arial", 6.75, false}, Alignment::kLeft),  // 36
    Label("lblNossoNumero", kNoIndex, 8160, 3645, 2415, 165, "Nosso Numero", kDefaultFont,
          Alignment::kLeft),  // 37
    Label("lblTNossoNumero", kNoIndex, 8160, 3495, 1095, 150, "Nosso Número",
          {"Arial", 6.75, false}, Alignment::kLeft),  // 38
    Line("Line3", 7, 1680, 3450, 1680, 3840),         // 39
    Line("Line3", 8, 3720, 3450, 3720, 3840),         // 40
    Line("Line3", 9, 4680, 3450, 4680, 3840),         // 41
    Line("Line3", 10, 5400, 3450, 5400, 3840),        // 42
    Label("lblAgencia", kNoIndex, 8160, 3000, 2415, 165, "Agência/Código Cedente", kDefaultFont,
          Alignment::kLeft),  // 43
    Label("lblVencimento", kNoIndex, 9000, 2585, 1560, 165, "Contra-Apresentação", kDefaultFont,
          Alignment::kLeft),  // 44
    Label("lblTAgencia", kNoIndex, 8160, 2845, 1800, 150, "Agência/Código Beneficiário",
          {"Arial", 6.75, false}, Alignment::kLeft),  // 45
    Label("lblTVencimento", kNoIndex, 9000, 2415, 1095, 150, "Vencimento", {"Arial", 6.75, false},
          Alignment::kLeft),                      // 46
    Line("Line3", 12, 120, 2400, 120, 6960),      // 47
    Line("Line3", 13, 10680, 2400, 10680, 6960),  // 48
    Label("lblTParcela", kNoIndex, 8160, 2415, 615, 150, "Parcela", {"Arial", 6.75, false},
          Alignment::kLeft),  // 49
    Label("lblParcela", kNoIndex, 8160, 2585, 720, 165, "Parcela", kDefaultFont,
          Alignment::kLeft),                    // 50
    Line("Line3", 14, 8880, 2400, 8880, 2805),  // 51
    Label("lblSacado3", kNoIndex, 840, 6525, 9735, 165, kSixtyX, kDefaultFont,
          Alignment::kLeft),  // 52
    Label("lblTSacado", kNoIndex, 240, 6060, 495, 150, "Pagador", {"Arial", 6.75, false},
          Alignment::kLeft),  // 53
    Label("lblTSacador", kNoIndex, 240, 6765, 1095, 135, "Pagador/Avalista", {"Arial", 6.75, false},
          Alignment::kLeft),                    // 54
    Line("Line3", 15, 5400, 3840, 5400, 4200),  // 55
    Line("Line3", 16, 4320, 3840, 4320, 4200),  // 56
    Line("Line3", 17, 3360, 3840, 3360, 4200),  // 57
    Line("Line3", 18, 2400, 3840, 2400, 4200),  // 58
    Label("lblTAcrescimos", kNoIndex, 8160, 5295, 1455, 150, "(+) Outros Acréscimos",
          {"Arial", 6.75, false}, Alignment::kLeft),  // 59
    Label("lblValorDocumento", kNoIndex, 8760, 3990, 1815, 165, "Valor Doc", kDefaultFont,
          Alignment::kRight),  // 60
    Label("lblTValor", kNoIndex, 5550, 3855, 1305, 150, "Valor", {"Arial", 6.75, false},
          Alignment::kLeft),  // 61
    Label("lblValor", kNoIndex, 5550, 3990, 1305, 165, "Valor", kDefaultFont,
          Alignment::kRight),  // 62
    Label("lblTQuantidade", kNoIndex, 4440, 3855, 735, 150, "Quantidade", {"Arial", 6.75, false},
          Alignment::kLeft),  // 63
    Label("lblQuantidade", kNoIndex, 4440, 3990, 495, 165, "Qtd", kDefaultFont,
          Alignment::kLeft),  // 64
    Label("lblTEspecie2", kNoIndex, 3480, 3855, 720, 150, "Espécie", {"Arial", 6.75, false},
          Alignment::kLeft),  // 65
    Label("lblEspecie2", kNoIndex, 3480, 3990, 720, 165, "Especie", kDefaultFont,
          Alignment::kLeft),  // 66
    Label("lblTCarteira", kNoIndex, 2520, 3855, 480, 150, "Carteira", {"Arial", 6.75, false},
          Alignment::kLeft),  // 67
    Label("lblCarteira", kNoIndex, 2520, 3990, 600, 165, "Carteira", kDefaultFont,
          Alignment::kLeft),  // 68
    Label("lblTUsoBanco", kNoIndex, 240, 3855, 1095, 150, "Uso do Banco", {"Arial", 6.75, false},
          Alignment::kLeft),  // 69
    Label("lblUsoBanco", kNoIndex, 240, 3990, 1335, 165, "Uso do Banco", kDefaultFont,
          Alignment::kLeft),                     // 70
    Line("Line3", 19, 960, 3840, 10680, 3840),   // 71
    Line("Line3", 20, 120, 4200, 10680, 4200),   // 72
    Line("Line3", 21, 8040, 4560, 10680, 4560),  // 73
    Line("Line3", 22, 8040, 4920, 10680, 4920),  // 74
    Line("Line3", 23, 8040, 5280, 10680, 5280),  // 75
    Line("Line3", 3, 8040, 5640, 10680, 5640),   // 76
    Label("lblTMultaJuros", kNoIndex, 8160, 4935, 1095, 150, "(+) Mora / Multa",
          {"Arial", 6.75, false}, Alignment::kLeft),  // 77
    Label("lblTValorDocumento", kNoIndex, 8160, 3855, 615, 150, "(=) Valor do Documento",
          {"Arial", 6.75, false}, Alignment::kLeft),  // 78
    Label("lblTDesconto", kNoIndex, 8160, 4215, 1560, 150, "(-) Desconto/Abatimento",
          {"Arial", 6.75, false}, Alignment::kLeft),  // 79
    Label("lblTOutAbatimento", kNoIndex, 8160, 4575, 1335, 150, "(-) Outras Deduções",
          {"Arial", 6.75, false}, Alignment::kLeft),  // 80
    Label("lblTTotal", kNoIndex, 8160, 5655, 1095, 150, "(=) Valor Cobrado", {"Arial", 6.75, false},
          Alignment::kLeft),  // 81
    Label("lblAcrescimos", kNoIndex, 8760, 5415, 1815, 165, "Valor Acrescimo", kDefaultFont,
          Alignment::kRight),  // 82
    Label("lblMultaJuros", kNoIndex, 8760, 5070, 1815, 165, "Valor MultaJuros", kDefaultFont,
          Alignment::kRight),  // 83
    Label("lblOutAbatimento", kNoIndex, 8760, 4710, 1815, 165, "Valor Abatimento", kDefaultFont,
          Alignment::kRight),  // 84
    Label("lblDesconto", kNoIndex, 8760, 4350, 1815, 165, "Valor Desconto", kDefaultFont,
          Alignment::kRight),  // 85
    Label("lblTotal", kNoIndex, 8760, 5790, 1815, 165, "Resultado", kDefaultFont,
          Alignment::kRight),  // 86
    Label("lblTIntrucao", kNoIndex, 240, 4215, 3495, 150,
          "Instruções ( Texto de responsabilidade do Cedente)", {"Arial", 6.75, false},
          Alignment::kLeft),  // 87
    Label("lblIntrucao2", kNoIndex, 240, 4590, 7695, 165, kSixtyX, kDefaultFont,
          Alignment::kLeft),  // 88
    Label("lblIntrucao1", kNoIndex, 240, 4365, 7695, 165, kSixtyX, kDefaultFont,
          Alignment::kLeft),  // 89
    Label("lblTAutentica", kNoIndex, 9120, 6975, 1530, 135, "Autenticação Mecânica",
          {"Arial", 6.75, true}, Alignment::kLeft),  // 90
};

// Bank's compensation part with the barcode, drawn below the stub.
constexpr ControlTemplate kCompensationPartControls[] = {
    PictureBox("PictLogoBanco", 120, 235, 1695, 500, kDefaultFont),                   // 1
    PictureBox("CodigoBarras", 360, 5400, 7935, 1335, {"Courier New", 9.75, false}),  // 2
    Label("lblCedente", kNoIndex, 240, 1327, 6135, 165, "Cedente", kDefaultFont,
          Alignment::kLeft),  // 3
    Label("lblTCNPJCedente", kNoIndex, 6480, 1155, 1455, 150, "CNPJ do Beneficiário",
          {"Arial", 6.75, false}, Alignment::kLeft),  // 4
    Label("lblTLocalPagamento", kNoIndex, 240, 795, 1455, 150, "Local do Pagamento",
          {"Arial", 6.75, false}, Alignment::kLeft),  // 5
    Line("Line3", 2, 120, 780, 10680, 780),           // 6
    Line("Line3", 25, 6450, 1140, 6450, 1680),        // 7
    Label("lblCNPJCedente", kNoIndex, 6495, 1327, 1500, 165, "99.999.999/9999-99", kDefaultFont,
          Alignment::kLeft),  // 8
    Label("lblCodigoBanco", kNoIndex, 1800, 420, 1155, 315, kBankCodePlaceholder,
          {"Verdana", 11.25, true}, Alignment::kLeft),  // 9
    Line("Line3", 24, 120, 0, 10680, 0),                // 10
    Line("Line3", 3, 0, -7680, 6, -7680),               // 11
    Line("Line3", 13, 10680, 780, 10680, 5160),         // 12
    Line("Line3", 12, 120, 780, 120, 5160),             // 13
    Label("lblAutentica", kNoIndex, 7275, 5175, 3405, 135,
          "Autenticação Mecânica / FICHA DE COMPENSAÇÃO", {"Arial", 6.75, true},
          Alignment::kLeft),  // 14
    Label("lblIntrucao1", kNoIndex, 240, 2565, 7695, 165, kSixtyX, kDefaultFont,
          Alignment::kLeft),  // 15
    Label("lblIntrucao2", kNoIndex, 240, 2790, 7695, 165, kSixtyX, kDefaultFont,
          Alignment::kLeft),  // 16
    Label("lblTIntrucao", kNoIndex, 240, 2415, 3495, 150,
          "Instruções ( Texto de responsabilidade do Cedente)", {"Arial", 6.75, false},
          Alignment::kLeft),  // 17
    Label("lblTotal", kNoIndex, 8760, 3990, 1815, 165, "Resultado", kDefaultFont,
          Alignment::kRight),  // 18
    Label("lblDesconto", kNoIndex, 8760, 2550, 1815, 165, "Valor Desconto", kDefaultFont,
          Alignment::kRight),  // 19
    Label("lblOutAbatimento", kNoIndex, 8760, 2910, 1815, 165, "Valor Abatimento", kDefaultFont,
          Alignment::kRight),  // 20
    Label("lblMultaJuros", kNoIndex, 8760, 3270, 1815, 165, "Valor MultaJuros", kDefaultFont,
          Alignment::kRight),  // 21
    Label("lblAcrescimos", kNoIndex, 8760, 3615, 1815, 165, "Valor Acrescimo", kDefaultFont,
          Alignment::kRight),  // 22
    Label("lblTTotal", kNoIndex, 8160, 3855, 1095, 150, "(=) Valor Cobrado", {"Arial", 6.75, false},
          Alignment::kLeft),  // 23
    Label("lblTOutAbatimento", kNoIndex, 8160, 2775, 1335, 150, "(-) Outras Deduções",
          {"Arial", 6.75, false}, Alignment::kLeft),  // 24
    Label("lblTDesconto", kNoIndex, 8160, 2415, 1560, 150, "(-) Desconto/Abatimento",
          {"Arial", 6.75, false}, Alignment::kLeft),  // 25
    Label("lblTValorDocumento", kNoIndex, 8160, 2055, 615, 150, "(=) Valor do Documento",
          {"Arial", 6.75, false}, Alignment::kLeft),  // 26
    Label("lblTMultaJuros", kNoIndex, 8160, 3135, 1095, 150, "(+) Mora / Multa",
          {"Arial", 6.75, false}, Alignment::kLeft),  // 27
    Line("Line3", 11, 8040, 3840, 10680, 3840),       // 28
    Line("Line2", kNoIndex, 8040, 780, 8040, 4200),   // 29
    Line("Line3", 0, 120, 5160, 10680, 5160),         // 30
    Label("nr", kNoIndex, 3600, 495, 7095, 240, "nr", {"MS Sans Serif", 12, true},
          Alignment::kLeft),  // 31
    Label("lblSacado1", kNoIndex, 840, 4300, 9735, 165, kSixtyX, kDefaultFont,
          Alignment::kLeft),  // 32
    Label("lblSacado2", kNoIndex, 840, 4540, 9615, 165, kSixtyX, kDefaultFont,
          Alignment::kLeft),  // 33
    Label("lblIntrucao3", kNoIndex, 240, 3030, 7695, 165, kSixtyX, kDefaultFont,
          Alignment::kLeft),  // 34
    Label("lblIntrucao4", kNoIndex, 240, 3255, 7695, 165, kSixtyX, kDefaultFont,
          Alignment::kLeft),  // 35
    Label("lblIntrucao5", kNoIndex, 240, 3495, 7695, 165, kSixtyX, kDefaultFont,
          Alignment::kLeft),  // 36
    Label("lblIntrucao6", kNoIndex, 240, 3720, 7695, 165, kSixtyX, kDefaultFont,
          Alignment::kLeft),  // 37
    Label("lblIntrucao7", kNoIndex, 240, 3960, 7695, 165, kSixtyX, kDefaultFont,
          Alignment::kLeft),                   // 38
    Line("Line3", 1, 120, 4200, 10680, 4200),  // 39
    Line("Line3", 4, 120, 2040, 10680, 2040),  // 40
    Line("Line3", 5, 120, 1680, 10680, 1680),  // 41
    Line("Line3", 6, 120, 1140, 10680, 1140),  // 42
    Label("lblDataDocumento", kNoIndex, 240, 1830, 1335, 165, "Data do Doc.", kDefaultFont,
          Alignment::kLeft),  // 43
    Label("lblCedente1", kNoIndex, 240, 1503, 6135, 165, "Cedente", {"MS Serif", 6.75, false},
          Alignment::kLeft),  // 44
    Label("lblLocalPagamento", kNoIndex, 240, 945, 7695, 165, "Local do Pagamento", kDefaultFont,
          Alignment::kLeft),  // 45
    Label("lblTDataDocumento", kNoIndex, 240, 1695, 1335, 150, "Data do Documento",
          {"Arial", 6.75, false}, Alignment::kLeft),  // 46
    Label("lblTCedente", kNoIndex, 240, 1166, 735, 150, "Beneficiário", {"Arial", 6.75, false},
          Alignment::kLeft),  // 47
    Label("lblNumDocumento", kNoIndex, 1815, 1830, 1455, 165, "Num do Documento", kDefaultFont,
          Alignment::kLeft),  // 48
    Label("lblTNumDocumento", kNoIndex, 1815, 1695, 1560, 150, "Nº do Documento",
          {"Arial", 6.75, false}, Alignment::kLeft),  // 49
    Label("lblEspecie", kNoIndex, 3840, 1830, 720, 165, "Especie", kDefaultFont,
          Alignment::kLeft),  // 50
    Label("lblTEspecie", kNoIndex, 3840, 1695, 720, 150, "Espécie Doc.", {"Arial", 6.75, false},
          Alignment::kLeft),  // 51
    Label("lblAceite", kNoIndex, 4815, 1830, 495, 165, "Aceite", kDefaultFont,
          Alignment::kLeft),  // 52
    Label("lblTAceite", kNoIndex, 4815, 1695, 495, 150, "Aceite", {"Arial", 6.75, false},
          Alignment::kLeft),  // 53
    Label("lblDataProcessamento", kNoIndex, 5550, 1830, 1305, 165, "Processamento", kDefaultFont,
          Alignment::kLeft),  // 54
    Label("lblTDataProcessamento", kNoIndex, 5505, 1695, 1545, 150, "Data de Processamento",
          {"Arial", 6.75, false}, Alignment::kLeft),  // 55
    Label("lblNossoNumero", kNoIndex, 8160, 1845, 2415, 165, "Nosso Numero", kDefaultFont,
          Alignment::kLeft),  // 56
    Label("lblTNossoNumero", kNoIndex, 8160, 1695, 1095, 150, "Nosso Número",
          {"Arial", 6.75, false}, Alignment::kLeft),  // 57
    Line("Line3", 7, 1680, 1680, 1680, 2040),         // 58
    Line("Line3", 8, 3720, 1680, 3720, 2040),         // 59
    Line("Line3", 9, 4680, 1680, 4680, 2040),         // 60
    Line("Line3", 10, 5400, 1680, 5400, 2040),        // 61
    Label("lblAgencia", kNoIndex, 8160, 1400, 2415, 165, "Agência/Código Cedente", kDefaultFont,
          Alignment::kLeft),  // 62
    Label("lblVencimento", kNoIndex, 9000, 945, 1560, 165, "Contra-Apresentação", kDefaultFont,
          Alignment::kLeft),  // 63
    Label("lblTAgencia", kNoIndex, 8160, 1155, 1800, 150, "Agência/Código Beneficiário",
          {"Arial", 6.75, false}, Alignment::kLeft),  // 64
    Label("lblTVencimento", kNoIndex, 9000, 795, 1095, 150, "Vencimento", {"Arial", 6.75, false},
          Alignment::kLeft),  // 65
    Label("lblTParcela", kNoIndex, 8160, 795, 615, 150, "Parcela", {"Arial", 6.75, false},
          Alignment::kLeft),  // 66
    Label("lblParcela", kNoIndex, 8160, 945, 720, 165, "Parcela", kDefaultFont,
          Alignment::kLeft),                   // 67
    Line("Line3", 14, 8880, 780, 8880, 1140),  // 68
    Label("lblSacado3", kNoIndex, 840, 4780, 9615, 165, kSixtyX, kDefaultFont,
          Alignment::kLeft),  // 69
    Label("lblTSacado", kNoIndex, 240, 4300, 495, 150, "Pagador", {"Arial", 6.75, false},
          Alignment::kLeft),  // 70
    Label("lblTSacador", kNoIndex, 240, 4980, 1095, 135, "Pagador/Avalista", {"Arial", 6.75, false},
          Alignment::kLeft),                    // 71
    Line("Line3", 15, 5400, 2040, 5400, 2400),  // 72
    Line("Line3", 16, 4320, 2040, 4320, 2400),  // 73
    Line("Line3", 17, 3360, 2040, 3360, 2400),  // 74
    Line("Line3", 18, 2400, 2040, 2400, 2400),  // 75
    Label("lblTAcrescimos", kNoIndex, 8160, 3495, 855, 150, "(+) Outros Acréscimos",
          {"Arial", 6.75, false}, Alignment::kLeft),  // 76
    Label("lblValorDocumento", kNoIndex, 8760, 2190, 1815, 165, "Valor Doc", kDefaultFont,
          Alignment::kRight),  // 77
    Label("lblTValor", kNoIndex, 5550, 2055, 1305, 150, "Valor", {"Arial", 6.75, false},
          Alignment::kLeft),  // 78
    Label("lblValor", kNoIndex, 5550, 2190, 1305, 165, "Valor", kDefaultFont,
          Alignment::kRight),  // 79
    Label("lblTQuantidade", kNoIndex, 4440, 2055, 735, 150, "Quantidade", {"Arial", 6.75, false},
          Alignment::kLeft),  // 80
    Label("lblQuantidade", kNoIndex, 4440, 2190, 495, 165, "Qtd", kDefaultFont,
          Alignment::kLeft),  // 81
    Label("lblTEspecie2", kNoIndex, 3480, 2055, 720, 150, "Espécie", {"Arial", 6.75, false},
          Alignment::kLeft),  // 82
    Label("lblEspecie2", kNoIndex, 3480, 2190, 720, 165, "Especie", kDefaultFont,
          Alignment::kLeft),  // 83
    Label("lblTCarteira", kNoIndex, 2520, 2055, 480, 150, "Carteira", {"Arial", 6.75, false},
          Alignment::kLeft),  // 84
    Label("lblCarteira", kNoIndex, 2520, 2190, 600, 165, "Carteira", kDefaultFont,
          Alignment::kLeft),  // 85
    Label("lblTUsoBanco", kNoIndex, 240, 2055, 1095, 150, "Uso do Banco", {"Arial", 6.75, false},
          Alignment::kLeft),  // 86
    Label("lblUsoBanco", kNoIndex, 240, 2190, 1335, 165, "Uso do Banco", kDefaultFont,
          Alignment::kLeft),                     // 87
    Line("Line3", 19, 960, 2040, 10680, 2040),   // 88
    Line("Line3", 20, 120, 2400, 10680, 2400),   // 89
    Line("Line3", 21, 8040, 2760, 10680, 2760),  // 90
    Line("Line3", 22, 8040, 3120, 10680, 3120),  // 91
    Line("Line3", 23, 8040, 3480, 10680, 3480),  // 92
};

// Holder of the bank description printed where no bank logo exists.
constexpr ControlTemplate kTemporaryControls[] = {
    Label("txtDescBanco", kNoIndex, 0, 0, 3255, 285, "", kDefaultFont, Alignment::kLeft),
};

constexpr FormTemplate kReceiptStub{kReceiptStubForm, 450, 0, 10905, 7080, kReceiptStubControls};
constexpr FormTemplate kCompensationPart{kCompensationPartForm,    60, 60, 10890, 6960,
                                         kCompensationPartControls};
constexpr FormTemplate kTemporary{kTemporaryForm, 0, 0, 3405, 495, kTemporaryControls};

}  // namespace

const FormTemplate& ReceiptStubTemplate() { return kReceiptStub; }
const FormTemplate& CompensationPartTemplate() { return kCompensationPart; }
const FormTemplate& TemporaryFormTemplate() { return kTemporary; }

}  // namespace boleto
