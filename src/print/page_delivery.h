// Where a finished page goes: to a file named on the command line (a PDF, or
// a PNG where the name ends in ".png"), or, without a file, as a PDF to the
// default CUPS destination or to a named printer queue. A page that does not
// reach its destination is a printer failure (482) with a clear description;
// where the print server does not even take a connection, the description
// says that it cannot be reached.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/status.h"
#include "print/cairo_page_surface.h"

namespace boleto {

struct PageDestination {
  std::string output_file;   // empty: print through CUPS
  std::string printer_name;  // empty: the default CUPS destination
  std::string job_name;      // the CUPS job's name; empty: "Boleto"
  // Not empty: each page a PDF file of its own in this folder
  // (print/page_folder.h), instead of the file or the printer.
  std::string output_folder{};
};

// The name of the job that prints one installment's boleto: "Boleto", the
// company, document code, series and number, "/" and the installment, each
// without its blanks, e.g. "Boleto 01 DM 1 1003/01". Printable UTF-8 of at
// most 255 bytes, as IPP carries a job name.
std::string PrintJobName(std::string_view company, std::string_view document,
                         std::string_view series, std::string_view number,
                         std::string_view installment);

// PNG for a file name ending in ".png" (any case), PDF otherwise.
PageFormat FormatForDestination(const PageDestination& destination);

// Checks that the CUPS destination exists (the default one where no name is
// given), before anything is drawn; files and folders are not checked.
Status CheckDestination(const PageDestination& destination);

// What became of a document handed over. A stopped (paused) CUPS queue
// accepts the job and holds it until the queue is resumed: the document is
// handed over, but nothing comes out of the printer yet.
struct Delivery {
  std::string stopped_queue;  // not empty: the stopped queue the job waits in
};

// Writes the document to the file whole or not at all (print/page_file.h),
// or sends it to CUPS as the one PDF document of a job that asks for A4
// paper (iso_a4_210x297mm), no scaling and one copy, with the page's
// transparency group dropped (print/printer_pdf.h).
Result<Delivery> DeliverDocument(const PageDestination& destination, const std::string& document);

// A PDF document delivered as DeliverDocument delivers it, written to the
// disk as it is made instead of held in memory: into the unnamed file
// beside the output file (print/page_file.h), or, for CUPS, into an unnamed
// file under $TMPDIR or /tmp that is rewritten into another one and sent
// from there. Its Finish fills `delivered` in; dropped without it, nothing
// is written or sent and no file is left. The destination is read when the
// document is finished (a job's name may change until then).
std::unique_ptr<DocumentStream> StreamDocument(std::shared_ptr<const PageDestination> destination,
                                               std::shared_ptr<Delivery> delivered);

}  // namespace boleto
