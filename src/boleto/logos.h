// Where the boleto's logos are looked up: the print directory
// (PARAMIMP.LOCALANEXO), its BMP folder with one folder per company and per
// bank, and the pictures loaded from there into the layout forms. Reads the
// file system; writes nothing.
#pragma once

#include <string>
#include <string_view>

#include "platform/status.h"
#include "print/layout_form.h"
#include "run/run_context.h"

namespace boleto {

// The print directory as this system writes paths: stored directories may
// have been written with "\" between their parts.
std::string PrintDirectory(const RunContext& ctx);

// Print folders are written with "/" between their parts.
std::string JoinPath(std::string_view a, std::string_view b);

// The company's strip on the receipt stub (LOGOBOLR.BMP, or else LOGO.BMP,
// which must then exist) and the bank's logo on both parts (none: the bank
// description is printed in its place). File names are matched without
// regard to case.
Status LoadLogos(const RunContext& ctx, LayoutForm& receipt_stub, LayoutForm& compensation_part);

}  // namespace boleto
