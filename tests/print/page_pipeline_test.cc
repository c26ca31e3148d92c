#include "print/page_pipeline.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "print/barcode_drawing.h"
#include "print/cairo_page_surface.h"
#include "print/recording_surface.h"
#include "print_test_helpers.h"
#include "support/paths.h"

namespace boleto {
namespace {

// A surface of many pages that writes down what happens to it: each text
// printed, each new page and each page cleared (where it can clear one).
class PagedSurface : public RecordingSurface {
 public:
  explicit PagedSurface(bool clears = true) : clears_(clears) {}
  Status PrintText(std::string_view text) override {
    log.push_back(std::string(text));
    blank_ = false;
    return RecordingSurface::PrintText(text);
  }
  bool PageBlank() const override { return blank_; }
  Status NewPage() override {
    log.push_back("new page");
    blank_ = true;
    return Status::Ok();
  }
  Status ClearPage() override {
    if (!clears_) return PrinterSurface::ClearPage();
    log.push_back("cleared");
    blank_ = true;
    return Status::Ok();
  }

  std::vector<std::string> log;

 private:
  bool clears_;
  bool blank_ = true;
};

// Each page's drawing keeps its outcome in its own place, as a batch's
// installment does.
PagePipeline::DrawPage Prints(std::string text, Status* outcome) {
  return [text, outcome](PrintJob& job) { return *outcome = job.surface().PrintText(text); };
}

PagePipeline::DrawPage FailsAfterPrinting(std::string text, Status* outcome) {
  return [text, outcome](PrintJob& job) -> Status {
    *outcome = job.surface().PrintText(text);
    if (outcome->ok()) *outcome = MakeError(error_number::kPrinterFailure, "half a page");
    return *outcome;
  };
}

PagePipeline::DrawPage FailsBeforeDrawing(Status* outcome) {
  return [outcome](PrintJob&) -> Status {
    return *outcome = MakeError(error_number::kPrinterFailure, "no page");
  };
}

TEST(PagePipelineTest, PagesFollowOneAnotherInTheOrderAdded) {
  auto owned = std::make_unique<PagedSurface>();
  PagedSurface& surface = *owned;
  PagePipeline pages(std::make_unique<PrintJob>(std::move(owned)), 1);  // the adding waits
  std::vector<Status> drawn(4, MakeError(error_number::kPrinterFailure, "not drawn"));
  for (int i = 0; i < 4; ++i) pages.Add(Prints(std::to_string(i + 1), &drawn[i]));
  const PagePipeline::Finished finished = pages.Finish();  // the surface goes with its job
  EXPECT_TRUE(finished.document.ok());
  for (const Status& page : drawn) EXPECT_TRUE(page.ok());
  EXPECT_EQ(surface.log,
            (std::vector<std::string>{"1", "new page", "2", "new page", "3", "new page", "4"}));
}

// The pipeline owns the job while it draws and hands that same job back
// once; a page added after that is not drawn, and the adding does not wait.
TEST(PagePipelineTest, TheJobComesBackOnceFinished) {
  auto owned = std::make_unique<PagedSurface>();
  PagedSurface& surface = *owned;
  auto given = std::make_unique<PrintJob>(std::move(owned));
  const PrintJob* job = given.get();
  PagePipeline pages(std::move(given), 1);
  Status first = MakeError(error_number::kPrinterFailure, "not drawn");
  pages.Add(Prints("1", &first));
  PagePipeline::Finished finished = pages.Finish();
  EXPECT_EQ(finished.job.get(), job);
  EXPECT_TRUE(finished.document.ok());
  EXPECT_TRUE(first.ok());
  std::vector<Status> late(2, MakeError(error_number::kPrinterFailure, "not drawn"));
  for (int i = 0; i < 2; ++i) pages.Add(Prints("late", &late[i]));
  EXPECT_EQ(pages.Finish().job, nullptr);
  for (const Status& page : late) EXPECT_EQ(page.error().description, "not drawn");
  EXPECT_EQ(surface.log, std::vector<std::string>{"1"});
}

// A failed page leaves nothing behind: no blank page, and nothing of what
// it drew. Where the surface cannot take a drawing off its page, the
// document holds it and is refused whole; the later pages are not drawn.
TEST(PagePipelineTest, AFailedPageLeavesNothingBehind) {
  struct Case {
    bool clears;
    std::vector<std::string> log;
    const char* document;  // the error refusing the document, or ""
  };
  const Case cases[] = {
      {true, {"1", "new page", "2", "new page", "half", "cleared", "3"}, ""},
      {false, {"1", "new page", "2", "new page", "half"}, "This page surface cannot clear a page"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.clears ? "clears" : "cannot clear");
    auto owned = std::make_unique<PagedSurface>(c.clears);
    PagedSurface& surface = *owned;
    PagePipeline pages(std::make_unique<PrintJob>(std::move(owned)), 2);
    std::vector<Status> drawn(6, MakeError(error_number::kPrinterFailure, "not drawn"));
    pages.Add(FailsBeforeDrawing(&drawn[0]));
    pages.Add(Prints("1", &drawn[1]));
    pages.Add(FailsBeforeDrawing(&drawn[2]));
    pages.Add(Prints("2", &drawn[3]));
    pages.Add(FailsAfterPrinting("half", &drawn[4]));
    pages.Add(Prints("3", &drawn[5]));
    const PagePipeline::Finished finished = pages.Finish();
    const Status& document = finished.document;
    EXPECT_EQ(document.ok() ? "" : document.error().description, c.document);
    EXPECT_EQ(drawn[0].error().description, "no page");
    EXPECT_TRUE(drawn[1].ok());
    EXPECT_FALSE(drawn[2].ok());
    EXPECT_TRUE(drawn[3].ok());
    EXPECT_EQ(drawn[4].error().description, "half a page");
    EXPECT_EQ(drawn[5].ok() ? "" : drawn[5].error().description, c.clears ? "" : "not drawn");
    EXPECT_EQ(surface.log, c.log);
  }
}

// A cairo page whose finished document lands in `document`.
Result<std::unique_ptr<CairoPageSurface>> PageInto(PageFormat format, std::string& document) {
  return CairoPageSurface::Create(format, [&document](const std::string& bytes) {
    document = bytes;
    return Status::Ok();
  });
}

// On a real PDF, pages that fail after their barcode is drawn (one between
// others, one last) leave no page and no barcode: the document holds the
// pages drawn whole, each barcode decoding to its own.
TEST(PagePipelineTest, APageFailingAfterItsBarcodeLeavesNoBarcodeInTheDocument) {
  std::string document;
  Result<std::unique_ptr<CairoPageSurface>> page = PageInto(PageFormat::kPdf, document);
  ASSERT_TRUE(page.ok());
  (*page)->KeepLayers();
  auto job = std::make_unique<PrintJob>(std::move(page).value());
  job->Setup();
  const std::vector<testing::SampleBoleto> boletos = testing::TenBankBoletos();
  std::vector<Status> drawn(4);
  {
    PagePipeline pages(std::move(job), 2);
    for (int i = 0; i < 4; ++i) {
      const bool fails = i % 2 == 1;
      const std::string line = testing::PrintedLineOf(boletos[i].barcode);
      pages.Add([line, fails, outcome = &drawn[i]](PrintJob& on) -> Status {
        on.surface().SetCurrentX(600);
        on.surface().SetCurrentY(1440);
        *outcome = DrawBarcode(on.surface(), line);
        if (outcome->ok()) *outcome = on.surface().PrintText(line);
        if (outcome->ok() && fails) {
          *outcome = MakeError(error_number::kPrinterFailure, "a value cannot be set");
        }
        return *outcome;
      });
    }
    PagePipeline::Finished finished = pages.Finish();
    ASSERT_TRUE(finished.document.ok());
    job = std::move(finished.job);
  }
  EXPECT_TRUE(drawn[0].ok());
  EXPECT_FALSE(drawn[1].ok());
  EXPECT_TRUE(drawn[2].ok());
  EXPECT_FALSE(drawn[3].ok());
  ASSERT_TRUE(job->CompletePage().ok());

  const std::string dir = testing::MakeTempDir("boleto-pipeline-");
  std::ofstream(dir + "/run.pdf", std::ios::binary) << document;
  const std::string info = testing::RunCommand("pdfinfo " + dir + "/run.pdf").output;
  const std::string texts = testing::RunCommand("pdftotext " + dir + "/run.pdf -").output;
  testing::RunCommand("pdftoppm -r 150 -gray -png " + dir + "/run.pdf " + dir + "/p");
  const std::string decoded =
      testing::RunCommand("zbarimg -q --raw -Sdisable -Si25.enable " + dir + "/p-*.png 2>/dev/null")
          .output;
  testing::RemoveTree(dir);
  EXPECT_NE(info.find("Pages:           2\n"), std::string::npos) << info;
  EXPECT_EQ(decoded, boletos[0].barcode + "\n" + boletos[2].barcode + "\n");
  for (int failed : {1, 3}) {
    EXPECT_EQ(texts.find(testing::PrintedLineOf(boletos[failed].barcode)), std::string::npos)
        << texts;
  }
}

// While the drawing thread prints pages, the caller measures texts on a
// page of its own, as a batch composes the next boleto: both threads ask for
// faces nobody matched before at the same time, and every page prints (the
// thread sanitizer run fails on anything they share without a lock).
TEST(PagePipelineTest, TheCallerMeasuresTextWhileThePipelineDraws) {
  std::string document;
  Result<std::unique_ptr<CairoPageSurface>> drawn_on = PageInto(PageFormat::kPdf, document);
  Result<std::unique_ptr<CairoPageSurface>> measured =
      CairoPageSurface::Create(PageFormat::kPdf, {});
  ASSERT_TRUE(drawn_on.ok());
  ASSERT_TRUE(measured.ok());
  constexpr int kPages = 20;
  std::vector<Status> drawn(kPages, MakeError(error_number::kPrinterFailure, "not drawn"));
  PagePipeline pages(std::make_unique<PrintJob>(std::move(drawn_on).value()), 2);
  for (int i = 0; i < kPages; ++i) {
    const std::string number = std::to_string(i);
    pages.Add([font = "Pipeline Font " + number, outcome = &drawn[i]](PrintJob& job) {
      job.surface().SetFontName(font);
      return *outcome = job.surface().PrintText("Beneficiário");
    });
    (*measured)->SetFontName("Caller Font " + number);
    EXPECT_GT((*measured)->TextWidth("Beneficiário"), 0);
  }
  PagePipeline::Finished finished = pages.Finish();
  ASSERT_TRUE(finished.document.ok());
  for (const Status& page : drawn) EXPECT_TRUE(page.ok()) << page.error().description;
  ASSERT_TRUE(finished.job->CompletePage().ok());
  EXPECT_FALSE(document.empty());
}

TEST(CairoPageBlankTest, BlankUntilDrawnUponAndAgainOnANewPage) {
  Result<std::unique_ptr<CairoPageSurface>> page = CairoPageSurface::Create(PageFormat::kPdf, {});
  ASSERT_TRUE(page.ok());
  CairoPageSurface& surface = **page;
  EXPECT_TRUE(surface.PageBlank());
  ASSERT_TRUE(surface.DrawLine(0, 0, 1440, 0, kBlack).ok());
  EXPECT_FALSE(surface.PageBlank());
  ASSERT_TRUE(surface.NewPage().ok());
  EXPECT_TRUE(surface.PageBlank());
  ASSERT_TRUE(surface.FillRectangle(0, 0, 1440, 1440, kBlack).ok());
  EXPECT_FALSE(surface.PageBlank());
  ASSERT_TRUE(surface.ClearPage().ok());
  EXPECT_TRUE(surface.PageBlank());
}

// A PNG page cleared is white paper again where it was drawn upon.
TEST(CairoPageBlankTest, AClearedPngPageIsWhitePaper) {
  std::string png;
  Result<std::unique_ptr<CairoPageSurface>> page = PageInto(PageFormat::kPng, png);
  ASSERT_TRUE(page.ok());
  ASSERT_TRUE((*page)->FillRectangle(0, 0, 1440, 1440, kBlack).ok());
  ASSERT_TRUE((*page)->ClearPage().ok());
  EXPECT_TRUE((*page)->PageBlank());
  ASSERT_TRUE((*page)->CompletePage().ok());
  struct Reader {
    const std::string& bytes;
    size_t at = 0;
  } reader{png};
  cairo_surface_t* image = cairo_image_surface_create_from_png_stream(
      [](void* closure, unsigned char* data, unsigned int length) {
        Reader& from = *static_cast<Reader*>(closure);
        if (from.at + length > from.bytes.size()) return CAIRO_STATUS_READ_ERROR;
        std::memcpy(data, from.bytes.data() + from.at, length);
        from.at += length;
        return CAIRO_STATUS_SUCCESS;
      },
      &reader);
  ASSERT_EQ(cairo_surface_status(image), CAIRO_STATUS_SUCCESS);
  cairo_surface_flush(image);
  // The pixel at the middle of the cleared square (half an inch in, at 300
  // dots per inch), red, green and blue all full.
  const unsigned char* pixel =
      cairo_image_surface_get_data(image) + 150 * cairo_image_surface_get_stride(image) + 150 * 4;
  EXPECT_EQ(pixel[0] & pixel[1] & pixel[2], 0xff);
  cairo_surface_destroy(image);
}

}  // namespace
}  // namespace boleto
