// The printer as the boleto run uses it: one job with one page. The run sets
// the printer up (Courier New 10, the origin that centres a 96-character line
// of it), renders the receipt stub and the compensation part on the page,
// completes the page, which hands it to its destination before anything is
// recorded, and closes the job at the end of the process.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/status.h"
#include "print/layout_form.h"
#include "print/page_delivery.h"
#include "print/page_folder.h"
#include "print/printer_surface.h"

namespace boleto {

// The mark printed across the compensation part of a preview.
inline constexpr char kPreviewMark[] = "PRÉVIA — SEM VALOR PARA PAGAMENTO";

// Characters of the line that the printer origin centres on the page.
inline constexpr int kCentredLineCharacters = 96;

// Courier New 10, regular; the horizontal origin moved to
// -(scale width - 96 x width of "W") / 2; the current position at x 0 and
// y = height of "H".
void PrinterSetup(PrinterSurface& surface);

class PrintJob {
 public:
  // A job for the destination: a PDF or PNG page for a file, a PDF page for
  // CUPS. No CUPS destination (or no such printer) is an error (482). A job
  // of many pages keeps the parts its pages share as layers, and its PDF
  // goes to the disk as it is drawn (print/page_delivery.h: StreamDocument).
  // With an output folder, every page is a PDF document of its own, written
  // to its own file in the folder (print/page_folder.h); a folder that does
  // not exist is an error (482).
  static Result<std::unique_ptr<PrintJob>> Open(const PageDestination& destination,
                                                bool many_pages = false);
  // A job drawing on a surface of the caller's (tests use a recording one).
  explicit PrintJob(std::unique_ptr<PrinterSurface> surface);

  PrinterSurface& surface() { return *surface_; }

  // PrinterSetup on the job's page.
  void Setup();
  // Both forms on the page at their offsets; bank_description is the
  // caption of txtDescBanco. A digitable line in "nr" that cannot become a
  // barcode is an error (5) and nothing is drawn.
  Status Render(const LayoutForm& receipt_stub, const LayoutForm& compensation_part,
                std::string_view bank_description);
  // The preview mark across the compensation part, between its header
  // (with the digitable line) and its barcode, in grey: a preview is never
  // taken for a boleto to pay.
  Status MarkAsPreview();
  // Names the file the page being drawn goes to, in a job writing each page
  // to a file of its own in a folder; `written`, where given, gets how
  // writing it went when the job's page is completed (the caller keeps it
  // until then). Any other job ignores the name.
  void NamePage(std::string name, Status* written);
  // Ends the page and starts the next one of the same document (a batch of
  // boletos in one PDF or one print job), or the next page's own document
  // in a folder; then sets the printer up again.
  Status NewPage();
  // Takes what was drawn off the page (PrinterSurface::ClearPage); then sets
  // the printer up again.
  Status ClearPage();
  // Completes the page and hands it to the destination; then sets the
  // printer up again. An error means the page did not reach its destination.
  // In a folder: writes every page's file (a page left blank is no file);
  // an error means none was written, and each page's own outcome goes where
  // NamePage said.
  Status CompletePage();
  // The closing step: finishes the job (a page never completed is dropped).
  Status Close();

  // The CUPS job's name for the documents handed over from now on: a batch
  // names its job by the pages it holds once they are counted. A job on a
  // surface of the caller's has no name to change.
  void SetJobName(std::string name);

  // The CUPS queue that accepted the document last handed over but is
  // stopped (paused): the job waits there and prints once the queue is
  // resumed. Empty when the document went out as usual (or to a file).
  const std::string& stopped_queue() const;

 private:
  // The folder each page is written to as a file of its own, if any.
  std::shared_ptr<PageFolder> folder_;
  std::unique_ptr<PrinterSurface> surface_;
  // Filled in by the page sink each time a document is handed over.
  std::shared_ptr<Delivery> delivery_;
  // Where the page sink hands documents over; null on a caller's surface.
  std::shared_ptr<PageDestination> destination_;
};

}  // namespace boleto
