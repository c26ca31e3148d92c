#include "print/print_job.h"

#include "print/cairo_page_surface.h"
#include "print/renderer.h"

namespace boleto {

void PrinterSetup(PrinterSurface& surface) {
  surface.SetFontName("Courier New");
  surface.SetFontSize(10);
  surface.SetFontBold(false);
  surface.SetFontItalic(false);
  const double w = surface.TextWidth("W");
  surface.SetScaleLeft(-(surface.ScaleWidth() - kCentredLineCharacters * w) / 2);
  surface.SetCurrentX(0);
  surface.SetCurrentY(surface.TextHeight("H"));
}

Result<std::unique_ptr<PrintJob>> PrintJob::Open(const PageDestination& destination,
                                                 bool many_pages) {
  if (Status found = CheckDestination(destination); !found.ok()) return found.error();
  if (!destination.output_folder.empty()) {
    BOLETO_ASSIGN_OR_RETURN(std::shared_ptr<PageFolder> folder,
                            PageFolder::Open(destination.output_folder));
    BOLETO_ASSIGN_OR_RETURN(std::unique_ptr<CairoPageSurface> page,
                            CairoPageSurface::CreateStreamed(folder->NextDocument()));
    auto job = std::make_unique<PrintJob>(std::move(page));
    job->folder_ = std::move(folder);
    return job;
  }
  auto delivery = std::make_shared<Delivery>();
  const PageFormat format = FormatForDestination(destination);
  // Shared with the job, which may still rename it before delivery.
  auto target = std::make_shared<PageDestination>(destination);
  // A document of many pages goes to the disk as it is drawn; one page
  // stays in memory until it is handed over.
  Result<std::unique_ptr<CairoPageSurface>> page =
      many_pages && format == PageFormat::kPdf
          ? CairoPageSurface::CreateStreamed(StreamDocument(target, delivery))
          : CairoPageSurface::Create(
                format, [target, delivery](const std::string& document) -> Status {
                  BOLETO_ASSIGN_OR_RETURN(*delivery, DeliverDocument(*target, document));
                  return Status::Ok();
                });
  if (!page.ok()) return page.error();
  if (many_pages) (*page)->KeepLayers();
  auto job = std::make_unique<PrintJob>(std::move(page).value());
  job->delivery_ = std::move(delivery);
  job->destination_ = std::move(target);
  return job;
}

PrintJob::PrintJob(std::unique_ptr<PrinterSurface> surface)
    : surface_(std::move(surface)), delivery_(std::make_shared<Delivery>()) {}

const std::string& PrintJob::stopped_queue() const { return delivery_->stopped_queue; }

void PrintJob::SetJobName(std::string name) {
  if (destination_ != nullptr) destination_->job_name = std::move(name);
}

void PrintJob::Setup() { PrinterSetup(*surface_); }

Status PrintJob::Render(const LayoutForm& receipt_stub, const LayoutForm& compensation_part,
                        std::string_view bank_description) {
  return RenderBoletoPage(*surface_, receipt_stub, compensation_part, bank_description);
}

Status PrintJob::MarkAsPreview() {
  // Arial Bold 20 (about 7,900 twips wide) across the first instruction
  // lines, which start 2,565 twips below the compensation part's top: well
  // below the digitable line (at 495) and above the barcode (at 5,400).
  constexpr double kMarkPoints = 20;
  constexpr double kMarkLeft = 960;
  constexpr double kMarkTop = 2450;
  constexpr Rgb kMarkGrey{150, 150, 150};
  PrinterSurface& s = *surface_;
  s.SetFontName("Arial");
  s.SetFontSize(kMarkPoints);
  s.SetFontBold(true);
  s.SetTextColour(kMarkGrey);
  s.SetCurrentX(kCompensationPartOffset.x + kMarkLeft);
  s.SetCurrentY(kCompensationPartOffset.y + kMarkTop);
  Status printed = s.PrintText(kPreviewMark);
  s.SetTextColour(kBlack);
  PrinterSetup(s);
  return printed;
}

void PrintJob::NamePage(std::string name, Status* written) {
  if (folder_ != nullptr) folder_->Name(std::move(name), written);
}

Status PrintJob::NewPage() {
  if (folder_ != nullptr) {
    // The page's document is complete; the next page starts its own.
    BOLETO_RETURN_IF_ERROR(surface_->CompletePage());
    BOLETO_ASSIGN_OR_RETURN(surface_, CairoPageSurface::CreateStreamed(folder_->NextDocument()));
  } else if (Status next = surface_->NewPage(); !next.ok()) {
    return next;
  }
  PrinterSetup(*surface_);
  return Status::Ok();
}

Status PrintJob::ClearPage() {
  if (Status cleared = surface_->ClearPage(); !cleared.ok()) return cleared;
  PrinterSetup(*surface_);
  return Status::Ok();
}

Status PrintJob::CompletePage() {
  if (folder_ != nullptr) {
    if (!surface_->PageBlank()) BOLETO_RETURN_IF_ERROR(surface_->CompletePage());
    folder_->WriteFiles();
    return Status::Ok();
  }
  if (Status handed = surface_->CompletePage(); !handed.ok()) return handed;
  PrinterSetup(*surface_);
  return Status::Ok();
}

Status PrintJob::Close() { return surface_->EndJob(); }

}  // namespace boleto
