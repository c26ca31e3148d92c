// The printer page drawn with cairo: one A4 portrait page in twips,
// written as a PDF document (vector text and bars) or as a PNG image at 300
// dots per inch. Fonts are found by name (print/font_config.h), so metric-
// compatible faces stand in for Arial and Courier New. A PDF document may
// hold many pages (NewPage); a picture painted on several pages is written
// into it once. Completing the page finishes the document and hands its
// bytes to the page sink (a file or a printer queue); nothing can be drawn
// after that; a PDF of many pages may instead be streamed piece by piece
// as it is written (DocumentStream), so that it is never held whole in
// memory. Its parts: text placement and batching (print/cairo_text.h),
// PDF forms and layers (print/cairo_forms.h), the PNG page's pixels and file
// (print/raster_page.h), the level cairo's streams are compressed at
// (print/deflate_level.h) and the formatting of the numbers it writes
// (print/fixed_format.h). Touches: the page sink.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "print/font_config.h"
#include "print/printer_surface.h"

namespace boleto {

enum class PageFormat { kPdf, kPng };

// Dots per inch of the PNG page.
inline constexpr double kPngDpi = 300.0;

// Width of drawn lines: one dot of a 300-dpi printer (the default pen is one
// device pixel wide).
inline constexpr double kLineWidthTwips = kTwipsPerInch / 300.0;

// Receives the finished document (PDF or PNG file contents) when the page is
// completed; an error from it is the page's failure.
using PageSink = std::function<Status(const std::string& document)>;

// Receives a PDF document piece by piece as cairo writes it, then hands it
// over once it is complete. Cairo's small pieces come gathered: 64 KB at a
// time, the rest before Finish.
class DocumentStream {
 public:
  virtual ~DocumentStream() = default;
  // The next bytes of the document; a failure is kept for Finish, while the
  // drawing goes on.
  virtual void Write(const char* data, size_t size) = 0;
  // The document is complete: hands it to its destination. Dropped without
  // it, the stream leaves no trace of the document.
  virtual Status Finish() = 0;
};

class CairoPageSurface : public PrinterSurface {
 public:
  // A blank page in the given format; an error (482) where cairo cannot
  // make one.
  static Result<std::unique_ptr<CairoPageSurface>> Create(PageFormat format, PageSink sink);
  // A blank PDF page whose document goes to `stream` as it is written.
  static Result<std::unique_ptr<CairoPageSurface>> CreateStreamed(
      std::unique_ptr<DocumentStream> stream);
  ~CairoPageSurface() override;
  CairoPageSurface(const CairoPageSurface&) = delete;
  CairoPageSurface& operator=(const CairoPageSurface&) = delete;

  void SetFontName(std::string_view name) override;
  void SetFontSize(double points) override;
  void SetFontBold(bool bold) override;
  void SetFontItalic(bool italic) override;
  std::string FontName() const override;
  double FontSize() const override;
  bool FontBold() const override;

  double TextWidth(std::string_view text) override;
  double TextHeight(std::string_view text) override;
  // The face the current font prints the text's first character in.
  FontFace PrintedFace(std::string_view text);

  double ScaleWidth() const override;
  double ScaleLeft() const override;
  void SetScaleLeft(double x) override;

  double CurrentX() const override;
  double CurrentY() const override;
  void SetCurrentX(double x) override;
  void SetCurrentY(double y) override;

  Status PrintText(std::string_view text) override;
  Status DrawLine(double x1, double y1, double x2, double y2, Rgb colour) override;
  Status FillRectangle(double x1, double y1, double x2, double y2, Rgb colour) override;
  // One path and one fill for each colour: a barcode is two operations of
  // the page instead of two hundred.
  Status FillRectangles(const std::vector<Rectangle>& rectangles) override;
  Status FillRectangleGroup(const std::vector<Rectangle>& group) override;
  Status PaintPicture(const Picture& picture, double x, double y) override;
  void SetTextColour(Rgb colour) override;
  bool PageBlank() const override;
  // A PDF page is written into the document only when the next page starts
  // or the document is finished: cleared before that, nothing of it is
  // written. A PNG page becomes blank paper again.
  Status ClearPage() override;
  // From now on, the shared parts of the pages are kept as layers: a PDF
  // then holds each layer once, however many pages show it.
  void KeepLayers();
  bool KeepsLayers() const override;
  Status PaintLayer(const std::string& key,
                    const std::function<Status(PrinterSurface&)>& draw) override;
  // A PDF document takes any number of pages; a PNG page is one. The new
  // page reaches the document with its first drawing: one that nothing is
  // drawn on is no blank page of the document.
  Status NewPage() override;
  // Finishes the document and hands it to the sink (or the stream).
  Status CompletePage() override;
  Status EndJob() override;

  PageFormat format() const;

 private:
  struct State;
  explicit CairoPageSurface(std::unique_ptr<State> state);
  // Makes the page the state's format and destination ask for.
  static Result<std::unique_ptr<CairoPageSurface>> Start(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace boleto
