// Where a finished page goes: to a file named on the command line (a PDF, or
// a PNG where the name ends in ".png"), or, without a file, as a PDF to the
// default CUPS destination or to a named printer queue. A page that does not
// reach its destination is a printer failure (482) with a clear description.
#pragma once

#include <string>

#include "platform/status.h"
#include "print/cairo_page_surface.h"

namespace boleto {

struct PageDestination {
  std::string output_file;   // empty: print through CUPS
  std::string printer_name;  // empty: the default CUPS destination
};

// PNG for a file name ending in ".png" (any case), PDF otherwise.
PageFormat FormatForDestination(const PageDestination& destination);

// Checks that the CUPS destination exists (the default one where no name is
// given), before anything is drawn; files are not checked.
Status CheckDestination(const PageDestination& destination);

// Writes the document to the file, or sends it as one PDF job to CUPS.
Status DeliverDocument(const PageDestination& destination, const std::string& document);

}  // namespace boleto
